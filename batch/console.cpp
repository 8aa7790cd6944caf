// SPDX-License-Identifier: GPL-3.0-or-later
// What a run of wavefft tells wavefft-batch (see console.h).
#include "batch/console.h"

#include <cmath>

#include "batch/fields.h"
#include "common/numbers.h"

namespace wavefft::batch {
namespace {

/// Largest K of --skip: the row step K + 1 is a 32-bit count.
constexpr long long kMaxSkip = 2147483646;

// The shortest text of `v`, or "" when it is not finite.
std::string finite_text(double v) { return std::isfinite(v) ? common::shortest(v) : std::string(); }

}  // namespace

std::optional<NtDt> parse_nt_dt(std::string_view line) {
  constexpr std::string_view key = "NT and DT=";
  const std::size_t at = line.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  const auto rest = line_fields(line.substr(at + key.size()));
  if (rest.size() < 2) return std::nullopt;
  return NtDt{std::string(rest[0]), std::string(rest[1])};
}

std::string duration_text(const NtDt& v) {
  const auto nt = common::to_number(v.nt, common::kPrintedNumber);
  const auto dt = common::to_number(v.dt, common::kPrintedNumber);
  if (!nt || !dt) return {};
  return finite_text(*nt * *dt);
}

std::string thinned_step(std::string_view dt, std::string_view skip) {
  const auto step = common::to_number(dt, common::kPrintedNumber);
  const auto k = common::to_integer(skip);
  if (!step || !k || *k < 0 || *k > kMaxSkip) return {};
  return finite_text(*step * static_cast<double>(*k + 1));
}

bool is_lately_io_line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line.size() >= 11 && line.substr(0, 7) == "lately " && line.substr(line.size() - 3) == " IO";
}

Ending classify(int code, std::string_view last_stdout_line, std::string_view first_stderr_line, bool lately_io_line) {
  Ending e{"error", std::string(first_stderr_line)};
  if (code == 0) {
    // "  NT>2**17 !!!!!" last: the record was too long and nothing was written.
    constexpr std::string_view stop = "NT>2**17 !!!!!";
    std::string_view last = last_stdout_line;
    if (!last.empty() && last.back() == '\r') last.remove_suffix(1);
    if (last.size() >= stop.size() && last.substr(last.size() - stop.size()) == stop) return {"stopped-too-long", ""};
    e.status = "normal";
  } else if (lately_io_line) {
    // An abort after the four-line diagnostic: 134 and "lately ... IO".
    e.status = "diagnostic";
  } else if (code > 128) {
    // 137, nothing on standard error -> "signal 9"
    e.status = "signal";
    if (e.diagnostic.empty()) e.diagnostic = "signal " + std::to_string(code - 128);
  } else if (first_stderr_line == "Interrupt" || first_stderr_line == "Killed" || first_stderr_line == "Floating Exception" ||
             first_stderr_line == "IOT Trap") {
    // The program's own words for the signal it caught.
    e.status = "signal";
  }
  return e;
}

}  // namespace wavefft::batch
