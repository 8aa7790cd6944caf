// SPDX-License-Identifier: GPL-3.0-or-later
// What wavefft-batch tells its user while and after it runs: the progress
// line on a terminal and the tally of statuses at the end. Texts only;
// batch/main.cpp writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wavefft::batch {

/// "12:05" or "1:02:05" for a count of seconds (negative counts as 0).
std::string clock_text(std::int64_t seconds);

/// The progress line, without "\r" or clearing:
/// "wavefft-batch: 12/64 done, 1 failed, 0:42 elapsed, about 1:30 left".
/// The estimate is left out until a record has finished.
std::string progress_line(std::size_t done, std::size_t total, std::size_t failed, double elapsed_seconds);

/// The tally lines "N status", sorted by status, each ending in "\n".
std::string tally(const std::vector<std::string>& statuses);

}  // namespace wavefft::batch
