// SPDX-License-Identifier: GPL-3.0-or-later
// A Record's file text, by wavefft-import's writer.
#include "python/record.h"

#include "import/writer.h"

namespace wavefft::python {

std::string Record::layout() const {
  const auto n = static_cast<std::size_t>(data.shape(1));
  std::array<std::vector<double>, 3> comp;
  for (std::size_t c = 0; c < 3; ++c) comp[c].assign(data.data() + c * n, data.data() + (c + 1) * n);
  import::Record rec = source;
  for (std::size_t c = 0; c < 3; ++c) rec.components[c].values = std::move(comp[c]);
  std::string text;
  import::write_record(rec, text);
  return text;
}

}  // namespace wavefft::python
