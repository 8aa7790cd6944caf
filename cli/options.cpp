#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>

namespace wavefft::cli {

namespace {

/// Longest file name the dialogue's "(A90)" line read keeps.
constexpr std::size_t kMaxNameLength = 90;
/// Largest skip answer: the row step is the answer plus one, a 32-bit count.
constexpr std::uint64_t kMaxSkip = 2147483646;

// The number reader below takes a value exactly as the dialogue's free-form
// reader does, so that a value accepted here is the very double the run
// will see: at most 40 significant digits are kept (later ones only move the
// exponent or are dropped), an exponent field above 99999999 is no number,
// and the kept digits round to the nearest double.
constexpr std::size_t kKeptDigits = 40;
constexpr std::int64_t kMaxExponentField = 99'999'999;
constexpr std::int64_t kExponentCap = std::int64_t{1} << 50;

std::int64_t add_capped(std::int64_t exponent, std::int64_t delta) {
  return std::clamp(exponent + delta, -kExponentCap, kExponentCap);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_exponent_letter(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

/// The value of `text` when it is a plain number: [sign] digits [. digits]
/// or [sign] . digits, then optionally e/E/d/D, an optional sign and
/// digits. Beyond the double range the value is an infinity. Anything else
/// (blanks, repeat counts, commas, slashes, a sign-only exponent) is no
/// number here.
std::optional<double> plain_number(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string digits;  // significant digits, the first nonzero
  std::int64_t exponent = 0;
  bool any_digit = false;
  while (i < n && text[i] == '0') {
    any_digit = true;
    ++i;
  }
  while (i < n && is_digit(text[i])) {
    any_digit = true;
    if (digits.size() < kKeptDigits) {
      digits.push_back(text[i]);
    } else {
      exponent = add_capped(exponent, 1);
    }
    ++i;
  }
  if (i < n && text[i] == '.') {
    ++i;
    if (digits.empty()) {
      while (i < n && text[i] == '0') {
        any_digit = true;
        exponent = add_capped(exponent, -1);
        ++i;
      }
    }
    while (i < n && is_digit(text[i])) {
      any_digit = true;
      if (digits.size() < kKeptDigits) {
        digits.push_back(text[i]);
        exponent = add_capped(exponent, -1);
      }
      ++i;
    }
  }
  if (!any_digit) return std::nullopt;
  if (i < n && is_exponent_letter(text[i])) {
    ++i;
    bool exponent_negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) exponent_negative = text[i++] == '-';
    if (i == n || !is_digit(text[i])) return std::nullopt;
    std::int64_t e = 0;
    while (i < n && is_digit(text[i])) {
      e = e * 10 + (text[i] - '0');
      if (e > kMaxExponentField) return std::nullopt;
      ++i;
    }
    exponent = add_capped(exponent, exponent_negative ? -e : e);
  }
  if (i != n) return std::nullopt;

  while (!digits.empty() && digits.back() == '0') {
    digits.pop_back();
    exponent = add_capped(exponent, 1);
  }
  if (digits.empty()) return 0.0;
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const std::int64_t magnitude = exponent + static_cast<std::int64_t>(digits.size());
  double v = 0.0;
  if (magnitude > 400) {
    v = kInf;
  } else if (magnitude >= -400) {
    const std::string scaled = digits + "e" + std::to_string(exponent);
    const auto result = std::from_chars(scaled.data(), scaled.data() + scaled.size(), v);
    // Out of range: the nearest double is 0 or infinity, which from_chars
    // does not store.
    if (result.ec == std::errc::result_out_of_range) v = magnitude > 0 ? kInf : 0.0;
  }
  return negative ? -v : v;
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

/// Reads `count` comma-separated finite numbers. On failure returns the
/// reason (without the option's name).
std::string finite_numbers(std::string_view value, std::size_t count, const char* shape, std::vector<double>& out) {
  const auto items = split_commas(value);
  if (items.size() != count) return quote(value) + " is not " + shape;
  out.clear();
  for (const std::string_view item : items) {
    const auto v = plain_number(item);
    if (!v) return quote(item) + " is not a number";
    if (!std::isfinite(*v)) return quote(item) + " is beyond the range of numbers";
    out.push_back(*v);
  }
  return {};
}

std::string check_flip(std::string_view value, std::array<bool, 3>& flip) {
  std::array<bool, 3> chosen{};
  for (const std::string_view item : split_commas(value)) {
    if (item.size() != 1 || item[0] < '1' || item[0] > '3') {
      return quote(value) + " is not a list of components from 1, 2, 3 (such as 1,3)";
    }
    chosen[static_cast<std::size_t>(item[0] - '1')] = true;
  }
  flip = chosen;
  return {};
}

std::string check_bandpass(std::string_view value, std::optional<std::array<std::string, 4>>& bandpass) {
  std::vector<double> f;
  std::string problem = finite_numbers(value, 4, "four numbers fL1,fL2,fH1,fH2", f);
  if (!problem.empty()) return problem;
  if (f[0] < 0.0) return quote(value) + ": the corners must be 0 or more";
  if (!(f[0] <= f[1] && f[1] <= f[2] && f[2] <= f[3])) {
    return quote(value) + ": the corners must not decrease (fL1 <= fL2 <= fH1 <= fH2)";
  }
  const auto items = split_commas(value);
  bandpass.emplace();
  for (std::size_t k = 0; k < 4; ++k) (*bandpass)[k] = std::string(items[k]);
  return {};
}

std::string check_cut(std::string_view value, std::optional<std::array<std::string, 2>>& cut) {
  std::vector<double> t;
  std::string problem = finite_numbers(value, 2, "two numbers START,DURATION", t);
  if (!problem.empty()) return problem;
  if (t[1] < 0.0) return quote(value) + ": the duration must be 0 or more";
  const auto items = split_commas(value);
  cut = std::array<std::string, 2>{std::string(items[0]), std::string(items[1])};
  return {};
}

std::string check_skip(std::string_view value, std::string& skip) {
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
  skip = std::string(value);
  return {};
}

enum class Kind { flip, bandpass, integrate, double_integrate, differentiate, cut, skip, output };

struct OptionName {
  std::string_view name;
  Kind kind;
  bool takes_value;
};

constexpr OptionName kOptions[] = {
    {"--flip", Kind::flip, true},
    {"--bandpass", Kind::bandpass, true},
    {"--integrate", Kind::integrate, false},
    {"--double-integrate", Kind::double_integrate, false},
    {"--differentiate", Kind::differentiate, false},
    {"--cut", Kind::cut, true},
    {"--skip", Kind::skip, true},
    {"--output", Kind::output, true},
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
  if (i < 0 || i >= argc || argv[i] == nullptr) return Take::not_mine;
  const std::string_view arg = argv[i];
  const std::size_t eq = arg.find('=');
  const std::string_view name = arg.substr(0, eq);
  const OptionName* option = nullptr;
  for (const OptionName& o : kOptions) {
    if (o.name == name) option = &o;
  }
  if (option == nullptr) return Take::not_mine;
  const std::string label(name);

  std::string_view value;
  int last = i;
  if (!option->takes_value) {
    if (eq != std::string_view::npos) {
      error = label + ": takes no value";
      return Take::error;
    }
  } else if (eq != std::string_view::npos) {
    value = arg.substr(eq + 1);
  } else if (i + 1 < argc && argv[i + 1] != nullptr) {
    value = argv[i + 1];
    last = i + 1;
  } else {
    error = label + ": needs a value";
    return Take::error;
  }

  const unsigned bit = 1u << static_cast<unsigned>(option->kind);
  std::string problem;
  if ((opts.seen & bit) != 0) {
    problem = "given twice";
  } else {
    switch (option->kind) {
      case Kind::flip:
        problem = check_flip(value, opts.flip);
        break;
      case Kind::bandpass:
        problem = check_bandpass(value, opts.bandpass);
        break;
      case Kind::integrate:
      case Kind::double_integrate:
      case Kind::differentiate:
        if (opts.nit != 0) {
          problem = "only one of --integrate, --double-integrate, --differentiate may be given";
        } else {
          opts.nit = option->kind == Kind::integrate ? 1 : option->kind == Kind::double_integrate ? 2 : 3;
        }
        break;
      case Kind::cut:
        problem = check_cut(value, opts.cut);
        break;
      case Kind::skip:
        problem = check_skip(value, opts.skip);
        break;
      case Kind::output:
        if (const std::string p = typeable_name_problem(value); !p.empty()) {
          problem = quote(value) + " " + p;
        } else {
          opts.output = std::string(value);
        }
        break;
    }
  }
  if (!problem.empty()) {
    error = label + ": " + problem;
    return Take::error;
  }
  opts.seen |= bit;
  opts.any = true;
  i = last;
  return Take::taken;
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
