// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft-correct's correction of a record that has been read: settings
// checked, record corrected, overflow refused.
#include "correct/values.h"

#include <cmath>
#include <string>

namespace wavefft::correct {

namespace {

// Values so large (or a step so long) that the transforms or the
// integrations overflow leave no record worth writing.
void check_finite(const Correction& c, const std::string& name) {
  for (std::size_t k = 0; k < 3; ++k) {
    for (double v : c.corrected[k]) {
      if (!std::isfinite(v)) {
        throw Refusal{name + ": component " + std::to_string(k + 1) +
                      " overflows in the correction (its values or its time step are too large)"};
      }
    }
  }
}

}  // namespace

Correction correct_values(const std::array<std::span<const double>, 3>& a, double dt, common::Unit unit,
                          Settings settings, const std::string& name) {
  settings.gal_per_unit = common::convert_unit(1.0, unit, common::Unit::gal);
  if (const std::string why = check_settings(settings, a[0].size(), dt); !why.empty()) throw Refusal{why};
  Correction c = correct_record(a, dt, settings);
  check_finite(c, name);
  return c;
}

}  // namespace wavefft::correct
