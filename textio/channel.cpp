// SPDX-License-Identifier: GPL-3.0-or-later
#include "textio/channel.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavefft::textio {
namespace {

// ---------------------------------------------------------------------------
// Channel table.
//
// The table is the only global state of the text layer, and it is global
// because the signal handlers must reach it: on an interrupt they write out
// every complete buffered record, cut written files and close them. The
// fields a handler reads are atomics (lock-free, so async-signal-safe); the
// main thread blocks the handled signals while it changes a descriptor or
// hands a buffer to the system, so a handler always sees either the state
// before or the state after such a change.
// ---------------------------------------------------------------------------

enum class Access : std::uint8_t { ReadWrite, ReadOnly, Created };
enum class Transfer : std::uint8_t { None, Reading, Writing };

constexpr std::size_t kOutBlock = 1u << 20;

struct Channel {
  /// Open descriptor, -1 when not connected. Read by the signal handlers.
  std::atomic<int> fd{-1};
  /// Bytes of complete records waiting in `out`. Read by the signal handlers.
  std::atomic<std::size_t> committed{0};
  /// Whether the most recent transfer wrote (decides the cut at release).
  std::atomic<bool> last_was_write{false};
  /// Regular file: only those are cut at release (devices cannot be).
  std::atomic<bool> regular{false};
  /// Console channels are never released and never closed.
  bool console = false;
  /// Name shown in diagnostics; `named` is false for the console channels.
  bool named = false;
  std::string name;
  /// Format text of the last record written (shown when handing buffered
  /// records to the system fails).
  const char* last_format = nullptr;
  Access access = Access::ReadWrite;
  /// Output buffer, allocated on first write.
  std::unique_ptr<char[]> out;
  /// Input stream, made on the first read after a connection; replaced
  /// for the console by in-process drivers (set_console_input).
  std::unique_ptr<InStream> in;
};

Channel g_channels[kMaxUnit + 1];

/// Kind of the most recent transfer that got past its connection check and
/// the current format text; both appear only in diagnostics.
Transfer g_lately = Transfer::None;
const char* g_format = nullptr;

ExitHook g_exit_hook = nullptr;

// Signals whose handlers release the channels.
constexpr int kHandled[] = {SIGINT, SIGTERM, SIGFPE, SIGABRT};

class SignalBlock {
 public:
  SignalBlock() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalBlock() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;

 private:
  sigset_t old_;
};

// Writes all of [p, p + n) to fd; false with errno set on failure. Safe in a
// signal handler.
bool write_all(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = EIO;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Hands the complete records of channel c to the system. Returns false with
// errno set when the system refuses them. Signals are blocked so a handler
// never writes the same bytes a second time.
bool flush(Channel& c) {
  const std::size_t n = c.committed.load();
  if (n == 0 || c.fd.load() < 0) return true;
  SignalBlock block;
  const bool ok = write_all(c.fd.load(), c.out.get(), n);
  c.committed.store(0);
  return ok;
}

// Releases a channel: remaining records written, a written regular file cut
// at the current position, descriptor closed. Returns false when the cut
// failed; write failures are reported through errno_out.
bool release_channel(Channel& c, int* write_errno) {
  if (c.console) {
    if (!flush(c) && write_errno) *write_errno = errno;
    return true;
  }
  const int fd = c.fd.load();
  if (fd < 0) return true;
  if (!flush(c) && write_errno) *write_errno = errno;
  bool cut_ok = true;
  SignalBlock block;
  if (c.last_was_write.load() && c.regular.load()) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    cut_ok = at >= 0 && ::ftruncate(fd, at) == 0;
  }
  ::close(fd);
  c.fd.store(-1);
  c.committed.store(0);
  c.last_was_write.store(false);
  c.in.reset();
  return cut_ok;
}

// Every channel released; failures are not reported (end of the run).
void release_all_quietly() {
  for (auto& c : g_channels) release_channel(c, nullptr);
}

[[noreturn]] void end_process(int status) {
  if (g_exit_hook) {
    g_exit_hook(status);
  }
  if (status < 0) {
    // The diagnostic has been written; the abort must not add the text of
    // the abort-signal handler.
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
  }
  std::_Exit(status);
}

// ---------------------------------------------------------------------------
// Signal handlers: write the event's text, release every channel, end the
// process. Only async-signal-safe calls (write, lseek, ftruncate, close,
// signal, raise, _exit) and lock-free atomics are used.
// ---------------------------------------------------------------------------

void release_all_in_handler() {
  for (auto& c : g_channels) {
    const int fd = c.fd.load();
    if (fd < 0) continue;
    const std::size_t n = c.committed.load();
    if (n > 0) write_all(fd, c.out.get(), n);
    c.committed.store(0);
    if (c.console) continue;
    if (c.last_was_write.load() && c.regular.load()) {
      const off_t at = ::lseek(fd, 0, SEEK_CUR);
      if (at >= 0) (void)::ftruncate(fd, at);
    }
    ::close(fd);
    c.fd.store(-1);
  }
}

void say_in_handler(const char* text) {
  write_all(STDERR_FILENO, text, std::strlen(text));
  write_all(STDERR_FILENO, "\n", 1);
}

extern "C" void on_signal(int sig) {
  switch (sig) {
    case SIGINT:
      say_in_handler("Interrupt");
      release_all_in_handler();
      _exit(1);
    case SIGTERM:
      say_in_handler("Killed");
      release_all_in_handler();
      _exit(1);
    case SIGFPE:
      say_in_handler("Floating Exception");
      break;
    default:
      say_in_handler("IOT Trap");
      break;
  }
  release_all_in_handler();
  ::signal(SIGABRT, SIG_DFL);
  ::raise(SIGABRT);
  _exit(134);
}

// ---------------------------------------------------------------------------
// Diagnostics.
// ---------------------------------------------------------------------------

std::string_view trim_trailing_blanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

Channel& channel(int unit) {
  if (unit < 0 || unit > kMaxUnit) std::abort();  // broken invariant: units are constants
  return g_channels[unit];
}

// Connects by the three-step rule. Returns false with errno set when every
// step failed.
bool open_three_ways(Channel& c, const std::string& name) {
  struct Attempt {
    int flags;
    Access access;
  };
  static constexpr Attempt kAttempts[] = {
      {O_RDWR, Access::ReadWrite},
      {O_RDONLY, Access::ReadOnly},
      {O_WRONLY | O_CREAT | O_TRUNC, Access::Created},
  };
  int last_errno = 0;
  for (const Attempt& a : kAttempts) {
    const int fd = ::open(name.c_str(), a.flags | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
      last_errno = errno;
      continue;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      // A folder is no file to read or write records in.
      ::close(fd);
      last_errno = EISDIR;
      continue;
    }
    c.regular.store(::fstat(fd, &st) == 0 && S_ISREG(st.st_mode));
    c.access = a.access;
    c.last_was_write.store(false);
    c.committed.store(0);
    c.fd.store(fd);
    c.in.reset();
    return true;
  }
  errno = last_errno;
  return false;
}

// A file about to be connected on `unit` that is the very file another
// channel is writing (for example an output name that names the echo file)
// takes over from that channel: the other channel is released first, so the
// file holds the new content and nothing of the old.
void release_other_writers_of(int unit, const std::string& name) {
  struct stat target {};
  if (::stat(name.c_str(), &target) != 0) return;
  for (int u = 0; u <= kMaxUnit; ++u) {
    Channel& other = g_channels[u];
    if (u == unit || other.console || other.fd.load() < 0 || !other.last_was_write.load()) continue;
    struct stat st {};
    if (::fstat(other.fd.load(), &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino) {
      release(u);
    }
  }
}

void ensure_out(Channel& c) {
  // Default-initialised: only the bytes of records written are touched, so
  // a channel that writes little keeps most of the block's pages unused.
  if (!c.out) c.out = std::unique_ptr<char[]>(new char[kOutBlock]);
}

// A write the system refused (a full disk, a closed pipe): the diagnostic
// names the channel and the last record written on it, since buffered
// records reach the system later than they were written.
[[noreturn]] void fail_write(int unit, const Channel& c, int err) {
  g_format = c.last_format;
  g_lately = Transfer::Writing;
  fail(unit, "write", std::strerror(err));
}

// Adds the text of one complete record to a channel's buffer.
void append_record(int unit, Channel& c, std::string_view text) {
  ensure_out(c);
  if (c.committed.load() + text.size() > kOutBlock) {
    if (!flush(c)) fail_write(unit, c, errno);
  }
  if (text.size() > kOutBlock) {
    SignalBlock block;
    if (!write_all(c.fd.load(), text.data(), text.size())) fail_write(unit, c, errno);
    return;
  }
  const std::size_t at = c.committed.load();
  std::memcpy(c.out.get() + at, text.data(), text.size());
  c.committed.store(at + text.size());
}

// Start of a write transfer: implicit connection of a file channel, the
// reopen of a read-only file for writing.
Channel& begin_write(int unit, const char* format) {
  Channel& c = channel(unit);
  g_format = format;
  if (!c.console && c.fd.load() < 0) {
    // Implicit connection: "fort." and the channel number.
    c.named = true;
    c.name = "fort." + std::to_string(unit);
    bool ok;
    {
      SignalBlock block;
      release_other_writers_of(unit, c.name);
      ok = open_three_ways(c, c.name);
    }
    if (!ok) fail(unit, "lio", "formatted io not allowed");
  }
  g_lately = Transfer::Writing;
  if (!c.console && c.access == Access::ReadOnly) {
    SignalBlock block;
    const int old_fd = c.fd.load();
    const off_t at = ::lseek(old_fd, 0, SEEK_CUR);
    const int fd = ::open(c.name.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 || (at > 0 && ::lseek(fd, at, SEEK_SET) != at)) {
      if (fd >= 0) ::close(fd);
      fail(unit, "list output start", "can't write file");
    }
    c.fd.store(fd);
    ::close(old_fd);
    c.access = Access::ReadWrite;
  }
  c.last_was_write.store(true);
  c.last_format = format;
  return c;
}

InStream& begin_read(int unit, const char* format) {
  Channel& c = channel(unit);
  g_format = format;
  g_lately = Transfer::Reading;
  if (unit == kConsoleIn) {
    // Every line written is on the console before the program waits.
    Channel& out = channel(kConsoleOut);
    if (!flush(out)) fail_write(kConsoleOut, out, errno);
  }
  if (!c.in) c.in = std::make_unique<FdInStream>(c.fd.load());
  c.last_was_write.store(false);
  return *c.in;
}

std::string g_record;  // scratch text of the record being written

}  // namespace

// ---------------------------------------------------------------------------

void start_run() {
  Channel& in = channel(kConsoleIn);
  in.console = true;
  in.fd.store(STDIN_FILENO);
  Channel& out = channel(kConsoleOut);
  out.console = true;
  out.fd.store(STDOUT_FILENO);
  Channel& err = channel(kStdErr);
  err.console = true;
  err.fd.store(STDERR_FILENO);

  // A closed pipe on a channel must not end the process on the spot with
  // its files unreleased: the failed write ends the run with a diagnostic.
  std::signal(SIGPIPE, SIG_IGN);

  for (int sig : kHandled) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    // An interrupt that was ignored when the run started stays ignored.
    if (sig == SIGINT && old.sa_handler == SIG_IGN) continue;
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    for (int other : kHandled) sigaddset(&sa.sa_mask, other);
    sigaction(sig, &sa, nullptr);
  }
}

void connect(int unit, std::string_view name) {
  Channel& c = channel(unit);
  if (c.fd.load() >= 0) release(unit);
  const std::string_view trimmed = trim_trailing_blanks(name);
  c.named = true;
  c.name.assign(trimmed);
  if (trimmed.empty()) fail(unit, "open", "null file name");
  // The system takes a name up to its first NUL byte ("miss\0ing.txt" opens
  // "miss"); the name recorded and shown in diagnostics is that same name.
  c.name.resize(std::min(c.name.size(), c.name.find('\0')));
  bool ok;
  int err = 0;
  {
    SignalBlock block;
    release_other_writers_of(unit, c.name);
    ok = open_three_ways(c, c.name);
    err = errno;
  }
  if (!ok) fail(unit, "open", std::strerror(err));
}

void release(int unit) {
  Channel& c = channel(unit);
  if (c.console || c.fd.load() < 0) return;
  int write_errno = 0;
  const bool cut_ok = release_channel(c, &write_errno);
  if (write_errno != 0) fail_write(unit, c, write_errno);
  if (!cut_ok) fail(unit, "endfile", "truncation failed in endfile");
}

void write_list(int unit, std::span<const ListItem> items) {
  Channel& c = begin_write(unit, "list io");
  g_record.clear();
  render_list_record(g_record, items);
  append_record(unit, c, g_record);
}

void write_list_doubles(int unit, std::span<const double> values) {
  constexpr std::size_t kDirect = 8;  // records of up to this many values skip the item list
  if (values.size() > kDirect) {
    std::vector<ListItem> items(values.begin(), values.end());
    write_list(unit, items);
    return;
  }
  Channel& c = begin_write(unit, "list io");
  char text[list_doubles_room(kDirect)];
  const std::size_t len = render_list_doubles(text, values);
  append_record(unit, c, std::string_view(text, len));
}

void write_fixed(int unit, const FixedFormat& format, std::span<const double> values) {
  Channel& c = begin_write(unit, format.text().data());
  g_record.clear();
  format.render(g_record, values);
  append_record(unit, c, g_record);
  g_format = nullptr;  // the fixed-field transfer has ended
}

namespace {

// The outcome of a free-form read on `unit` in the given mode: true when the
// read completed, false when it met the end of input in Reported or Ignored
// mode; any other failure ends the run.
bool finish_list_read(int unit, EofMode mode, const ReadStatus& st) {
  switch (st.error) {
    case ReadError::None:
      return true;
    case ReadError::EndInDiscard:
      // The values are all in; only the data records count this as the end.
      return mode == EofMode::Fatal;
    case ReadError::EndOfFile:
      if (mode != EofMode::Fatal) return false;
      break;
    default:
      break;
  }
  fail(unit, st.context, st.message);
}

}  // namespace

bool read_list(int unit, EofMode mode, std::span<const Dest> dests) {
  InStream& in = begin_read(unit, "list io");
  return finish_list_read(unit, mode, textio::read_list(in, dests));
}

bool read_doubles(int unit, EofMode mode, double& first, std::span<double> rest) {
  InStream& in = begin_read(unit, "list io");
  return finish_list_read(unit, mode, textio::read_doubles(in, first, rest));
}

void read_a90(int unit, Text90& out) {
  InStream& in = begin_read(unit, "(A90)");
  const ReadStatus st = read_line_a90(in, out);
  if (!st.ok()) fail(unit, st.context, st.message);
  g_format = nullptr;
}

InStream& input(int unit) {
  Channel& c = channel(unit);
  if (!c.in) c.in = std::make_unique<FdInStream>(c.fd.load());
  return *c.in;
}

void stop() {
  // Complete records still buffered are handed to the system first, so that
  // a file that cannot be written ends the run with a diagnostic rather than
  // a normal end.
  for (int u = 0; u <= kMaxUnit; ++u) {
    Channel& c = g_channels[u];
    if (c.fd.load() >= 0 && !flush(c)) fail_write(u, c, errno);
  }
  release_all_quietly();
  end_process(0);
}

void fail(int unit, std::string_view context, std::string_view message) {
  Channel& out = channel(kConsoleOut);
  flush(out);
  const Channel& c = channel(unit);
  std::string text;
  text.append(context).append(": ").append(message).append("\n");
  text.append("apparent state: unit ").append(std::to_string(unit)).append(" ");
  if (c.named) {
    text.append("named ").append(c.name);
  } else {
    text.append("(unnamed)");
  }
  text.append("\n");
  if (g_format != nullptr) text.append("last format: ").append(g_format).append("\n");
  text.append("lately ").append(g_lately == Transfer::Writing ? "writing" : "reading");
  text.append(" sequential formatted external IO\n");
  write_all(STDERR_FILENO, text.data(), text.size());
  release_all_quietly();
  end_process(-1);
}

void set_exit_hook(ExitHook hook) { g_exit_hook = hook; }

void set_console_input(std::unique_ptr<InStream> in) { channel(kConsoleIn).in = std::move(in); }

void reset_channels() {
  release_all_quietly();
  for (auto& c : g_channels) {
    if (!c.console) {
      c.named = false;
      c.name.clear();
    }
    c.in.reset();
    c.committed.store(0);
    c.last_was_write.store(false);
  }
  g_lately = Transfer::None;
  g_format = nullptr;
}

}  // namespace wavefft::textio
