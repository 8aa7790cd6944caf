// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers wavefft-batch picks from wavefft-measures' files for its
// summary: texts in, the chosen cells' texts out, copied as they stand.
#pragma once

#include <string>
#include <string_view>

namespace wavefft::batch {

/// The numbers picked from wavefft-measures' files, as texts.
struct Picked {
  std::string pga, pgv;                   // from measures.csv
  std::string psa_02, psa_10, rotd50_10;  // from spectra.csv
};

/// From measures.csv: pga (row "pga") and pgv (row "pgv"), each the larger
/// of comp1 and comp2, the text copied.
void pick_measures(std::string_view measures_csv, Picked& out);

/// From spectra.csv at damping 0.05: the larger of comp1 and comp2 at
/// periods 0.2 and 1, and rotd50 at 1.
void pick_spectra(std::string_view spectra_csv, Picked& out);

}  // namespace wavefft::batch
