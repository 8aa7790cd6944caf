// wavefft: processes a three-component waveform in the frequency domain
// through a fixed console dialogue.
#include "driver/run.h"
#include "textio/channel.h"

int main() {
  wavefft::textio::start_run();
  wavefft::RunState* state = wavefft::driver::allocate_run_state();
  wavefft::driver::run(*state);
}
