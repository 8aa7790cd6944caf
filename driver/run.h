// SPDX-License-Identifier: GPL-3.0-or-later
// The run driver: one straight sequence of phases from the first prompt to
// the final wait.
#pragma once

#include "phases/run_state.h"

namespace wavefft::driver {

/// Allocates the run state once, zero-filled, at full size. The memory comes
/// from the system as untouched zero pages, so a small record only touches
/// the pages it writes.
RunState* allocate_run_state();

/// Runs every phase in order on `s`, then the final wait; ends the run
/// through the text layer (never returns).
[[noreturn]] void run(RunState& s);

}  // namespace wavefft::driver
