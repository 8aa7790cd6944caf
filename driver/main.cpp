// wavefft: processes a three-component waveform in the frequency domain
// through a fixed console dialogue.
#include <cstdio>
#include <cstring>

#include "driver/run.h"
#include "textio/channel.h"

#ifndef WAVEFFT_VERSION
#define WAVEFFT_VERSION "unknown"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: wavefft\n"
    "       wavefft --help | --version\n"
    "\n"
    "Processes a three-component waveform record in the frequency domain.\n"
    "Without arguments it asks its questions on standard input: the input\n"
    "file, sign changes, a band-pass filter, integration or differentiation,\n"
    "a time window, a decimation step and the output file name. It writes\n"
    "amp3.csv (amplitude spectrum), the waveform file named in the dialogue\n"
    "and fort.99 (echo of the input) in the current folder.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "See wavefft(1), wavefft-report --help and wavefft-batch -h.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    const bool help = std::strcmp(argv[1], "--help") == 0;
    const bool version = std::strcmp(argv[1], "--version") == 0;
    if (argc == 2 && help) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argc == 2 && version) {
      std::printf("wavefft %s\n", WAVEFFT_VERSION);
      return 0;
    }
    const char* unexpected = help || version ? argv[2] : argv[1];
    std::fprintf(stderr, "wavefft: unexpected argument '%s' (try wavefft --help)\n", unexpected);
    return 2;
  }
  wavefft::textio::start_run();
  wavefft::RunState* state = wavefft::driver::allocate_run_state();
  wavefft::driver::run(*state);
}
