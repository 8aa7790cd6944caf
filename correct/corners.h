// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the filter's corners: given, or from the signal-to-noise ratio
// of the smoothed spectra, or the fallback; private to this folder.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "correct/correct.h"

namespace wavefft::correct {

/// The first corners of each component (highpass_hz, lowpass_hz, corners
/// and the no-noise and low-snr flags set; the rest left at zero).
/// `noise_end` is the onset when the noise is usable, else 0.
std::array<ComponentReport, 3> choose_corners(const std::array<std::span<const double>, 3>& a, double dt,
                                              const Settings& s, std::size_t noise_end);

}  // namespace wavefft::correct
