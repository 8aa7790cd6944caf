// SPDX-License-Identifier: GPL-3.0-or-later
// The reader of each record layout, after parse_record has read the first
// line and picked the layout. Private to the readers of this folder.
#pragma once

#include <string>
#include <string_view>

#include "records/lines.h"
#include "records/record.h"

namespace wavefft::records {

/// The input layout: `first` is its header line ("Event Station
/// acceleration g"); `lines` stands after it, at the line of column titles.
RecordFile parse_input_layout(std::string_view first, Lines& lines, const std::string& name);

/// The waveform file: `lines` stands after the header line
/// " time(s),comp1, comp2, comp3".
RecordFile parse_waveform(Lines& lines, const std::string& name);

}  // namespace wavefft::records
