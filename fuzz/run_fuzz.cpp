// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the whole program, in-process, one run per input.
//
// Input layout: the waveform file, then the separator line kSeparator, then
// the typed answers (the console input, read through set_console_input).
// Without the separator the whole input is the waveform file and the answers
// are kDefaultAnswers. The waveform file is written as "wave.txt" into a
// fresh folder, which is the working directory of the run; the answers
// usually name it on their first line.
//
// A run ends through the text layer's exit hook, which throws here instead
// of ending the process; the harness then releases every channel
// (reset_channels), zero-fills the run state (as allocate_run_state gives
// it) and removes the folder.
//
// Output: the program's standard output and standard error go to /dev/null,
// libFuzzer's own report stays visible. libFuzzer does this itself with
// -close_fd_mask=3 (it keeps a duplicate of standard error for its output and
// the sanitizer reports), so the harness adds that flag unless the command
// line sets -close_fd_mask (give -close_fd_mask=0 to see a run's dialogue).
// It also makes -artifact_prefix absolute, since a crash happens while the
// run folder is the working directory.
//
// Safety: the answers may name any file. Answers with a line that starts
// with "/" or holds ".." are skipped, so every name stays inside the run's
// folder.
//
// Checks, besides the sanitizers: every run ends through the hook (status 0
// or the abort status -1), never by returning; at that point no file of the
// run is still open (the end of a run released them all).
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run.h"
#include "textio/channel.h"
#include "textio/instream.h"

namespace {

constexpr std::string_view kSeparator = "\n=== answers ===\n";
constexpr std::string_view kDefaultAnswers = "wave.txt\n0\n0\n0\n0\n0\nout.csv\n\n";
constexpr std::size_t kNameLength = 90;

/// Thrown by the exit hook; carries the status the process would end with.
struct RunEnded {
  int status;
};

wavefft::RunState* g_state = nullptr;
std::string g_base;    ///< folder holding the run folders
std::string g_folder;  ///< the run folder
int g_home = -1;       ///< libFuzzer's working directory (relative corpus paths)
int g_open_before = 0; ///< descriptors open when the run started

int count_open_descriptors() {
  int n = 0;
  DIR* d = ::opendir("/proc/self/fd");
  if (d == nullptr) return -1;
  while (const dirent* e = ::readdir(d)) {
    if (e->d_name[0] != '.') ++n;
  }
  ::closedir(d);
  return n - 1;  // the descriptor of the listing itself
}

/// A duplicate of standard error taken before libFuzzer sends descriptor 2
/// to /dev/null, for the harness's own findings.
int g_report = STDERR_FILENO;

[[noreturn]] void broken(const char* what) {
  const std::string text = std::string("run_fuzz: ") + what + "\n";
  [[maybe_unused]] const ssize_t ignored = ::write(g_report, text.data(), text.size());
  std::abort();
}

[[noreturn]] void end_of_run(int status) {
  if (status != 0 && status != -1) broken("a run ended with a status other than 0 or abort");
  if (g_open_before >= 0 && count_open_descriptors() != g_open_before) {
    broken("a file of the run is still open at its end");
  }
  throw RunEnded{status};
}

/// Zero-fills the run state for the next run, as a fresh start has it. A
/// memset of all 61 MB would cost more than most runs; the whole pages are
/// handed back to the system instead (MADV_DONTNEED on private anonymous
/// memory reads as zeros afterwards), and only the partial pages at either
/// end are cleared by hand. Falls back to memset if the system refuses.
void zero_state() {
  auto* const bytes = reinterpret_cast<unsigned char*>(g_state);
  const std::size_t size = sizeof *g_state;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(bytes);
  const std::uintptr_t first = (begin + page - 1) / page * page;
  const std::uintptr_t last = (begin + size) / page * page;
  if (page == 0 || first >= last ||
      ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED) != 0) {
    std::memset(bytes, 0, size);
    return;
  }
  std::memset(bytes, 0, first - begin);
  std::memset(bytes + (last - begin), 0, begin + size - last);
}

/// Whether every name the answers could give stays inside the run folder.
bool names_stay_inside(std::string_view answers) {
  std::size_t start = 0;
  while (start <= answers.size()) {
    std::size_t end = answers.find('\n', start);
    if (end == std::string_view::npos) end = answers.size();
    const std::string_view name = answers.substr(start, std::min(end - start, kNameLength));
    if (!name.empty() && name[0] == '/') return false;
    if (name.find("..") != std::string_view::npos) return false;
    start = end + 1;
  }
  return true;
}

void write_file(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) broken("cannot create the waveform file");
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w <= 0) broken("cannot write the waveform file");
    done += static_cast<std::size_t>(w);
  }
  ::close(fd);
}

/// Empties the run folder (the program makes only plain files in it) and
/// removes it.
void remove_folder(const std::string& folder) {
  if (DIR* d = ::opendir(folder.c_str())) {
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d)) {
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
    }
    ::closedir(d);
    for (const std::string& n : names) {
      const std::string path = folder + "/" + n;
      if (::unlink(path.c_str()) != 0) ::rmdir(path.c_str());
    }
  }
  ::rmdir(folder.c_str());
}

bool has_flag(int argc, char** argv, std::string_view flag) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]).starts_with(flag)) return true;
  }
  return false;
}

/// Adds to the command line, unless it sets them: -close_fd_mask=3 (the
/// program's output to /dev/null), and an absolute -artifact_prefix, since a
/// crash happens with the run folder as the working directory.
void add_default_flags(int* argc, char*** argv) {
  static std::vector<std::string> added;
  if (!has_flag(*argc, *argv, "-close_fd_mask=")) added.emplace_back("-close_fd_mask=3");
  if (!has_flag(*argc, *argv, "-artifact_prefix=")) {
    std::string cwd(4096, '\0');
    if (::getcwd(cwd.data(), cwd.size()) != nullptr) {
      cwd.resize(std::strlen(cwd.c_str()));
      added.push_back("-artifact_prefix=" + cwd + "/");
    }
  }
  static std::vector<char*> args;
  args.assign(*argv, *argv + *argc);
  for (std::string& a : added) args.push_back(a.data());
  *argc = static_cast<int>(args.size());
  args.push_back(nullptr);
  *argv = args.data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  g_report = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (g_report < 0) g_report = STDERR_FILENO;
  add_default_flags(argc, argv);
  g_home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (g_home < 0) broken("cannot open the working directory");

  char templ[] = "/tmp/wavefft-run-fuzz-XXXXXX";
  if (::mkdtemp(templ) == nullptr) broken("cannot make the base folder");
  g_base = templ;
  g_folder = g_base + "/run";
  std::atexit([] {
    if (::chdir("/") == 0) remove_folder(g_folder);
    ::rmdir(g_base.c_str());
  });

  // The console channels and the signal handlers of the program; the
  // harness keeps libFuzzer's handlers (crash reports, -max_total_time).
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGFPE, SIGABRT};
  struct sigaction saved[std::size(kSignals)] = {};
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], nullptr, &saved[i]);
  wavefft::textio::start_run();
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &saved[i], nullptr);

  wavefft::textio::set_exit_hook(end_of_run);
  g_state = wavefft::driver::allocate_run_state();

  // The cheap zero-fill must give what a fresh allocation gives.
  auto* const bytes = reinterpret_cast<unsigned char*>(g_state);
  const std::size_t size = sizeof *g_state;
  for (std::size_t at : {std::size_t{0}, size / 3, size / 2, size - 1}) bytes[at] = 0xA5;
  zero_state();
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) broken("the run state is not zero after zero_state()");
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view wave = input;
  std::string_view answers = kDefaultAnswers;
  if (const std::size_t at = input.find(kSeparator); at != std::string_view::npos) {
    wave = input.substr(0, at);
    answers = input.substr(at + kSeparator.size());
  }
  if (!names_stay_inside(answers)) return 0;

  remove_folder(g_folder);
  if (::mkdir(g_folder.c_str(), 0755) != 0) broken("cannot make the run folder");
  write_file(g_folder + "/wave.txt", wave);
  if (::chdir(g_folder.c_str()) != 0) broken("cannot enter the run folder");

  wavefft::textio::set_console_input(std::make_unique<wavefft::textio::MemoryInStream>(std::string(answers), 4096));
  g_open_before = count_open_descriptors();
  bool ended = false;
  try {
    wavefft::driver::run(*g_state);
  } catch (const RunEnded&) {
    ended = true;
  }
  if (!ended) broken("the run returned without ending through the text layer");
  wavefft::textio::reset_channels();
  zero_state();

  if (::fchdir(g_home) != 0) broken("cannot leave the run folder");
  remove_folder(g_folder);
  return 0;
}
