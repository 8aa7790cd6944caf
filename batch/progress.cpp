// SPDX-License-Identifier: GPL-3.0-or-later
// The progress line and the tally of wavefft-batch (see progress.h).
#include "batch/progress.h"

#include <map>

namespace wavefft::batch {

std::string clock_text(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const std::int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  std::string out;
  if (h > 0) {
    // 3725 -> "1:02:05"
    out = std::to_string(h) + ":";
    if (m < 10) out += "0";
  }
  out += std::to_string(m) + ":";
  if (s < 10) out += "0";
  return out + std::to_string(s);
}

std::string progress_line(std::size_t done, std::size_t total, std::size_t failed, double elapsed_seconds) {
  // Whole seconds; the clamp keeps the conversion in range whatever the clock says.
  auto whole = [](double s) -> std::int64_t {
    if (!(s > 0)) return 0;
    if (s > 1e12) return 1000000000000;
    return static_cast<std::int64_t>(s);
  };
  std::string line = "wavefft-batch: " + std::to_string(done) + "/" + std::to_string(total) + " done, " +
                     std::to_string(failed) + " failed, " + clock_text(whole(elapsed_seconds)) + " elapsed";
  if (done > 0 && done < total) {
    const double left = elapsed_seconds / static_cast<double>(done) * static_cast<double>(total - done);
    line += ", about " + clock_text(whole(left + 0.5)) + " left";
  }
  return line;
}

std::string tally(const std::vector<std::string>& statuses) {
  std::map<std::string, std::size_t> counts;
  for (const auto& s : statuses) ++counts[s];
  std::string out;
  for (const auto& [status, n] : counts) out += std::to_string(n) + " " + status + "\n";
  return out;
}

}  // namespace wavefft::batch
