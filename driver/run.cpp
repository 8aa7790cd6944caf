// SPDX-License-Identifier: GPL-3.0-or-later
#include "driver/run.h"

#include <cstdlib>
#include <new>

#include "phases/phases.h"
#include "textio/channel.h"

namespace wavefft::driver {

RunState* allocate_run_state() {
  // RunState is an implicit-lifetime aggregate of arrays and scalars, so
  // zero-filled storage from calloc is a valid, zero-initialised object.
  void* p = std::calloc(1, sizeof(RunState));
  if (p == nullptr) throw std::bad_alloc();
  return static_cast<RunState*>(p);
}

void run(RunState& s) {
  phases::read_waveform(s);
  phases::ask_signs(s);
  if (!phases::transform_components(s)) textio::stop();
  phases::scale_and_filter(s);
  phases::integrate_menu(s);
  phases::write_spectrum_file(s);
  phases::rebuild_waveform(s);
  phases::cut_dialogue(s);
  phases::write_waveform_file(s);
  // Final wait: one more console line; the end of the input is no error here.
  textio::read_list(textio::kConsoleIn, textio::EofMode::Ignored, {});
  textio::stop();
}

}  // namespace wavefft::driver
