// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the tools refuse their arguments.
#pragma once

#include <functional>
#include <span>
#include <string>
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

/// Why a command stops before its end: an error (status 1, "TOOL: MESSAGE"
/// on standard error) or, with `usage`, wrong arguments (usage_error).
struct ToolStop {
  std::string message;
  bool usage = false;
};

/// A tool's whole main. "--help" alone prints `help` and "--version" alone
/// "TOOL VERSION" (status 0); any other command line goes to body (the
/// words after the command's name), whose status is returned. A ToolStop
/// it throws is reported as its kind says, the synopsis being `help` up to
/// its first empty line; any other std::exception as "TOOL: what()",
/// status 1.
int tool_main(int argc, char** argv, std::string_view tool, std::string_view help,
              const std::function<int(std::span<const std::string_view>)>& body);

}  // namespace wavefft::common
