// SPDX-License-Identifier: GPL-3.0-or-later
// Running a program in a folder and collecting what it prints.
#pragma once

#include <string>
#include <vector>

namespace wavefft::python {

struct Finished {
  int status = 0;      // the exit status; 128 + N when signal N ended it
  std::string out;     // standard output
  std::string errors;  // standard error
};

/// Runs `argv` (argv[0] the program's path) in the folder `dir`, standard
/// input from /dev/null, and waits for it. Throws BadFile when it cannot be
/// started.
Finished run_program(const std::vector<std::string>& argv, const std::string& dir);

}  // namespace wavefft::python
