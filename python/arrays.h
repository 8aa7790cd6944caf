// SPDX-License-Identifier: GPL-3.0-or-later
// NumPy arrays in and out of the module. A record's data is a float64
// array of shape (3, n): a C-contiguous, aligned, native float64 array is
// read in place; anything else goes through numpy.asarray(x, dtype=float64)
// and is copied into C order. Every sample must be a finite number (the
// commands' readers refuse anything else).
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

namespace wavefft::python {

namespace py = pybind11;

/// The three components of a (3, n) array, viewed without a copy; `keep`
/// holds the array they point into.
struct Components {
  py::array keep;
  std::array<std::span<const double>, 3> comp;
  std::size_t size() const { return comp[0].size(); }
};

/// `data` as three components of at least two finite samples each; throws
/// BadValue ("data: ...") for another shape, a value that does not convert
/// to float64, or one that is not finite.
Components components(py::handle data);

/// `x` as a one-dimensional float64 array (a scalar as one value), or
/// BadValue naming `what` when it does not convert or is empty.
std::vector<double> numbers(py::handle x, const char* what);

/// A new (3, n) float64 array of the three equal-length vectors.
py::array_t<double> array_3n(const std::array<std::vector<double>, 3>& comp);

/// A new one-dimensional float64 array.
py::array_t<double> array_1d(const std::vector<double>& v);

}  // namespace wavefft::python
