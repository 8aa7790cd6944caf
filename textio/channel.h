// SPDX-License-Identifier: GPL-3.0-or-later
// Numbered channels tying the run to the console and to files, and the end
// of a run.
//
// Channels: 5 console input (standard input), 6 console output (standard
// output), 0 standard error, 10 "amp3.csv", 11 the waveform input and later
// output file, 99 the echo file "fort.99", connected implicitly by its first
// write. Every transfer of the program goes through the functions below;
// each one that fails ends the run with the diagnostic on standard error and
// an abnormal end, so callers never see an error.
//
// Writes are buffered per channel and handed to the system in large blocks;
// a record becomes visible to the signal handlers (which release all files)
// only when it is complete, so a file cut by an interrupt ends after its last
// complete record.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "textio/fixedfmt.h"
#include "textio/freeform.h"
#include "textio/instream.h"
#include "textio/listout.h"

namespace wavefft::textio {

inline constexpr int kStdErr = 0;
inline constexpr int kConsoleIn = 5;
inline constexpr int kConsoleOut = 6;
inline constexpr int kMaxUnit = 99;

/// End-of-file handling of a free-form read.
enum class EofMode : std::uint8_t {
  Fatal,     ///< the end of input ends the run with a diagnostic
  Reported,  ///< the end of input is returned to the caller
  Ignored,   ///< the final wait: the end of input is no error at all
};

/// Connects the console channels and installs the signal handlers. Called
/// once, before the first prompt.
void start_run();

/// Connects `unit` to the file `name` (trailing blanks removed, leading ones
/// kept): existing file read-write at its start, else read-only, else
/// created. Failure: "open" diagnostic.
void connect(int unit, std::string_view name);

/// Releases `unit`: cuts a written file after its last written character,
/// closes it. Not connected: nothing happens.
void release(int unit);

/// Writes one free-form record on `unit` (connecting 99 implicitly).
void write_list(int unit, std::span<const ListItem> items);
inline void write_list(int unit, std::initializer_list<ListItem> items) {
  write_list(unit, std::span<const ListItem>(items.begin(), items.size()));
}

/// Writes one free-form record of doubles on `unit`: the same record as
/// write_list() with those items.
void write_list_doubles(int unit, std::span<const double> values);

/// Writes one fixed-field record on `unit`.
void write_fixed(int unit, const FixedFormat& format, std::span<const double> values);

/// One free-form read on `unit`. Returns true when the read completed, false
/// when it met the end of input in Reported or Ignored mode.
bool read_list(int unit, EofMode mode, std::span<const Dest> dests);
inline bool read_list(int unit, EofMode mode, std::initializer_list<Dest> dests) {
  return read_list(unit, mode, std::span<const Dest>(dests.begin(), dests.size()));
}

/// One free-form read of a record of doubles on `unit`: `first`, then
/// `rest`; the same as read_list() with those destinations, without building
/// them for every record.
bool read_doubles(int unit, EofMode mode, double& first, std::span<double> rest);

/// The "(A90)" line read of a file name from the console.
void read_a90(int unit, Text90& out);

/// The input stream of a connected reading channel (bulk readers).
InStream& input(int unit);

/// Ends the run normally: releases every channel, exit status 0.
[[noreturn]] void stop();

/// Ends the run with the diagnostic for a failure on `unit`: writes the
/// four-line diagnostic, releases every channel and aborts.
[[noreturn]] void fail(int unit, std::string_view context, std::string_view message);

/// Replaces the process exit (exit status) and abort (status -1) at the end
/// of a run; for in-process drivers such as fuzz targets. The hook must not
/// return.
using ExitHook = void (*)(int status);
void set_exit_hook(ExitHook hook);

/// Replaces the console input stream (in-process drivers and tests).
void set_console_input(std::unique_ptr<InStream> in);

/// Releases every file channel and forgets all per-run state of the text
/// layer, so that an in-process driver can start the next run.
void reset_channels();

}  // namespace wavefft::textio
