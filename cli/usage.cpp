// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/usage.h"

#include <cstdio>
#include <string>

namespace wavefft::cli {

const char* const kSynopsis =
    "Usage: wavefft\n"
    "       wavefft [options] RECORD\n"
    "       wavefft --help | --version\n";

int usage_error(std::string_view reason) {
  std::string text = "wavefft: ";
  text.reserve(text.size() + reason.size() + 160);
  for (const char c : reason) text += (c == '\n' || c == '\r') ? ' ' : c;
  text += '\n';
  text += kSynopsis;
  text += "Try 'wavefft --help' for more information.\n";
  // One write, so that the three parts reach a shared standard error together.
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
  return kUsageStatus;
}

}  // namespace wavefft::cli
