// SPDX-License-Identifier: GPL-3.0-or-later
// The module's checks of a unit word and a sampling interval.
#include "python/checks.h"

#include <cmath>

#include "common/numbers.h"
#include "python/errors.h"

namespace wavefft::python {

common::Unit acceleration_unit(const std::string& word) {
  const std::optional<common::Unit> u = common::parse_acceleration_unit(word);
  if (!u) throw BadValue("--unit: unknown unit \"" + word + "\" (use g, gal, m_s2 or mm_s2)");
  return *u;
}

double sampling_interval(double dt) {
  if (!std::isfinite(dt) || !(dt > 0.0)) {
    throw BadValue("--dt \"" + common::shortest(dt) + "\" is not a positive number of seconds");
  }
  return dt;
}

std::string path_argument(pybind11::handle path) {
  const std::string text = pybind11::module_::import("os").attr("fsdecode")(path).cast<std::string>();
  if (text.empty()) throw BadFile("'': no such file or folder (the path is empty)");
  if (text.find('\0') != std::string::npos) throw BadValue("a path holds a NUL byte: " + text.substr(0, text.find('\0')));
  return text;
}

}  // namespace wavefft::python
