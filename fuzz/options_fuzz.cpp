// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the processing options of wavefft and wavefft-batch
// (cli/options.h) on arbitrary argument lists.
//
// The input is split on NUL bytes into an argument list (at most 64
// arguments). Every argument is offered to take_option in a loop like a
// main's; the arguments it does not take are the positionals, the first of
// which stands for the record. Errors do not end the loop, so that later
// options are reached too.
//
// Checks, besides the sanitizers:
//  - not_mine and error leave the options and the index untouched; taken
//    moves the index by 0 or 1 (the value argument), adds exactly one new
//    bit to `seen` and sets `any`; an error names the option and stays on
//    one line (no control bytes: values are quoted);
//  - accepted texts: four non-empty corners and two non-empty cut values
//    holding no blank, comma or line end, a skip of digits (after an
//    optional '+'), an output name that typeable_name_problem accepts;
//  - the options rebuilt as "--name=value" arguments parse back to the same
//    options (the two ways of giving a value agree);
//  - answer_script starts with the record's line, ends in "\n\n" and has
//    exactly the lines the dialogue asks for;
//  - typeable_name_problem agrees with the rules it states; output_clash
//    refuses amp3.csv, fort.99 and the record itself, and its reason and
//    quote()'s text stay on one line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"

namespace {

namespace wc = wavefft::cli;

void check(bool ok) {
  if (!ok) std::abort();
}

bool same(const wc::ProcessingOptions& a, const wc::ProcessingOptions& b) {
  return a.flip == b.flip && a.bandpass == b.bandpass && a.nit == b.nit && a.cut == b.cut && a.skip == b.skip &&
         a.output == b.output && a.any == b.any && a.seen == b.seen;
}

bool one_line_text(std::string_view s) {
  return std::none_of(s.begin(), s.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7f;
  });
}

// A corner or cut value as it is typed into the dialogue: one free-form item.
bool plain_item(const std::string& s) {
  return !s.empty() && s.find_first_of(" \t,\n\r/") == std::string::npos;
}

// The rules typeable_name_problem states, written out again.
bool typeable(std::string_view name) {
  if (name.empty() || name.size() > 90) return false;
  for (const char c : name) {
    if (c == '\0' || c == '\n' || c == '\r') return false;
  }
  return name.back() != ' ' && name.back() != '\t';
}

struct Parsed {
  wc::ProcessingOptions opts;
  std::vector<std::string> positionals;
};

Parsed parse(const std::vector<const char*>& argv) {
  Parsed p;
  const int argc = static_cast<int>(argv.size());
  for (int i = 0; i < argc; ++i) {
    const int before = i;
    const wc::ProcessingOptions old = p.opts;
    std::string error;
    const wc::Take t = wc::take_option(argc, argv.data(), i, p.opts, error);
    switch (t) {
      case wc::Take::not_mine:
        check(i == before && same(old, p.opts) && error.empty());
        p.positionals.emplace_back(argv[static_cast<std::size_t>(i)]);
        break;
      case wc::Take::error: {
        check(i == before && same(old, p.opts));
        check(!error.empty() && error.rfind("--", 0) == 0 && one_line_text(error));
        // The message opens with the option's name as typed before any '='.
        const std::string_view arg = argv[static_cast<std::size_t>(before)];
        const std::string_view name = arg.substr(0, arg.find('='));
        check(error.compare(0, name.size() + 1, std::string(name) + ":") == 0);
        break;
      }
      case wc::Take::taken: {
        check(i == before || i == before + 1);
        check(std::string_view(argv[static_cast<std::size_t>(before)]).rfind("--", 0) == 0);
        const unsigned added = p.opts.seen & ~old.seen;
        check((old.seen & ~p.opts.seen) == 0 && added != 0 && (added & (added - 1)) == 0);
        check(p.opts.any);
        break;
      }
    }
  }
  return p;
}

void check_values(const wc::ProcessingOptions& o) {
  if (o.bandpass) {
    for (const std::string& c : *o.bandpass) check(plain_item(c));
  }
  if (o.cut) {
    for (const std::string& c : *o.cut) check(plain_item(c));
  }
  const std::string_view digits = !o.skip.empty() && o.skip[0] == '+' ? std::string_view(o.skip).substr(1) : o.skip;
  check(!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }));
  check(o.nit >= 0 && o.nit <= 3);
  check(wc::typeable_name_problem(o.output).empty());
}

// The options as "--name=value" arguments (bits of `seen` in the order of
// the option table: flip, bandpass, integrate, double-integrate,
// differentiate, cut, skip, output).
std::vector<std::string> rebuilt(const wc::ProcessingOptions& o) {
  std::vector<std::string> args;
  if (o.seen & 1u) {
    std::string list;
    for (std::size_t k = 0; k < 3; ++k) {
      if (o.flip[k]) list += (list.empty() ? "" : ",") + std::to_string(k + 1);
    }
    args.push_back("--flip=" + list);
  }
  if (o.bandpass) {
    const auto& c = *o.bandpass;
    args.push_back("--bandpass=" + c[0] + "," + c[1] + "," + c[2] + "," + c[3]);
  }
  if (o.nit == 1) args.emplace_back("--integrate");
  if (o.nit == 2) args.emplace_back("--double-integrate");
  if (o.nit == 3) args.emplace_back("--differentiate");
  if (o.cut) args.push_back("--cut=" + (*o.cut)[0] + "," + (*o.cut)[1]);
  if (o.seen & (1u << 6)) args.push_back("--skip=" + o.skip);
  if (o.seen & (1u << 7)) args.push_back("--output=" + o.output);
  return args;
}

void check_script(const std::string& record, const wc::ProcessingOptions& o) {
  const std::string s = wc::answer_script(record, o);
  check(s.size() >= 2 && s.compare(s.size() - 2, 2, "\n\n") == 0);
  check(s.compare(0, record.size() + 1, record + "\n") == 0);
  if (record.find_first_of("\n\r") != std::string::npos) return;
  const bool flipped = std::find(o.flip.begin(), o.flip.end(), true) != o.flip.end();
  // record, sign (+3), band-pass (+1), menu, cut (+2), skip, output, final wait
  const std::size_t lines = 1 + (flipped ? 4 : 1) + (o.bandpass ? 2 : 1) + 1 + (o.cut ? 3 : 1) + 1 + 1 + 1;
  check(static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')) == lines);
  check(s.find(std::to_string(o.nit) + "\n" + (o.cut ? "1\n" : "0\n")) != std::string::npos);
  // The last three lines: skip, output, the empty line of the final wait.
  check(s.size() >= o.skip.size() + o.output.size() + 3);
  check(s.compare(s.size() - o.skip.size() - o.output.size() - 3, std::string::npos,
                  o.skip + "\n" + o.output + "\n\n") == 0);
}

void check_names(const std::string& output, const std::string& record) {
  const std::string problem = wc::typeable_name_problem(record);
  check(problem.empty() == typeable(record) && one_line_text(problem));
  for (const std::string& name : {output, record}) {
    const std::string q = wc::quote(name);
    check(q.size() >= 2 && q.front() == '\'' && q.back() == '\'' && one_line_text(q));
  }
  const std::string clash = wc::output_clash(output, record);
  check(one_line_text(clash));
  if (output == record) check(!clash.empty());
  check(!wc::output_clash("amp3.csv", record).empty());
  check(!wc::output_clash("./fort.99", record).empty());
  if (!record.empty()) check(!wc::output_clash(record, record).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  std::vector<std::string> args;
  std::string current;
  for (std::size_t k = 0; k < size && args.size() < 64; ++k) {
    if (data[k] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[k]));
    }
  }
  if (args.size() < 64) args.push_back(current);
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());

  const Parsed first = parse(argv);
  check_values(first.opts);

  const std::vector<std::string> again = rebuilt(first.opts);
  std::vector<const char*> again_argv;
  for (const std::string& a : again) again_argv.push_back(a.c_str());
  const Parsed second = parse(again_argv);
  check(second.positionals.empty() && same(first.opts, second.opts));

  const std::string record = first.positionals.empty() ? std::string("wave.txt") : first.positionals.front();
  check_script(record, first.opts);
  check_names(first.opts.output, record);
  return 0;
}
