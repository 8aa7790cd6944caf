// SPDX-License-Identifier: GPL-3.0-or-later
// Header words that say how a record is sampled (contracts in
// sampling_words.h).
#include "import/sampling_words.h"

#include <cmath>

#include "common/numbers.h"

namespace wavefft::import::text {

std::optional<double> rate_hz(std::string_view word) {
  const std::optional<double> hz = common::to_number(word, common::kFortranField);
  if (!hz || !(*hz > 0.0) || !(*hz <= 1e6)) return std::nullopt;
  return hz;
}

std::optional<double> sampling_number(std::string_view word) {
  const std::optional<double> v = common::to_number(word, common::kFortranField);
  if (!v || !(*v > 0.0 && *v < 1e6)) return std::nullopt;
  return v;
}

std::optional<std::size_t> samples_in(std::string_view seconds, double rate) {
  const std::optional<double> s = common::to_number(seconds, common::kFortranField);
  if (!s || !(*s >= 0.0) || !(*s * rate <= kMaxLengthSamples)) return std::nullopt;
  return static_cast<std::size_t>(std::llround(*s * rate));
}

}  // namespace wavefft::import::text
