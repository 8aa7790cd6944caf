// SPDX-License-Identifier: GPL-3.0-or-later
// The Python module wavefft: its docstring and its parts.
#include "python/bindings.h"

PYBIND11_MODULE(wavefft, m) {
  m.doc() =
      "Strong-motion records from Python: the tools of wavefft on NumPy arrays.\n"
      "\n"
      "read / read_record give a Record (what wavefft-import assembles, or a file in\n"
      "the program's input layout or a waveform file); measures, spectra and fas\n"
      "compute what wavefft-measures writes; correct does what wavefft-correct does;\n"
      "run runs the program wavefft on a record. The numbers are those of the\n"
      "commands, bit for bit. Bad arguments raise ValueError, unreadable or\n"
      "unwritable files OSError, with the commands' messages. Every computation\n"
      "releases the GIL.";
  namespace wp = wavefft::python;
  // Each docstring starts with its own signature, in Python's types.
  pybind11::options options;
  options.disable_function_signatures();
  wp::bind_errors(m);
  wp::bind_records(m);
  wp::bind_measures(m);
  wp::bind_correct(m);
  wp::bind_run(m);
}
