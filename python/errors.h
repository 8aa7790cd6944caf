// SPDX-License-Identifier: GPL-3.0-or-later
// The module's two kinds of failure, raised in Python as ValueError (an
// argument or a value is refused) and OSError (a file cannot be read,
// written or understood).
#pragma once

#include <stdexcept>

namespace wavefft::python {

/// Raised in Python as ValueError.
class BadValue : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Raised in Python as OSError.
class BadFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace wavefft::python
