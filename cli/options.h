// SPDX-License-Identifier: GPL-3.0-or-later
// The processing options of wavefft: the answers of the dialogue given on
// the command line. This folder is a library shared by wavefft (driver/) and
// wavefft-batch (batch/), which validates the same options before it starts
// any run; it uses the standard library and, for the values' numbers, the
// program's own free-form reader (textio/freeform.h), nothing else.
//
//   --flip LIST                 components (from 1 2 3) whose sign is reversed
//   --bandpass fL1,fL2,fH1,fH2  corners of the trapezoidal band-pass, Hz
//   --integrate | --double-integrate | --differentiate   (at most one)
//   --cut START,DURATION        time window, seconds
//   --skip K                    keep every (K+1)-th sample
//   --output NAME               waveform file (default wave.csv)
//
// Each option takes its value as the next argument or after '='
// ("--skip 2", "--skip=2"). What is not given is answered "no" (0).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/option_table.h"

namespace wavefft::cli {

struct ProcessingOptions {
  std::array<bool, 3> flip{};               // --flip: component k+1 reversed
  std::optional<std::array<std::string, 4>> bandpass;  // the corners as typed
  int nit = 0;                              // 0 none, 1 integrate, 2 double, 3 differentiate
  std::optional<std::array<std::string, 2>> cut;       // START, DURATION as typed
  std::string skip = "0";                   // K as typed (validated), "0" when not given
  std::string output = "wave.csv";          // --output NAME
  bool any = false;                         // at least one processing option was given
  unsigned seen = 0;                        // options taken so far, one bit each (a second one is refused)
};

/// Offers argv[i] (and argv[i+1] as its value when needed) to the parser.
/// On `taken`, `i` is advanced past what was consumed (to the last argument
/// used; the caller's loop then adds one). On `error`, `error` holds a
/// one-line message that names the option and the bad value, e.g.
/// "--skip: 'x' is not a whole number from 0 to 2147483646".
/// Refused values: a flip list that is empty or holds anything but 1, 2, 3;
/// corners that are not four finite numbers >= 0 in non-decreasing order;
/// a cut that is not two finite numbers with DURATION >= 0; a skip that is
/// not a whole number from 0 to 2147483646; an empty output name, one longer
/// than 90 characters, one that ends in a blank or holds a line end; a
/// second --integrate/--double-integrate/--differentiate; an option given
/// twice.
Take take_option(int argc, const char* const* argv, int& i, ProcessingOptions& opts, std::string& error);

/// Checks a path that is to be typed as a file name of the dialogue (the
/// record, or the output name): not empty, at most 90 characters, no
/// trailing blank, no line end, no NUL. Returns the reason it cannot be
/// typed, or an empty string.
std::string typeable_name_problem(std::string_view name);

/// Why `output` may not be the waveform file of a run on `record`: it names
/// "amp3.csv" or "fort.99", which the same run writes, or the record itself
/// (the same path, or the same existing file by device and inode). Returns
/// the reason, or an empty string.
std::string output_clash(std::string_view output, std::string_view record);

/// Why the options form cannot run on `record`, checked before anything is
/// written (the dialogue, given such a name, would create an empty file of
/// it or abort): it does not exist, a dangling link included ("does not
/// exist"); it is a folder ("is a folder"); it cannot be opened for reading
/// ("cannot be read: " and the system's reason, "Permission denied"). A
/// FIFO is not opened here: that would wait for its writer, as the run
/// itself will. Returns the reason, or an empty string.
std::string record_problem(std::string_view record);

/// Why the waveform file `output` cannot be made where it is named: it is
/// a folder itself ("is a folder"), or the folder part of the name (up to its last '/'; none: the current folder)
/// does not exist ("is in the folder 'nodir', which does not exist"), is no
/// folder ("is in 'f.txt', which is not a folder"), or cannot be looked at
/// ("is in the folder 'x', which cannot be reached: Permission denied").
/// Returns the reason, or an empty string.
std::string output_folder_problem(std::string_view output);

/// The whole console input of the dialogue for `record` and `opts`, exactly
/// as a user would type it: the record name, the sign answers, the band-pass
/// answer and corners, the menu answer, the cut answers, the skip answer, the
/// output name, then the empty line of the final wait. Every line ends in
/// "\n"; values are the option texts as typed, corners separated by one
/// blank.
std::string answer_script(std::string_view record, const ProcessingOptions& opts);

/// `text` between single quotes for a message, control bytes shown as \xNN
/// so that the message stays on one line.
std::string quote(std::string_view text);

/// The options' part of a usage text (one line per option, aligned), shared
/// by `wavefft --help` and `wavefft-batch --help`.
extern const char* const kOptionsHelp;

}  // namespace wavefft::cli
