// SPDX-License-Identifier: GPL-3.0-or-later
// The checks of the module's scalar arguments, each refusing with the
// message the command gives for the same value (as BadValue).
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "common/units.h"

namespace wavefft::python {

/// The acceleration unit `word` names: "--unit: unknown unit \"x\" (use
/// g, gal, m_s2 or mm_s2)" for any other word.
common::Unit acceleration_unit(const std::string& word);

/// `dt` when it is a finite positive number of seconds, else BadValue.
double sampling_interval(double dt);

/// A path argument (str, bytes or os.PathLike) as text, through
/// os.fsdecode. An empty path is BadFile ("no such file"), one holding a
/// NUL byte BadValue, as Python's own file functions refuse them (the
/// system would read the path only up to the NUL).
std::string path_argument(pybind11::handle path);

}  // namespace wavefft::python
