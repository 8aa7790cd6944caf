// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the tools refuse their arguments.
#pragma once

#include <optional>
#include <string_view>

namespace wavefft::common {

/// The exit status of a usage error.
inline constexpr int kUsageStatus = 2;

/// Writes a usage error on standard error and returns kUsageStatus:
///   TOOL: REASON
///   SYNOPSIS                      (the "Usage: ..." lines of --help)
///   Try 'TOOL --help' for more information.
/// `synopsis` ends with a line end or not; REASON is one line.
int usage_error(std::string_view tool, std::string_view reason, std::string_view synopsis);

/// A command's only argument "--help" (the help text on standard output)
/// or "--version" ("TOOL VERSION"): the exit status 0 once it is printed;
/// nothing for any other command line.
std::optional<int> help_or_version(int argc, char** argv, std::string_view tool, std::string_view help,
                                   std::string_view version);

}  // namespace wavefft::common
