// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the waveform file: header, skipped line, data records; the echo
// file; the "NT and DT=" report.
#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <span>

#include "phases/phases.h"
#include "textio/channel.h"

namespace wavefft::phases {

using textio::dest;
using textio::EofMode;

namespace {

const textio::FixedFormat kInputPrompt("(1X,/,'Enter input file of waveform data')");

// Column of yy that feeds each component (1-based): values 1, 2 and 11.
constexpr int kComponentColumn1 = 1;
constexpr int kComponentColumn2 = 2;
constexpr int kComponentColumn3 = 11;

}  // namespace

void read_waveform(RunState& s) {
  textio::write_fixed(textio::kConsoleOut, kInputPrompt, {});
  textio::read_a90(textio::kConsoleIn, s.infile);
  textio::connect(kWaveUnit, std::string_view(s.infile.data(), s.infile.size()));

  // Header: four character items, wherever they stand.
  textio::read_list(kWaveUnit, EofMode::Fatal, {dest(s.head1), dest(s.head2), dest(s.head3), dest(s.head4)});
  // The column-title line, whatever it holds.
  textio::read_list(kWaveUnit, EofMode::Fatal, {});

  // Records past the capacity of the arrays are still read, counted and
  // echoed, but land in a scratch row that is cleared before each record
  // (values a record does not supply read as 0.0, as in a fresh row).
  double scratch_time = 0.0;
  std::array<double, kYyColumns> scratch_row{};

  std::int64_t i = 1;
  for (;;) {
    double* t;
    double* row;
    if (i <= kCapacity) {
      t = &s.time(i);
      row = s.yy[static_cast<std::size_t>(i - 1)].data();
    } else {
      scratch_time = 0.0;
      scratch_row.fill(0.0);
      t = &scratch_time;
      row = scratch_row.data();
    }
    if (!textio::read_doubles(kWaveUnit, EofMode::Reported, *t, std::span<double>(row, kValues))) break;

    const double c1 = row[kComponentColumn1 - 1];
    const double c2 = row[kComponentColumn2 - 1];
    const double c3 = row[kComponentColumn3 - 1];
    if (i <= kCapacity) {
      s.xr1(i) = c1;
      s.xr2(i) = c2;
      s.xr3(i) = c3;
    }
    const double echo[] = {*t, c1, c2, c3};
    textio::write_list_doubles(kEchoUnit, echo);
    if (i < std::numeric_limits<std::int32_t>::max()) ++i;
  }
  textio::release(kWaveUnit);

  s.nt = static_cast<std::int32_t>(i - 1);
  s.dt = s.time(2) - s.time(1);

  textio::write_list(textio::kConsoleOut, {});
  textio::write_list(textio::kConsoleOut, {"NT and DT=", s.nt, s.dt});
}

}  // namespace wavefft::phases
