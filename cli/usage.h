// SPDX-License-Identifier: GPL-3.0-or-later
// How wavefft refuses its command line: the same three parts as the tools'
// usage errors (the program does not link the tools' library, so this is
// its own small copy of that format).
#pragma once

#include <string_view>

namespace wavefft::cli {

/// The exit status of a refused command line.
inline constexpr int kUsageStatus = 2;

/// wavefft's synopsis: the "Usage:" lines its --help starts with, each
/// ending in "\n".
extern const char* const kSynopsis;

/// Writes a refused command line on standard error and returns kUsageStatus:
///   wavefft: REASON
///   SYNOPSIS                      (kSynopsis)
///   Try 'wavefft --help' for more information.
/// A line end inside `reason` is written as a blank, so REASON is one line.
/// Nothing else is written, read or touched.
int usage_error(std::string_view reason);

}  // namespace wavefft::cli
