// SPDX-License-Identifier: GPL-3.0-or-later
// Running the programs of the chain (see run.h).
#include "batch/run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "batch/console.h"
#include "common/files.h"
#include "common/programs.h"

extern char** environ;

namespace wavefft::batch {
namespace fs = std::filesystem;

namespace {

std::atomic<bool> g_sigpipe_ignored_at_start{false};

using common::is_executable_file;
using common::on_path;

// The file actions and attributes of one spawn, released on every path out.
struct SpawnSetup {
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attr{};
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

void note_failure(const fs::path& err, const std::string& what) { write_text(err, "wavefft-batch: " + what + "\n"); }

// The child's standard streams: `l.input` through a new pipe (its ends
// into `pipe_fds`) or /dev/null, `l.out` and `l.err` made afresh; and its
// working directory. False when the pipe could not be made (the reason
// then written to `l.err`).
bool redirect_streams(const Launch& l, SpawnSetup& s, int (&pipe_fds)[2]) {
  if (l.input) {
    // Close-on-exec, so that children started by other workers at the same
    // time do not hold the write end open.
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
      note_failure(l.err, std::string("cannot make a pipe: ") + std::strerror(errno));
      return false;
    }
    posix_spawn_file_actions_adddup2(&s.actions, pipe_fds[0], 0);
  } else {
    posix_spawn_file_actions_addopen(&s.actions, 0, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&s.actions, 1, l.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  posix_spawn_file_actions_addopen(&s.actions, 2, l.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  posix_spawn_file_actions_addchdir_np(&s.actions, l.cwd.c_str());
  return true;
}

// The child starts with no signal blocked, and with SIGPIPE at its
// default unless the batch's own caller ignored it (see run.h).
void reset_child_signals(SpawnSetup& s) {
  sigset_t defaults, none;
  sigemptyset(&defaults);
  if (!g_sigpipe_ignored_at_start.load()) sigaddset(&defaults, SIGPIPE);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&s.attr, &defaults);
  posix_spawnattr_setsigmask(&s.attr, &none);
  posix_spawnattr_setflags(&s.attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
}

// The argument vector posix_spawn takes: pointers into `args`, then a null
// pointer ({"wavefft", "x.txt"} -> {"wavefft", "x.txt", nullptr}).
std::vector<char*> c_argv(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// Writes `text` to the child's pipe `fd`, then closes it. A child that
// stops reading early closes the pipe: EPIPE (SIGPIPE is ignored by this
// process) ends the writing, not the batch.
void feed_input(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

// Waits for the child `pid` only: its exit status, 128 + the signal that
// ended it, or 127 when it cannot be waited for.
int wait_for(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 127;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 127;
}

}  // namespace

void set_sigpipe_ignored_at_start(bool ignored) { g_sigpipe_ignored_at_start.store(ignored); }

int run_program(const Launch& l) {
  if (l.argv.empty()) return 127;
  SpawnSetup s;
  int pipe_fds[2] = {-1, -1};
  if (!redirect_streams(l, s, pipe_fds)) return 127;
  reset_child_signals(s);
  std::vector<char*> argv = c_argv(l.argv);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &s.actions, &s.attr, argv.data(), environ);
  if (pipe_fds[0] >= 0) ::close(pipe_fds[0]);
  if (rc != 0) {
    if (pipe_fds[1] >= 0) ::close(pipe_fds[1]);
    note_failure(l.err, "cannot run " + l.argv[0] + ": " + std::strerror(rc));
    return 127;
  }
  if (l.input) feed_input(pipe_fds[1], *l.input);
  return wait_for(pid);
}

fs::path find_tool(const std::string& name) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const fs::path beside = self.parent_path() / name;
    if (is_executable_file(beside)) return beside;
  }
  return on_path(name);
}

fs::path resolve_program(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) {
    const fs::path p = fs::absolute(name);
    return is_executable_file(p) ? p : fs::path();
  }
  return on_path(name);
}

std::string first_line(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  if (!std::getline(in, line)) return {};
  return line;
}

ConsoleScan scan_console(const fs::path& file) {
  ConsoleScan scan;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (scan.nt_dt_line.empty() && line.find("NT and DT=") != std::string::npos) scan.nt_dt_line = line;
    scan.last_line = line;
  }
  return scan;
}

bool has_lately_io_line(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (is_lately_io_line(line)) return true;
  }
  return false;
}

std::string read_head(const fs::path& file, std::size_t limit) {
  std::ifstream in(file, std::ios::binary);
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

std::string read_all(const fs::path& file) {
  std::string text;
  common::FileFault ignored;
  if (!common::read_file(file, text, ignored)) return {};
  return text;
}

bool write_text(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace wavefft::batch
