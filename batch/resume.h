// SPDX-License-Identifier: GPL-3.0-or-later
// Picking up a batch where it stopped (--resume): a record's folder gets,
// as the last thing the batch writes there, record.done: the settings the
// record ran with, the name and size of every file it left, its summary
// row and its flatfile line. A folder whose record.done is there, was
// written with the same settings for the same record, and whose files are
// all still there at those sizes, is complete; any other is run again. A
// record killed part-way has no record.done: it is the first file the
// batch removes from a folder before running a record.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "batch/summary.h"

namespace wavefft::batch {

inline constexpr const char* kDoneFile = "record.done";

/// A record's outcome: its summary row, and its flatfile line ("" when it
/// has none: its measures were not computed).
struct Outcome {
  Row row;
  std::string flat;
};

/// Writes `folder`/record.done for `done` run with `settings` (a text that
/// differs whenever the record's outputs would), listing those of `files`
/// that are in the folder. False when it cannot be written (the record is
/// then simply run again by a resumed batch).
bool write_done(const std::filesystem::path& folder, const Outcome& done, const std::string& settings,
                const std::vector<std::string>& files);

/// The outcome in `folder`/record.done when the folder is complete for the
/// record `record` run with `settings`; nothing otherwise.
std::optional<Outcome> read_done(const std::filesystem::path& folder, const std::string& record,
                                 const std::string& settings);

}  // namespace wavefft::batch
