// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/units.h"

namespace wavefft::common {

bool is_acceleration(Unit unit) {
  return unit == Unit::g || unit == Unit::gal || unit == Unit::m_s2 || unit == Unit::mm_s2;
}

std::string_view unit_word(Unit unit) {
  switch (unit) {
    case Unit::none: return "none";
    case Unit::counts: return "counts";
    case Unit::g: return "g";
    case Unit::gal: return "gal";
    case Unit::m_s2: return "m_s2";
    case Unit::mm_s2: return "mm_s2";
  }
  return "none";
}

std::optional<Unit> parse_acceleration_unit(std::string_view word) {
  for (Unit u : {Unit::g, Unit::gal, Unit::m_s2, Unit::mm_s2}) {
    if (word == unit_word(u)) return u;
  }
  return std::nullopt;
}

double metres_per_s2(Unit unit) {
  switch (unit) {
    case Unit::g: return kStandardGravity;
    case Unit::gal: return 0.01;
    case Unit::m_s2: return 1.0;
    case Unit::mm_s2: return 0.001;
    case Unit::none:
    case Unit::counts: break;
  }
  return 1.0;
}

UnitRatio unit_ratio(Unit from, Unit to) {
  // Each pair written out so that every factor is one correctly rounded
  // decimal literal, never a product of two.
  struct Entry {
    Unit big, small;
    double factor;
  };
  static constexpr Entry kTable[] = {
      {Unit::g, Unit::gal, 980.665},  {Unit::g, Unit::m_s2, 9.80665},    {Unit::g, Unit::mm_s2, 9806.65},
      {Unit::m_s2, Unit::gal, 100.0}, {Unit::m_s2, Unit::mm_s2, 1000.0}, {Unit::gal, Unit::mm_s2, 10.0},
  };
  for (const Entry& e : kTable) {
    if (from == e.big && to == e.small) return {true, e.factor};
    if (from == e.small && to == e.big) return {false, e.factor};
  }
  return {true, 1.0};
}

double convert_unit(double value, Unit from, Unit to) {
  if (from == to) return value;
  const UnitRatio r = unit_ratio(from, to);
  return r.multiply ? value * r.factor : value / r.factor;
}

}  // namespace wavefft::common
