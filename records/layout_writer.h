// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a record read from the program's input layout back in that
// layout, with new components.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "records/record.h"

namespace wavefft::records {

/// The file text of `rec` (read from the input layout) with `comp` in
/// values 1, 2 and 11: the header words and the title words as read, joined
/// by single blanks; then one row per sample: the time as read and the 42
/// values, the other 39 "0", every number the shortest decimal that reads
/// back to the same double, blank-separated, LF at each line end. `comp`
/// must hold rec.time.size() values each.
std::string layout_text(const RecordFile& rec, const std::array<std::vector<double>, 3>& comp);

}  // namespace wavefft::records
