// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of the Python module wavefft, each adding its functions and
// classes to the module (module.cpp calls them in this order).
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

namespace wavefft::python {

namespace py = pybind11;

void bind_errors(py::module_& m);    // errors.cpp: the libraries' exceptions as ValueError / OSError
void bind_records(py::module_& m);   // records.cpp: read, read_record, Record
void bind_measures(py::module_& m);  // measures.cpp: measures, spectra, fas
void bind_correct(py::module_& m);   // correct.cpp: correct
void bind_run(py::module_& m);       // run.cpp: run, Run

}  // namespace wavefft::python
