#include "import/textscan.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <system_error>
#include <utility>

#include "import/sac_time.h"

namespace wavefft::import::text {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_sep(char c) { return c == ' ' || c == '\t' || c == ','; }
char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

/// Shows a field in a message: at most 40 characters, control bytes as '?'.
std::string shown(std::string_view s) {
  std::string out;
  for (const char c : s.substr(0, 40)) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
  if (s.size() > 40) out += "...";
  return out;
}

/// Finds the next word of `line` at or after position `i` (words are
/// separated by runs of blanks, tabs or commas) and moves `i` past it;
/// false when only separators are left.
bool next_word(std::string_view line, std::size_t& i, std::string_view& word) {
  while (i < line.size() && is_sep(line[i])) ++i;
  if (i >= line.size()) return false;
  std::size_t j = i;
  while (j < line.size() && !is_sep(line[j])) ++j;
  word = line.substr(i, j - i);
  i = j;
  return true;
}

/// The file ended after `got` of the `n` things (`what`) a block expects.
Problem ends_after(const std::string& file, std::size_t line, std::size_t got, std::size_t n, const char* what) {
  return fail(file, line, "the file ends after " + std::to_string(got) + " of " + std::to_string(n) + " " + what,
              Status::truncated);
}

/// How a block of values shows a field it cannot take: shown() in double
/// quotes, or quoted().
enum class Show { plain, quoted };

/// Appends `field` read as a number, times `factor` (1 keeps it as read),
/// to `out`. Otherwise a Problem at `line`: "not a number" (preceded by
/// "<label> <index> is" when a label is given), a missing-value flag (when
/// `refuse_flags`) or a value out of range.
Problem append_value(std::string_view field, const char* label, std::size_t index, Show show, double factor,
                     bool refuse_flags, const std::string& file, std::size_t line, std::vector<double>& out) {
  const auto show_field = [show](std::string_view f) {
    if (show == Show::quoted) return quoted(f);
    // built piecewise: `"\"" + string + "\""` trips a false -Wrestrict in g++ 12 -O3
    std::string s(1, '"');
    s += shown(f);
    s += '"';
    return s;
  };
  const std::optional<double> v = parse_number(field);
  if (!v) {
    const std::string what =
        label == nullptr ? std::string("not a number: ") : label + (" " + std::to_string(index)) + " is not a number: ";
    return fail(file, line, what + show_field(field));
  }
  if (refuse_flags && is_missing_flag(*v)) {
    const std::string_view flag = trim(field);
    return fail(file, line, "missing-value flag " + (show == Show::plain ? shown(flag) : quoted(flag)) + " in the data",
                Status::missing_value);
  }
  if (!std::isfinite(*v)) return fail(file, line, "value out of range: " + show_field(field));
  out.push_back(factor == 1.0 ? *v : *v * factor);
  return {};
}

}  // namespace

Lines::Lines(std::string_view bytes) : bytes_(bytes), end_(bytes.size()) {
  // "...\r\n\x1a\x1a\x1a": a trailing run of Ctrl-Z padding (with blanks or
  // line ends among it) is not content; the lines stop at its first Ctrl-Z.
  std::size_t e = end_;
  while (e > 0 && (bytes_[e - 1] == '\x1a' || bytes_[e - 1] == '\n' || bytes_[e - 1] == '\r' || is_blank(bytes_[e - 1]))) {
    --e;
  }
  const std::size_t first_z = bytes_.find('\x1a', e);
  if (first_z != std::string_view::npos) end_ = first_z;
}

bool Lines::next(std::string_view& line) {
  if (pos_ >= end_) return false;
  const std::size_t start = pos_;
  std::size_t i = start;
  while (i < end_ && bytes_[i] != '\n' && bytes_[i] != '\r') ++i;
  line = bytes_.substr(start, i - start);
  if (i < end_ && bytes_[i] == '\r') ++i;
  if (i < end_ && bytes_[i] == '\n') ++i;
  pos_ = i;
  ++number_;
  return true;
}

bool Lines::peek(std::string_view& line) const {
  Lines copy = *this;
  return copy.next(line);
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

Problem fail(const std::string& file, std::size_t line, std::string text, Status status) {
  return Problem{status, file, line, std::move(text)};
}

void skip_blank_lines(Lines& lines) {
  std::string_view line;
  while (lines.peek(line) && trim(line).empty()) lines.next(line);
}

Problem read_text_lines(Lines& lines, std::string_view* out, std::size_t n, std::size_t width, const std::string& file,
                        std::string_view ends_text) {
  std::string_view line;
  for (std::size_t k = 0; k < n; ++k) {
    if (!lines.next(line)) return fail(file, lines.number(), std::string(ends_text), Status::truncated);
    out[k] = line.substr(0, width);
  }
  return {};
}

Problem read_channel_text(Lines& lines, std::string_view* out, std::size_t n, std::string_view mark,
                          const std::string& file, bool& end) {
  skip_blank_lines(lines);
  end = lines.at_end();
  if (end) return {};
  if (Problem p = read_text_lines(lines, out, n, std::string_view::npos, file, "the file ends inside a channel's text header");
      !p.ok()) {
    return p;
  }
  if (n > 0 && !out[0].starts_with(mark)) {
    return fail(file, lines.number() - n + 1,
                "a channel does not start with \"" + std::string(mark) + "\": " + quoted(out[0]));
  }
  return {};
}

Problem skip_number_lines(Lines& lines, std::size_t n, const std::string& file, std::string_view ends_text) {
  std::string_view line;
  for (std::size_t k = 0; k < n; ++k) {
    if (!lines.next(line)) return fail(file, lines.number(), std::string(ends_text), Status::truncated);
    for (const std::string_view w : split_words(line)) {
      if (!parse_number(w)) return fail(file, lines.number(), "a header number is not a number: " + quoted(w));
    }
  }
  return {};
}

bool starts_with_nocase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (upper(s[i]) != upper(prefix[i])) return false;
  }
  return true;
}

std::size_t find_nocase(std::string_view s, std::string_view needle) {
  if (needle.empty()) return 0;
  for (std::size_t i = 0; i + needle.size() <= s.size(); ++i) {
    if (starts_with_nocase(s.substr(i), needle)) return i;
  }
  return std::string_view::npos;
}

namespace {

/// The exactly representable powers of ten, 1e0 .. 1e22.
constexpr double kExactPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

/// The quick path of parse_number for the plain decimals that fill data
/// blocks ("-7765", "0.000909", ".669326E-03"): at most 15 significant
/// digits and a power of ten within 1e-22 .. 1e22. The digits then form an
/// integer below 2^53 and the power is exact, so one IEEE division or
/// multiplication gives the correctly rounded value, the same double
/// from_chars gives. nullopt (not a verdict) for anything else: the caller
/// falls back to the general path.
std::optional<double> quick_decimal(const char* p, const char* end) {
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  std::uint64_t mantissa = 0;
  int significant = 0;
  int digits = 0;
  int exp10 = 0;
  for (; p != end && *p >= '0' && *p <= '9'; ++p, ++digits) {
    if (mantissa == 0 && *p == '0') continue;
    if (++significant > 15) return std::nullopt;
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  if (p != end && *p == '.') {
    for (++p; p != end && *p >= '0' && *p <= '9'; ++p, ++digits) {
      --exp10;
      if (mantissa == 0 && *p == '0') continue;
      if (++significant > 15) return std::nullopt;
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    }
  }
  if (digits == 0) return std::nullopt;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool minus = false;
    if (p != end && (*p == '-' || *p == '+')) minus = *p++ == '-';
    int e = 0;
    int e_digits = 0;
    for (; p != end && *p >= '0' && *p <= '9' && e_digits < 4; ++p, ++e_digits) e = e * 10 + (*p - '0');
    if (e_digits == 0) return std::nullopt;
    exp10 += minus ? -e : e;
  }
  if (p != end || exp10 < -22 || exp10 > 22) return std::nullopt;
  double v = static_cast<double>(mantissa);
  v = exp10 < 0 ? v / kExactPow10[-exp10] : v * kExactPow10[exp10];
  return negative ? -v : v;
}

}  // namespace

std::optional<double> parse_number(std::string_view field) {
  field = trim(field);
  if (field.empty()) return std::nullopt;
  if (const std::optional<double> quick = quick_decimal(field.data(), field.data() + field.size())) return quick;
  const char* first = field.data();
  const char* last = first + field.size();
  // from_chars takes no leading '+'.
  if (*first == '+') {
    ++first;
    if (first == last || *first == '-' || *first == '+') return std::nullopt;
  }
  double v = 0.0;
  auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ptr == last && ec == std::errc()) return v;
  if (ec == std::errc::result_out_of_range && ptr == last) return std::nullopt;
  // "1.5D+01" and "1.234-05": rewrite the exponent as "e" and parse again.
  char buf[128];
  const std::size_t len = static_cast<std::size_t>(last - first);
  if (len + 2 > sizeof buf) return std::nullopt;
  std::size_t k = 0;
  bool have_exp = false;
  for (std::size_t i = 0; i < len; ++i) {
    const char c = first[i];
    if ((c == 'D' || c == 'd') && !have_exp) {
      buf[k++] = 'e';
      have_exp = true;
    } else if ((c == '-' || c == '+') && i > 0 && !have_exp && (std::isdigit(static_cast<unsigned char>(first[i - 1])) || first[i - 1] == '.')) {
      buf[k++] = 'e';
      buf[k++] = c;
      have_exp = true;
    } else {
      buf[k++] = c;
    }
  }
  if (!have_exp) return std::nullopt;
  auto [p2, ec2] = std::from_chars(buf, buf + k, v, std::chars_format::general);
  if (p2 != buf + k || ec2 != std::errc()) return std::nullopt;
  return v;
}

Problem read_count(std::string_view word, std::string_view name, long long least, long long most,
                   const std::string& file, std::size_t line, long long& n) {
  const std::optional<long long> v = parse_integer(word);
  if (!v || *v < least || *v > most) {
    return fail(file, line,
                std::string(name) + " is not a count from " + std::to_string(least) + " to " + std::to_string(most) +
                    ": " + quoted(word));
  }
  n = *v;
  return {};
}

std::optional<long long> parse_integer(std::string_view field) {
  field = trim(field);
  if (!field.empty() && field.front() == '+') field.remove_prefix(1);
  if (field.empty()) return std::nullopt;
  long long v = 0;
  auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), v);
  if (ec != std::errc() || ptr != field.data() + field.size()) return std::nullopt;
  return v;
}

std::optional<FixedFormat> parse_fixed_format(std::string_view text) {
  const std::size_t open = text.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t close = text.find(')', open);
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view d = trim(text.substr(open + 1, close - open - 1));
  // A scale factor "1P" in front of E is allowed: "(1P5E15.7)".
  auto digits = [](std::string_view& s) -> std::optional<int> {
    std::size_t i = 0;
    int v = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
      if (v > 100000) return std::nullopt;
      v = v * 10 + (s[i] - '0');
      ++i;
    }
    if (i == 0) return std::nullopt;
    s.remove_prefix(i);
    return v;
  };
  std::optional<int> count = digits(d);
  if (count && !d.empty() && upper(d.front()) == 'P') {
    d.remove_prefix(1);
    count = digits(d);
  }
  if (!count) count = 1;
  if (d.empty()) return std::nullopt;
  const char kind = upper(d.front());
  if (kind != 'F' && kind != 'E' && kind != 'G' && kind != 'I' && kind != 'D') return std::nullopt;
  d.remove_prefix(1);
  const std::optional<int> width = digits(d);
  if (!width) return std::nullopt;
  if (!d.empty() && d.front() == '.') {
    d.remove_prefix(1);
    if (!digits(d)) return std::nullopt;
  }
  if (!trim(d).empty()) return std::nullopt;
  if (*count < 1 || *count > 1000 || *width < 1 || *width > 1000) return std::nullopt;
  return FixedFormat{*count, *width, kind};
}

bool is_missing_flag(double v) { return v == -999.0 || v == -32768.0 || std::fabs(v) >= 1.7e38; }

Problem read_fixed_block(Lines& lines, const FixedFormat& format, std::size_t n, double factor, bool refuse_flags,
                         const std::string& file, std::vector<double>& out) {
  const std::size_t per = static_cast<std::size_t>(format.per_line);
  const std::size_t width = static_cast<std::size_t>(format.width);
  out.reserve(out.size() + n);
  std::size_t got = 0;
  std::string_view line;
  while (got < n) {
    if (!lines.next(line)) return ends_after(file, lines.number(), got, n, "values");
    const std::size_t here = std::min(per, n - got);
    for (std::size_t k = 0; k < here; ++k) {
      const std::size_t at = k * width;
      if (at >= line.size()) {
        return fail(file, lines.number(),
                    "the line holds " + std::to_string(k) + " values where " + std::to_string(here) + " are expected",
                    Status::truncated);
      }
      if (Problem p = append_value(line.substr(at, width), "value", k + 1, Show::plain, factor, refuse_flags, file,
                                   lines.number(), out);
          !p.ok()) {
        return p;
      }
    }
    got += here;
  }
  return {};
}

Problem read_free_block(Lines& lines, std::size_t n, double factor, bool refuse_flags, const std::string& file,
                        std::vector<double>& out) {
  // A header's count is not trusted for memory: each value takes 2 bytes or more.
  if (n > 0) out.reserve(out.size() + std::min(n, lines.rest().size() / 2 + 1));
  std::size_t got = 0;
  std::string_view line;
  while (n == 0 || got < n) {
    if (!lines.next(line)) return n == 0 ? Problem{} : ends_after(file, lines.number(), got, n, "values");
    std::size_t i = 0;
    std::string_view word;
    while ((n == 0 || got < n) && next_word(line, i, word)) {
      // a word holds no blank or tab, so the flag is shown as the word itself
      if (Problem p = append_value(word, nullptr, 0, Show::plain, factor, refuse_flags, file, lines.number(), out);
          !p.ok()) {
        return p;
      }
      ++got;
    }
  }
  return {};
}

std::vector<std::string_view> split_words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  std::string_view word;
  while (next_word(line, i, word)) words.push_back(word);
  return words;
}

std::string_view word_after(std::string_view line, std::string_view label) {
  const std::size_t at = find_nocase(line, label);
  if (at == std::string_view::npos) return {};
  std::size_t i = at + label.size();
  while (i < line.size() && is_sep(line[i])) ++i;
  std::size_t j = i;
  while (j < line.size() && !is_sep(line[j])) ++j;
  return line.substr(i, j - i);
}

std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (const char c : s.substr(0, 40)) {
    const auto u = static_cast<unsigned char>(c);
    out += (u < 0x20 || u > 0x7e) ? '?' : c;
  }
  if (s.size() > 40) out += "...";
  out += '"';
  return out;
}

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

/// Reads `count` digits at s[i] (exactly that many), advancing i.
std::optional<int> fixed_digits(std::string_view s, std::size_t& i, std::size_t count) {
  if (i + count > s.size()) return std::nullopt;
  int v = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (!is_digit(s[i + k])) return std::nullopt;
    v = v * 10 + (s[i + k] - '0');
  }
  i += count;
  return v;
}

/// Reads 1 to `max_count` digits at s[i], advancing i; the count read goes to `used`.
std::optional<int> some_digits(std::string_view s, std::size_t& i, std::size_t max_count, std::size_t& used) {
  used = 0;
  int v = 0;
  while (i < s.size() && is_digit(s[i]) && used < max_count) {
    v = v * 10 + (s[i] - '0');
    ++i;
    ++used;
  }
  if (used == 0 || (i < s.size() && is_digit(s[i]))) return std::nullopt;
  return v;
}

}  // namespace

std::optional<std::int64_t> parse_clock(std::string_view t) {
  t = trim(t);
  std::size_t i = 0;
  std::size_t used = 0;
  int h = 0;
  int m = 0;
  int s = 0;
  const bool compact = t.size() >= 6 && (t.size() == 6 || t[6] == '.') &&
                       std::all_of(t.begin(), t.begin() + 6, [](char c) { return is_digit(c); });
  if (compact) {
    // "160905.700" -> 16:09:05.7
    h = *fixed_digits(t, i, 2);
    m = *fixed_digits(t, i, 2);
    s = *fixed_digits(t, i, 2);
  } else {
    // "23:50:29.000" -> 23:50:29; "23:50" -> 23:50:00
    const std::optional<int> hh = some_digits(t, i, 2, used);
    if (!hh || i >= t.size() || t[i] != ':') return std::nullopt;
    ++i;
    const std::optional<int> mm = fixed_digits(t, i, 2);
    if (!mm) return std::nullopt;
    h = *hh;
    m = *mm;
    if (i < t.size() && t[i] == ':') {
      ++i;
      const std::optional<int> ss = some_digits(t, i, 2, used);
      if (!ss) return std::nullopt;
      s = *ss;
    }
  }
  std::int64_t ns = 0;
  if (i < t.size() && t[i] == '.') {
    // ".7" -> 700000000 ns; digits past the ninth are dropped.
    ++i;
    std::int64_t scale = 100000000;
    while (i < t.size() && is_digit(t[i])) {
      ns += (t[i] - '0') * scale;
      scale /= 10;
      ++i;
    }
  }
  if (i != t.size() || h > 23 || m > 59 || s > 60) return std::nullopt;
  return ((std::int64_t{h} * 60 + m) * 60 + s) * 1000000000 + ns;
}

std::optional<std::int64_t> parse_date_time(std::string_view text, DateOrder order) {
  text = trim(text);
  std::size_t i = 0;
  int a = 0;
  int b = 0;
  int c = 0;
  std::size_t used_a = 0;
  std::size_t used_c = 0;
  const bool compact = text.size() >= 8 && (text.size() == 8 || !is_digit(text[8])) &&
                       std::all_of(text.begin(), text.begin() + 8, [](char ch) { return is_digit(ch); });
  if (compact) {
    // "20190728" (ymd) -> 2019, 07, 28
    const std::size_t first = order == DateOrder::ymd ? 4 : 2;
    const std::size_t last = order == DateOrder::ymd ? 2 : 4;
    a = *fixed_digits(text, i, first);
    b = *fixed_digits(text, i, 2);
    c = *fixed_digits(text, i, last);
    used_a = first;
    used_c = last;
  } else {
    // "20/07/2017" (dmy) -> 20, 07, 2017
    std::size_t used_b = 0;
    const std::optional<int> x = some_digits(text, i, 4, used_a);
    if (!x || i >= text.size()) return std::nullopt;
    const char sep = text[i];
    if (sep != '/' && sep != '-' && sep != '.') return std::nullopt;
    ++i;
    const std::optional<int> y = some_digits(text, i, 2, used_b);
    if (!y || i >= text.size() || text[i] != sep) return std::nullopt;
    ++i;
    const std::optional<int> z = some_digits(text, i, 4, used_c);
    if (!z) return std::nullopt;
    a = *x;
    b = *y;
    c = *z;
  }
  int year = 0;
  int month = 0;
  int day = 0;
  switch (order) {
    case DateOrder::ymd:
      if (used_a != 4) return std::nullopt;
      year = a, month = b, day = c;
      break;
    case DateOrder::dmy:
      if (used_c != 4) return std::nullopt;
      day = a, month = b, year = c;
      break;
    case DateOrder::mdy:
      if (used_c != 4) return std::nullopt;
      month = a, day = b, year = c;
      break;
  }
  // Years 1800..2200 keep every time (and a zone offset taken from it) far
  // inside the int64 ns range.
  if (year < 1800 || year > 2200) return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > caltime::days_in_month(year, month)) return std::nullopt;
  std::int64_t clock = 0;
  if (i < text.size()) {
    // "2018/02/06-23:50:29.000": one or more of blank, '-', '_', 'T' before the time.
    const std::size_t time_at = i;
    while (i < text.size() && (is_blank(text[i]) || text[i] == '-' || text[i] == '_' || text[i] == 'T')) ++i;
    if (i == time_at) return std::nullopt;
    const std::optional<std::int64_t> t = parse_clock(text.substr(i));
    if (!t) return std::nullopt;
    clock = *t;
  }
  return caltime::days_from_civil(year, month, day) * std::int64_t{86400000000000} + clock;
}

std::optional<Orientation> parse_orientation(std::string_view name) {
  name = trim(name);
  if (name.empty() || name.size() > 12) return std::nullopt;
  char buf[13] = {};
  for (std::size_t k = 0; k < name.size(); ++k) buf[k] = upper(name[k]);
  const std::string_view u(buf, name.size());
  Orientation o;
  for (const std::string_view v : {"UD", "U-D", "U", "UP", "V", "Z", "DWN", "DOWN", "VERT", "VERTICAL"}) {
    if (u == v) {
      o.vertical = true;
      return o;
    }
  }
  if (u == "EW" || u == "E-W" || u == "E") {
    o.azimuth = 90.0;
    return o;
  }
  if (u == "NS" || u == "N-S" || u == "N") {
    o.azimuth = 0.0;
    return o;
  }
  if (u.size() >= 3 && (u.front() == 'N' || u.front() == 'S') && (u.back() == 'E' || u.back() == 'W')) {
    // "S16W" -> 180 + 16 = 196; "N28W" -> 360 - 28 = 332
    const std::optional<double> a = parse_number(u.substr(1, u.size() - 2));
    if (!a || !(*a >= 0.0 && *a <= 90.0) || !is_digit(u[1])) return std::nullopt;
    double az = 0.0;
    if (u.front() == 'N') az = u.back() == 'E' ? *a : 360.0 - *a;
    else az = u.back() == 'E' ? 180.0 - *a : 180.0 + *a;
    o.azimuth = az >= 360.0 ? az - 360.0 : az;
    return o;
  }
  // "360" -> 0, "67" -> 67
  const std::optional<double> a = parse_number(u);
  if (!a || !(*a >= 0.0 && *a <= 360.0)) return std::nullopt;
  o.azimuth = *a == 360.0 ? 0.0 : *a;
  return o;
}

double interval_from_span(double span, double steps) {
  const double rate = steps / span;
  const double r = std::nearbyint(rate);
  if (std::isfinite(rate) && r >= 1.0 && r <= 1e9 && std::fabs(rate - r) <= 1e-9 * r) return 1.0 / r;
  return span / steps;
}

Problem read_pair_block(Lines& lines, std::size_t n, double factor, bool refuse_flags, const std::string& file,
                        std::vector<double>& out, double& dt, double& first_time) {
  if (n < 2) return fail(file, lines.number(), "time-value pairs need a count of 2 or more, not " + std::to_string(n));
  // The rest of the file bounds what can be reserved, whatever the header says.
  const std::size_t room = std::min(n, lines.rest().size() / 4 + 1);
  std::vector<double> times;
  std::vector<unsigned char> places;  // decimals printed after each time's point
  std::vector<std::pair<std::size_t, std::size_t>> starts;  // (first pair index, line number) per line
  times.reserve(room);
  places.reserve(room);
  out.reserve(out.size() + room);
  bool want_time = true;
  std::string_view line;
  while (times.size() < n || !want_time) {
    if (!lines.next(line)) return ends_after(file, lines.number(), times.size(), n, "time-value pairs");
    starts.emplace_back(times.size(), lines.number());
    std::size_t i = 0;
    std::string_view word;
    while ((times.size() < n || !want_time) && next_word(line, i, word)) {
      // Words are already free of blanks: try the quick path before the general one.
      std::optional<double> v = quick_decimal(word.data(), word.data() + word.size());
      if (!v) v = parse_number(word);
      if (!v) return fail(file, lines.number(), "not a number: " + quoted(word));
      if (!std::isfinite(*v)) return fail(file, lines.number(), "value out of range: " + quoted(word));
      if (want_time) {
        // "34.716" -> 3 places
        const std::size_t point = word.find('.');
        std::size_t p = 0;
        if (point != std::string_view::npos) {
          while (point + 1 + p < word.size() && is_digit(word[point + 1 + p])) ++p;
        }
        times.push_back(*v);
        places.push_back(static_cast<unsigned char>(std::min<std::size_t>(p, 9)));
      } else {
        if (refuse_flags && is_missing_flag(*v)) {
          return fail(file, lines.number(), "missing-value flag " + quoted(word) + " in the data", Status::missing_value);
        }
        out.push_back(factor == 1.0 ? *v : *v * factor);
      }
      want_time = !want_time;
    }
  }
  const double span = times.back() - times.front();
  if (!(span > 0.0) || !std::isfinite(span)) {
    return fail(file, lines.number(), "the times do not increase: the last pair's time is not after the first's",
                Status::uneven_times);
  }
  dt = interval_from_span(span, static_cast<double>(n - 1));
  first_time = times.front();
  auto line_of = [&](std::size_t k) {
    const auto it = std::upper_bound(starts.begin(), starts.end(), k,
                                     [](std::size_t index, const std::pair<std::size_t, std::size_t>& s) { return index < s.first; });
    return it == starts.begin() ? std::size_t{0} : std::prev(it)->second;
  };
  // One unit of the last printed decimal, but never a quarter step or more.
  static constexpr double kUnit[10] = {1, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9};
  auto tolerance = [&](std::size_t k) { return std::min(kUnit[places[k]] + 1e-6, 0.25 * dt); };
  for (std::size_t k = 0; k < n; ++k) {
    const double expected = times.front() + static_cast<double>(k) * dt;
    if (std::fabs(times[k] - expected) <= tolerance(k)) continue;
    // Name the first step that is a gap or a stall ("2.168" then "2.181" at
    // dt 0.0043) when there is one: that is where the spacing breaks.
    char buf[200];
    for (std::size_t j = 1; j < n; ++j) {
      const double step = times[j] - times[j - 1];
      const double slack = tolerance(j) + tolerance(j - 1);
      if (step > 1.5 * dt + slack || step < 0.5 * dt - slack) {
        std::snprintf(buf, sizeof buf, "the time steps from %.*f to %.*f (pair %zu), where the pairs are %.9g s apart",
                      static_cast<int>(places[j - 1]), times[j - 1], static_cast<int>(places[j]), times[j], j + 1, dt);
        return fail(file, line_of(j), buf, Status::uneven_times);
      }
    }
    std::snprintf(buf, sizeof buf, "time %.*f of pair %zu is off the even spacing of %.9g s (expected %.*f)",
                  static_cast<int>(places[k]), times[k], k + 1, dt, static_cast<int>(places[k]) + 3, expected);
    return fail(file, line_of(k), buf, Status::uneven_times);
  }
  return {};
}

Problem read_columns(Lines& lines, std::size_t columns, std::size_t width, std::size_t rows, double factor,
                     bool refuse_flags, const std::string& file, std::vector<std::vector<double>>& out) {
  if (columns == 0 || columns > 1000 || width > 1000) {
    return fail(file, lines.number(), "a table of " + std::to_string(columns) + " columns is not read");
  }
  out.assign(columns, {});
  const std::size_t room = std::min(rows == 0 ? lines.rest().size() : rows, lines.rest().size() / (2 * columns) + 1);
  for (auto& column : out) column.reserve(room);
  std::size_t got = 0;
  std::string_view line;
  auto take = [&](std::string_view field, std::size_t c) -> Problem {
    return append_value(field, "column", c + 1, Show::quoted, factor, refuse_flags, file, lines.number(), out[c]);
  };
  while (rows == 0 || got < rows) {
    if (!lines.next(line)) return rows == 0 ? Problem{} : ends_after(file, lines.number(), got, rows, "rows");
    std::size_t c = 0;
    if (width == 0) {
      // "  0.000909     -0.000191    -0.000092" -> three values
      std::size_t i = 0;
      std::string_view word;
      while (next_word(line, i, word)) {
        if (c == columns) {
          return fail(file, lines.number(), "the row holds more than " + std::to_string(columns) + " values");
        }
        if (Problem p = take(word, c); !p.ok()) return p;
        ++c;
      }
    } else {
      // "    -0.084    -0.052     0.108" by 10-character columns
      for (; c < columns && c * width < line.size() && !trim(line.substr(c * width, width)).empty(); ++c) {
        if (Problem p = take(line.substr(c * width, width), c); !p.ok()) return p;
      }
      if (c == columns && columns * width < line.size() && !trim(line.substr(columns * width)).empty()) {
        return fail(file, lines.number(), "the row holds more than " + std::to_string(columns) + " values");
      }
    }
    if (c != columns) {
      return fail(file, lines.number(),
                  "the row holds " + std::to_string(c) + " values where " + std::to_string(columns) + " are expected");
    }
    ++got;
  }
  return {};
}

}  // namespace wavefft::import::text
