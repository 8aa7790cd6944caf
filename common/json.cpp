// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON reader (recursive descent over the bytes) and json_string.
#include "common/json.h"

#include <cmath>
#include <cstdint>
#include <optional>

#include "common/numbers.h"

namespace wavefft::common {

namespace {

class Reader {
 public:
  Reader(std::string_view text, std::size_t max_depth) : s_(text), max_depth_(max_depth) {}

  JsonValue document() {
    JsonValue v = value(0);
    skip_blanks();
    if (at_ != s_.size()) fail("expected the end of the text");
    return v;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw JsonError("byte " + std::to_string(at_) + ": " + what);
  }
  void skip_blanks() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) ++at_;
  }
  bool take(char c) {
    skip_blanks();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail(std::string("expected '") + c + "'");
  }
  bool word(std::string_view w) {
    if (s_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  JsonValue value(std::size_t depth) {
    skip_blanks();
    if (at_ >= s_.size()) fail("expected a value");
    JsonValue v;
    const char c = s_[at_];
    if (c == '{' || c == '[') {
      if (depth >= max_depth_) fail("nested too deeply");
      return c == '{' ? object(depth + 1) : array(depth + 1);
    }
    if (c == '"') {
      v.kind = JsonValue::Kind::string;
      v.text = string();
    } else if (word("null")) {
      v.kind = JsonValue::Kind::null;
    } else if (word("true")) {
      v.kind = JsonValue::Kind::boolean;
      v.boolean = true;
    } else if (word("false")) {
      v.kind = JsonValue::Kind::boolean;
    } else {
      v.kind = JsonValue::Kind::number;
      v.number = number();
    }
    return v;
  }

  // OPEN item (',' item)* CLOSE, or OPEN CLOSE.
  template <typename Item>
  void sequence(char open, char close, Item item) {
    expect(open);
    if (take(close)) return;
    do {
      item();
    } while (take(','));
    expect(close);
  }

  JsonValue array(std::size_t depth) {
    JsonValue v;
    v.kind = JsonValue::Kind::array;
    sequence('[', ']', [&] { v.items.push_back(value(depth)); });
    return v;
  }

  JsonValue object(std::size_t depth) {
    JsonValue v;
    v.kind = JsonValue::Kind::object;
    sequence('{', '}', [&] {
      skip_blanks();
      if (at_ >= s_.size() || s_[at_] != '"') fail("expected a member name");
      v.names.push_back(string());
      expect(':');
      v.items.push_back(value(depth));
    });
    return v;
  }

  // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  double number() {
    const std::size_t start = at_;
    auto digits = [&] {
      const std::size_t from = at_;
      while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
      return at_ - from;
    };
    if (at_ < s_.size() && s_[at_] == '-') ++at_;
    const std::size_t whole_at = at_;
    const std::size_t whole = digits();
    if (whole == 0 || (whole > 1 && s_[whole_at] == '0')) fail("expected a value");
    if (at_ < s_.size() && s_[at_] == '.') {
      ++at_;
      if (digits() == 0) fail("expected a digit after the point");
    }
    if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
      ++at_;
      if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
      if (digits() == 0) fail("expected the exponent's digits");
    }
    const std::optional<double> v = to_number(s_.substr(start, at_ - start), NumberGrammar{});
    if (!v || !std::isfinite(*v)) fail("a number outside the double range");
    return *v;
  }

  unsigned hex4() {
    if (s_.size() - at_ < 4) fail("expected four hex digits");
    unsigned u = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[at_++];
      u *= 16;
      if (c >= '0' && c <= '9') u += static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') u += static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') u += static_cast<unsigned>(c - 'A' + 10);
      else fail("expected four hex digits");
    }
    return u;
  }

  // \uXXXX, with a surrogate pair when it is one, as UTF-8.
  void escaped_unit(std::string& out) {
    unsigned u = hex4();
    if (u >= 0xD800 && u <= 0xDBFF && s_.substr(at_, 2) == "\\u") {
      at_ += 2;
      const unsigned low = hex4();
      if (low < 0xDC00 || low > 0xDFFF) fail("a lone surrogate");
      u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      fail("a lone surrogate");
    }
    append_utf8(out, u);
  }

  static void append_utf8(std::string& out, unsigned u) {
    auto byte = [&out](unsigned b) { out.push_back(static_cast<char>(static_cast<unsigned char>(b))); };
    if (u < 0x80) {
      byte(u);
    } else if (u < 0x800) {
      byte(0xC0 | (u >> 6)), byte(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
      byte(0xE0 | (u >> 12)), byte(0x80 | ((u >> 6) & 0x3F)), byte(0x80 | (u & 0x3F));
    } else {
      byte(0xF0 | (u >> 18)), byte(0x80 | ((u >> 12) & 0x3F)), byte(0x80 | ((u >> 6) & 0x3F)), byte(0x80 | (u & 0x3F));
    }
  }

  std::string string() {
    ++at_;  // the opening quote
    std::string out;
    for (;;) {
      if (at_ >= s_.size()) fail("a string without its closing quote");
      const char c = s_[at_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) fail("a control character in a string");
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (at_ >= s_.size()) fail("a string without its closing quote");
      const char e = s_[at_++];
      switch (e) {
        case '"': case '\\': case '/': out.push_back(e); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': escaped_unit(out); break;
        default: fail("an unknown escape");
      }
    }
  }

  std::string_view s_;
  std::size_t max_depth_;
  std::size_t at_ = 0;
};

// The length of the well-formed UTF-8 sequence at s[i] (0 when none).
std::size_t utf8_length(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned c = b(i);
  std::size_t len = 0;
  unsigned lo = 0x80, hi = 0xBF;  // the second byte's range
  if (c >= 0xC2 && c <= 0xDF) len = 2;
  else if (c >= 0xE0 && c <= 0xEF) len = 3, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
  else if (c >= 0xF0 && c <= 0xF4) len = 4, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
  if (len == 0 || s.size() - i < len) return 0;
  if (b(i + 1) < lo || b(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < len; ++k) {
    if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
  }
  return len;
}

}  // namespace

const JsonValue* JsonValue::find(std::string_view key) const {
  if (kind != Kind::object) return nullptr;
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (names[k] == key) return &items[k];
  }
  return nullptr;
}

JsonValue parse_json(std::string_view text, std::size_t max_depth) { return Reader(text, max_depth).document(); }

std::string json_string(std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else if (c >= 0x80) {
      const std::size_t len = utf8_length(s, i);
      out += len == 0 ? std::string_view("\\ufffd") : s.substr(i, len);
      i += len == 0 ? 1 : len;
      continue;
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  out += '"';
  return out;
}

}  // namespace wavefft::common
