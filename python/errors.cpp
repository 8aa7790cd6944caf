// SPDX-License-Identifier: GPL-3.0-or-later
// The exceptions of the module and of the libraries it calls, turned into
// Python's: ValueError for refused arguments and values (the libraries'
// std::invalid_argument, wavefft-correct's refusals), OSError for files (a
// record file that cannot be read or parsed). The message is the one the
// command prints.
#include <stdexcept>

#include "correct/values.h"
#include "python/bindings.h"
#include "python/errors.h"
#include "records/record.h"

namespace wavefft::python {

void bind_errors(py::module_&) {
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const BadFile& e) {
      PyErr_SetString(PyExc_OSError, e.what());
    } catch (const records::RecordError& e) {
      PyErr_SetString(PyExc_OSError, e.what());
    } catch (const BadValue& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const correct::Refusal& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const std::invalid_argument& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const std::length_error& e) {
      PyErr_SetString(PyExc_MemoryError, e.what());
    }
  });
}

}  // namespace wavefft::python
