// SPDX-License-Identifier: GPL-3.0-or-later
// The writer of wavefft-import: lays an assembled Record out in the
// program's waveform input layout.
//
//   line 1   four header words: EVENT STATION acceleration UNIT
//            (event and station with every character other than a letter,
//            digit, '.', '_' or '-' removed; "unknown" when nothing is left;
//            UNIT is common::unit_word(): g, gal, m_s2 or mm_s2)
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
// doubles (common::ShortestColumn, std::to_chars's text); the 39 others
// are "0".
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

/// Appends the whole file text of `rec` to `out` (which is not cleared).
void write_record(const Record& rec, std::string& out);

}  // namespace wavefft::import
