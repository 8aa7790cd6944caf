// SPDX-License-Identifier: GPL-3.0-or-later
// The channels of a table of components (contract in column_channels.h).
#include "import/column_channels.h"

#include <utility>

#include "import/orientation.h"

namespace wavefft::import {

void add_column_channels(const std::string& file, const std::vector<std::string>& names, const std::vector<double>& dts,
                         std::optional<std::int64_t> start, std::vector<std::vector<double>>& columns,
                         FileContents& out) {
  for (std::size_t c = 0; c < names.size(); ++c) {
    // "N-S" -> azimuth 0, "U-D" -> vertical
    const std::optional<text::Orientation> o = text::parse_orientation(names[c]);
    Channel ch;
    ch.file = file;
    ch.name = names[c];
    ch.azimuth = o->azimuth;
    ch.vertical = o->vertical;
    ch.order = out.channels.size();
    ch.dt = dts[c];
    ch.start_ns = start;
    ch.unit = Unit::gal;
    ch.values = std::move(columns[c]);
    out.channels.push_back(std::move(ch));
  }
}

}  // namespace wavefft::import
