// SPDX-License-Identifier: GPL-3.0-or-later
// The module's Record: a three-component record with the words that go
// with it, laid out by wavefft-import's writer, so that write() gives the
// bytes wavefft-import writes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <pybind11/numpy.h>

#include "import/assemble.h"

namespace wavefft::python {

namespace py = pybind11;

struct Record {
  /// The record as wavefft-import's writer takes it, its components'
  /// values moved into `data`.
  import::Record source;
  std::string event, station, unit;
  double dt = 0.0;
  std::array<std::string, 3> titles;
  std::optional<std::string> start;
  std::vector<std::string> notes;
  py::array_t<double> data;  // (3, n)

  /// The input layout's text of the record with the values `data` now holds.
  std::string layout() const;
};

}  // namespace wavefft::python
