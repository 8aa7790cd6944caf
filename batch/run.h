// SPDX-License-Identifier: GPL-3.0-or-later
// Running one program of the chain and reading what it left: posix_spawn
// with the standard streams redirected to files in the record's folder and
// that folder as working directory, then waitpid for that child only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace wavefft::batch {

struct Launch {
  std::vector<std::string> argv;  // argv[0] is the program's path
  std::filesystem::path cwd;
  std::optional<std::string> input;  // fed through a pipe; /dev/null when absent
  std::filesystem::path out, err;    // standard output and error
};

/// Tells run_program whether the batch was started with SIGPIPE ignored.
/// The batch ignores SIGPIPE for its own writes; a child gets it back at its
/// default unless the batch's caller had ignored it too. (SIGINT and SIGTERM
/// need nothing: a caught signal is at its default after exec, an ignored
/// one stays ignored, as the caller meant.)
void set_sigpipe_ignored_at_start(bool ignored);

/// Runs `l` and waits for it. Returns its exit status, 128 + the signal
/// number when a signal ended it, or 127 when it could not be started (the
/// reason is then written to `l.err`).
int run_program(const Launch& l);

/// The program `name` next to this executable (/proc/self/exe's folder),
/// else on the PATH; empty when neither has it.
std::filesystem::path find_tool(const std::string& name);

/// `name` as a program: a path (holding '/') made absolute, else looked up
/// on the PATH. Empty when it is not an executable regular file.
std::filesystem::path resolve_program(const std::string& name);

/// What a run printed: the first line of a file (without its line end).
std::string first_line(const std::filesystem::path& file);

/// Reads a run's standard output file once: its last line, and the line
/// that holds "NT and DT=" (the first one).
struct ConsoleScan {
  std::string last_line;
  std::string nt_dt_line;
};
ConsoleScan scan_console(const std::filesystem::path& file);

/// True when a line of the file reads "lately ... IO".
bool has_lately_io_line(const std::filesystem::path& file);

/// At most `limit` bytes from the start of a file (empty when unreadable).
std::string read_head(const std::filesystem::path& file, std::size_t limit);

/// A whole file (empty when unreadable).
std::string read_all(const std::filesystem::path& file);

/// Writes `text` to `file` (replacing it); false on failure.
bool write_text(const std::filesystem::path& file, const std::string& text);

}  // namespace wavefft::batch
