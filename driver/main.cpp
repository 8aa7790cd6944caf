// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft: processes a three-component waveform in the frequency domain
// through a fixed console dialogue, or with the dialogue's answers taken
// from command-line options.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "cli/usage.h"
#include "driver/run.h"
#include "textio/channel.h"
#include "textio/instream.h"

#ifndef WAVEFFT_VERSION
#define WAVEFFT_VERSION "unknown"
#endif

namespace {

namespace cli = wavefft::cli;

// What --help shows between the synopsis (cli::kSynopsis) and the options.
constexpr const char* kUsageHead =
    "\n"
    "Processes a three-component waveform record in the frequency domain.\n"
    "Without arguments it asks its questions on standard input: the input\n"
    "file, sign changes, a band-pass filter, integration or differentiation,\n"
    "a time window, a decimation step and the output file name. With a\n"
    "RECORD it runs on that file with the answers taken from the options\n"
    "(what is not given is answered no) and reads nothing from standard\n"
    "input; a RECORD that cannot be read, or an output in a folder that does\n"
    "not exist, is refused before anything is written. Either way it\n"
    "writes amp3.csv (amplitude spectrum), the waveform file and fort.99\n"
    "(echo of the input) in the current folder.\n"
    "\n";

constexpr const char* kUsageTail =
    "  --                          what follows is the RECORD, even if it\n"
    "                              starts with '-'\n"
    "  --help                      show this text and exit\n"
    "  --version                   show the version and exit\n"
    "\n"
    "See wavefft(1), wavefft-report --help and wavefft-batch -h.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(cli::kSynopsis, stdout);
    std::fputs(kUsageHead, stdout);
    std::fputs(cli::kOptionsHelp, stdout);
    std::fputs(kUsageTail, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("wavefft %s\n", WAVEFFT_VERSION);
    return 0;
  }
  if (argc <= 1) {
    // The dialogue on standard input.
    wavefft::textio::start_run();
    wavefft::RunState* state = wavefft::driver::allocate_run_state();
    wavefft::driver::run(*state);
  }

  // The options form: every argument, the record and the output's folder
  // are checked before anything is written or standard input is read; a
  // refusal (cli::usage_error) writes on standard error only.
  cli::ProcessingOptions opts;
  std::vector<std::string_view> records;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!options_ended) {
      if (arg == "--") {
        options_ended = true;
        continue;
      }
      std::string error;
      const cli::Take took = cli::take_option(argc, argv, i, opts, error);
      if (took == cli::Take::taken) continue;
      if (took == cli::Take::error) return cli::usage_error(error);
      if (arg == "--help" || arg == "--version") return cli::usage_error(cli::quote(arg) + " must be given alone");
      if (arg.size() > 1 && arg[0] == '-') return cli::usage_error("unknown option " + cli::quote(arg));
    }
    records.push_back(arg);
  }
  if (records.empty()) return cli::usage_error("no RECORD given");
  if (records.size() > 1) {
    return cli::usage_error("one RECORD only, not " + cli::quote(records[0]) + " and " + cli::quote(records[1]));
  }
  const std::string_view record = records[0];
  if (const std::string p = cli::typeable_name_problem(record); !p.empty()) {
    return cli::usage_error("RECORD " + cli::quote(record) + " " + p);
  }
  if (const std::string p = cli::typeable_name_problem(opts.output); !p.empty()) {
    return cli::usage_error("--output: " + cli::quote(opts.output) + " " + p);
  }
  if (const std::string p = cli::output_clash(opts.output, record); !p.empty()) {
    return cli::usage_error("--output: " + cli::quote(opts.output) + " " + p);
  }
  if (const std::string p = cli::record_problem(record); !p.empty()) {
    return cli::usage_error("RECORD " + cli::quote(record) + " " + p);
  }
  if (const std::string p = cli::output_folder_problem(opts.output); !p.empty()) {
    return cli::usage_error("--output: " + cli::quote(opts.output) + " " + p);
  }

  // The run itself is the dialogue's, fed the answers the options stand for.
  wavefft::textio::start_run();
  wavefft::textio::set_console_input(
      std::make_unique<wavefft::textio::MemoryInStream>(cli::answer_script(record, opts)));
  wavefft::RunState* state = wavefft::driver::allocate_run_state();
  wavefft::driver::run(*state);
}
