// SPDX-License-Identifier: GPL-3.0-or-later
// The complex element of a spectrum array: a double real part followed by a
// double imaginary part. Plain data on purpose: every operation on it is
// written out where it is used, so its rounding is visible.
#pragma once

namespace wavefft {

struct Complex {
  double re;
  double im;
};

}  // namespace wavefft
