// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/usage.h"

#include <cstdio>
#include <string>

namespace wavefft::common {

int usage_error(std::string_view tool, std::string_view reason, std::string_view synopsis) {
  std::string text;
  text.append(tool).append(": ");
  // One line: a line end inside the reason (an argument that holds one)
  // is shown as a blank.
  for (const char c : reason) text += (c == '\n' || c == '\r') ? ' ' : c;
  text += '\n';
  text.append(synopsis);
  if (!synopsis.empty() && synopsis.back() != '\n') text += '\n';
  text.append("Try '").append(tool).append(" --help' for more information.\n");
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
  return kUsageStatus;
}

std::optional<int> help_or_version(int argc, char** argv, std::string_view tool, std::string_view help,
                                   std::string_view version) {
  if (argc != 2) return std::nullopt;
  const std::string_view arg = argv[1];
  std::string text;
  if (arg == "--help") {
    text = help;
  } else if (arg == "--version") {
    text.append(tool).append(" ").append(version).append("\n");
  } else {
    return std::nullopt;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

}  // namespace wavefft::common
