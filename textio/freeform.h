// SPDX-License-Identifier: GPL-3.0-or-later
// Free-form input: answers typed at the console and the data
// of the waveform file, plus the "(A90)" line read of file names.
//
// A read fills a list of destinations in order from the stream. Values are
// separated by blanks, tabs, commas and line ends; a slash ends the read early;
// r*value repeats a value; an empty field between commas leaves its
// destination unchanged (a null value). Numbers keep at most 40 significant
// digits and an exponent of at most 8 digits, and convert to the nearest
// double. After the last destination the rest of the current line is
// discarded.
//
// The reader never ends the run itself: it returns a status, and the channel
// layer (channel.h) turns a failure into the diagnostic.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "textio/instream.h"

namespace wavefft::textio {

using Text90 = std::array<char, 90>;

/// Kind of one destination of a free-form read.
enum class DestKind : std::uint8_t {
  Integer,  ///< std::int32_t: the value truncated toward zero, saturated to the 32-bit range
  Double,   ///< double: the value
  Text,     ///< Text90: the first 90 characters, blank-padded
};

struct Dest {
  DestKind kind;
  void* target;
};

inline Dest dest(std::int32_t& v) { return {DestKind::Integer, &v}; }
inline Dest dest(double& v) { return {DestKind::Double, &v}; }
inline Dest dest(Text90& v) { return {DestKind::Text, &v}; }

/// Outcome of a read. Each failure carries its context word and message.
enum class ReadError : std::uint8_t {
  None,            ///< every destination handled, rest of line discarded
  EndInDiscard,    ///< values done, but the end of input came while discarding
                   ///< the rest of the line (at-end flag now set); also a quoted
                   ///< string left open by the end of input in the last
                   ///< destination (that destination unchanged)
  EndOfFile,       ///< end of input: context "list in", "read start" or "fmt"
  InvalidNumber,   ///< "invalid number": "incomprehensible list input"
  InvalidInteger,  ///< "invalid integer": "read unexpected character"
  ExponentField,   ///< "exponent field": "incomprehensible list input"
  BadRepetition,   ///< "bad repetition count": "incomprehensible list input"
};

struct ReadStatus {
  ReadError error = ReadError::None;
  /// Context word of the diagnostic's first line; nullptr on success.
  const char* context = nullptr;
  /// Message of the diagnostic's first line; nullptr on success.
  const char* message = nullptr;

  bool ok() const { return error == ReadError::None || error == ReadError::EndInDiscard; }
  bool end_of_file() const { return error == ReadError::EndOfFile || error == ReadError::EndInDiscard; }
};

/// One free-form read of `dests` from `in`. An empty list only discards the
/// rest of the current line. Destinations not reached (slash, end of input,
/// error) keep their values; values stored before a failure stay stored.
ReadStatus read_list(InStream& in, std::span<const Dest> dests);

/// One free-form read of a record of doubles: `first`, then `rest` in order.
/// The same in every respect as read_list() with the destinations
/// dest(first), dest(rest[0]), ...: values, status, what is left unchanged
/// and where the stream is left. A record of plain numbers on one line (the
/// common case) is scanned straight from the stream's block; anything else
/// is read by read_list() itself.
ReadStatus read_doubles(InStream& in, double& first, std::span<double> rest);

/// One number given as a whole text, read as a free-form read reads a value
/// into a double destination: the same double, bit for bit (at most 40
/// significant digits kept, the nearest double, an infinity beyond the
/// range). "-2.203824E+00", ".5", "7.D-3" and "1.5-3" (0.0015) are numbers.
/// Nothing when `text` is not exactly one such number: empty, a blank or
/// separator anywhere ("1 ", "1,"), a null value, a repeat count ("2*5"),
/// an exponent field without digits or above 99999999, anything after the
/// number ("1.5x"). No channel is read and nothing else is touched.
std::optional<double> read_number_text(std::string_view text);

/// The "(A90)" line read: the first 90 characters of the current line as they
/// are, blank-padded; the rest of the line is discarded. End of input before
/// a line end (or at the start) fails with "fmt" (or "read start").
ReadStatus read_line_a90(InStream& in, Text90& out);

}  // namespace wavefft::textio
