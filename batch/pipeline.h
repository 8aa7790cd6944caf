// The pure parts of wavefft-batch: which form a command line takes, what a
// record's header and a run's console say, how a run ended, the numbers
// picked from wavefft-measures' files and the progress line. No files, no
// processes: batch/main.cpp and batch/run.cpp do those.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wavefft::batch {

/// How much of a file is looked at to tell a record in the input layout
/// from another file, and to read a record's header.
inline constexpr std::size_t kHeadBytes = 64 * 1024;

/// True when `head` (the start of a file) has a line that holds 43 or more
/// fields separated by blanks, tabs or commas: the time and 42 values of the
/// input layout. A last line cut off by the end of `head` counts too.
bool looks_like_record(std::string_view head);

/// The two command-line forms: an answer file then records, or records and
/// folders with processing options.
enum class Form { answers, records };

/// What is known about the first positional argument.
enum class FirstArg { missing, record, other_file, folder };

/// The answer-file form when no processing option and no --unit is given,
/// there are at least two positional arguments and the first is a regular
/// file that is not a record (or does not exist: an answer file typed wrong,
/// which that form refuses). Otherwise the records form.
Form choose_form(bool any_processing_option, bool unit_given, std::size_t positionals, FirstArg first);

/// The items of a free-form list: separated by blanks, tabs, commas or line
/// ends; an item quoted with '...' or "..." keeps its blanks and commas (a
/// doubled quote inside stands for one). At most `max_items` are returned.
std::vector<std::string> free_form_items(std::string_view text, std::size_t max_items);

/// A record's header: the four words that open it (over one line or more),
/// and the titles of values 1, 2 and 11 (tokens 2, 3 and 12 of the line
/// after the one with the fourth word). Missing parts are empty.
struct Header {
  std::string event, station, kind, unit;
  std::string components;  // "NS EW UD"; empty when the title line is short
};
Header read_header(std::string_view head);

/// The unit of a header word when it is one wavefft-measures knows (g, gal,
/// m_s2, mm_s2), else empty.
std::string known_unit(std::string_view word);

/// The count and step of the record, as wavefft printed them on its
/// " NT and DT= 6800  0.01" line.
struct NtDt {
  std::string nt, dt;
};
std::optional<NtDt> parse_nt_dt(std::string_view line);

/// nt * dt, shortest round-trip decimal; empty when either is not a number
/// or the product is not finite.
std::string duration_text(const NtDt& v);

/// dt * (K + 1), the step of a record thinned by --skip K, shortest
/// round-trip decimal; empty when not computable.
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

/// The numbers picked from wavefft-measures' files, as texts.
struct Picked {
  std::string pga, pgv;                  // from measures.csv
  std::string psa_02, psa_10, rotd50_10;  // from spectra.csv
};
/// From measures.csv: pga (row "pga") and pgv (row "pgv"), each the larger
/// of comp1 and comp2, the text copied.
void pick_measures(std::string_view measures_csv, Picked& out);
/// From spectra.csv at damping 0.05: the larger of comp1 and comp2 at
/// periods 0.2 and 1, and rotd50 at 1.
void pick_spectra(std::string_view spectra_csv, Picked& out);

/// "12:05" or "1:02:05" for a count of seconds (negative counts as 0).
std::string clock_text(std::int64_t seconds);

/// The progress line, without "\r" or clearing:
/// "wavefft-batch: 12/64 done, 1 failed, 0:42 elapsed, about 1:30 left".
/// The estimate is left out until a record has finished.
std::string progress_line(std::size_t done, std::size_t total, std::size_t failed, double elapsed_seconds);

/// The tally lines "N status", sorted by status, each ending in "\n".
std::string tally(const std::vector<std::string>& statuses);

/// A field of a summary line: tabs and line ends become blanks.
std::string one_line(std::string_view text);

}  // namespace wavefft::batch
