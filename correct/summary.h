// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON summary of a correction (wavefft-correct --summary), written by
// the command and read back by wavefft-batch and wavefft-report:
//
//   {
//     "onset_s": 12.34,            (null without an onset)
//     "noise_s": 12.34,            (0 without an onset)
//     "unit": "gal",               (the record's unit word)
//     "components": [
//       {"title": "HNN", "highpass_hz": 0.1, "lowpass_hz": 25.1,   (null: none)
//        "corners": "snr", "lowest_usable_hz": 0.125, "pga_before": 8.1,
//        "pga_after": 7.9, "residual_velocity_cm_s": 0.001,
//        "residual_displacement_cm": -0.0002, "flags": ["drift"]},
//       ... (three, in the record's order)
//     ]
//   }
//
// Numbers are the shortest decimals that read back to the same doubles.
#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "correct/correct.h"

namespace wavefft::correct {

/// A summary that is not what the command writes. The message says where:
/// "correct.json: byte 57: expected a number".
class SummaryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// One component of a summary.
struct SummaryComponent {
  std::string title;
  double highpass_hz = 0.0;
  std::optional<double> lowpass_hz;
  std::string corners;  // "snr", "fallback" or "given"
  double lowest_usable_hz = 0.0;
  double pga_before = 0.0;
  double pga_after = 0.0;
  double residual_velocity_cm_s = 0.0;
  double residual_displacement_cm = 0.0;
  std::vector<std::string> flags;
};

struct Summary {
  std::optional<double> onset_s;
  double noise_s = 0.0;
  std::string unit;
  std::array<SummaryComponent, 3> components;
};

/// The summary of `c` for a record whose components are titled `titles`
/// and whose values are in `unit` ("gal").
Summary summarise(const Correction& c, const std::array<std::string, 3>& titles, std::string_view unit);

/// The JSON text of `s` (ends with a line end).
std::string summary_json(const Summary& s);

/// Reads a summary; `name` is used in messages. Keys it does not know are
/// passed over; a missing key, a value of the wrong kind, nesting deeper
/// than 16 or anything that is not JSON throws SummaryError.
Summary parse_summary(std::string_view text, const std::string& name);

}  // namespace wavefft::correct
