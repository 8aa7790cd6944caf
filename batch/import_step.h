// SPDX-License-Identifier: GPL-3.0-or-later
// The import step of wavefft-batch's records form, as texts: the options of
// wavefft-import that the batch takes on its command line and hands to
// every import, and what the batch keeps of what an import wrote on its
// standard error. batch/catalogue.cpp runs the program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/option_table.h"

namespace wavefft::batch {

/// The import options of the batch's command line, each value as given.
/// They go to every record given as a folder of agency files:
///
///   --zero-vertical          accept a record without a vertical
///   --source-unit U          unit of files that state none: g, gal, m_s2, mm_s2
///   --channels LIST          choose only among these channels
///   --pad                    pad shorter components with zeros
///   --level raw|corrected    of a raw and a corrected file of one record, take this one
///
/// Each value follows its option as the next argument or after '='.
struct ImportOptions {
  bool zero_vertical = false;  // --zero-vertical
  std::string source_unit;     // --source-unit, "" when not given
  std::string channels;        // --channels as typed, "" when not given
  bool pad = false;            // --pad
  std::string level;           // --level, "" when not given
  unsigned seen = 0;           // options taken so far, one bit each (a second one is refused)
};

/// Offers argv[i] (and argv[i+1] as its value when needed) to the import
/// options (cli::take_from_table, as for the processing options): on
/// `taken`, `i` is moved to the last argument used; on `error`, `error`
/// holds one line naming the option:
///   "--source-unit: 'furlongs' is not one of g, gal, m_s2, mm_s2"
///   "--level: 'final' is not raw or corrected"
///   "--channels: ', ,' names no channel"
///   "--pad: takes no value", "--level: needs a value", "--pad: given twice"
cli::Take take_import_option(int argc, const char* const* argv, int& i, ImportOptions& opts, std::string& error);

/// The arguments that go to wavefft-import before its output and input:
/// "--unit U" when `unit` (the batch's --unit, the unit the records are to
/// be in) is not empty, then the import options in the order of the list
/// above, each value as given:
///   {"--unit", "gal", "--zero-vertical", "--source-unit", "g"}.
std::vector<std::string> import_arguments(const ImportOptions& opts, const std::string& unit);

/// What an import wrote on standard error, sorted for the summary. A note
/// is a line "wavefft-import: note: TEXT" (or "note: TEXT"), TEXT being the
/// note, or "wavefft-import: skipped FILE: REASON", a file of a folder left
/// out, "skipped FILE: REASON" being the note; any other line is a
/// diagnostic.
struct ImportStderr {
  std::vector<std::string> warnings;  // "import: " and each note, in order; after a success also
                                      // every diagnostic, without the "wavefft-import: " prefix
  std::string diagnostic;             // after a failure: the first diagnostic line as written (the
                                      // first line when all are notes); "" after a success
};

/// Sorts the lines of `text` (a CR before a line end goes with it; empty
/// lines are dropped) after an import that `succeeded` or not.
ImportStderr read_import_stderr(std::string_view text, bool succeeded);

}  // namespace wavefft::batch
