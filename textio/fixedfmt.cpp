// SPDX-License-Identifier: GPL-3.0-or-later
#include "textio/fixedfmt.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "textio/decimal.h"

namespace wavefft::textio {

namespace {

using Node = FixedFormat::Node;

Node make_node(Node::Kind kind) {
  Node n;
  n.kind = kind;
  return n;
}

// ---------------------------------------------------------------------------
// Fields

/// Largest fixed text of a finite double: 309 integer digits, the point and
/// kMaxFieldDecimals decimals.
constexpr std::size_t kFixedBuffer = 512;
/// Largest exponent-field text: sign, "0.", kMaxFieldDecimals digits, exponent.
constexpr std::size_t kExpBuffer = 128;

/// Whether w and d are within the limits the field functions are built for.
bool field_args_ok(int w, int d, int min_d) {
  return w >= 1 && w <= kMaxFieldWidth && d >= min_d && d <= kMaxFieldDecimals;
}

void append_asterisks(std::string& out, int w) { out.append(static_cast<std::size_t>(w), '*'); }

/// Right-justifies [sign] text in w columns; the caller has checked the fit.
void append_justified(std::string& out, int w, bool minus, const char* text, std::size_t len) {
  const std::size_t n = len + (minus ? 1 : 0);
  out.append(static_cast<std::size_t>(w) - n, ' ');
  if (minus) out.push_back('-');
  out.append(text, len);
}

/// Infinity or NaN in a number field (only values beyond the double range in
/// the input lead here). Right-justified "Infinity", "-Infinity" or "NaN"
/// when it fits the width, otherwise "Inf" or "-Inf", otherwise asterisks:
/// +inf, width 8 -> "Infinity"; -inf, width 8 -> "    -Inf"; NaN, width 2 -> "**".
void append_non_finite(std::string& out, double x, int w) {
  const bool minus = std::signbit(x) && !std::isnan(x);
  const char* text = std::isnan(x) ? "NaN" : "Infinity";
  std::size_t len = std::strlen(text);
  if (len + (minus ? 1 : 0) > static_cast<std::size_t>(w) && std::isinf(x)) len = 3;  // "Inf"
  if (len + (minus ? 1 : 0) > static_cast<std::size_t>(w)) {
    append_asterisks(out, w);
    return;
  }
  append_justified(out, w, minus, text, len);
}

/// 10^n for 0 <= n <= 18.
std::uint64_t power_of_ten(int n) {
  std::uint64_t p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

bool has_nonzero_digit(const char* text, std::size_t len) {
  for (std::size_t i = 0; i < len; ++i) {
    if (text[i] >= '1' && text[i] <= '9') return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Format parsing

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  /// The whole format: "(" list ")" and nothing but blanks after it.
  bool parse(std::vector<Node>& nodes) {
    skip_blanks();
    if (!eat('(')) return false;
    if (!parse_list(nodes, 1)) return false;
    skip_blanks();
    return i_ == s_.size();
  }

 private:
  /// What came last inside a list; decides whether an item, a comma or the
  /// closing parenthesis may follow.
  enum class Prev : std::uint8_t { Open, Comma, Slash, Item };

  void skip_blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
  }

  int peek() {
    skip_blanks();
    return i_ < s_.size() ? static_cast<unsigned char>(s_[i_]) : -1;
  }

  bool eat(char c) {
    if (peek() != static_cast<unsigned char>(c)) return false;
    ++i_;
    return true;
  }

  static bool is_digit(int c) { return c >= '0' && c <= '9'; }

  static int upper(int c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

  /// An unsigned count; grows no further than just past kMaxFormatCount so a
  /// long digit string cannot overflow (the caller then rejects it).
  bool read_count(std::int32_t& v) {
    if (!is_digit(peek())) return false;
    v = 0;
    while (i_ < s_.size() && is_digit(s_[i_])) {
      if (v <= kMaxFormatCount) v = v * 10 + (s_[i_] - '0');
      ++i_;
    }
    return true;
  }

  /// The items up to and including the closing parenthesis of a list whose
  /// "(" has been consumed. Items are separated by commas; "/" is an item
  /// that needs no comma on either side.
  bool parse_list(std::vector<Node>& nodes, int depth) {
    if (depth > kMaxGroupDepth) return false;
    Prev prev = Prev::Open;
    for (;;) {
      const int c = peek();
      if (c < 0) return false;  // unclosed parenthesis
      if (c == ')') {
        ++i_;
        return prev != Prev::Comma;
      }
      if (c == ',') {
        if (prev == Prev::Open || prev == Prev::Comma) return false;
        ++i_;
        prev = Prev::Comma;
        continue;
      }
      if (c == '/') {
        ++i_;
        nodes.push_back(make_node(Node::Kind::Slash));
        prev = Prev::Slash;
        continue;
      }
      if (prev == Prev::Item) return false;  // two items without a comma
      if (!parse_item(nodes, depth)) return false;
      prev = Prev::Item;
    }
  }

  /// One item: 'literal', [n]X, [r](...), [r]Fw.d, [r]Ew.d, [r]A[w].
  bool parse_item(std::vector<Node>& nodes, int depth) {
    if (peek() == '\'') {
      ++i_;
      return parse_literal(nodes);
    }
    std::int32_t count = 1;
    const bool has_count = read_count(count);
    if (has_count && (count < 1 || count > kMaxFormatCount)) return false;

    const int c = upper(peek());
    if (c < 0) return false;
    ++i_;
    if (c == 'X') {
      Node n = make_node(Node::Kind::Shift);
      n.w = count;
      nodes.push_back(std::move(n));
      return true;
    }
    if (c == '(') {
      Node g = make_node(Node::Kind::Group);
      g.repeat = count;
      if (!parse_list(g.children, depth + 1)) return false;
      nodes.push_back(std::move(g));
      return true;
    }

    Node field = make_node(Node::Kind::A);
    if (c == 'F' || c == 'E') {
      field.kind = (c == 'F') ? Node::Kind::F : Node::Kind::E;
      if (!read_count(field.w) || !eat('.') || !read_count(field.d)) return false;
      const std::int32_t min_d = (c == 'E') ? 1 : 0;
      if (field.w < 1 || field.w > kMaxFieldWidth || field.d < min_d || field.d > kMaxFieldDecimals) {
        return false;
      }
    } else if (c == 'A') {
      // Aw, or A alone (w = 0: the length of the variable).
      if (read_count(field.w) && (field.w < 1 || field.w > kMaxFieldWidth)) return false;
    } else {
      return false;
    }

    if (count == 1) {
      nodes.push_back(std::move(field));
    } else {
      // rFw.d is the group r(Fw.d).
      Node g = make_node(Node::Kind::Group);
      g.repeat = count;
      g.children.push_back(std::move(field));
      nodes.push_back(std::move(g));
    }
    return true;
  }

  /// The rest of a literal whose opening apostrophe has been consumed;
  /// '' inside stands for one apostrophe. Blanks inside are kept.
  bool parse_literal(std::vector<Node>& nodes) {
    Node n = make_node(Node::Kind::Literal);
    for (;;) {
      if (i_ >= s_.size()) return false;  // unterminated
      const char ch = s_[i_++];
      if (ch == '\'') {
        if (i_ < s_.size() && s_[i_] == '\'') {
          n.literal.push_back('\'');
          ++i_;
          continue;
        }
        break;
      }
      n.literal.push_back(ch);
    }
    nodes.push_back(std::move(n));
    return true;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

// ---------------------------------------------------------------------------
// Rendering

/// A pending shift never grows beyond this many columns; only a pathological
/// format could get there.
constexpr std::int64_t kMaxPendingShift = std::int64_t{1} << 20;

/// The state of one write; lives for one record.
struct Walk {
  std::string& out;
  std::span<const double> values;
  std::size_t next = 0;       ///< index of the next value
  std::int64_t pending = 0;   ///< blanks owed by nX, written before the next output on the line
};

void apply_pending(Walk& s) {
  if (s.pending > 0) s.out.append(static_cast<std::size_t>(s.pending), ' ');
  s.pending = 0;
}

/// Walks `nodes` once from the left; false when the record has ended at a
/// number field that found no value left.
bool walk(const std::vector<Node>& nodes, Walk& s) {
  for (const Node& n : nodes) {
    switch (n.kind) {
      case Node::Kind::Literal:
        if (!n.literal.empty()) {
          apply_pending(s);
          s.out.append(n.literal);
        }
        break;
      case Node::Kind::Shift:
        s.pending = std::min(s.pending + n.w, kMaxPendingShift);
        break;
      case Node::Kind::Slash:
        // The shift owed on the finished line is dropped with it.
        s.out.push_back('\n');
        s.pending = 0;
        break;
      case Node::Kind::F:
      case Node::Kind::E:
        if (s.next >= s.values.size()) return false;
        apply_pending(s);
        if (n.kind == Node::Kind::F) {
          append_f_field(s.out, s.values[s.next], n.w, n.d);
        } else {
          append_e_field(s.out, s.values[s.next], n.w, n.d);
        }
        ++s.next;
        break;
      case Node::Kind::A:
        // A write has only double values, none of which an A field can take:
        // the record ends here as at a number field with no value left.
        return false;
      case Node::Kind::Group:
        for (std::int32_t r = 0; r < n.repeat; ++r) {
          if (!walk(n.children, s)) return false;
        }
        break;
    }
  }
  return true;
}

}  // namespace

FixedFormat::FixedFormat(std::string_view format) : text_(format) {
  Parser parser(text_);
  valid_ = parser.parse(nodes_);
  if (!valid_) nodes_.clear();
}

void FixedFormat::render(std::string& out, std::span<const double> values) const {
  assert(valid_ && "the program's formats are constants");
  Walk s{out, values};
  // Whether the walk ran out of values or reached the end of the format, the
  // record ends the same way; a pending shift is dropped.
  walk(nodes_, s);
  out.push_back('\n');
}

void append_f_field(std::string& out, double x, int w, int d) {
  assert(field_args_ok(w, d, 0));
  if (!field_args_ok(w, d, 0)) {
    if (w >= 1 && w <= kMaxFieldWidth) append_asterisks(out, w);
    return;
  }
  if (!std::isfinite(x)) {
    append_non_finite(out, x, w);
    return;
  }

  // Step 1: digits. The magnitude to exactly d decimals, always with a digit
  // before the point: 0.5, 4 decimals -> "0.5000"; 2.4, 0 decimals -> "2.".
  // The common range by exact integer arithmetic, the rest by to_chars; both
  // round the exact value to nearest, ties to even.
  char buf[kFixedBuffer];
  std::size_t len = 0;
  std::uint64_t scaled = 0;
  if (d <= kMaxFixedDecimals && round_fixed(std::fabs(x), d, scaled)) {
    const std::uint64_t unit = power_of_ten(d);
    const std::uint64_t whole = scaled / unit;
    const int whole_digits = decimal_length(whole);
    write_digits(buf, whole, whole_digits);
    len = static_cast<std::size_t>(whole_digits);
    buf[len++] = '.';
    write_digits(buf + len, scaled % unit, d);
    len += static_cast<std::size_t>(d);
  } else {
    const auto res = std::to_chars(buf, buf + sizeof buf - 1, std::fabs(x), std::chars_format::fixed, d);
    assert(res.ec == std::errc());
    len = static_cast<std::size_t>(res.ptr - buf);
    if (d == 0) buf[len++] = '.';
  }

  // Step 2: sign. -0.00001, 4 decimals -> "0.0000" with no minus: the minus
  // shows only when a nonzero digit remains.
  const bool minus = x < 0.0 && has_nonzero_digit(buf, len);

  // Step 3: fit. -0.5 in F6.4 -> "-.5000" (the leading zero gives way);
  // 1000 in F8.4 -> "********".
  const char* text = buf;
  const std::size_t n = len + (minus ? 1 : 0);
  const std::size_t width = static_cast<std::size_t>(w);
  if (n == width + 1 && text[0] == '0') {
    ++text;
    --len;
  } else if (n > width) {
    append_asterisks(out, w);
    return;
  }

  // Step 4: right-justify. 12.34567 in F8.4 -> " 12.3457".
  append_justified(out, w, minus, text, len);
}

void append_e_field(std::string& out, double x, int w, int d) {
  assert(field_args_ok(w, d, 1));
  if (!field_args_ok(w, d, 1)) {
    if (w >= 1 && w <= kMaxFieldWidth) append_asterisks(out, w);
    return;
  }
  if (!std::isfinite(x)) {
    append_non_finite(out, x, w);
    return;
  }

  // Step 1: d significant digits m1..md and the exponent e of 0.m1..md x 10^e.
  // to_chars gives m1.m2..md x 10^k, correctly rounded, so e = k + 1; a carry
  // is already in k: 9.99995 with 4 digits -> "1.000e+01" -> 0.1000, e = 2.
  // Zero of either sign is 0.0000 with e = 0 and no minus.
  char sci[kExpBuffer];
  const char* mant = nullptr;  // the d digits, possibly with the point after m1
  int e = 0;
  const bool minus = x < 0.0;
  SignificantDigits sig;
  if (x != 0.0 && d <= kMaxSignificantDigits && round_significant(std::fabs(x), d, sig)) {
    // The common range by exact integer arithmetic, with the same rounding
    // as to_chars below: "m1.m2..md" from the digits.
    sci[0] = static_cast<char>('0' + sig.q / power_of_ten(d - 1));
    sci[1] = '.';
    write_digits(sci + 2, sig.q, d - 1);
    mant = sci;
    e = sig.exp10 + 1;
  } else if (x != 0.0) {
    const auto res = std::to_chars(sci, sci + sizeof sci, std::fabs(x), std::chars_format::scientific, d - 1);
    assert(res.ec == std::errc());
    mant = sci;
    const char* p = sci + (d == 1 ? 1 : d + 1);  // at 'e'
    assert(*p == 'e');
    const bool neg_exp = (p[1] == '-');
    int k = 0;
    for (p += 2; p < res.ptr; ++p) k = k * 10 + (*p - '0');  // at most 3 digits
    e = (neg_exp ? -k : k) + 1;
  }

  // Step 2: layout "0." digits exponent.
  // 1.5 -> "0.1500E+01"; 1.0E-101 -> "0.1000-100" (three exponent digits
  // take the place of the E).
  char buf[kExpBuffer];
  char* p = buf;
  *p++ = '0';
  *p++ = '.';
  if (mant == nullptr) {
    std::memset(p, '0', static_cast<std::size_t>(d));
    p += d;
  } else {
    *p++ = mant[0];
    if (d > 1) {
      std::memcpy(p, mant + 2, static_cast<std::size_t>(d - 1));
      p += d - 1;
    }
  }
  const int mag = e < 0 ? -e : e;  // at most 324
  if (mag <= 99) {
    *p++ = 'E';
    *p++ = e < 0 ? '-' : '+';
  } else {
    *p++ = e < 0 ? '-' : '+';
    *p++ = static_cast<char>('0' + mag / 100);
  }
  *p++ = static_cast<char>('0' + mag / 10 % 10);
  *p++ = static_cast<char>('0' + mag % 10);
  const std::size_t len = static_cast<std::size_t>(p - buf);

  // Step 3: fit and right-justify. -1.5 in E12.4 -> " -0.1500E+01".
  if (len + (minus ? 1 : 0) > static_cast<std::size_t>(w)) {
    append_asterisks(out, w);
    return;
  }
  append_justified(out, w, minus, buf, len);
}

}  // namespace wavefft::textio
