// SPDX-License-Identifier: GPL-3.0-or-later
// What a run of wavefft tells wavefft-batch: the count and step it printed,
// the step of the record it wrote, and how it ended. Texts in, texts out;
// batch/run.cpp reads the files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wavefft::batch {

/// The count and step of the record, as wavefft printed them on its
/// " NT and DT= 6800  0.01" line.
struct NtDt {
  std::string nt, dt;
};
std::optional<NtDt> parse_nt_dt(std::string_view line);

/// nt * dt, shortest round-trip decimal; empty when either is not a number
/// (common::kPrintedNumber) or the product is not finite.
std::string duration_text(const NtDt& v);

/// dt * (K + 1), the step of a record thinned by --skip K (K as the option
/// takes it: digits with an optional '+'), shortest round-trip decimal;
/// empty when not computable.
std::string thinned_step(std::string_view dt, std::string_view skip);

/// How a run of wavefft ended, from its exit code (128 + the signal number
/// for one ended by a signal, as a shell reports it), the last line of its
/// standard output, the first line of its standard error and whether a line
/// of its standard error reads "lately ... IO".
struct Ending {
  std::string status;      // normal, stopped-too-long, diagnostic, signal, error
  std::string diagnostic;  // for the summary's diagnostic column
};
Ending classify(int code, std::string_view last_stdout_line, std::string_view first_stderr_line, bool lately_io_line);

/// True for a line such as "lately reading sequential formatted external IO".
bool is_lately_io_line(std::string_view line);

}  // namespace wavefft::batch
