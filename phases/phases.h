// SPDX-License-Identifier: GPL-3.0-or-later
// The phases of a run, in the order the run driver calls them. Each takes
// the run state, holds its part of the console dialogue, and leaves its
// results in the state. A phase that meets an input or file failure never
// returns (the text layer ends the run with a diagnostic).
#pragma once

#include "phases/run_state.h"

namespace wavefft::phases {

/// Channels of the run.
inline constexpr int kSpectrumUnit = 10;  ///< "amp3.csv"
inline constexpr int kWaveUnit = 11;      ///< waveform input, later output file
inline constexpr int kEchoUnit = 99;      ///< "fort.99"

/// Asks for the input file name, reads header, skipped line and records,
/// echoes each record, reports "NT and DT=".
void read_waveform(RunState& s);

/// Sign questions and sign reversal.
void ask_signs(RunState& s);

/// Chooses the transform length and reports it; pads and transforms the
/// three components. Returns false when the record is too long: the line
/// " NT>2**17 !!!!!" has been written and the run must stop.
bool transform_components(RunState& s);

/// Scales the spectra by dt, reports the frequency grid, offers the
/// band-pass filter.
void scale_and_filter(RunState& s);

/// The integration/differentiation menu and the chosen operation.
void integrate_menu(RunState& s);

/// Reports and writes "amp3.csv".
void write_spectrum_file(RunState& s);

/// Completes the spectra, transforms back, rebuilds the waveform.
void rebuild_waveform(RunState& s);

/// Cutting question and time window.
void cut_dialogue(RunState& s);

/// Skip question, output file name and the waveform file.
void write_waveform_file(RunState& s);

}  // namespace wavefft::phases
