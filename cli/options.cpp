// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "textio/freeform.h"

namespace wavefft::cli {

namespace {

/// Longest file name the dialogue's "(A90)" line read keeps.
constexpr std::size_t kMaxNameLength = 90;
/// Largest skip answer: the row step is the answer plus one, a 32-bit count.
constexpr std::uint64_t kMaxSkip = 2147483646;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_sign(char c) { return c == '+' || c == '-'; }
bool is_exponent_letter(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

/// True when `text` is a plain number: [sign] digits [. digits] or
/// [sign] . digits, then optionally e/E/d/D, an optional sign and digits.
/// The dialogue's reader takes more ("1.5-3", "2*3", "3*", a blank or a
/// slash after a value); an option value must be one item as it will be
/// typed, and unambiguous, so those are no numbers here.
bool is_plain_number(std::string_view text) {
  std::size_t i = 0;
  auto skip_digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && is_digit(text[i])) ++i;
    return i - start;
  };
  if (i < text.size() && is_sign(text[i])) ++i;
  std::size_t digits = skip_digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    digits += skip_digits();
  }
  if (digits == 0) return false;  // ".", "-", "e5"
  if (i < text.size() && is_exponent_letter(text[i])) {
    ++i;
    if (i < text.size() && is_sign(text[i])) ++i;
    if (skip_digits() == 0) return false;  // "5e", "1e+"
  }
  return i == text.size();
}

/// The double the dialogue's reader makes of `text` when it is a plain
/// number (is_plain_number) whose exponent field the reader takes; an
/// infinity beyond the double range.
std::optional<double> plain_number(std::string_view text) {
  if (!is_plain_number(text)) return std::nullopt;
  return textio::read_number_text(text);
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

/// The items of a list value: separated by a comma, blanks around it
/// allowed ("0.1, 0.2"), or by blanks alone ("1 3", as a quoted argument
/// may hold). Two commas in a row, or one at either end, make an empty
/// item, which no option accepts.
std::vector<std::string_view> split_commas(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  std::vector<std::string_view> items;
  std::size_t i = 0;
  for (;;) {
    const std::size_t start = i;
    while (i < text.size() && text[i] != ',' && !is_blank(text[i])) ++i;
    items.push_back(text.substr(start, i - start));
    if (i == text.size()) break;
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i < text.size() && text[i] == ',') {
      ++i;
      while (i < text.size() && is_blank(text[i])) ++i;
    }
  }
  return items;
}

/// A list value of N numbers: the doubles the run will see, and the items
/// as typed, which the dialogue is given.
template <std::size_t N>
struct NumberList {
  std::array<double, N> values{};
  std::array<std::string, N> items;
};

/// Reads `value` as N comma-separated finite numbers. On failure returns the
/// reason (without the option's name): "'1,2,3' is not four numbers ...",
/// "'x' is not a number", "'1e400' is beyond the range of numbers".
template <std::size_t N>
std::string read_numbers(std::string_view value, const char* shape, NumberList<N>& out) {
  const auto items = split_commas(value);
  if (items.size() != N) return quote(value) + " is not " + shape;
  for (std::size_t k = 0; k < N; ++k) {
    const auto v = plain_number(items[k]);
    if (!v) return quote(items[k]) + " is not a number";
    if (!std::isfinite(*v)) return quote(items[k]) + " is beyond the range of numbers";
    out.values[k] = *v;
    out.items[k] = std::string(items[k]);
  }
  return {};
}

std::string check_flip(std::string_view value, ProcessingOptions& opts) {
  std::array<bool, 3> chosen{};
  for (const std::string_view item : split_commas(value)) {
    if (item.size() != 1 || item[0] < '1' || item[0] > '3') {
      return quote(value) + " is not a list of components from 1, 2, 3 (such as 1,3)";
    }
    chosen[static_cast<std::size_t>(item[0] - '1')] = true;
  }
  opts.flip = chosen;
  return {};
}

std::string check_bandpass(std::string_view value, ProcessingOptions& opts) {
  NumberList<4> corners;
  if (std::string problem = read_numbers(value, "four numbers fL1,fL2,fH1,fH2", corners); !problem.empty()) {
    return problem;
  }
  const std::array<double, 4>& f = corners.values;
  if (f[0] < 0.0) return quote(value) + ": the corners must be 0 or more";
  if (!(f[0] <= f[1] && f[1] <= f[2] && f[2] <= f[3])) {
    return quote(value) + ": the corners must not decrease (fL1 <= fL2 <= fH1 <= fH2)";
  }
  opts.bandpass = corners.items;
  return {};
}

std::string check_cut(std::string_view value, ProcessingOptions& opts) {
  NumberList<2> window;
  std::string problem = read_numbers(value, "two numbers START,DURATION", window);
  if (problem.empty() && window.values[1] < 0.0) problem = quote(value) + ": the duration must be 0 or more";
  if (problem.empty()) opts.cut = window.items;
  return problem;
}

std::string check_skip(std::string_view value, ProcessingOptions& opts) {
  // An optional '+' as the dialogue reads it; no '-': a negative skip
  // makes a step of 0 or less.
  const std::string_view digits = !value.empty() && value.front() == '+' ? value.substr(1) : value;
  bool ok = !digits.empty();
  std::uint64_t k = 0;
  for (const char c : digits) {
    if (!is_digit(c)) {
      ok = false;
      break;
    }
    k = std::min<std::uint64_t>(k * 10 + static_cast<std::uint64_t>(c - '0'), kMaxSkip + 1);
  }
  if (!ok || k > kMaxSkip) return quote(value) + " is not a whole number from 0 to 2147483646";
  opts.skip = std::string(value);
  return {};
}

std::string check_output(std::string_view value, ProcessingOptions& opts) {
  if (const std::string p = typeable_name_problem(value); !p.empty()) return quote(value) + " " + p;
  opts.output = std::string(value);
  return {};
}

/// The menu answer `nit` (1 integrate, 2 double, 3 differentiate), unless
/// one was chosen already.
std::string choose_menu(ProcessingOptions& opts, int nit) {
  if (opts.nit != 0) return "only one of --integrate, --double-integrate, --differentiate may be given";
  opts.nit = nit;
  return {};
}

std::string check_integrate(std::string_view, ProcessingOptions& opts) { return choose_menu(opts, 1); }
std::string check_double_integrate(std::string_view, ProcessingOptions& opts) { return choose_menu(opts, 2); }
std::string check_differentiate(std::string_view, ProcessingOptions& opts) { return choose_menu(opts, 3); }

/// The options; an option's place here is its bit in ProcessingOptions::seen.
constexpr OptionRule<ProcessingOptions> kOptions[] = {
    {"--flip", true, check_flip},
    {"--bandpass", true, check_bandpass},
    {"--integrate", false, check_integrate},
    {"--double-integrate", false, check_double_integrate},
    {"--differentiate", false, check_differentiate},
    {"--cut", true, check_cut},
    {"--skip", true, check_skip},
    {"--output", true, check_output},
};

}  // namespace

const char* const kOptionsHelp =
    "  --flip LIST                 reverse the sign of the components in LIST\n"
    "                              (from 1, 2, 3, comma-separated: --flip 1,3)\n"
    "  --bandpass fL1,fL2,fH1,fH2  trapezoidal band-pass, corners in Hz,\n"
    "                              0 <= fL1 <= fL2 <= fH1 <= fH2\n"
    "  --integrate                 integrate once (acc -> vel)\n"
    "  --double-integrate          integrate twice (acc -> dis)\n"
    "  --differentiate             differentiate (vel -> acc)\n"
    "  --cut START,DURATION        keep the window of DURATION s from START s\n"
    "  --skip K                    keep every (K+1)-th sample (default 0: all)\n"
    "  --output NAME               the waveform file (default wave.csv)\n";

std::string quote(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "'";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7f) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  out += "'";
  return out;
}

Take take_option(int argc, const char* const* argv, int& i, ProcessingOptions& opts, std::string& error) {
  const Take took = take_from_table(argc, argv, i, kOptions, opts, opts.seen, error);
  if (took == Take::taken) opts.any = true;
  return took;
}

std::string typeable_name_problem(std::string_view name) {
  if (name.empty()) return "is empty";
  if (name.size() > kMaxNameLength) return "is longer than 90 characters";
  if (name.find('\0') != std::string_view::npos) return "holds a NUL byte";
  if (name.find_first_of("\n\r") != std::string_view::npos) return "holds a line end";
  if (name.back() == ' ' || name.back() == '\t') return "ends in a blank";
  return {};
}

std::string output_clash(std::string_view output, std::string_view record) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path out{std::string(output)};
  // The run writes amp3.csv and fort.99 in the current folder.
  const std::size_t slash = output.rfind('/');
  const std::string_view base = slash == std::string_view::npos ? output : output.substr(slash + 1);
  for (const char* own : {"amp3.csv", "fort.99"}) {
    bool same = false;
    if (base == own) {
      if (slash == std::string_view::npos) {
        same = true;
      } else {
        const std::string folder(output.substr(0, slash == 0 ? 1 : slash));
        same = fs::equivalent(folder, ".", ec);
      }
    }
    if (!same) same = fs::equivalent(out, own, ec);
    if (same) return std::string("names ") + own + ", which the run writes itself";
  }
  if (output == record || fs::equivalent(out, fs::path(std::string(record)), ec)) {
    return "is the record itself";
  }
  return {};
}

std::string record_problem(std::string_view record) {
  namespace fs = std::filesystem;
  const std::string path(record);
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  // "missing.txt" -> "does not exist"; "dir.txt/" -> "is a folder".
  if (st.type() == fs::file_type::not_found) return "does not exist";
  if (ec) return "cannot be read: " + ec.message();
  if (fs::is_directory(st)) return "is a folder";
  if (fs::is_fifo(st)) return {};
  // "locked.txt" (mode 000) -> "cannot be read: Permission denied".
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "cannot be read: " + std::generic_category().message(errno);
  std::fclose(f);
  return {};
}

std::string output_folder_problem(std::string_view output) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // "results": a folder of that name is there, and no file can take its place.
  if (fs::is_directory(fs::path(output), ec)) return "is a folder";
  const std::size_t slash = output.rfind('/');
  if (slash == std::string_view::npos) return {};  // "w.csv": the current folder
  // "/w.csv" -> "/"; "nodir/w.csv" -> "nodir".
  const std::string folder(output.substr(0, slash == 0 ? 1 : slash));
  const fs::file_status st = fs::status(folder, ec);
  if (st.type() == fs::file_type::not_found) return "is in the folder " + quote(folder) + ", which does not exist";
  if (ec) return "is in the folder " + quote(folder) + ", which cannot be reached: " + ec.message();
  if (!fs::is_directory(st)) return "is in " + quote(folder) + ", which is not a folder";
  return {};
}

std::string answer_script(std::string_view record, const ProcessingOptions& opts) {
  std::string s;
  s.append(record).append("\n");
  if (std::find(opts.flip.begin(), opts.flip.end(), true) != opts.flip.end()) {
    s.append("1\n");
    for (const bool f : opts.flip) s.append(f ? "1\n" : "0\n");
  } else {
    s.append("0\n");
  }
  if (opts.bandpass) {
    const auto& c = *opts.bandpass;
    s.append("1\n").append(c[0]).append(" ").append(c[1]).append(" ").append(c[2]).append(" ").append(c[3]).append("\n");
  } else {
    s.append("0\n");
  }
  s.append(std::to_string(opts.nit)).append("\n");
  if (opts.cut) {
    s.append("1\n").append((*opts.cut)[0]).append("\n").append((*opts.cut)[1]).append("\n");
  } else {
    s.append("0\n");
  }
  s.append(opts.skip).append("\n");
  s.append(opts.output).append("\n");
  s.append("\n");
  return s;
}

}  // namespace wavefft::cli
