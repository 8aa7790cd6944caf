// SPDX-License-Identifier: GPL-3.0-or-later
// Header words that say how a record is sampled, read as numbers (the forms
// of common::kFortranField): a rate, an interval, and a length in seconds
// as a count of samples. Each answers nullopt for a word it does not take;
// the reader words the failure, naming its own key. Shared by the text
// readers; nothing here knows a layout.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace wavefft::import::text {

/// The most samples a stated length may make (samples_in).
inline constexpr double kMaxLengthSamples = 1e8;

/// A sampling rate in Hz above 0 and up to 1e6: "100" -> 100, "1E+06" ->
/// 1e6; "0", "-50", "2e6", "100Hz" -> nullopt.
std::optional<double> rate_hz(std::string_view word);

/// A sampling number above 0 and below 1e6, an interval in s or a rate
/// that must stay below 1e6: ".005" -> 0.005, "200" -> 200; "0", "-1",
/// "1e6", "x" -> nullopt.
std::optional<double> sampling_number(std::string_view word);

/// The samples that a length of `seconds` (a word) makes at `rate` Hz,
/// rounded to the nearest: "68" at 100 -> 6800, "0" -> 0. nullopt when the
/// word is no number, is negative, or makes more than kMaxLengthSamples.
std::optional<std::size_t> samples_in(std::string_view seconds, double rate);

}  // namespace wavefft::import::text
