// SPDX-License-Identifier: GPL-3.0-or-later
// What wavefft-correct does once the record is read: the settings checked
// for the record, the correction, and the refusal of a result that
// overflows. Shared by the command and the Python module.
#pragma once

#include <array>
#include <span>
#include <stdexcept>
#include <string>

#include "common/units.h"
#include "correct/correct.h"

namespace wavefft::correct {

/// A record or settings that wavefft-correct refuses; what() is the
/// command's message.
class Refusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The three components `a` (in `unit`, an acceleration unit) sampled every
/// `dt` seconds corrected with `settings` (their gal_per_unit set from
/// `unit` here). Throws Refusal with check_settings' message when the
/// settings do not suit the record, and "NAME: component K overflows in the
/// correction (...)" when a corrected value is not finite.
Correction correct_values(const std::array<std::span<const double>, 3>& a, double dt, common::Unit unit,
                          Settings settings, const std::string& name);

}  // namespace wavefft::correct
