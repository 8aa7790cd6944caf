// SPDX-License-Identifier: GPL-3.0-or-later
// Directions of components (contract in orientation.h).
#include "import/orientation.h"

#include <cctype>
#include <cmath>

#include "common/numbers.h"
#include "import/words.h"

namespace wavefft::import::text {

namespace {

/// "S16W" -> 180 + 16 = 196; "N28W" -> 360 - 28 = 332. `u` is in capitals,
/// N or S first and E or W last.
std::optional<Orientation> bearing(std::string_view u) {
  const std::optional<double> a = common::to_number(u.substr(1, u.size() - 2), common::kFortranField);
  if (!a || !(*a >= 0.0 && *a <= 90.0) || !(u[1] >= '0' && u[1] <= '9')) return std::nullopt;
  double az = 0.0;
  if (u.front() == 'N') az = u.back() == 'E' ? *a : 360.0 - *a;
  else az = u.back() == 'E' ? 180.0 - *a : 180.0 + *a;
  return Orientation{az >= 360.0 ? az - 360.0 : az, false};
}

}  // namespace

std::optional<Orientation> parse_orientation(std::string_view name) {
  name = trim(name);
  if (name.empty() || name.size() > 12) return std::nullopt;
  char buf[13] = {};
  for (std::size_t k = 0; k < name.size(); ++k) {
    buf[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[k])));
  }
  const std::string_view u(buf, name.size());
  for (const std::string_view v : {"UD", "U-D", "U", "UP", "V", "Z", "DWN", "DOWN", "VERT", "VERTICAL"}) {
    if (u == v) return Orientation{std::nullopt, true};
  }
  if (u == "EW" || u == "E-W" || u == "E") return Orientation{90.0, false};
  if (u == "NS" || u == "N-S" || u == "N") return Orientation{0.0, false};
  const bool compass = u.size() >= 3 && (u.front() == 'N' || u.front() == 'S') && (u.back() == 'E' || u.back() == 'W');
  if (compass) return bearing(u);
  // "360" -> 0, "67" -> 67
  const std::optional<double> a = common::to_number(u, common::kFortranField);
  if (!a || !(*a >= 0.0 && *a <= 360.0)) return std::nullopt;
  return Orientation{*a == 360.0 ? 0.0 : *a, false};
}

double reduce_azimuth(double degrees) {
  double az = std::fmod(degrees, 360.0);
  if (az < 0.0) az += 360.0;
  return az >= 360.0 || az == 0.0 ? 0.0 : az;  // and -0 (from -360) is 0
}

}  // namespace wavefft::import::text
