// SPDX-License-Identifier: GPL-3.0-or-later
// Reading wavefft-correct's command line. A value is refused here when it
// is not of the option's kind (a number, a word it knows); the ranges are
// check_settings', once the record is read.
#include "correct/arguments.h"

#include <optional>
#include <string>

#include "common/numbers.h"
#include "common/options.h"

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

void set_lowpass(Arguments& a, std::string_view v) {
  Settings& s = a.settings;
  s.no_lowpass = v == "none";
  s.lowpass = s.no_lowpass ? std::nullopt : corner("--lowpass", v);
}

void set_order(Arguments& a, std::string_view v) {
  Settings& s = a.settings;
  const std::optional<long long> n = common::to_integer(v);
  if (!n || *n < 1 || *n > kMaxOrder) {
    throw Refused{"--order \"" + std::string(v) + "\": the order must be a whole number from 1 to " +
                  std::to_string(kMaxOrder)};
  }
  s.order = static_cast<int>(*n);
}

void set_taper(Arguments& a, std::string_view v) {
  Settings& s = a.settings;
  const std::optional<double> f = number(v);
  if (!f) throw Refused{"--taper \"" + std::string(v) + "\": not a number"};
  s.taper = *f;
}

void set_baseline(Arguments& a, std::string_view v) {
  Settings& s = a.settings;
  if (v != "poly6" && v != "none") throw Refused{"--baseline \"" + std::string(v) + "\": use poly6 or none"};
  s.baseline = v == "poly6";
}

void set_onset(Arguments& a, std::string_view v) {
  Settings& s = a.settings;
  if (v == "auto") {
    s.onset_s.reset();
    return;
  }
  const std::optional<double> t = number(v);
  if (!t) throw Refused{"--onset \"" + std::string(v) + "\": not a number of seconds or auto"};
  s.onset_s = *t;
}

void set_out(Arguments& a, std::string_view v) { a.out = std::string(v); }
void set_summary(Arguments& a, std::string_view v) { a.summary = std::string(v); }
void set_unit(Arguments& a, std::string_view v) { a.unit = std::string(v); }
void set_highpass(Arguments& a, std::string_view v) { a.settings.highpass = corner("--highpass", v); }

struct Option {
  std::string_view name;
  void (*store)(Arguments&, std::string_view);
};
constexpr Option kOptions[] = {
    {"-o", set_out},
    {"--summary", set_summary},
    {"--unit", set_unit},
    {"--highpass", set_highpass},
    {"--lowpass", set_lowpass},
    {"--order", set_order},
    {"--taper", set_taper},
    {"--baseline", set_baseline},
    {"--onset", set_onset},
};

}  // namespace

const std::string_view kHelp =
    "Usage: wavefft-correct [-o OUT] [--highpass F|auto] [--lowpass F|auto|none] [--order N]\n"
    "                       [--taper FRAC] [--baseline poly6|none] [--onset T|auto]\n"
    "                       [--summary FILE] [--unit U] RECORD\n"
    "       wavefft-correct --help | --version\n"
    "\n"
    "Corrects a raw three-component acceleration record in the program's input\n"
    "layout (the unit is the fourth header word): the onset is picked on\n"
    "component 3, the pre-event mean removed, the ends tapered, the record\n"
    "band-passed with an acausal Butterworth filter whose corners come from the\n"
    "signal-to-noise ratio, and a polynomial baseline taken out of the\n"
    "displacement. Writes the corrected record in the same layout, every value\n"
    "the shortest decimal that reads back to the same number.\n"
    "\n"
    "  -o OUT           the corrected record (default: standard output); its\n"
    "                   missing folders are made\n"
    "  --highpass F     the high-pass corner in Hz, or auto (the default: from\n"
    "                   the noise, raised while the displacement drifts)\n"
    "  --lowpass F      the low-pass corner in Hz, auto (the default) or none\n"
    "  --order N        the Butterworth order, 1 to 100, default 5\n"
    "  --taper FRAC     the cosine taper at each end, a fraction of the record\n"
    "                   in [0, 0.5), default 0.05\n"
    "  --baseline B     poly6 (the default: t^2 .. t^6 fitted to the\n"
    "                   displacement) or none\n"
    "  --onset T        the onset in seconds after the first sample, or auto\n"
    "                   (the default: the Akaike criterion on component 3)\n"
    "  --summary FILE   a JSON description of the corners, flags and residuals\n"
    "  --unit U         the values' unit, g, gal, m_s2 or mm_s2, over the fourth\n"
    "                   header word (which the corrected record then says)\n"
    "  --help           show this text and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "A record is flagged, never refused, for no pre-event noise (no-noise), a\n"
    "ratio below 3 at 1 Hz (low-snr), a displacement that still drifts (drift)\n"
    "or velocity or displacement left at the end (residual).\n"
    "\n"
    "See wavefft-correct(1).\n";

ParsedArguments parse_arguments(std::span<const std::string_view> words) {
  ParsedArguments p;
  bool have_record = false, options_end = false;
  try {
    for (std::size_t i = 0; i < words.size(); ++i) {
      const std::string_view w = words[i];
      std::optional<std::string_view> value;
      const Option* o = options_end ? nullptr : common::find_value_option(words, i, kOptions, value);
      if (o) {
        if (!value) return p.usage = std::string(o->name) + " needs a value", p;
        o->store(p.arguments, *value);
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
