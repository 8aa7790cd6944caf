// SPDX-License-Identifier: GPL-3.0-or-later
// session_runner: runs one dialogue case of wavefft and compares what the
// program did with what the case expects.
//
//   session_runner <wavefft executable> <case folder> [NAME=PATH ...]
//
// NAME=PATH makes a companion tool known to the runner (for example
// wavefft-import=build/wavefft-import): a case whose `command` file names it
// runs that tool instead of wavefft, and every setup script finds each tool
// in an environment variable named after it in capitals, '-' as '_'
// ($WAVEFFT_IMPORT), with $WAVEFFT for the program itself.
//
// A case folder holds data only (tests/cases/README.md lists the files). The
// runner makes a fresh temporary working directory, copies the case's input/
// into it, runs the case's setup script there, runs the program with the
// typed answers on standard input, and then compares standard output,
// standard error, the exit status and the files left behind, byte for byte.
//
// Exit status: 0 when everything matched (the temporary directory is
// removed), 1 on a mismatch (the directory is kept and its path printed),
// 2 when the case or the command line is malformed, 77 when the case must
// run unprivileged and this machine cannot do that (CTest reports a skip).
//
// POSIX only: fork/exec, pipes, poll, setuid/setgid for unprivileged cases.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

/// Wall-clock limit of one program run (and, separately, of the setup script).
constexpr auto kRunLimit = std::chrono::seconds(120);
/// How long the output pipes may stay open after the program has ended.
constexpr auto kDrainGrace = std::chrono::seconds(5);
/// How long a signal case waits for standard output to reach expect/stdout.
constexpr auto kSignalWait = std::chrono::seconds(10);
/// Output beyond this many bytes per stream is dropped and fails the case.
constexpr std::size_t kMaxCapture = std::size_t{256} << 20;
/// The unprivileged user and group ("nobody").
constexpr uid_t kNobodyUid = 65534;
constexpr gid_t kNobodyGid = 65534;
/// Diffs of larger line counts fall back to the first differing line.
constexpr std::size_t kMaxDiffCells = std::size_t{4'000'000};
constexpr std::size_t kContext = 3;
/// A diff report stops after this many lines.
constexpr std::size_t kMaxShownLines = 400;

constexpr int kExitMismatch = 1;
constexpr int kExitBadCase = 2;
constexpr int kExitSkip = 77;

[[noreturn]] void die(int code, const std::string& message) {
  std::fprintf(stderr, "session_runner: %s\n", message.c_str());
  std::exit(code);
}

std::string errno_text(int err) { return std::strerror(err); }

std::optional<std::string> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(s).str();
}

std::string read_required(const fs::path& path) {
  auto text = read_file(path);
  if (!text) die(kExitBadCase, "cannot read " + path.string());
  return *text;
}

std::string trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

// ---------------------------------------------------------------------------
// The case

struct ExpectedFile {
  std::string name;  ///< path relative to the working directory
  std::string bytes;
};

struct LineCount {
  std::string name;
  std::size_t count = 0;
};

struct Case {
  fs::path dir;
  std::string name;
  std::string stdin_text;
  bool has_setup = false;
  int signal = 0;               ///< SIGINT or SIGTERM to send, 0 for none
  bool signal_ignored = false;  ///< start the program with SIGINT ignored
  bool unprivileged = false;
  /// From `command`: the tool to run (first line) and its arguments (one
  /// per further line, verbatim). Empty: wavefft with no arguments.
  std::vector<std::string> command;
  std::string expect_stdout;
  std::string expect_stderr;
  std::string expect_status;  ///< "0", "1", ... or "abort"
  std::vector<ExpectedFile> files;
  std::vector<std::string> absent;
  std::vector<LineCount> lines;
  std::vector<ExpectedFile> heads;
  std::vector<ExpectedFile> tails;
};

std::vector<ExpectedFile> load_tree(const fs::path& root) {
  std::vector<ExpectedFile> out;
  if (!fs::is_directory(root)) return out;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    out.push_back({fs::relative(entry.path(), root).generic_string(), read_required(entry.path())});
  }
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return out;
}

Case load_case(const fs::path& dir) {
  Case c;
  c.dir = dir;
  c.name = (dir.has_filename() ? dir : dir.parent_path()).filename().string();  // "case/" too
  if (!fs::is_directory(dir)) die(kExitBadCase, "no case folder " + dir.string());
  if (!fs::is_directory(dir / "expect")) die(kExitBadCase, "case has no expect/ folder: " + dir.string());

  if (fs::exists(dir / "stdin")) c.stdin_text = read_required(dir / "stdin");
  c.has_setup = fs::exists(dir / "setup");
  c.unprivileged = fs::exists(dir / "unprivileged");
  c.signal_ignored = fs::exists(dir / "signal-ignored");
  if (fs::exists(dir / "signal")) {
    const std::string s = trim(read_required(dir / "signal"));
    if (s == "INT") {
      c.signal = SIGINT;
    } else if (s == "TERM") {
      c.signal = SIGTERM;
    } else {
      die(kExitBadCase, "signal must hold INT or TERM, not \"" + s + "\"");
    }
  }

  if (fs::exists(dir / "command")) {
    std::istringstream in(read_required(dir / "command"));
    for (std::string line; std::getline(in, line);) c.command.push_back(line);
    if (c.command.empty() || trim(c.command.front()).empty()) die(kExitBadCase, "command: the first line must name the tool");
    c.command.front() = trim(c.command.front());
  }

  const fs::path ex = dir / "expect";
  if (fs::exists(ex / "stdout")) c.expect_stdout = read_required(ex / "stdout");
  if (fs::exists(ex / "stderr")) c.expect_stderr = read_required(ex / "stderr");
  c.expect_status = fs::exists(ex / "status") ? trim(read_required(ex / "status")) : "0";
  c.files = load_tree(ex / "files");
  c.heads = load_tree(ex / "head");
  c.tails = load_tree(ex / "tail");

  if (fs::exists(ex / "absent")) {
    std::istringstream in(read_required(ex / "absent"));
    for (std::string line; std::getline(in, line);) {
      line = trim(line);
      if (!line.empty()) c.absent.push_back(line);
    }
  }
  if (fs::exists(ex / "lines")) {
    std::istringstream in(read_required(ex / "lines"));
    for (std::string line; std::getline(in, line);) {
      if (trim(line).empty()) continue;
      std::istringstream fields(line);
      LineCount lc;
      long long n = -1;
      if (!(fields >> lc.name >> n) || n < 0) die(kExitBadCase, "expect/lines: bad line \"" + line + "\"");
      lc.count = static_cast<std::size_t>(n);
      c.lines.push_back(lc);
    }
  }
  return c;
}

// ---------------------------------------------------------------------------
// Temporary working directory

fs::path make_temp_dir(const std::string& case_name) {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/wavefft-" + case_name + "-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) die(kExitBadCase, "mkdtemp " + templ + ": " + errno_text(errno));
  return fs::path(buf.data());
}

void copy_tree(const fs::path& from, const fs::path& to) {
  for (const auto& entry : fs::recursive_directory_iterator(from)) {
    const fs::path target = to / fs::relative(entry.path(), from);
    if (entry.is_directory()) {
      fs::create_directories(target);
    } else if (entry.is_regular_file()) {
      fs::create_directories(target.parent_path());
      fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
      fs::permissions(target, entry.status().permissions());
    }
  }
}

void chown_tree(const fs::path& root, uid_t uid, gid_t gid) {
  if (::lchown(root.c_str(), uid, gid) != 0) die(kExitBadCase, "chown " + root.string() + ": " + errno_text(errno));
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (::lchown(entry.path().c_str(), uid, gid) != 0) {
      die(kExitBadCase, "chown " + entry.path().string() + ": " + errno_text(errno));
    }
  }
}

// A setup script may leave read-only folders behind; open them up first so
// that an unprivileged runner can still remove everything.
void remove_tree(const fs::path& root) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
  }
  fs::remove_all(root, ec);
  if (ec) std::fprintf(stderr, "session_runner: could not remove %s: %s\n", root.c_str(), ec.message().c_str());
}

// ---------------------------------------------------------------------------
// Child processes

/// What a child is started with. Everything is prepared before fork() so the
/// child only makes system calls.
struct Launch {
  std::vector<std::string> argv;
  std::vector<std::string> env;
  fs::path workdir;
  int stdin_fd = -1;  ///< becomes the child's standard input
  int stdout_fd = -1;
  int stderr_fd = -1;
  bool drop_privileges = false;
  bool ignore_sigint = false;
  bool no_core = false;
};

/// Failure stages a child reports through its status pipe before exec.
enum class ChildStage : int { Exec = 1, Chdir = 2, Privileges = 3, Io = 4 };

struct ChildFailure {
  ChildStage stage;
  int err;
};

/// Clears the privileges of the calling (child) process down to nobody.
bool become_nobody() {
  if (::setgroups(0, nullptr) != 0) return false;
  if (::setgid(kNobodyGid) != 0) return false;
  if (::setuid(kNobodyUid) != 0) return false;
  return ::getuid() == kNobodyUid && ::geteuid() == kNobodyUid;
}

void set_cloexec(int fd) { ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC); }
void set_nonblock(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

void make_pipe(int fds[2]) {
  if (::pipe(fds) != 0) die(kExitBadCase, std::string("pipe: ") + errno_text(errno));
  set_cloexec(fds[0]);
  set_cloexec(fds[1]);
}

[[noreturn]] void child_fail(int status_fd, ChildStage stage) {
  const ChildFailure f{stage, errno};
  ssize_t ignored = ::write(status_fd, &f, sizeof f);
  (void)ignored;
  ::_exit(127);
}

/// Forks and execs; returns the pid, or reports why the child could not start.
pid_t spawn(const Launch& l, std::optional<ChildFailure>& failure) {
  std::vector<char*> argv;
  for (const auto& a : l.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& e : l.env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const std::string workdir = l.workdir.string();

  int status_pipe[2];
  make_pipe(status_pipe);
  const pid_t pid = ::fork();
  if (pid < 0) die(kExitBadCase, std::string("fork: ") + errno_text(errno));
  if (pid == 0) {
    const int st = status_pipe[1];
    if (::dup2(l.stdin_fd, 0) < 0 || ::dup2(l.stdout_fd, 1) < 0 || ::dup2(l.stderr_fd, 2) < 0) {
      child_fail(st, ChildStage::Io);
    }
    // The runner ignores SIGPIPE; the program gets the usual dispositions,
    // an empty signal mask, and no core files when it aborts.
    ::signal(SIGPIPE, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, l.ignore_sigint ? SIG_IGN : SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (l.no_core) {
      const rlimit zero{0, 0};
      ::setrlimit(RLIMIT_CORE, &zero);
    }
    // Its own process group, so that a run that overstays is killed with
    // everything it started.
    ::setpgid(0, 0);
    if (::chdir(workdir.c_str()) != 0) child_fail(st, ChildStage::Chdir);
    if (l.drop_privileges && !become_nobody()) child_fail(st, ChildStage::Privileges);
    ::execve(argv[0], argv.data(), envp.data());
    child_fail(st, ChildStage::Exec);
  }
  ::setpgid(pid, pid);  // also here, so that the group exists before any kill
  ::close(status_pipe[1]);
  ChildFailure f{};
  ssize_t n;
  do {
    n = ::read(status_pipe[0], &f, sizeof f);
  } while (n < 0 && errno == EINTR);
  ::close(status_pipe[0]);
  if (n == static_cast<ssize_t>(sizeof f)) {
    failure = f;
    ::waitpid(pid, nullptr, 0);
    return -1;
  }
  return pid;
}

std::string describe(const ChildFailure& f) {
  const char* what = "start";
  switch (f.stage) {
    case ChildStage::Exec: what = "exec"; break;
    case ChildStage::Chdir: what = "chdir"; break;
    case ChildStage::Privileges: what = "switch to user 65534"; break;
    case ChildStage::Io: what = "redirect"; break;
  }
  return std::string(what) + ": " + errno_text(f.err);
}

/// Exit status as a case states it: the number, or "abort" for SIGABRT.
std::string status_text(int wstatus) {
  if (WIFEXITED(wstatus)) return std::to_string(WEXITSTATUS(wstatus));
  if (WIFSIGNALED(wstatus)) {
    const int sig = WTERMSIG(wstatus);
    if (sig == SIGABRT) return "abort";
    const char* name = ::strsignal(sig);
    return "signal " + std::to_string(sig) + " (" + (name != nullptr ? name : "?") + ")";
  }
  return "unknown wait status " + std::to_string(wstatus);
}

std::vector<std::string> child_environment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view kv(*e);
    bool replaced = false;
    for (const auto& x : extra) {
      const auto eq = x.find('=');
      if (kv.substr(0, eq + 1) == std::string_view(x).substr(0, eq + 1)) replaced = true;
    }
    if (!replaced) env.emplace_back(kv);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

/// Does the user the case runs as get to the program, the generator and the
/// working directory? Run in a throwaway child as that user.
std::optional<std::string> probe_unprivileged(const std::vector<fs::path>& executables, const fs::path& workdir) {
  const pid_t pid = ::fork();
  if (pid < 0) die(kExitBadCase, std::string("fork: ") + errno_text(errno));
  if (pid == 0) {
    if (!become_nobody()) ::_exit(10);
    for (std::size_t i = 0; i < executables.size(); ++i) {
      if (::access(executables[i].c_str(), X_OK) != 0) ::_exit(static_cast<int>(11 + i));
    }
    if (::access(workdir.c_str(), W_OK | X_OK) != 0) ::_exit(20);
    ::_exit(0);
  }
  int ws = 0;
  while (::waitpid(pid, &ws, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(ws)) return "probe child died";
  const int code = WEXITSTATUS(ws);
  if (code == 0) return std::nullopt;
  if (code == 10) return "cannot switch to user and group 65534 (setgroups/setgid/setuid refused)";
  if (code == 20) return "user 65534 cannot write " + workdir.string();
  const auto i = static_cast<std::size_t>(code - 11);
  if (i < executables.size()) return "user 65534 cannot execute " + executables[i].string();
  return "probe failed with status " + std::to_string(code);
}

// ---------------------------------------------------------------------------
// Running the setup script and the program

struct RunResult {
  std::string out;
  std::string err;
  std::string status;
  bool timed_out = false;
  bool capture_overflow = false;
  bool stdin_broken = false;     ///< the program closed its input before all was written
  bool signal_sent = false;
  bool signal_wait_expired = false;
  bool leftover_processes = false;  ///< output still open after the program ended
};

/// Runs the setup script with `sh -c`, standard input /dev/null, in the
/// working directory, as the user the program will run as. The script text
/// is passed as an argument so that the case folder itself need not be
/// readable by that user.
bool run_setup(const Case& c, const fs::path& workdir, const fs::path& genwave, const std::vector<std::string>& tool_env,
               bool drop) {
  const std::string text = read_required(c.dir / "setup");
  if (text.size() > 100'000) die(kExitBadCase, "setup is too large for one argument; generate data with $GENWAVE");
  const int devnull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (devnull < 0) die(kExitBadCase, "cannot open /dev/null: " + errno_text(errno));
  Launch l;
  l.argv = {"/bin/sh", "-c", text, "setup"};
  std::vector<std::string> extra{"GENWAVE=" + genwave.string()};
  extra.insert(extra.end(), tool_env.begin(), tool_env.end());
  l.env = child_environment(extra);
  l.workdir = workdir;
  l.stdin_fd = devnull;
  l.stdout_fd = 2;  // setup chatter goes to the runner's standard error
  l.stderr_fd = 2;
  l.drop_privileges = drop;
  std::optional<ChildFailure> failure;
  const pid_t pid = spawn(l, failure);
  ::close(devnull);
  if (pid < 0) die(kExitBadCase, "setup: " + describe(*failure));
  const auto deadline = Clock::now() + kRunLimit;
  int ws = 0;
  for (;;) {
    const pid_t r = ::waitpid(pid, &ws, WNOHANG);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) die(kExitBadCase, "waitpid: " + errno_text(errno));
    if (Clock::now() > deadline) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &ws, 0);
      std::fprintf(stderr, "setup ran longer than %lld s and was killed\n", static_cast<long long>(kRunLimit.count()));
      return false;
    }
    ::usleep(20'000);
  }
  if (!WIFEXITED(ws) || WEXITSTATUS(ws) != 0) {
    std::fprintf(stderr, "setup failed: %s\n", status_text(ws).c_str());
    return false;
  }
  return true;
}

/// Appends everything readable now from `fd`; false once the pipe is at its end.
bool drain(int fd, std::string& into, bool& overflow) {
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      const auto take = std::min(static_cast<std::size_t>(n), kMaxCapture - std::min(kMaxCapture, into.size()));
      into.append(buf, take);
      if (take < static_cast<std::size_t>(n)) overflow = true;
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
    return false;
  }
}

RunResult run_program(const Case& c, const fs::path& program, const fs::path& workdir, bool drop) {
  int in[2], out[2], err[2];
  make_pipe(in);
  make_pipe(out);
  make_pipe(err);

  Launch l;
  l.argv = {program.string()};
  for (std::size_t i = 1; i < c.command.size(); ++i) l.argv.push_back(c.command[i]);
  l.env = child_environment({});
  l.workdir = workdir;
  l.stdin_fd = in[0];
  l.stdout_fd = out[1];
  l.stderr_fd = err[1];
  l.drop_privileges = drop;
  l.ignore_sigint = c.signal_ignored;
  l.no_core = true;
  std::optional<ChildFailure> failure;
  const pid_t pid = spawn(l, failure);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (pid < 0) die(kExitBadCase, "cannot start " + program.string() + ": " + describe(*failure));

  int in_fd = in[1];
  int out_fd = out[0];
  int err_fd = err[0];
  set_nonblock(in_fd);
  set_nonblock(out_fd);
  set_nonblock(err_fd);

  RunResult r;
  std::size_t written = 0;
  bool reaped = false;
  int wstatus = 0;
  const auto start = Clock::now();
  std::optional<Clock::time_point> input_done;
  std::optional<Clock::time_point> reaped_at;
  const auto close_fd = [](int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  };

  for (;;) {
    const bool input_pending = in_fd >= 0 && written < c.stdin_text.size();
    if (in_fd >= 0 && !input_pending && !input_done) input_done = Clock::now();
    if (input_done && in_fd >= 0) {
      if (c.signal == 0) {
        close_fd(in_fd);
      } else if (!r.signal_sent && !reaped) {
        if (r.out == c.expect_stdout) {
          ::kill(pid, c.signal);
          r.signal_sent = true;
          close_fd(in_fd);
        } else if (Clock::now() - *input_done > kSignalWait) {
          r.signal_wait_expired = true;
          ::kill(-pid, SIGKILL);
          close_fd(in_fd);
        }
      }
    }
    if (reaped) close_fd(in_fd);
    if (reaped && out_fd < 0 && err_fd < 0) break;
    if (reaped && Clock::now() - *reaped_at > kDrainGrace) {
      // Something the program started still holds its output open.
      ::kill(-pid, SIGKILL);
      r.leftover_processes = true;
      close_fd(out_fd);
      close_fd(err_fd);
      break;
    }

    if (!r.timed_out && Clock::now() - start > kRunLimit) {
      r.timed_out = true;
      ::kill(-pid, SIGKILL);
    }

    pollfd fds[3];
    nfds_t n = 0;
    if (input_pending) fds[n++] = {in_fd, POLLOUT, 0};
    if (out_fd >= 0) fds[n++] = {out_fd, POLLIN, 0};
    if (err_fd >= 0) fds[n++] = {err_fd, POLLIN, 0};
    if (n > 0 && ::poll(fds, n, 20) < 0 && errno != EINTR) die(kExitBadCase, "poll: " + errno_text(errno));
    if (n == 0) ::usleep(20'000);

    if (input_pending) {
      const ssize_t w = ::write(in_fd, c.stdin_text.data() + written, c.stdin_text.size() - written);
      if (w > 0) {
        written += static_cast<std::size_t>(w);
      } else if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        // EPIPE: the program has stopped reading (it ended, or it closed
        // its input). What it did with the part it read is what is checked.
        r.stdin_broken = true;
        close_fd(in_fd);
      }
    }
    if (out_fd >= 0 && !drain(out_fd, r.out, r.capture_overflow)) close_fd(out_fd);
    if (err_fd >= 0 && !drain(err_fd, r.err, r.capture_overflow)) close_fd(err_fd);

    if (!reaped) {
      const pid_t w = ::waitpid(pid, &wstatus, WNOHANG);
      if (w == pid) {
        reaped = true;
        reaped_at = Clock::now();
      }
      else if (w < 0 && errno != EINTR) die(kExitBadCase, "waitpid: " + errno_text(errno));
    }
  }
  r.status = status_text(wstatus);
  return r;
}

// ---------------------------------------------------------------------------
// Comparison and diffs

/// Lines of a text, each with its line feed if it has one.
std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto nl = text.find('\n', pos);
    const auto end = nl == std::string_view::npos ? text.size() : nl + 1;
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return lines;
}

/// A line for the report: control bytes escaped, the end marked by '$'.
std::string show(std::string_view line) {
  const bool has_newline = !line.empty() && line.back() == '\n';
  if (has_newline) line.remove_suffix(1);
  std::string s;
  for (const char ch : line) {
    const auto u = static_cast<unsigned char>(ch);
    if (ch == '\t') {
      s += "\\t";
    } else if (ch == '\r') {
      s += "\\r";
    } else if (ch == '\\') {
      s += "\\\\";
    } else if (u < 0x20 || u == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", u);
      s += hex;
    } else {
      s += ch;
    }
  }
  s += '$';
  if (!has_newline) s += "\n\\ No newline at end of file";
  return s;
}

enum class Op : char { Same = ' ', Del = '-', Add = '+' };

/// Unified diff of two texts (a = expected, b = actual) with three lines of
/// context. Above kMaxDiffCells the changed middle is too large for the
/// quadratic table: texts of equal line count are then compared line for
/// line, others show only their first differing line.
std::string unified_diff(std::string_view label, std::string_view a_text, std::string_view b_text) {
  const auto a = split_lines(a_text);
  const auto b = split_lines(b_text);
  std::size_t pre = 0;
  while (pre < a.size() && pre < b.size() && a[pre] == b[pre]) ++pre;
  std::size_t suf = 0;
  while (suf < a.size() - pre && suf < b.size() - pre && a[a.size() - 1 - suf] == b[b.size() - 1 - suf]) ++suf;
  const std::size_t n = a.size() - pre - suf;
  const std::size_t m = b.size() - pre - suf;

  std::ostringstream o;
  o << "--- expected " << label << "\n+++ actual " << label << "\n";
  struct Edit {
    Op op;
    std::string_view line;
  };
  std::vector<Edit> script;
  for (std::size_t k = 0; k < pre; ++k) script.push_back({Op::Same, a[k]});
  if ((n + 1) * (m + 1) <= kMaxDiffCells) {
    // Longest common subsequence of the middle parts, then the edit script.
    std::vector<std::uint32_t> lcs((n + 1) * (m + 1), 0);
    const auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& { return lcs[i * (m + 1) + j]; };
    for (std::size_t i = n; i-- > 0;) {
      for (std::size_t j = m; j-- > 0;) {
        at(i, j) = a[pre + i] == b[pre + j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
      }
    }
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
      if (i < n && j < m && a[pre + i] == b[pre + j]) {
        script.push_back({Op::Same, a[pre + i]});
        ++i;
        ++j;
      } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
        script.push_back({Op::Del, a[pre + i]});
        ++i;
      } else {
        script.push_back({Op::Add, b[pre + j]});
        ++j;
      }
    }
  } else if (n == m) {
    // Too large for the table, but line for line: each run of differing
    // lines becomes its deletions followed by its additions.
    for (std::size_t k = 0; k < n;) {
      if (a[pre + k] == b[pre + k]) {
        script.push_back({Op::Same, a[pre + k]});
        ++k;
        continue;
      }
      std::size_t run = k;
      // Groups of at most 8, so expected and actual lines stay close together.
      while (run < n && run < k + 8 && a[pre + run] != b[pre + run]) ++run;
      for (std::size_t q = k; q < run; ++q) script.push_back({Op::Del, a[pre + q]});
      for (std::size_t q = k; q < run; ++q) script.push_back({Op::Add, b[pre + q]});
      k = run;
    }
  } else {
    o << "(too many changed lines for a full diff; first difference at line " << pre + 1 << ")\n";
    const std::size_t from = pre > kContext ? pre - kContext : 0;
    o << "expected, lines " << from + 1 << "..:\n";
    for (std::size_t k = from; k < std::min(a.size(), pre + kContext + 1); ++k) {
      o << (k == pre ? '-' : ' ') << show(a[k]) << "\n";
    }
    o << "actual, lines " << from + 1 << "..:\n";
    for (std::size_t k = from; k < std::min(b.size(), pre + kContext + 1); ++k) {
      o << (k == pre ? '+' : ' ') << show(b[k]) << "\n";
    }
    return o.str();
  }
  for (std::size_t k = a.size() - suf; k < a.size(); ++k) script.push_back({Op::Same, a[k]});

  // Hunks: runs of changes with up to 2 * kContext equal lines between them.
  std::size_t e = 0;
  std::size_t a_line = 0, b_line = 0;  // lines consumed before script[e]
  std::size_t shown = 0;
  while (e < script.size()) {
    if (script[e].op == Op::Same) {
      ++e;
      ++a_line;
      ++b_line;
      continue;
    }
    const std::size_t lead = std::min<std::size_t>(kContext, std::min(a_line, b_line));
    const std::size_t start = e - lead;
    std::size_t end = e;
    std::size_t same_run = 0;
    for (std::size_t k = e; k < script.size(); ++k) {
      if (script[k].op == Op::Same) {
        if (++same_run > 2 * kContext) break;
      } else {
        same_run = 0;
        end = k + 1;
      }
    }
    const std::size_t stop = std::min(script.size(), end + kContext);
    std::size_t a_count = 0, b_count = 0;
    for (std::size_t k = start; k < stop; ++k) {
      if (script[k].op != Op::Add) ++a_count;
      if (script[k].op != Op::Del) ++b_count;
    }
    const std::size_t a_from = a_line - lead, b_from = b_line - lead;
    o << "@@ -" << (a_count > 0 ? a_from + 1 : a_from) << "," << a_count << " +" << (b_count > 0 ? b_from + 1 : b_from)
      << "," << b_count << " @@\n";
    for (std::size_t k = start; k < stop; ++k) {
      if (++shown > kMaxShownLines) {
        o << "(diff cut here, after " << kMaxShownLines << " lines)\n";
        return o.str();
      }
      o << static_cast<char>(script[k].op) << show(script[k].line) << "\n";
    }
    for (std::size_t k = e; k < stop; ++k) {
      if (script[k].op != Op::Add) ++a_line;
      if (script[k].op != Op::Del) ++b_line;
    }
    e = stop;
  }
  return o.str();
}

std::size_t count_lines(std::string_view text) {
  const auto lf = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  return lf + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

std::string first_lines(std::string_view text, std::size_t count) {
  const auto lines = split_lines(text);
  std::string out;
  for (std::size_t k = 0; k < std::min(count, lines.size()); ++k) out += lines[k];
  return out;
}

std::string last_lines(std::string_view text, std::size_t count) {
  const auto lines = split_lines(text);
  std::string out;
  for (std::size_t k = lines.size() - std::min(count, lines.size()); k < lines.size(); ++k) out += lines[k];
  return out;
}

struct Report {
  std::vector<std::string> failures;
  void fail(std::string text) { failures.push_back(std::move(text)); }
};

void compare_stream(Report& rep, std::string_view label, std::string_view expected, std::string_view actual) {
  if (expected == actual) return;
  rep.fail(std::string(label) + " differs:\n" + unified_diff(label, expected, actual));
}

void check_files(Report& rep, const Case& c, const fs::path& workdir) {
  for (const auto& f : c.files) {
    const auto actual = read_file(workdir / f.name);
    if (!actual) {
      rep.fail("file " + f.name + " was not created (or cannot be read)");
      continue;
    }
    compare_stream(rep, "file " + f.name, f.bytes, *actual);
  }
  for (const auto& name : c.absent) {
    struct stat st {};
    if (::lstat((workdir / name).c_str(), &st) == 0) {
      rep.fail("file " + name + " exists (" + std::to_string(st.st_size) + " bytes) but must not");
    }
  }
  for (const auto& lc : c.lines) {
    const auto actual = read_file(workdir / lc.name);
    if (!actual) {
      rep.fail("file " + lc.name + " was not created (or cannot be read)");
      continue;
    }
    const auto got = count_lines(*actual);
    if (got != lc.count) {
      rep.fail("file " + lc.name + " has " + std::to_string(got) + " lines, expected " + std::to_string(lc.count));
    }
  }
  for (const auto& h : c.heads) {
    const auto actual = read_file(workdir / h.name);
    if (!actual) {
      rep.fail("file " + h.name + " was not created (or cannot be read)");
      continue;
    }
    if (!std::string_view(*actual).starts_with(h.bytes)) {
      const std::string label = "start of file " + h.name;
      rep.fail(label + " differs:\n" + unified_diff(label, h.bytes, first_lines(*actual, count_lines(h.bytes))));
    }
  }
  for (const auto& t : c.tails) {
    const auto actual = read_file(workdir / t.name);
    if (!actual) {
      rep.fail("file " + t.name + " was not created (or cannot be read)");
      continue;
    }
    if (!std::string_view(*actual).ends_with(t.bytes)) {
      const std::string label = "end of file " + t.name;
      rep.fail(label + " differs:\n" + unified_diff(label, t.bytes, last_lines(*actual, count_lines(t.bytes))));
    }
  }
}

fs::path absolute_or_die(const char* arg) {
  std::error_code ec;
  fs::path p = fs::absolute(arg, ec);
  if (ec) die(kExitBadCase, std::string("bad path ") + arg);
  return p.lexically_normal();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: session_runner <wavefft executable> <case folder> [NAME=PATH ...]\n");
    return kExitBadCase;
  }
  ::signal(SIGPIPE, SIG_IGN);

  const fs::path wavefft = absolute_or_die(argv[1]);
  const Case c = load_case(absolute_or_die(argv[2]));
  // The tools: wavefft itself, then each NAME=PATH.
  std::vector<std::pair<std::string, fs::path>> tools{{"wavefft", wavefft}};
  for (int i = 3; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    const auto eq = arg.find('=');
    if (eq == std::string_view::npos || eq == 0) die(kExitBadCase, "a tool must be given as NAME=PATH, not " + std::string(arg));
    tools.emplace_back(std::string(arg.substr(0, eq)), absolute_or_die(std::string(arg.substr(eq + 1)).c_str()));
  }
  std::vector<std::string> tool_env;
  for (const auto& [name, path] : tools) {
    std::string var = name;
    for (auto& ch : var) ch = ch == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    tool_env.push_back(var + "=" + path.string());
  }
  fs::path program = wavefft;
  if (!c.command.empty()) {
    const auto it = std::find_if(tools.begin(), tools.end(), [&](const auto& t) { return t.first == c.command.front(); });
    if (it == tools.end()) die(kExitBadCase, "command names the tool " + c.command.front() + ", which the runner was not given");
    program = it->second;
  }
  const char* genwave_env = std::getenv("GENWAVE");
#ifdef WAVEFFT_GENWAVE
  const char* genwave_arg = genwave_env != nullptr && *genwave_env != '\0' ? genwave_env : WAVEFFT_GENWAVE;
#else
  const char* genwave_arg = genwave_env != nullptr ? genwave_env : "genwave";
#endif
  const fs::path genwave = absolute_or_die(genwave_arg);
  if (::access(program.c_str(), X_OK) != 0) die(kExitBadCase, "cannot execute " + program.string());

  const fs::path workdir = make_temp_dir(c.name);
  try {
    if (fs::is_directory(c.dir / "input")) copy_tree(c.dir / "input", workdir);
  } catch (const fs::filesystem_error& e) {
    die(kExitBadCase, std::string("copying input/: ") + e.what());
  }

  const bool drop = c.unprivileged && ::geteuid() == 0;
  fs::path run_program_path = program;
  fs::path run_genwave = genwave;
  fs::path bindir;
  if (drop) {
    chown_tree(workdir, kNobodyUid, kNobodyGid);
    // The build tree may lie where user 65534 cannot reach it (a checkout
    // under /root): the executables run from copies in a folder of their own.
    bindir = make_temp_dir(c.name + "-bin");
    try {
      fs::permissions(bindir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
      const auto exec_perms = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec;
      run_program_path = bindir / program.filename();
      fs::copy_file(program, run_program_path, fs::copy_options::overwrite_existing);
      fs::permissions(run_program_path, exec_perms);
      if (c.has_setup) {
        run_genwave = bindir / genwave.filename();
        fs::copy_file(genwave, run_genwave, fs::copy_options::overwrite_existing);
        fs::permissions(run_genwave, exec_perms);
      }
    } catch (const fs::filesystem_error& e) {
      die(kExitBadCase, std::string("copying the executables: ") + e.what());
    }
    std::vector<fs::path> needed{run_program_path};
    if (c.has_setup) needed.push_back(run_genwave);
    if (const auto why = probe_unprivileged(needed, workdir)) {
      std::printf("SKIP case %s: it must run unprivileged, but %s\n", c.name.c_str(), why->c_str());
      remove_tree(workdir);
      remove_tree(bindir);
      return kExitSkip;
    }
  }

  if (c.has_setup && !run_setup(c, workdir, run_genwave, tool_env, drop)) {
    std::printf("FAIL case %s: the setup script failed\nworking directory kept: %s\n", c.name.c_str(),
                workdir.c_str());
    return kExitMismatch;
  }

  const RunResult r = run_program(c, run_program_path, workdir, drop);
  if (!bindir.empty()) remove_tree(bindir);

  Report rep;
  if (r.timed_out) rep.fail("the program ran longer than 120 s and was killed");
  if (r.leftover_processes) rep.fail("processes started by the program kept its output open after it ended");
  if (r.capture_overflow) rep.fail("the program wrote more than 256 MiB to one stream; the rest was dropped");
  if (r.signal_wait_expired) {
    rep.fail("standard output did not reach expect/stdout within 10 s, so the signal was never sent");
  } else if (c.signal != 0 && !r.signal_sent) {
    rep.fail("the program ended before its standard output reached expect/stdout; the signal was never sent");
  }
  if (r.status != c.expect_status) rep.fail("exit status: expected " + c.expect_status + ", got " + r.status);
  compare_stream(rep, "stdout", c.expect_stdout, r.out);
  compare_stream(rep, "stderr", c.expect_stderr, r.err);
  check_files(rep, c, workdir);

  if (rep.failures.empty()) {
    std::printf("ok case %s\n", c.name.c_str());
    remove_tree(workdir);
    return 0;
  }
  std::printf("FAIL case %s (%s)\n", c.name.c_str(), c.dir.c_str());
  for (const auto& f : rep.failures) std::printf("\n%s", f.back() == '\n' ? f.c_str() : (f + "\n").c_str());
  if (r.stdin_broken) std::printf("\n(note: the program stopped reading before all of stdin was written)\n");
  std::printf("\nworking directory kept: %s\n", workdir.c_str());
  return kExitMismatch;
}
