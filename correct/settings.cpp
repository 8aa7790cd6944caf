// SPDX-License-Identifier: GPL-3.0-or-later
// The settings a correction refuses, each with the message that names the
// option and the bad value.
#include <cmath>
#include <cstddef>
#include <string>

#include "common/numbers.h"
#include "correct/correct.h"
#include "correct/steps.h"

namespace wavefft::correct {

namespace {

std::string num(double v) { return common::shortest(v); }

std::string check_corners(const Settings& s) {
  if (s.highpass && !(*s.highpass > 0.0 && std::isfinite(*s.highpass))) {
    return "--highpass " + num(*s.highpass) + ": the corner must be a positive number of Hz";
  }
  if (s.lowpass && !(*s.lowpass > 0.0 && std::isfinite(*s.lowpass))) {
    return "--lowpass " + num(*s.lowpass) + ": the corner must be a positive number of Hz";
  }
  if (s.highpass && s.lowpass && !(*s.lowpass > *s.highpass)) {
    return "--lowpass " + num(*s.lowpass) + " Hz is not above --highpass " + num(*s.highpass) + " Hz";
  }
  return {};
}

std::string check_shape(const Settings& s) {
  if (s.order < 1 || s.order > kMaxOrder) {
    return "--order " + std::to_string(s.order) + ": the order must be a whole number from 1 to " +
           std::to_string(kMaxOrder);
  }
  if (!(s.taper >= 0.0 && s.taper < 0.5)) return "--taper " + num(s.taper) + ": the fraction must be in [0, 0.5)";
  if (!(s.gal_per_unit > 0.0 && std::isfinite(s.gal_per_unit))) return "the record's unit is not an acceleration unit";
  return {};
}

std::string check_record(const Settings& s, std::size_t n, double dt) {
  if (n < 2) return "the record holds " + std::to_string(n) + " samples; a correction needs at least 2";
  if (!(dt > 0.0 && std::isfinite(dt))) return "the sampling interval " + num(dt) + " s is not a positive number";
  const double end = static_cast<double>(n - 1) * dt;
  if (s.onset_s && !(*s.onset_s >= 0.0 && *s.onset_s <= end)) {
    return "--onset " + num(*s.onset_s) + " s lies outside the record (0 to " + num(end) + " s)";
  }
  // The longest transform the filter can need: the high-pass given, or the
  // lowest an auto corner can be (the first frequency of the grid).
  const double lowest = s.highpass ? *s.highpass : snr_frequencies().front();
  if (!padded_length(n, dt, lowest, s.order)) {
    return std::string(s.highpass ? "--highpass " : "the lowest automatic high-pass corner, ") + num(lowest) +
           " Hz, would need a transform of more than " + std::to_string(kMaxTransform) + " samples at " +
           num(dt) + " s";
  }
  return {};
}

}  // namespace

std::string check_settings(const Settings& s, std::size_t n, double dt) {
  std::string why = check_corners(s);
  if (why.empty()) why = check_shape(s);
  if (why.empty()) why = check_record(s, n, dt);
  return why;
}

}  // namespace wavefft::correct
