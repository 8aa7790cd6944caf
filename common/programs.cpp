// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a program to run (see programs.h).
#include "common/programs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace wavefft::common {
namespace fs = std::filesystem;

bool is_executable_file(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

fs::path on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const std::size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    const fs::path candidate = (dir.empty() ? fs::path(".") : fs::path(dir)) / name;
    if (is_executable_file(candidate)) return fs::absolute(candidate);
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return {};
}

}  // namespace wavefft::common
