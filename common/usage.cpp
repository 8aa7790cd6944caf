// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/usage.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

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

namespace {

#ifndef WAVEFFT_VERSION
#define WAVEFFT_VERSION "unknown"
#endif

// "--help" or "--version" as the only argument: printed, and true.
bool help_or_version(int argc, char** argv, std::string_view tool, std::string_view help) {
  if (argc != 2) return false;
  const std::string_view arg = argv[1];
  std::string text;
  if (arg == "--help") {
    text = help;
  } else if (arg == "--version") {
    text.append(tool).append(" " WAVEFFT_VERSION "\n");
  } else {
    return false;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return true;
}

}  // namespace

int tool_main(int argc, char** argv, std::string_view tool, std::string_view help,
              const std::function<int(std::span<const std::string_view>)>& body) {
  if (help_or_version(argc, argv, tool, help)) return 0;
  const std::string name(tool);
  try {
    const std::vector<std::string_view> words(argv + 1, argv + argc);
    return body(words);
  } catch (const ToolStop& stop) {
    if (stop.usage) return usage_error(tool, stop.message, help.substr(0, help.find("\n\n") + 1));
    std::fprintf(stderr, "%s: %s\n", name.c_str(), stop.message.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), e.what());
  }
  return 1;
}

}  // namespace wavefft::common
