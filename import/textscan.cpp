#include "import/textscan.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

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

Problem bad(const std::string& file, std::size_t line, std::string text, Status status = Status::malformed) {
  return Problem{status, file, line, std::move(text)};
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

std::optional<double> parse_number(std::string_view field) {
  field = trim(field);
  if (field.empty()) return std::nullopt;
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
    if (!lines.next(line)) {
      return bad(file, lines.number(),
                 "the file ends after " + std::to_string(got) + " of " + std::to_string(n) + " values",
                 Status::truncated);
    }
    const std::size_t here = std::min(per, n - got);
    for (std::size_t k = 0; k < here; ++k) {
      const std::size_t at = k * width;
      if (at >= line.size()) {
        return bad(file, lines.number(),
                   "the line holds " + std::to_string(k) + " values where " + std::to_string(here) + " are expected",
                   Status::truncated);
      }
      const std::string_view field = line.substr(at, width);
      const std::optional<double> v = parse_number(field);
      if (!v) return bad(file, lines.number(), "value " + std::to_string(k + 1) + " is not a number: \"" + shown(field) + "\"");
      if (refuse_flags && is_missing_flag(*v)) {
        return bad(file, lines.number(), "missing-value flag " + shown(trim(field)) + " in the data", Status::missing_value);
      }
      if (!std::isfinite(*v)) return bad(file, lines.number(), "value out of range: \"" + shown(field) + "\"");
      out.push_back(factor == 1.0 ? *v : *v * factor);
    }
    got += here;
  }
  return {};
}

Problem read_free_block(Lines& lines, std::size_t n, double factor, bool refuse_flags, const std::string& file,
                        std::vector<double>& out) {
  if (n > 0) out.reserve(out.size() + n);
  std::size_t got = 0;
  std::string_view line;
  while (n == 0 || got < n) {
    if (!lines.next(line)) {
      if (n == 0) return {};
      return bad(file, lines.number(),
                 "the file ends after " + std::to_string(got) + " of " + std::to_string(n) + " values",
                 Status::truncated);
    }
    std::size_t i = 0;
    const std::size_t len = line.size();
    while (i < len && (n == 0 || got < n)) {
      while (i < len && is_sep(line[i])) ++i;
      if (i >= len) break;
      std::size_t j = i;
      while (j < len && !is_sep(line[j])) ++j;
      const std::string_view word = line.substr(i, j - i);
      const std::optional<double> v = parse_number(word);
      if (!v) return bad(file, lines.number(), "not a number: \"" + shown(word) + "\"");
      if (refuse_flags && is_missing_flag(*v)) {
        return bad(file, lines.number(), "missing-value flag " + shown(word) + " in the data", Status::missing_value);
      }
      if (!std::isfinite(*v)) return bad(file, lines.number(), "value out of range: \"" + shown(word) + "\"");
      out.push_back(factor == 1.0 ? *v : *v * factor);
      ++got;
      i = j;
    }
  }
  return {};
}

std::vector<std::string_view> split_words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && is_sep(line[i])) ++i;
    if (i >= line.size()) break;
    std::size_t j = i;
    while (j < line.size() && !is_sep(line[j])) ++j;
    words.push_back(line.substr(i, j - i));
    i = j;
  }
  return words;
}

}  // namespace wavefft::import::text
