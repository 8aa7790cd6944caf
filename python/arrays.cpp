// SPDX-License-Identifier: GPL-3.0-or-later
// NumPy arrays in and out: the in-place view of a (3, n) float64 array, the
// converting path for everything else, and the new arrays of the results.
#include "python/arrays.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "python/errors.h"

namespace wavefft::python {

namespace {

// Used as it is: float64 in the machine's byte order, C-contiguous, aligned.
bool usable_in_place(const py::array& a) {
  constexpr int kFlags = static_cast<int>(py::array::c_style) | static_cast<int>(py::detail::npy_api::NPY_ARRAY_ALIGNED_);
  return a.dtype().equal(py::dtype::of<double>()) && (a.flags() & kFlags) == kFlags;
}

// numpy.asarray(x, dtype=float64) in C order; BadValue when it fails.
py::array as_float64(py::handle x, const char* what) {
  try {
    py::module_ numpy = py::module_::import("numpy");
    py::object a = numpy.attr("asarray")(x, py::arg("dtype") = numpy.attr("float64"));
    return numpy.attr("ascontiguousarray")(a).cast<py::array>();
  } catch (py::error_already_set& e) {
    if (e.matches(PyExc_MemoryError)) throw;
    throw BadValue(std::string(what) + ": not an array of numbers (" + e.what() + ")");
  }
}

// The first sample that is not finite, as "component 2, sample 17".
void check_finite(const std::array<std::span<const double>, 3>& comp) {
  for (std::size_t c = 0; c < 3; ++c) {
    const auto bad = std::find_if(comp[c].begin(), comp[c].end(), [](double v) { return !std::isfinite(v); });
    if (bad != comp[c].end()) {
      throw BadValue("data: component " + std::to_string(c + 1) + ", sample " +
                     std::to_string(bad - comp[c].begin()) + " is not a finite number");
    }
  }
}

}  // namespace

Components components(py::handle data) {
  Components out;
  if (py::isinstance<py::array>(data) && usable_in_place(py::reinterpret_borrow<py::array>(data))) {
    out.keep = py::reinterpret_borrow<py::array>(data);
  } else {
    out.keep = as_float64(data, "data");
  }
  const py::array& a = out.keep;
  if (a.ndim() != 2 || a.shape(0) != 3) {
    std::string shape;
    for (py::ssize_t k = 0; k < a.ndim(); ++k) shape += (k ? ", " : "") + std::to_string(a.shape(k));
    if (a.ndim() == 1) shape += ",";
    throw BadValue("data: the shape must be (3, n), not (" + shape + ")");
  }
  const auto n = static_cast<std::size_t>(a.shape(1));
  if (n < 2) throw BadValue("data: a record needs at least 2 samples, not " + std::to_string(n));
  const auto* base = static_cast<const double*>(a.data());
  for (std::size_t c = 0; c < 3; ++c) out.comp[c] = std::span<const double>(base + c * n, n);
  check_finite(out.comp);
  return out;
}

std::vector<double> numbers(py::handle x, const char* what) {
  const py::array a = as_float64(x, what);
  if (a.ndim() > 1) throw BadValue(std::string(what) + ": a sequence of numbers, not a " + std::to_string(a.ndim()) + "-dimensional array");
  const auto* p = static_cast<const double*>(a.data());
  std::vector<double> v(p, p + a.size());
  if (v.empty()) throw BadValue(std::string(what) + ": no values");
  return v;
}

py::array_t<double> array_3n(const std::array<std::vector<double>, 3>& comp) {
  const std::size_t n = comp[0].size();
  py::array_t<double> out({py::ssize_t{3}, static_cast<py::ssize_t>(n)});
  double* p = out.mutable_data();
  for (std::size_t c = 0; c < 3; ++c) std::copy(comp[c].begin(), comp[c].end(), p + c * n);
  return out;
}

py::array_t<double> array_1d(const std::vector<double>& v) {
  py::array_t<double> out(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), out.mutable_data());
  return out;
}

}  // namespace wavefft::python
