// SPDX-License-Identifier: GPL-3.0-or-later
// Reading wavefft-correct's command line. A value is refused here when it
// is not of the option's kind (a number, a word it knows); the ranges are
// check_settings', once the record is read.
#include "correct/arguments.h"

#include <optional>
#include <string>

#include "common/numbers.h"

namespace wavefft::correct {

namespace {

struct Refused {
  std::string why;
};

std::optional<double> number(std::string_view s) { return common::to_number(s, common::kOptionNumber); }

// F, or nothing for "auto".
std::optional<double> corner(std::string_view option, std::string_view v) {
  if (v == "auto") return std::nullopt;
  const std::optional<double> f = number(v);
  if (!f) throw Refused{std::string(option) + " \"" + std::string(v) + "\": not a number of Hz or auto"};
  return f;
}

void set_lowpass(Settings& s, std::string_view v) {
  s.no_lowpass = v == "none";
  s.lowpass = s.no_lowpass ? std::nullopt : corner("--lowpass", v);
}

void set_order(Settings& s, std::string_view v) {
  const std::optional<long long> n = common::to_integer(v);
  if (!n || *n < 1 || *n > kMaxOrder) {
    throw Refused{"--order \"" + std::string(v) + "\": the order must be a whole number from 1 to " +
                  std::to_string(kMaxOrder)};
  }
  s.order = static_cast<int>(*n);
}

void set_taper(Settings& s, std::string_view v) {
  const std::optional<double> f = number(v);
  if (!f) throw Refused{"--taper \"" + std::string(v) + "\": not a number"};
  s.taper = *f;
}

void set_baseline(Settings& s, std::string_view v) {
  if (v != "poly6" && v != "none") throw Refused{"--baseline \"" + std::string(v) + "\": use poly6 or none"};
  s.baseline = v == "poly6";
}

void set_onset(Settings& s, std::string_view v) {
  if (v == "auto") {
    s.onset_s.reset();
    return;
  }
  const std::optional<double> t = number(v);
  if (!t) throw Refused{"--onset \"" + std::string(v) + "\": not a number of seconds or auto"};
  s.onset_s = *t;
}

struct Option {
  std::string_view name;
  void (*store)(Arguments&, std::string_view);
};
constexpr Option kOptions[] = {
    {"-o", [](Arguments& a, std::string_view v) { a.out = std::string(v); }},
    {"--summary", [](Arguments& a, std::string_view v) { a.summary = std::string(v); }},
    {"--unit", [](Arguments& a, std::string_view v) { a.unit = std::string(v); }},
    {"--highpass", [](Arguments& a, std::string_view v) { a.settings.highpass = corner("--highpass", v); }},
    {"--lowpass", [](Arguments& a, std::string_view v) { set_lowpass(a.settings, v); }},
    {"--order", [](Arguments& a, std::string_view v) { set_order(a.settings, v); }},
    {"--taper", [](Arguments& a, std::string_view v) { set_taper(a.settings, v); }},
    {"--baseline", [](Arguments& a, std::string_view v) { set_baseline(a.settings, v); }},
    {"--onset", [](Arguments& a, std::string_view v) { set_onset(a.settings, v); }},
};

// The option `word` names ("--order" or "--order=4"), with its value when
// joined by '='.
const Option* find_option(std::string_view word, std::optional<std::string_view>& joined) {
  for (const Option& o : kOptions) {
    if (word == o.name) return &o;
    if (word.size() > o.name.size() && word.starts_with(o.name) && word[o.name.size()] == '=' && o.name != "-o") {
      joined = word.substr(o.name.size() + 1);
      return &o;
    }
  }
  return nullptr;
}

}  // namespace

ParsedArguments parse_arguments(std::span<const std::string_view> words) {
  ParsedArguments p;
  bool have_record = false, options_end = false;
  try {
    for (std::size_t i = 0; i < words.size(); ++i) {
      const std::string_view w = words[i];
      std::optional<std::string_view> value;
      const Option* o = options_end ? nullptr : find_option(w, value);
      if (o) {
        if (!value && i + 1 >= words.size()) return p.usage = std::string(o->name) + " needs a value", p;
        o->store(p.arguments, value ? *value : words[++i]);
      } else if (!options_end && w == "--") {
        options_end = true;
      } else if (!options_end && w.size() > 1 && w.front() == '-') {
        return p.usage = "unknown option '" + std::string(w) + "'", p;
      } else if (have_record) {
        return p.usage = "more than one RECORD ('" + p.arguments.record + "', '" + std::string(w) + "')", p;
      } else {
        p.arguments.record = std::string(w);
        have_record = true;
      }
    }
  } catch (const Refused& r) {
    p.refusal = r.why;
    return p;
  }
  if (!have_record) p.usage = "no RECORD given";
  if (!p.usage && p.arguments.out && p.arguments.summary && *p.arguments.out == *p.arguments.summary) {
    p.usage = "-o and --summary name the same file '" + *p.arguments.out + "'";
  }
  return p;
}

}  // namespace wavefft::correct
