// SPDX-License-Identifier: GPL-3.0-or-later
// The correction's columns of a catalogue row (see correct_columns.h).
#include "batch/correct_columns.h"

#include <algorithm>
#include <array>

#include "common/files.h"
#include "common/numbers.h"

namespace wavefft::batch {
namespace {

// Row's members for components 1, 2 and 3.
constexpr std::array<std::string Row::*, 3> kHighpass = {&Row::hp1_hz, &Row::hp2_hz, &Row::hp3_hz};
constexpr std::array<std::string Row::*, 3> kLowpass = {&Row::lp1_hz, &Row::lp2_hz, &Row::lp3_hz};

}  // namespace

void put_correction(const correct::Summary& s, Row& row) {
  std::string flags;
  for (std::size_t k = 0; k < s.components.size(); ++k) {
    const correct::SummaryComponent& c = s.components[k];
    row.*kHighpass[k] = common::shortest(c.highpass_hz);
    row.*kLowpass[k] = c.lowpass_hz ? common::shortest(*c.lowpass_hz) : std::string();
    for (const std::string& word : c.flags) {
      if (!flags.empty()) flags += ' ';
      flags += "comp" + std::to_string(k + 1) + ":" + word;
    }
  }
  row.flags = std::move(flags);
}

correct::Summary read_correction(const std::filesystem::path& file, Row& row) {
  const std::string name = file.filename().string();
  std::string text;
  common::FileFault fault;
  if (!common::read_file(file, text, fault)) throw correct::SummaryError(name + ": " + fault.reason);
  correct::Summary s = correct::parse_summary(text, name);
  put_correction(s, row);
  return s;
}

std::string lowest_usable_cell(const correct::Summary& s) {
  return common::shortest(std::max(s.components[0].lowest_usable_hz, s.components[1].lowest_usable_hz));
}

}  // namespace wavefft::batch
