// SPDX-License-Identifier: GPL-3.0-or-later
// Free-form read and "(A90)" line read. The steps below are numbered as one
// algorithm each: "read step 2.5", "number step 6", ...
//
// Memory: nothing here grows with the input. A number keeps at most 40 digits
// in a fixed array; a character value keeps only the 90 characters that a
// destination can hold while the rest of it is consumed and counted. So the
// "no space" and "realloc failure" errors (no memory for a
// character value) cannot occur and have no ReadError.
//
// Speed: every character goes through InStream's inline get()/unget(); a
// number allocates nothing. Up to 15 digits with a small exponent convert
// exactly by one double operation; anything else by std::from_chars from a
// small stack buffer. Both give the nearest double, bit for bit the same.
// Records of doubles (read_doubles) in the common form, plain numbers on one
// line within the current block, are scanned straight from the block with
// the digits gathered in an integer; any other record goes the general way.

#include "textio/freeform.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace wavefft::textio {
namespace {

constexpr int kEnd = InStream::kEnd;

/// Significant digits a number keeps; further ones only move the exponent.
constexpr std::size_t kMaxDigits = 40;
/// Largest value of a typed exponent ("1e99999999" is fine, one more is not).
constexpr std::int64_t kMaxExponentField = 99'999'999;
/// The running decimal exponent is clamped to +/- this cap, so it never
/// overflows however many digits or zeros are read. The cap lies so far
/// outside the double range (about 1e-400 .. 1e400) that adding the largest
/// typed exponent to a clamped value still leaves it outside, so the clamp
/// never changes a result.
constexpr std::int64_t kExponentCap = std::int64_t{1} << 50;
static_assert(kExponentCap > 100 * kMaxExponentField);
/// Characters a Text90 destination holds.
constexpr std::size_t kTextLength = std::tuple_size_v<Text90>;

bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_blank(int c) { return c == ' ' || c == '\t'; }
bool is_sign(int c) { return c == '+' || c == '-'; }
bool is_exponent_letter(int c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }
bool is_quote(int c) { return c == '\'' || c == '"'; }
/// Value separators (blank, tab, comma, slash, line end) and the end of input.
bool ends_undelimited(int c) { return is_blank(c) || c == ',' || c == '/' || c == '\n' || c == kEnd; }

std::int64_t add_capped(std::int64_t exponent, std::int64_t delta) {
  return std::clamp(exponent + delta, -kExponentCap, kExponentCap);
}

std::uint64_t append_digit_saturated(std::uint64_t count, int digit) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const auto d = static_cast<std::uint64_t>(digit);
  if (count > (kMax - d) / 10) return kMax;
  return count * 10 + d;
}

// ---------------------------------------------------------------------------
// Statuses.

ReadStatus failure(ReadError error) {
  switch (error) {
    case ReadError::InvalidNumber:
      return {error, "invalid number", "incomprehensible list input"};
    case ReadError::InvalidInteger:
      return {error, "invalid integer", "read unexpected character"};
    case ReadError::ExponentField:
      return {error, "exponent field", "incomprehensible list input"};
    case ReadError::BadRepetition:
      return {error, "bad repetition count", "incomprehensible list input"};
    case ReadError::None:
    case ReadError::EndInDiscard:
    case ReadError::EndOfFile:
      break;
  }
  assert(false && "failure() takes a parse error");
  return {error, nullptr, nullptr};
}

/// End of file with its context word: "read start", "list in" or "fmt".
ReadStatus end_of_file(const char* context) { return {ReadError::EndOfFile, context, "end of file"}; }

ReadStatus success() { return {}; }
ReadStatus end_in_discard() { return {ReadError::EndInDiscard, nullptr, nullptr}; }

// ---------------------------------------------------------------------------
// Numbers: tokenize into DecimalNumber, then convert.

/// A tokenized number: (negative ? -1 : 1) * digits * 10^exponent.
struct DecimalNumber {
  bool negative = false;
  std::size_t count = 0;          ///< significant digits stored (no leading zero)
  char digits[kMaxDigits] = {};   ///< '1'..'9' first, then '0'..'9'
  std::int64_t exponent = 0;      ///< clamped to +/- kExponentCap
};

/// Double operations round once, to double (no x87 extended precision), as
/// the fast path of to_double() needs.
constexpr bool kExactDoubleArithmetic = FLT_EVAL_METHOD == 0;

/// 10^0 .. 10^22, each exactly representable as a double.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

/// The nearest double (round to nearest, ties to even). Beyond the double
/// range: +/-infinity; below the smallest denormal's half: 0.0 with the
/// number's sign. No stored digit: +0.0 ("-0" and "-0.000" included).
double to_double(DecimalNumber n) {
  // Number step 8: trailing zeros move into the exponent.
  while (n.count > 0 && n.digits[n.count - 1] == '0') {
    --n.count;
    n.exponent = add_capped(n.exponent, 1);
  }
  if (n.count == 0) return 0.0;

  // Fast path (Clinger): up to 15 digits are exact as a double, and so is
  // 10^k for k <= 22, so one correctly rounded multiplication or division
  // gives the nearest double. The common "-2.203824E+00" takes this path.
  if (kExactDoubleArithmetic && n.count <= 15 && n.exponent >= -22 && n.exponent <= 22) {
    std::uint64_t w = 0;
    for (std::size_t i = 0; i < n.count; ++i) w = w * 10 + static_cast<std::uint64_t>(n.digits[i] - '0');
    const double m = static_cast<double>(w);
    const double p = kPowersOfTen[static_cast<std::size_t>(n.exponent < 0 ? -n.exponent : n.exponent)];
    const double v = n.exponent < 0 ? m / p : m * p;
    return n.negative ? -v : v;
  }

  constexpr double kInf = std::numeric_limits<double>::infinity();
  // The value lies in [10^(magnitude-1), 10^magnitude).
  const std::int64_t magnitude = n.exponent + static_cast<std::int64_t>(n.count);
  double v = 0.0;
  if (magnitude > 400) {
    v = kInf;  // above 1e399 > DBL_MAX
  } else if (magnitude < -400) {
    v = 0.0;  // below 1e-400, less than half the smallest denormal
  } else {
    // "123e-45": at most 40 digits, 'e', a sign and 3 exponent digits.
    char buf[kMaxDigits + 24];
    std::memcpy(buf, n.digits, n.count);
    char* p = buf + n.count;
    *p++ = 'e';
    const auto [end, ec] = std::to_chars(p, buf + sizeof buf, n.exponent);
    assert(ec == std::errc());
    const auto result = std::from_chars(buf, end, v);
    // from_chars reports a result that rounds to 0 or infinity as out of
    // range and leaves v untouched; those are our answers.
    if (result.ec == std::errc::result_out_of_range) v = magnitude > 0 ? kInf : 0.0;
    assert(result.ec == std::errc::result_out_of_range || (result.ec == std::errc() && result.ptr == end));
  }
  return n.negative ? -v : v;
}

/// Integer destination: truncated toward zero; outside the 32-bit range the
/// value saturates (a documented choice of this program).
std::int32_t to_int32(double v) {
  if (!(v > -2147483649.0)) return std::numeric_limits<std::int32_t>::min();
  if (!(v < 2147483648.0)) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v);  // in range: truncation is defined
}

/// The text of a character value as far as a destination needs it: the
/// first kTextLength characters, the full length (counted up to one past
/// kTextLength) and the last character.
struct TextValue {
  Text90 chars{};
  std::size_t length = 0;  ///< capped at kTextLength + 1
  int last = kEnd;         ///< the last character appended, kEnd if none

  void clear() {
    length = 0;
    last = kEnd;
  }
  void append(int c) {
    if (length < kTextLength) chars[length] = static_cast<char>(c);
    if (length <= kTextLength) ++length;
    last = c;
  }
  /// Quoted string: a backslash before a line end becomes a line feed.
  void replace_last(int c) {
    if (length >= 1 && length <= kTextLength) chars[length - 1] = static_cast<char>(c);
    last = c;
  }
  void store(Text90& out) const {
    const std::size_t n = std::min(length, kTextLength);
    std::copy_n(chars.begin(), n, out.begin());
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(n), out.end(), ' ');
  }
};

/// Result of parsing one value, besides a ReadError.
enum class Parsed : std::uint8_t {
  Value,         ///< pending value and repeat count set
  Unterminated,  ///< a quoted string met the end of input
};

// ---------------------------------------------------------------------------
// The per-read state and the parsers.

class ListReader {
 public:
  explicit ListReader(InStream& in) : in_(in) {}

  ReadStatus read(std::span<const Dest> dests);

  /// Number steps 1 to 9 for a double destination at the stream's
  /// position: the value, or nothing for a null value or a parse error.
  std::optional<double> read_one_number();

 private:
  enum class PendingKind : std::uint8_t { Null, Number, Text };

  ReadError parse_number(bool integer);
  Parsed parse_text();
  Parsed parse_quoted(int quote);
  void parse_undelimited(int c);
  void skip_after_value();
  void store(const Dest& d) const;
  ReadStatus end_read();

  InStream& in_;
  /// Items that still take the pending value; 0 = none pending. Saturating.
  std::uint64_t repeat_ = 0;
  PendingKind pending_ = PendingKind::Null;
  double number_ = 0.0;  ///< pending number (PendingKind::Number)
  TextValue text_;       ///< pending text (PendingKind::Text)
  /// A slash was read: the remaining destinations stay unchanged.
  bool quit_ = false;
};

// Free-form read, read steps 1 to 4. The end-seen flag of a read is the
// stream's at-end flag: step 1 fails when it is set, so any later setting
// happened during this read.
ReadStatus ListReader::read(std::span<const Dest> dests) {
  if (in_.at_end()) return end_of_file("read start");  // step 1
  for (std::size_t i = 0; i < dests.size(); ++i) {
    if (quit_) break;                                       // step 2.1
    if (in_.at_end()) return end_of_file("list in");        // step 2.2
    if (repeat_ == 0) {                                     // step 2.4
      int c = in_.get();
      while (is_blank(c) || c == '\n') c = in_.get();
      if (c == kEnd) return end_of_file("list in");
      if (c == '/') {
        quit_ = true;
        break;
      }
      if (c == ',') continue;  // null value; 2.5 and 2.6 do not apply
      in_.unget(c);
      if (dests[i].kind == DestKind::Text) {
        if (parse_text() == Parsed::Unterminated) {
          // The read stops at once, the destination unchanged, the channel
          // at its end. A following destination reports the end ("list in");
          // after the last one the read counts as done (fatal mode goes on
          // and the next read fails with "read start"), but the end was met,
          // so a reported-mode caller sees end_of_file().
          if (i + 1 < dests.size()) return end_of_file("list in");
          return end_in_discard();
        }
      } else {
        const ReadError e = parse_number(dests[i].kind == DestKind::Integer);
        if (e != ReadError::None) return failure(e);
      }
    }
    skip_after_value();  // step 2.5
    store(dests[i]);     // step 2.6
    --repeat_;
  }
  return end_read();
}

// Read step 2.5: skip blanks and tabs; a comma is consumed only with the
// last copy of a repeated value ("4*1.5,2": the comma goes with the fourth).
void ListReader::skip_after_value() {
  int c = in_.get();
  while (is_blank(c)) c = in_.get();
  if (c != ',' || repeat_ != 1) in_.unget(c);
}

// Read step 2.6. A pending value of the other kind (a number repeated into a
// character destination or the reverse) leaves the destination unchanged:
// the program never mixes kinds in one read.
void ListReader::store(const Dest& d) const {
  switch (d.kind) {
    case DestKind::Integer:
      if (pending_ == PendingKind::Number) *static_cast<std::int32_t*>(d.target) = to_int32(number_);
      break;
    case DestKind::Double:
      if (pending_ == PendingKind::Number) *static_cast<double*>(d.target) = number_;
      break;
    case DestKind::Text:
      if (pending_ == PendingKind::Text) text_.store(*static_cast<Text90*>(d.target));
      break;
  }
}

// Read step 4: unless the end was met, discard the rest of the line. The
// character that ended the last value (pushed back) goes with it.
ReadStatus ListReader::end_read() {
  if (in_.at_end()) return success();
  for (;;) {
    // Bulk path: look for the line end in the buffered block. A CR before
    // the LF needs no care here: it is discarded either way.
    const std::string_view w = in_.window();
    if (!w.empty()) {
      const void* lf = std::memchr(w.data(), '\n', w.size());
      if (lf != nullptr) {
        in_.advance(static_cast<std::size_t>(static_cast<const char*>(lf) - w.data()) + 1);
        return success();
      }
      in_.advance(w.size());
    }
    // The block is used up: get() refills it or meets the end of input.
    const int c = in_.get();
    if (c == '\n') return success();
    if (c == kEnd) return end_in_discard();
  }
}

// Number parsing, steps 1 to 9, for an integer or double destination. Sets
// the pending value (Number or Null) and the repeat count.
ReadError ListReader::parse_number(bool integer) {
  bool had_prefix = false;
  std::uint64_t count = 1;
  DecimalNumber n;
  bool any_digit = false;  // a digit was seen, leading zeros included
  int c = 0;
  for (;;) {
    n = DecimalNumber{};
    any_digit = false;
    c = in_.get();
    // Step 1: sign.
    if (c == '-') {
      n.negative = true;
      c = in_.get();
    } else if (c == '+') {
      c = in_.get();
    }
    // Step 2: leading zeros.
    while (c == '0') {
      any_digit = true;
      c = in_.get();
    }
    // Step 3: digits before the point; beyond 40 they only raise the exponent.
    while (is_digit(c)) {
      any_digit = true;
      if (n.count < kMaxDigits) {
        n.digits[n.count++] = static_cast<char>(c);
      } else {
        n.exponent = add_capped(n.exponent, 1);
      }
      c = in_.get();
    }
    // Step 4: repeat prefix r*. "0*5", "*5" (no nonzero digit), 41 or more
    // significant digits (the exponent moved), "-2*5": bad.
    if (c != '*' || had_prefix) break;
    if (n.count == 0 || n.exponent != 0 || n.negative) return ReadError::BadRepetition;
    count = 0;
    for (std::size_t i = 0; i < n.count; ++i) count = append_digit_saturated(count, n.digits[i] - '0');
    had_prefix = true;
    // Parse the value itself from just after the '*'.
  }
  // Step 5: decimal point.
  if (c == '.') {
    if (integer) return ReadError::InvalidInteger;  // "1.0" at an integer
    c = in_.get();
    if (n.count == 0) {
      // "0.000123": zeros before the first significant digit lower the exponent.
      while (c == '0') {
        any_digit = true;
        n.exponent = add_capped(n.exponent, -1);
        c = in_.get();
      }
    }
    while (is_digit(c)) {
      any_digit = true;
      if (n.count < kMaxDigits) {  // later digits are ignored
        n.digits[n.count++] = static_cast<char>(c);
        n.exponent = add_capped(n.exponent, -1);
      }
      c = in_.get();
    }
  }
  // Step 6: exponent. "1.5-3" -> 0.0015 and "2+1" -> 20 (integers too);
  // "1.5D3", "1.5e+3"; "2e3" at an integer is "invalid integer".
  bool has_exponent = false;
  bool exponent_negative = false;
  if (is_sign(c)) {
    has_exponent = true;
    exponent_negative = c == '-';
    c = in_.get();
  } else if (any_digit && is_exponent_letter(c)) {
    if (integer) return ReadError::InvalidInteger;
    has_exponent = true;
    c = in_.get();
    if (is_sign(c)) {
      exponent_negative = c == '-';
      c = in_.get();
    }
  }
  if (has_exponent) {
    // "5-", "1e", "1e+": no digit. "1e100000000": above the limit. Leading
    // zeros are harmless ("1e000000001" is 10).
    if (!is_digit(c)) return ReadError::ExponentField;
    std::int64_t e = 0;
    while (is_digit(c)) {
      e = e * 10 + (c - '0');
      if (e > kMaxExponentField) return ReadError::ExponentField;
      c = in_.get();
    }
    n.exponent = add_capped(n.exponent, exponent_negative ? -e : e);
  }
  // Step 7: the character that ended the number is for what follows.
  in_.unget(c);
  repeat_ = count;
  // Step 9: no digit at all.
  if (!any_digit) {
    // "3*,": null values; "+," likewise (a sign alone before a comma).
    if (c == ',' || c == '/') {
      pending_ = PendingKind::Null;
      return ReadError::None;
    }
    // "3* 4": three null values (the end of input is not among these).
    if (had_prefix && (is_blank(c) || c == '\n')) {
      pending_ = PendingKind::Null;
      return ReadError::None;
    }
    return ReadError::InvalidNumber;  // "abc", "+ ", "E5", "3*<end>"
  }
  // Step 8: the value.
  pending_ = PendingKind::Number;
  number_ = to_double(n);
  return ReadError::None;
}

std::optional<double> ListReader::read_one_number() {
  if (parse_number(false) != ReadError::None || pending_ != PendingKind::Number) return std::nullopt;
  return number_;
}

// Character parsing, steps 1 to 4. Sets the pending value (Text or Null) and
// the repeat count.
Parsed ListReader::parse_text() {
  text_.clear();
  pending_ = PendingKind::Text;
  repeat_ = 1;
  int c = in_.get();
  if (is_digit(c)) {
    // Step 1: a repeat count, or the start of the value itself.
    std::uint64_t count = 0;
    while (is_digit(c)) {
      text_.append(c);
      count = append_digit_saturated(count, c - '0');
      c = in_.get();
    }
    if (c == '*' && count != 0) {
      repeat_ = count;  // "3*abc"
      text_.clear();
      c = in_.get();
    } else if (ends_undelimited(c)) {
      in_.unget(c);  // "123": the digit string is the value
      return Parsed::Value;
    } else {
      parse_undelimited(c);  // "0*x", "12ab": the digits begin the value
      return Parsed::Value;
    }
    // Step 2: after a prefix.
    if (is_blank(c) || c == ',' || c == '/' || c == '\n' || c == kEnd) {
      // "3* ", "3*,": r null values. A line end right after the prefix is
      // taken the same way (a choice of this program: a
      // value starting with a line feed would be of no use).
      in_.unget(c);
      pending_ = PendingKind::Null;
      return Parsed::Value;
    }
  }
  // Without a prefix c cannot be a separator here: read step 2.4 skipped them.
  if (is_quote(c)) return parse_quoted(c);
  parse_undelimited(c);
  return Parsed::Value;
}

// Step 3: an undelimited string from c up to the next separator or the end
// of input (pushed back); quotes in it are ordinary characters.
void ListReader::parse_undelimited(int c) {
  while (!ends_undelimited(c)) {
    text_.append(c);
    c = in_.get();
  }
  in_.unget(c);
}

// Step 4: a quoted string; the opening quote has been read. "'it''s'" ->
// it's; a line end inside is dropped, "\\" before it becomes a line feed.
Parsed ListReader::parse_quoted(int quote) {
  for (;;) {
    int c = in_.get();
    if (c == kEnd) {
      // Left unchanged: the destination keeps its old value.
      pending_ = PendingKind::Null;
      return Parsed::Unterminated;
    }
    if (c == quote) {
      c = in_.get();
      if (c != quote) {
        in_.unget(c);  // "'ab'cd": the 'c' is for what follows
        return Parsed::Value;
      }
      text_.append(quote);
    } else if (c == '\n') {
      if (text_.last == '\\') text_.replace_last('\n');
    } else {
      text_.append(c);
    }
  }
}

// ---------------------------------------------------------------------------
// Records of doubles: a scanner for the common case of plain numbers on one
// line, straight from the stream's block. It takes nothing from the stream
// unless the whole record is of that common form; in every other case the
// general reader above reads the record from the very same position.

/// Values a record may have for the scanner; longer records go to the
/// general reader.
constexpr std::size_t kMaxScannedValues = 64;
/// Significant digits the scanner accumulates in 64 bits (10^19 < 2^64).
constexpr int kMaxScannedDigits = 19;
/// Typed exponents the scanner takes; larger ones go to the general reader,
/// which also knows the limit of the exponent field.
constexpr std::int64_t kMaxScannedExponent = 99'999;

bool is_digit_char(char c) { return c >= '0' && c <= '9'; }
bool is_blank_char(char c) { return c == ' ' || c == '\t'; }

/// Scans one plain number at p: [sign] digits [. digits] [exponent], where the
/// exponent is a letter E, e, D or d with an optional sign, or a sign alone,
/// then digits, exactly as the general reader takes them. Returns the end of
/// the number, or nullptr when the text is not of that form (no digit, a
/// repeat prefix, too many significant digits, a bad or large exponent).
/// The text must go on up to a line feed, which stops every loop here.
const char* scan_number(const char* p, double& out) {
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  std::uint64_t w = 0;  // the significant digits
  int count = 0;        // how many of them
  std::int64_t exponent = 0;
  bool any_digit = false;
  while (*p == '0') {
    any_digit = true;
    ++p;
  }
  while (is_digit_char(*p)) {
    if (count == kMaxScannedDigits) return nullptr;
    w = w * 10 + static_cast<std::uint64_t>(*p - '0');
    ++count;
    any_digit = true;
    ++p;
  }
  if (*p == '*') return nullptr;  // a repeat count
  if (*p == '.') {
    ++p;
    if (count == 0) {
      while (*p == '0') {
        any_digit = true;
        --exponent;
        ++p;
      }
    }
    while (is_digit_char(*p)) {
      if (count == kMaxScannedDigits) return nullptr;
      w = w * 10 + static_cast<std::uint64_t>(*p - '0');
      ++count;
      --exponent;
      any_digit = true;
      ++p;
    }
  }
  if (!any_digit) return nullptr;
  bool has_exponent = false;
  bool exponent_negative = false;
  if (*p == '+' || *p == '-') {
    has_exponent = true;
    exponent_negative = *p == '-';
    ++p;
  } else if (*p == 'E' || *p == 'e' || *p == 'D' || *p == 'd') {
    has_exponent = true;
    ++p;
    if (*p == '+' || *p == '-') {
      exponent_negative = *p == '-';
      ++p;
    }
  }
  if (has_exponent) {
    if (!is_digit_char(*p)) return nullptr;
    std::int64_t e = 0;
    while (is_digit_char(*p)) {
      e = e * 10 + (*p - '0');
      if (e > kMaxScannedExponent) return nullptr;
      ++p;
    }
    exponent += exponent_negative ? -e : e;
  }

  // The value: the same nearest double that to_double() gives. No stored
  // digit: +0.0 whatever the sign. A significand below 2^53 and a power of
  // ten up to 10^22 are exact doubles, so one correctly rounded operation
  // gives the nearest double; anything else goes through to_double() itself
  // with the same digits and exponent.
  if (w == 0) {
    out = 0.0;
  } else if (kExactDoubleArithmetic && w <= (std::uint64_t{1} << 53) && exponent >= -22 && exponent <= 22) {
    const double m = static_cast<double>(w);
    const double v = exponent < 0 ? m / kPowersOfTen[static_cast<std::size_t>(-exponent)]
                                  : m * kPowersOfTen[static_cast<std::size_t>(exponent)];
    out = negative ? -v : v;
  } else {
    DecimalNumber n;
    n.negative = negative;
    const auto res = std::to_chars(n.digits, n.digits + kMaxDigits, w);
    assert(res.ec == std::errc());
    n.count = static_cast<std::size_t>(res.ptr - n.digits);
    n.exponent = exponent;
    out = to_double(n);
  }
  return p;
}

/// Scans a whole record of `n` doubles from the stream's block: blank lines
/// and blanks before the first value; values separated by blanks or tabs
/// with at most one comma among them; after the last value, anything up to
/// the line feed, which is consumed. On success stores the values in
/// `values`, advances the stream and returns true; otherwise takes nothing.
bool scan_record(InStream& in, double* values, std::size_t n) {
  if (in.at_end()) return false;
  const std::string_view w = in.window();
  const char* p = w.data();
  const char* const end = p + w.size();
  while (p < end && (is_blank_char(*p) || *p == '\n')) ++p;
  if (p == end) return false;
  const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
  if (lf == nullptr) return false;  // the record may go on in the next block
  const char* const line_end = static_cast<const char*>(lf);
  for (std::size_t i = 0;; ++i) {
    p = scan_number(p, values[i]);
    if (p == nullptr) return false;
    if (i + 1 == n) break;
    // Between two values: blanks and tabs, with at most one comma.
    if (!is_blank_char(*p) && *p != ',') return false;
    while (is_blank_char(*p)) ++p;
    if (*p == ',') {
      ++p;
      while (is_blank_char(*p)) ++p;
    }
  }
  // The rest of the line is discarded, the line feed with it.
  in.advance(static_cast<std::size_t>(line_end + 1 - w.data()));
  return true;
}

}  // namespace

ReadStatus read_list(InStream& in, std::span<const Dest> dests) {
  ListReader reader(in);
  return reader.read(dests);
}

ReadStatus read_doubles(InStream& in, double& first, std::span<double> rest) {
  const std::size_t n = rest.size() + 1;
  if (n <= kMaxScannedValues) {
    double values[kMaxScannedValues];
    if (scan_record(in, values, n)) {
      first = values[0];
      std::copy_n(values + 1, rest.size(), rest.begin());
      return success();
    }
    std::array<Dest, kMaxScannedValues> dests;
    dests[0] = dest(first);
    for (std::size_t i = 0; i < rest.size(); ++i) dests[i + 1] = dest(rest[i]);
    return read_list(in, std::span<const Dest>(dests.data(), n));
  }
  std::vector<Dest> dests;
  dests.reserve(n);
  dests.push_back(dest(first));
  for (double& v : rest) dests.push_back(dest(v));
  return read_list(in, dests);
}

std::optional<double> read_number_text(std::string_view text) {
  // A '*' stands only in a repeat count: "2*5" is two values, not a number.
  if (text.find('*') != std::string_view::npos) return std::nullopt;
  MemoryInStream in{std::string(text), text.size() + 2};
  ListReader reader(in);
  const std::optional<double> value = reader.read_one_number();
  // The number must be the whole text: "1.5x" and "1 " are not.
  if (!value || in.get() != kEnd) return std::nullopt;
  return value;
}

// Line read "(A90)", steps 1 to 3. On failure `out` is left unchanged.
ReadStatus read_line_a90(InStream& in, Text90& out) {
  if (in.at_end()) return end_of_file("read start");
  Text90 line;
  line.fill(' ');
  std::size_t n = 0;
  while (n < kTextLength) {
    const int c = in.get();
    if (c == kEnd) return end_of_file("fmt");
    if (c == '\n') {
      out = line;  // "abc" -> abc and 87 blanks
      return success();
    }
    line[n++] = static_cast<char>(c);
  }
  out = line;
  // Step 3: the rest of the line after the 90th character.
  for (;;) {
    const int c = in.get();
    if (c == '\n') return success();
    if (c == kEnd) return end_in_discard();  // 90 characters, then the end
  }
}

}  // namespace wavefft::textio
