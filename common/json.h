// SPDX-License-Identifier: GPL-3.0-or-later
// A small JSON reader and the quoting of JSON strings, for the summaries the
// tools write and read back. The reader takes RFC 8259 text whole (one
// value, blanks around it) and refuses anything else, nesting deeper than a
// limit included.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace wavefft::common {

/// Text that is not JSON: what() says the byte offset and what was
/// expected ("byte 12: expected ':'").
class JsonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct JsonValue {
  enum class Kind { null, boolean, number, string, array, object };
  Kind kind = Kind::null;
  bool boolean = false;
  double number = 0.0;
  std::string text;                                     // a string, UTF-8
  std::vector<JsonValue> items;   // an array's values, or an object's member values in order
  std::vector<std::string> names;  // an object's member names, one per item

  /// The first member named `key` of an object; nullptr when there is none
  /// or this is not an object.
  const JsonValue* find(std::string_view key) const;
};

/// Parses `text`; nesting deeper than `max_depth` arrays and objects
/// throws, as does a number outside the double range.
JsonValue parse_json(std::string_view text, std::size_t max_depth = 16);

/// `s` as a JSON string with its quotes: '"', '\\' and the control
/// characters escaped; a byte that does not belong to well-formed UTF-8
/// becomes U+FFFD.
std::string json_string(std::string_view s);

}  // namespace wavefft::common
