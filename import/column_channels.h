// SPDX-License-Identifier: GPL-3.0-or-later
// The channels of a table whose columns are the components (the Turkish
// layout, Taiwan CWB and UNAM: turkish.cpp, cwb.cpp, unam.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "import/record.h"

namespace wavefft::import {

/// Appends one channel per name to out.channels: channel k is named
/// names[k] and oriented by it (text::parse_orientation, which must accept
/// every name: the caller has checked), takes the samples columns[k]
/// (moved out), the interval dts[k], `start` and unit gal (the unit these
/// tables are in), `file`, and its order in `out`. `dts` and `columns`
/// hold at least as many entries as `names`.
void add_column_channels(const std::string& file, const std::vector<std::string>& names, const std::vector<double>& dts,
                         std::optional<std::int64_t> start, std::vector<std::vector<double>>& columns,
                         FileContents& out);

}  // namespace wavefft::import
