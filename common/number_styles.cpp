// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-precision number styles of the tools' messages and pages:
// printf's "%.<n>g" and "%.<n>f", written by {fmt} (its 'g' and 'f'
// presentations give printf's text, without a locale or a format string
// parsed at run time).
#include <fmt/format.h>

#include "common/numbers.h"

namespace wavefft::common {

std::string significant(double v, int digits) { return fmt::format("{:.{}g}", v, digits); }

std::string fixed(double v, int decimals) { return fmt::format("{:.{}f}", v, decimals); }

}  // namespace wavefft::common
