// SPDX-License-Identifier: GPL-3.0-or-later
// One line of a catalogue: what wavefft-batch found out about one record,
// as written to OUTDIR/summary.tsv and shown in OUTDIR/index.html. The
// batch runner (batch/main.cpp, batch/catalogue.cpp) fills rows; the
// summary and page code (batch/summary.cpp, batch/index_page.cpp) writes,
// reads and renders them, and joins the outputs of several batches. The
// columns, their names, headings and order are common/catalogue_columns.h's.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/catalogue_columns.h"

namespace wavefft::batch {

struct Row {
  std::string record;       // the argument as given (file or folder)
  std::string status;       // normal, import-failed, diagnostic, stopped-too-long,
                            // signal, measures-failed, report-failed, missing,
                            // error, not-run
  std::string exit;         // exit status of the step that ended the record ("" when none ran)
  std::string diagnostic;   // first line that step wrote on standard error ("" when none)
  std::string folder;       // the record's output folder, relative to OUTDIR ("" when none)
  std::string event;        // header words 1 and 2 of the record in the input layout
  std::string station;
  std::string components;   // titles of values 1, 2 and 11, joined by blanks: "NS EW UD"
  std::string dt;           // seconds, as wavefft reported it ("NT and DT=")
  std::string duration;     // nt * dt, seconds, shortest round-trip decimal
  std::string measured;     // "processed", "input", "corrected" or "" (not measured)
  std::string pga;          // g, the larger of the two horizontals
  std::string pgv;          // cm/s, the larger of the two horizontals
  std::string psa_02;       // g, 5% damped PSA at 0.2 s, the larger horizontal
  std::string psa_10;       // g, the same at 1 s
  std::string rotd50_10;    // g, RotD50 at 1 s
  std::string eas_1hz;      // g s, the smoothed EAS of the two horizontals at 1 Hz
  std::string eas_5hz;      // g s, the same at 5 Hz
  // With --correct, wavefft-correct's corners of components 1, 2 and 3 (Hz;
  // a low-pass cell is empty when no low-pass was applied) and the
  // components' flags ("comp1:drift comp3:low-snr"); all empty without it.
  std::string hp1_hz, hp2_hz, hp3_hz;
  std::string lp1_hz, lp2_hz, lp3_hz;
  std::string flags;
  std::string warnings;     // "; "-separated titles: the report's warnings and the batch's notes
  std::string page;         // the record's report page, relative to OUTDIR ("" when none)
};

/// Row's member for each column of common::kCatalogueColumns, in that order:
/// the one place where the table's columns meet Row.
inline constexpr std::array<std::string Row::*, common::kCatalogueColumns.size()> kRowFields = {
    &Row::record,   &Row::status,   &Row::exit,     &Row::diagnostic, &Row::folder,    &Row::event,
    &Row::station,  &Row::components, &Row::dt,     &Row::duration,   &Row::measured,  &Row::pga,
    &Row::pgv,      &Row::psa_02,   &Row::psa_10,   &Row::rotd50_10,  &Row::eas_1hz,   &Row::eas_5hz,
    &Row::hp1_hz,   &Row::hp2_hz,   &Row::hp3_hz,   &Row::lp1_hz,     &Row::lp2_hz,    &Row::lp3_hz,
    &Row::flags,    &Row::warnings, &Row::page};
static_assert(std::find(kRowFields.begin(), kRowFields.end(), nullptr) == kRowFields.end(),
              "every column of the catalogue needs its member of Row");

/// A field as it goes into a table: tabs and line ends would break the line
/// into the wrong columns or rows, so they become blanks.
std::string one_line(std::string_view text);

/// Writes summary.tsv: the header (common::catalogue_header()), then one
/// line per row, each field through one_line. The file is replaced
/// atomically (common::replace_file). Throws std::runtime_error
/// "cannot write PATH: REASON" on failure, `path` then untouched.
void write_summary(const std::filesystem::path& path, const std::vector<Row>& rows);

/// Reads a summary.tsv written by write_summary, or by an earlier batch
/// without the EAS columns or without the correction's columns (those cells
/// are then empty). Throws
/// std::runtime_error naming the file (and line) when it is missing or not
/// such a table.
std::vector<Row> read_summary(const std::filesystem::path& path);

/// The columns of the page of `rows`, left to right, as positions in
/// common::kCatalogueColumns: common::kPageColumns, but the corners' column
/// only when some row has a corner (a batch run with --correct), so that
/// the page of a batch without it has no empty column.
std::vector<std::size_t> page_columns(const std::vector<Row>& rows);

/// The self-contained catalogue page: one table row per Row, linking the
/// record to its page when it has one, every column of page_columns(rows)
/// sortable by a click on its heading (a few lines of plain script, no
/// framework, no server).
/// `title` goes in <title> and <h1>. The table fits a window 1400 pixels
/// wide, long texts wrapped; in a narrower one the page scrolls sideways
/// and the record column stays at the window's left edge.
std::string render_index(const std::vector<Row>& rows, const std::string& title);

/// The name of the flatfile in a batch's output folder.
inline constexpr const char* kFlatfile = "flatfile.csv";

/// The text of a flatfile: its header, then `lines`, each ended.
std::string flatfile_text(const std::vector<const std::string*>& lines);

/// Joins the outputs of several batches: reads DIR/summary.tsv and
/// DIR/flatfile.csv of each DIR, rewrites `folder` and `page` relative to
/// `outdir`, and writes OUTDIR/summary.tsv, OUTDIR/flatfile.csv and
/// OUTDIR/index.html, rows in the order of `dirs`; the shards of one
/// catalogue (each DIR with its shard.txt) in the order of the catalogue.
void join(const std::filesystem::path& outdir, const std::vector<std::filesystem::path>& dirs);

}  // namespace wavefft::batch
