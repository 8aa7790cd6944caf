// SPDX-License-Identifier: GPL-3.0-or-later
// The columns of a catalogue of records, as wavefft-batch writes it: one
// table from which both OUTDIR/summary.tsv (every column, in the order
// below) and OUTDIR/index.html (the columns with a heading, in the page's
// order) are made. A column added here reaches both; a reader of older
// tables (batch/summary.cpp) tells them apart by the header line.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace wavefft::common {

/// One column of the catalogue.
struct CatalogueColumn {
  std::string_view name;     // its name in summary.tsv's header: "pga"
  std::string_view heading;  // its heading on index.html: "PGA (g)"; empty: not on the page
  bool numeric;              // a number: the page shows 4 significant digits and sorts by value
};

/// summary.tsv's columns, in the order of its fields. The first four are
/// those of the answer-file form's table (record, status, exit, diagnostic).
/// The corner and flag columns are those of wavefft-correct's summary of the
/// record (wavefft-batch --correct): hpN_hz and lpN_hz the high-pass and
/// low-pass corners of component N, flags the components' flags as
/// "compN:WORD" joined by blanks. On the page the six corners share one
/// column, under hp1_hz's heading, and the flags are shown in the status's
/// cell (batch/index_page.cpp).
// One line per kind of column. clang-format off
inline constexpr std::array<CatalogueColumn, 27> kCatalogueColumns = {{
    {"record", "Record", false}, {"status", "Status", false}, {"exit", "", false}, {"diagnostic", "", false},
    {"folder", "", false},
    {"event", "Event", false}, {"station", "Station", false}, {"components", "Components", false},
    {"dt", "dt (s)", true}, {"duration", "Duration (s)", true}, {"measured", "Measured", false},
    {"pga", "PGA (g)", true}, {"pgv", "PGV (cm/s)", true},
    {"psa_02", "PSA 0.2 s (g)", true}, {"psa_10", "PSA 1 s (g)", true}, {"rotd50_10", "RotD50 1 s (g)", true},
    {"eas_1hz", "EAS 1 Hz (g·s)", true}, {"eas_5hz", "EAS 5 Hz (g·s)", true},
    {"hp1_hz", "Corners (Hz)", true}, {"hp2_hz", "", true}, {"hp3_hz", "", true},
    {"lp1_hz", "", true}, {"lp2_hz", "", true}, {"lp3_hz", "", true}, {"flags", "", false},
    {"warnings", "Warnings", false}, {"page", "", false},
}};
// clang-format on

/// The position in kCatalogueColumns of the column named `name`
/// (kCatalogueColumns.size() when there is none).
constexpr std::size_t catalogue_column(std::string_view name) {
  std::size_t k = 0;
  while (k < kCatalogueColumns.size() && kCatalogueColumns[k].name != name) ++k;
  return k;
}

/// index.html's columns, left to right, as positions in kCatalogueColumns:
/// every column with a heading, once.
inline constexpr std::array<std::size_t, 17> kPageColumns = {
    catalogue_column("record"),    catalogue_column("station"),  catalogue_column("event"),
    catalogue_column("components"), catalogue_column("dt"),      catalogue_column("duration"),
    catalogue_column("status"),    catalogue_column("measured"), catalogue_column("pga"),
    catalogue_column("pgv"),       catalogue_column("psa_02"),   catalogue_column("psa_10"),
    catalogue_column("rotd50_10"), catalogue_column("eas_1hz"),  catalogue_column("eas_5hz"),
    catalogue_column("hp1_hz"),    catalogue_column("warnings")};

/// summary.tsv's header line without its line end: the names joined by tabs,
/// "record\tstatus\texit\t...\tpage".
std::string catalogue_header();

}  // namespace wavefft::common
