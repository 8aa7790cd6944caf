// SPDX-License-Identifier: GPL-3.0-or-later
// import_bench: how fast wavefft-import turns each bundled agency record into
// the waveform input layout, against how long wavefft takes to read the
// result back.
//
//   import_bench [RAW_FOLDER [WAVEFFT]]
//
// RAW_FOLDER defaults to the repository's tests/data/import/raw, WAVEFFT to
// the wavefft beside this program's folder (build/bench/.. -> build/wavefft).
// Every folder that holds record files is one record. The import runs in
// process through the library (detect, read, assemble, write to a string),
// best of 7 runs, with --source-unit g and --zero-vertical so that SAC and
// the two-component PEER record assemble too. The read-back runs wavefft in
// a scratch folder on the written file with the single answer "file name":
// it reads the whole file, echoes it to fort.99, and stops at the first
// question when its input ends (best of 3 runs, whole process).
//
// Targets: the text layouts at 300 MB/s or more on one core, and no import
// slower than its read-back. Use a Release build for the figures.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/files.h"
#include "import/assemble.h"
#include "import/formats.h"
#include "import/writer.h"

namespace fs = std::filesystem;
using namespace wavefft::import;
using Clock = std::chrono::steady_clock;

namespace {

struct Source {
  std::string name;
  std::string bytes;
};

// The whole file; empty (and a note) when it cannot be read.
std::string slurp(const fs::path& p) {
  std::string bytes;
  wavefft::common::FileFault fault;
  if (!wavefft::common::read_file(p, bytes, fault)) std::fprintf(stderr, "import_bench: %s: %s\n", p.c_str(), fault.reason.c_str());
  return bytes;
}

// One import, in process. Returns the problem (ok on success); `text` holds
// the written file.
Problem import_once(const std::vector<Source>& sources, std::string& text, std::string& format, double& write_s) {
  std::vector<FileContents> files(sources.size());
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const Format* f = detect_format(std::string_view(sources[i].bytes).substr(0, kDetectBytes));
    if (f == nullptr) return Problem{Status::unknown_format, sources[i].name, 0, "unknown layout"};
    if (format.empty() || format.find(f->name) == std::string::npos) format += std::string(format.empty() ? "" : "+") + f->name;
    if (Problem p = f->read(sources[i].bytes, sources[i].name, files[i]); !p.ok()) return p;
  }
  AssembleOptions o;
  o.source_unit = Unit::g;
  o.zero_vertical = true;
  const auto t0 = Clock::now();
  Record rec;
  if (Problem p = assemble(files, o, rec); !p.ok()) return p;
  text.clear();
  write_record(rec, text);
  write_s = std::chrono::duration<double>(Clock::now() - t0).count();
  return {};
}

// Runs `wavefft` in `dir` with "out.txt\n" on its standard input; seconds.
double read_back(const fs::path& wavefft, const fs::path& dir) {
  const auto t0 = Clock::now();
  int fds[2];
  if (::pipe(fds) != 0) return -1.0;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[0], 0);
    ::close(fds[0]);
    ::close(fds[1]);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    struct rlimit no_core {0, 0};
    ::setrlimit(RLIMIT_CORE, &no_core);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    ::execl(wavefft.c_str(), wavefft.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[0]);
  const char answer[] = "out.txt\n";
  if (::write(fds[1], answer, sizeof answer - 1) < 0) std::perror("write");
  ::close(fds[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path raw = argc > 1 ? fs::path(argv[1])
                                : fs::path(__FILE__).parent_path().parent_path() / "tests" / "data" / "import" / "raw";
  const fs::path wavefft = argc > 2 ? fs::path(argv[2]) : fs::absolute(fs::path(argv[0])).parent_path().parent_path() / "wavefft";
  if (!fs::is_directory(raw)) {
    std::fprintf(stderr, "import_bench: no folder %s\n", raw.c_str());
    return 2;
  }
  const bool have_wavefft = ::access(wavefft.c_str(), X_OK) == 0;
  if (!have_wavefft) std::fprintf(stderr, "import_bench: no %s; read-back times left out\n", wavefft.c_str());
  const fs::path scratch = fs::temp_directory_path() / ("import_bench-" + std::to_string(::getpid()));
  fs::create_directories(scratch);

  std::vector<fs::path> folders;
  for (const auto& e : fs::recursive_directory_iterator(raw)) {
    if (!e.is_directory()) continue;
    bool files = false;
    for (const auto& f : fs::directory_iterator(e.path())) files = files || f.is_regular_file();
    if (files) folders.push_back(e.path());
  }
  std::sort(folders.begin(), folders.end());

  std::printf("%-24s %-28s %8s %6s %9s %8s %9s %11s\n", "record", "layout", "bytes", "rows", "import ms", "MB/s",
              "of it asm+write ms", "readback ms");
  for (const fs::path& folder : folders) {
    std::vector<Source> sources;
    std::vector<fs::path> paths;
    for (const auto& f : fs::directory_iterator(folder)) {
      if (f.is_regular_file()) paths.push_back(f.path());
    }
    std::sort(paths.begin(), paths.end());
    std::size_t bytes = 0;
    for (const auto& p : paths) {
      sources.push_back({p.filename().string(), slurp(p)});
      bytes += sources.back().bytes.size();
    }
    const std::string name = fs::relative(folder, raw).string();
    std::string text, format;
    double best = 1e300, write_best = 1e300;
    Problem result;
    for (int rep = 0; rep < 7; ++rep) {
      const auto t0 = Clock::now();
      double write_s = 0.0;
      result = import_once(sources, text, format, write_s);
      best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
      write_best = std::min(write_best, write_s);
    }
    if (!result.ok()) {
      std::printf("%-24s %-28s %8zu %6s %9.3f %8s %9s %11s  (refused: %s)\n", name.c_str(), format.c_str(), bytes, "-",
                  best * 1e3, "-", "-", "-", result.text.c_str());
      continue;
    }
    const auto rows = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) - 2;
    double back = -1.0;
    if (have_wavefft) {
      std::ofstream(scratch / "out.txt", std::ios::binary) << text;
      back = 1e300;
      for (int rep = 0; rep < 3; ++rep) back = std::min(back, read_back(wavefft, scratch));
    }
    std::printf("%-24s %-28s %8zu %6zu %9.3f %8.1f %9.3f %11.3f%s\n", name.c_str(), format.c_str(), bytes, rows,
                best * 1e3, static_cast<double>(bytes) / best / 1e6, write_best * 1e3, back * 1e3,
                back >= 0.0 && best > back ? "  slower than read-back" : "");
  }
  std::error_code ec;
  fs::remove_all(scratch, ec);
  return 0;
}
