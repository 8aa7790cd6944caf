// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft-import: converts the record files that agencies publish into the
// waveform input layout of wavefft.
//
// The steps: parse the arguments, list the files of each folder given,
// read each file whole, detect its layout and read it, assemble the three components, then either describe them
// (--info) or write the record (to a temporary file beside OUT, renamed
// over OUT at the end; to standard output without -o). Only this file
// prints: every failure comes back as a Problem and becomes one line
// "wavefft-import: FILE:LINE: words" here, with exit status 1.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/files.h"
#include "common/numbers.h"
#include "common/units.h"
#include "common/usage.h"
#include "import/assemble.h"
#include "import/formats.h"
#include "import/inputs.h"
#include "import/writer.h"

#ifndef WAVEFFT_VERSION
#define WAVEFFT_VERSION "unknown"
#endif

namespace {

using namespace wavefft::import;
namespace common = wavefft::common;

constexpr const char* kTool = "wavefft-import";

// The first lines of --help, and of every usage error.
constexpr const char* kSynopsis =
    "Usage: wavefft-import [options] FILE...\n"
    "       wavefft-import --help | --version\n";

// The rest of --help.
constexpr const char* kHelp =
    "\n"
    "Reads the files of one strong-motion record as an agency publishes it\n"
    "(the layout of each file is recognised from its content) and writes the\n"
    "three components in wavefft's waveform input layout: value 1 and value 2\n"
    "the two horizontals (the one nearest north first), value 11 the vertical.\n"
    "A FILE that is a folder stands for the files in it (not those whose name\n"
    "starts with '.', nor subfolders), in the order of their names; those in\n"
    "no layout that wavefft-import reads are skipped with a note.\n"
    "\n"
    "  -o, --output OUT     write to OUT (through a temporary file beside it,\n"
    "                       its missing folders made) instead of standard output\n"
    "  --info               describe the files and the chosen components on\n"
    "                       standard output; write nothing\n"
    "  --unit U             output unit: g, gal, m_s2 or mm_s2 (default: the\n"
    "                       unit of the first chosen component)\n"
    "  --source-unit U      unit of files that state none (SAC)\n"
    "  --channels A,B,C     choose only among these channels (names or SEED ids);\n"
    "                       also admits borehole and structure sensors\n"
    "  --level L            raw or corrected: of an uncorrected (Volume 0 or 1)\n"
    "                       and a corrected (Volume 2) file of one record, take\n"
    "                       this one (default: corrected)\n"
    "  --pad                pad shorter components with zeros instead of\n"
    "                       trimming all to the shortest\n"
    "  --zero-vertical      accept a record without a vertical: value 11 is zero\n"
    "  --help               show this text and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "See wavefft-import(1).\n";

struct Args {
  std::vector<std::string> files;
  std::string output;  // empty: standard output
  bool info = false;
  AssembleOptions options;
};

int usage_error(const std::string& reason) { return common::usage_error(kTool, reason, kSynopsis); }

void print_problem(const Problem& p) { std::fprintf(stderr, "wavefft-import: %s\n", problem_text(p).c_str()); }

// A file of a folder in no known layout: a note on standard error.
void print_skipped(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "wavefft-import: skipped %s: %s\n", path.c_str(), why.c_str());
}

// Splits "HNE,HNN, HNZ" -> {"HNE", "HNN", "HNZ"}.
std::vector<std::string> split_list(std::string_view s) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= s.size()) {
    const std::size_t comma = s.find(',', start);
    std::string_view item = s.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (!item.empty()) out.emplace_back(item);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return out;
}

// An option as typed: "--unit=gal" -> name "--unit", value "gal" (given
// with it); "--unit" or "-o" -> no value yet (the next argument gives it).
struct Option {
  std::string name;
  std::string value;
  bool has_value = false;
};

// The option `arg` as typed, split at its first '=' when it starts "--".
Option split_option(const std::string& arg) {
  Option o{arg, {}, false};
  if (arg.rfind("--", 0) == 0) {
    if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
      o.name = arg.substr(0, eq);
      o.value = arg.substr(eq + 1);
      o.has_value = true;
    }
  }
  return o;
}

// Gives `o` its value when it has none yet: the next argument, argv[i + 1]
// (`i` moves on to it). False when there is no next argument.
bool take_value(Option& o, int argc, char** argv, int& i) {
  if (o.has_value) return true;
  if (i + 1 >= argc) return false;
  o.value = argv[++i];
  return true;
}

// --help or --version, which must stand alone: prints the help text or the
// version and returns 0, else the usage error's status.
int help_or_version(const std::string& name, int argc) {
  if (argc != 2) return usage_error(name + " takes no other arguments");
  if (name == "--help") {
    std::fputs(kSynopsis, stdout);
    std::fputs(kHelp, stdout);
  } else {
    std::printf("wavefft-import %s\n", WAVEFFT_VERSION);
  }
  return 0;
}

// The options without a value (--info, --pad, --zero-vertical) into `a`;
// false for any other option, and for one of these given a value.
bool take_flag(const Option& o, Args& a) {
  if (o.has_value) return false;
  if (o.name == "--info") a.info = true;
  else if (o.name == "--pad") a.options.pad = true;
  else if (o.name == "--zero-vertical") a.options.zero_vertical = true;
  else return false;
  return true;
}

// The options with a value (-o/--output, --unit, --source-unit, --level,
// --channels) into `a`, the value after '=' or in the next argument: -1
// when taken, else the usage error's status ("--level 'wet' is not raw or
// corrected"; "unknown option '--frob'" for an option of no kind).
int take_valued_option(Option& o, const std::string& arg, int argc, char** argv, int& i, Args& a) {
  const std::string& name = o.name;
  if (name == "-o" || name == "--output") {
    if (!take_value(o, argc, argv, i) || o.value.empty()) return usage_error(name + " needs a file name");
    if (!a.output.empty()) return usage_error("the output is given twice");
    a.output = o.value;
  } else if (name == "--unit" || name == "--source-unit") {
    if (!take_value(o, argc, argv, i)) return usage_error(name + " needs a unit: g, gal, m_s2 or mm_s2");
    const std::optional<Unit> u = common::parse_acceleration_unit(o.value);
    if (!u) return usage_error(name + " '" + o.value + "' is not one of g, gal, m_s2, mm_s2");
    (name == "--unit" ? a.options.unit : a.options.source_unit) = *u;
  } else if (name == "--level") {
    if (!take_value(o, argc, argv, i)) return usage_error("--level needs raw or corrected");
    if (o.value == "raw") a.options.level = Level::raw;
    else if (o.value == "corrected") a.options.level = Level::corrected;
    else return usage_error("--level '" + o.value + "' is not raw or corrected");
  } else if (name == "--channels") {
    if (!take_value(o, argc, argv, i)) return usage_error("--channels needs a list of channel names");
    a.options.channels = split_list(o.value);
    if (a.options.channels.empty()) return usage_error("--channels needs a list of channel names");
  } else {
    return usage_error("unknown option '" + arg + "'");
  }
  return -1;
}

// Returns -1 when the arguments are good, else the exit status (0 after
// --help / --version). After "--" every argument is a file, as is "-".
int parse_args(int argc, char** argv, Args& a) {
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_done || arg.empty() || arg[0] != '-' || arg == "-") {
      a.files.push_back(arg);
      continue;
    }
    Option o = split_option(arg);
    if (o.name == "--") {
      options_done = true;
    } else if ((o.name == "--help" || o.name == "--version") && !o.has_value) {
      return help_or_version(o.name, argc);
    } else if (!take_flag(o, a)) {
      if (const int status = take_valued_option(o, arg, argc, argv, i, a); status >= 0) return status;
    }
  }
  if (a.files.empty()) return usage_error("no input file");
  if (a.info && !a.output.empty()) return usage_error("--info writes nothing; it takes no -o");
  return -1;
}

Problem write_all(int fd, std::string_view text, const std::string& name) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return Problem{Status::write_failed, name, 0, std::string("cannot write: ") + std::strerror(errno)};
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

// What a channel's values are multiplied by, as --info shows it:
// ", factor 3920(gal)/6182761 = 0.000634..." from the file itself,
// ", factor 1/427894 (StationXML, m_s2)" for counts that an epoch of the
// StationXML given covers (the epoch assembly takes), ", no factor" for
// counts that none covers, ", factor 1" for values kept as read.
std::string factor_words(const Channel& c, const std::vector<FileContents>& files) {
  if (c.unit == Unit::counts) {
    if (const ResponseEpoch* e = covering_response(c, files)) {
      return ", factor 1/" + common::shortest(e->sensitivity) + " (StationXML, " +
             std::string(common::unit_word(e->input_unit)) + ")";
    }
    return ", no factor";
  }
  if (c.factor == 1.0 && c.factor_text.empty()) return ", factor 1";
  // the factor in full (0.000634...), so that the factor shown is the one applied
  if (c.factor_text.empty()) return ", factor " + common::shortest(c.factor);
  return ", factor " + c.factor_text + " = " + common::shortest(c.factor);
}

// A channel's direction as --info shows it: for counts that an epoch of the
// StationXML given covers, the epoch's azimuth and dip, as assembly takes
// them ("HN2" with azimuth 90 in the XML -> "azimuth 90"); otherwise the
// file's own: "vertical", "azimuth 67", "no azimuth".
std::string orientation_words(const Channel& c, const std::vector<FileContents>& files) {
  Channel o;
  o.vertical = c.vertical;
  o.azimuth = c.azimuth;
  if (c.unit == Unit::counts) {
    if (const ResponseEpoch* e = covering_response(c, files)) take_orientation(*e, o);
  }
  return o.vertical  ? std::string("vertical")
         : o.azimuth ? "azimuth " + common::significant(*o.azimuth, 10)
                     : std::string("no azimuth");
}

// --info: one block per file, then the choice.
void print_info(const std::vector<std::string>& names, const std::vector<FileContents>& files) {
  for (std::size_t f = 0; f < files.size(); ++f) {
    const FileContents& fc = files[f];
    std::printf("%s: %s\n", names[f].c_str(), fc.format.c_str());
    if (!fc.event.empty()) std::printf("  event: %s\n", fc.event.c_str());
    if (!fc.station.empty()) std::printf("  station: %s\n", fc.station.c_str());
    if (!fc.start_text.empty()) std::printf("  start: %s\n", fc.start_text.c_str());
    for (const Channel& c : fc.channels) {
      const std::string orient = orientation_words(c, files);
      std::printf("  channel %s%s%s: %s, %zu samples, dt %s s, %s%s%s\n", c.name.c_str(),
                  c.seed_id.empty() ? "" : " ", c.seed_id.c_str(), orient.c_str(), c.values.size(),
                  common::significant(c.dt, 10).c_str(), std::string(common::unit_word(c.unit)).c_str(),
                  factor_words(c, files).c_str(),
                  c.surface ? "" : ", not free-field");
    }
    if (!fc.responses.empty()) std::printf("  responses: %zu epochs\n", fc.responses.size());
  }
}

void print_choice(const Record& rec) {
  static const char* kValue[3] = {"value 1", "value 2", "value 11"};
  for (std::size_t k = 0; k < 3; ++k) {
    const Component& c = rec.components[k];
    std::printf("%s: %s%s%s\n", kValue[k], c.name.c_str(), c.file.empty() ? "" : " from ", c.file.c_str());
  }
  std::printf("samples: %zu, dt %s s, unit %s\n", rec.components[0].values.size(),
              common::significant(rec.dt, 10).c_str(), std::string(common::unit_word(rec.unit)).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (const int status = parse_args(argc, argv, args); status >= 0) return status;

  // Read and recognise every file, a folder standing for its files.
  std::vector<std::string> names;
  std::vector<FileContents> files;
  for (const std::string& arg : args.files) {
    if (Problem p = read_argument(arg, names, files, print_skipped); !p.ok()) {
      print_problem(p);
      return 1;
    }
  }
  if (args.info) print_info(names, files);

  // Choose the components.
  Record rec;
  if (Problem p = assemble(files, args.options, rec); !p.ok()) {
    std::fflush(stdout);
    print_problem(p);
    return 1;
  }
  for (const std::string& note : rec.notes) std::fprintf(stderr, "wavefft-import: note: %s\n", note.c_str());
  if (args.info) {
    print_choice(rec);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }

  // Write.
  std::string text;
  write_record(rec, text);
  const Problem p = args.output.empty() ? write_all(1, text, "standard output") : write_output(args.output, text);
  if (!p.ok()) {
    print_problem(p);
    return 1;
  }
  return 0;
}
