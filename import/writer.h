// The writer of wavefft-import: lays an assembled Record out in the
// program's waveform input layout.
//
//   line 1   four header words: EVENT STATION acceleration UNIT
//            (event and station with every character other than a letter,
//            digit, '.', '_' or '-' removed; "unknown" when nothing is left;
//            UNIT is unit_word(): g, gal, m_s2 or mm_s2)
//   line 2   column titles: TIME, then 42 titles; values 1, 2 and 11 carry
//            the components' names (sanitised the same way), the others
//            "V03" .. "V42" by position
//   rows     one per sample i = 0, 1, ...: the time, then 42 values, all
//            separated by single blanks, LF at the end of every line
//
// The time of row i is the exact decimal of i * dt, where dt is taken as its
// shortest decimal (std::to_chars): dt 0.005 -> "0.000", "0.005", "0.010"
// (as many decimals as dt's shortest form has), dt 0.02 -> "0.00", "0.02",
// dt 1 -> "0", "1". Only when the product does not fit 64-bit integer
// arithmetic is the time the shortest decimal of the double i * dt.
// Values 1, 2 and 11 are the shortest decimals that read back to the same
// doubles (std::to_chars); the 39 others are "0".
#pragma once

#include <cstddef>
#include <string>

#include "import/assemble.h"

namespace wavefft::import {

/// `word` reduced to letters, digits, '.', '_' and '-', or "unknown" when
/// that leaves nothing: "Gilroy - Gavilan Coll." -> "Gilroy-GavilanColl.".
std::string sanitise_word(const std::string& word);

/// Writes the time column: one object per dt, then text(i) per row.
class TimeColumn {
 public:
  explicit TimeColumn(double dt);
  /// Appends the time of row i to `out`.
  void append(std::size_t i, std::string& out) const;
  /// Writes the time of row i at `p` (room for max_length() characters);
  /// returns the end of what it wrote.
  char* write(std::size_t i, char* p) const;
  /// The most characters one time can take.
  std::size_t max_length() const;

 private:
  double dt_;
  bool exact_ = false;          // the decimal path applies
  unsigned long long step_ = 0;  // dt's digits as an integer: 0.005 -> 5
  int decimals_ = 0;            // digits after the point: 0.005 -> 3 (at most 400)
};

/// Writes `v` at `p` exactly as std::to_chars(p, p + 32, v) does (the
/// shortest decimal that reads back to `v`, in fixed or scientific notation
/// whichever is shorter, fixed on a tie), with a quick path for the values
/// agency files hold: decimals of at most 15 significant digits, such as
/// 0.012345 or -1234.5. Needs room for 32 characters; returns the end.
char* write_shortest(char* p, double v);

/// write_shortest for the values of one column, in order: the same text,
/// faster, as it remembers how many decimals the last value had and stops
/// looking for short decimals after a run of values that are none.
class ShortestColumn {
 public:
  char* write(char* p, double v);

 private:
  static constexpr int kGiveUp = 64;  // misses in a row before giving up
  int hint_ = -1;
  int misses_ = 0;
};

/// Appends the whole file text of `rec` to `out` (which is not cleared).
void write_record(const Record& rec, std::string& out);

}  // namespace wavefft::import
