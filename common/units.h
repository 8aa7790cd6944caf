// SPDX-License-Identifier: GPL-3.0-or-later
// The unit vocabulary of the tools: the words a record's header, the
// command lines and the files use, and the exact ratios between the
// acceleration units.
#pragma once

#include <optional>
#include <string_view>

namespace wavefft::common {

/// Standard gravity, m/s^2.
inline constexpr double kStandardGravity = 9.80665;

/// The unit of a record's values.
enum class Unit {
  none,    // no unit stated (a SAC file): the user must give one
  counts,  // raw digitiser counts with no factor yet
  g,       // standard gravity, 9.80665 m/s^2
  gal,     // cm/s^2
  m_s2,    // m/s^2
  mm_s2,   // mm/s^2
};

/// True for g, gal, m_s2 and mm_s2.
bool is_acceleration(Unit unit);

/// The word for `unit` in headers and on command lines: "none", "counts",
/// "g", "gal", "m_s2", "mm_s2".
std::string_view unit_word(Unit unit);

/// The acceleration unit that `word` names exactly ("g", "gal", "m_s2",
/// "mm_s2"); nothing for any other word, "none" and "counts" included.
std::optional<Unit> parse_acceleration_unit(std::string_view word);

/// Metres per second squared per one of `unit` (an acceleration unit):
/// 9.80665, 0.01, 1, 0.001.
double metres_per_s2(Unit unit);

/// How a value in one acceleration unit becomes the same value in another:
/// one multiplication or one division by a factor >= 1 that is a single
/// correctly rounded decimal literal, never a product of two.
/// g -> gal: multiply by 980.665; gal -> g: divide by 980.665.
struct UnitRatio {
  bool multiply = true;  // true: towards the smaller unit
  double factor = 1.0;   // >= 1
};

/// The ratio from `from` to `to` (both acceleration units; equal units
/// give multiply by 1).
UnitRatio unit_ratio(Unit from, Unit to);

/// `value` in `from` expressed in `to` by unit_ratio's one operation.
double convert_unit(double value, Unit from, Unit to);

}  // namespace wavefft::common
