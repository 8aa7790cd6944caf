// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a program to run: what the tools that start other programs
// (wavefft-batch, the Python module's run) share.
#pragma once

#include <filesystem>
#include <string>

namespace wavefft::common {

/// True when `p` is a regular file this process may execute.
bool is_executable_file(const std::filesystem::path& p);

/// The executable `name` in the first folder of $PATH that holds one (an
/// empty entry meaning the current folder; /usr/local/bin:/usr/bin:/bin
/// when PATH is unset), made absolute; empty when none does.
std::filesystem::path on_path(const std::string& name);

}  // namespace wavefft::common
