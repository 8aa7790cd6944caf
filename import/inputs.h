// SPDX-License-Identifier: GPL-3.0-or-later
// The inputs of wavefft-import: each FILE argument (a file, or a folder
// standing for its files) read whole and recognised into a FileContents,
// the record written through a temporary file, and a Problem as the one
// line the command prints. Shared by the command and the Python module.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "import/record.h"

namespace wavefft::import {

/// Told of a file in a folder that is in no layout wavefft-import reads:
/// its path and why ("not a record layout that wavefft-import reads").
using SkippedFile = std::function<void(const std::string& path, const std::string& why)>;

/// One FILE argument read into `files` and its names into `names`: the file
/// itself, or a folder standing for its regular files whose names do not
/// start with '.', in byte order of the names, of which at least one must be
/// in a known layout ("no record files in this folder"); the others are
/// passed to `skipped`. A file named on its own in no known layout is
/// refused.
Problem read_argument(const std::string& arg, std::vector<std::string>& names, std::vector<FileContents>& files,
                      const SkippedFile& skipped);

/// `text` to the file `out` through a temporary file beside it, renamed over
/// it, its missing folders made first: "cannot make its folder: REASON",
/// "cannot write: REASON" or "cannot replace it: REASON" on failure.
Problem write_output(const std::string& out, std::string_view text);

/// The words the command prints for `p` after "wavefft-import: ":
/// "FILE:LINE: text", "FILE: text" or "text".
std::string problem_text(const Problem& p);

}  // namespace wavefft::import
