// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogue of the processing phases, from the sign questions to the
// waveform file. The arithmetic lives in frequency_domain.h; this file holds the
// prompts, the answers, the branch tests and the two CSV files.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "phases/phases.h"
#include "phases/frequency_domain.h"
#include "textio/channel.h"

namespace wavefft::phases {

using textio::dest;
using textio::EofMode;
using textio::kConsoleIn;
using textio::kConsoleOut;

namespace {

constexpr std::int32_t kYes = 1;

const textio::FixedFormat kSpectrumRow("(F8.4,6(',',E12.4))");
const textio::FixedFormat kWaveRow("(F8.3,4(',',E12.4))");
const textio::FixedFormat kOutputPrompt("(/,1X,'Enter output file name of waveform (csv format file)')");

void say(std::initializer_list<textio::ListItem> items) { textio::write_list(kConsoleOut, items); }

std::int32_t ask_integer() {
  std::int32_t v = 0;
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(v)});
  return v;
}

}  // namespace

void ask_signs(RunState& s) {
  say({});
  say({" Change +/-? (YES=1)?? :"});
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(s.myes)});
  if (s.myes != kYes) return;
  say({});
  say({" Change from + to - of FILE 1 ? (YES=1)?? :"});
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(s.my1)});
  if (s.my1 == kYes) negate(s.xr1, s.nt);
  say({" Change from + to - of FILE 2 ? (YES=1)?? :"});
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(s.my2)});
  if (s.my2 == kYes) negate(s.xr2, s.nt);
  say({" Change from + to - of FILE 3 ? (YES=1)?? :"});
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(s.my3)});
  if (s.my3 == kYes) negate(s.xr3, s.nt);
}

bool transform_components(RunState& s) {
  const auto length = choose_length(s.nt);
  if (!length) {
    say({" NT>2**17 !!!!!"});
    return false;
  }
  s.nf = length->nf;
  s.if1 = length->if1;
  say({});
  say({" IF1,NF=", s.if1, s.nf});
  load_and_forward(s);
  return true;
}

void scale_and_filter(RunState& s) {
  scale_and_grid(s);
  say({});
  say({" DUR,DOM,NOM,EOM=", s.dur, s.dom, s.nom, s.eom});
  say({" Highest Frequency (hz)=", s.eom / kTwoPi});
  say({});
  say({" Band Pass Filter? (YES=1)?? :"});
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(s.nbd)});
  if (s.nbd != kYes) return;
  say({});
  say({"  TRAPEZOIDAL BAND PATH FILTER"});
  say({"  ENTER fL1<fL2<fH1<fH2 (Hz)"});
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(s.fl1), dest(s.fl2), dest(s.fh1), dest(s.fh2)});
  band_pass(s);
}

void integrate_menu(RunState& s) {
  say({});
  say({" Integration/Differentiation:"});
  say({" NO Change         :                 (Enter=0)"});
  say({" Integration       : Ex.) acc -> vel (Enter=1)"});
  say({" Double Integration: Ex.) acc -> dis (Enter=2)"});
  say({" Differentiation:  : Ex.) Vel -> acc (Enter=3)"});
  s.nit = ask_integer();
  integrate_or_differentiate(s);
}

void write_spectrum_file(RunState& s) {
  say({});
  say({"Fourier Spectrum data are stored in \"amp3.csv\""});
  textio::connect(kSpectrumUnit, "amp3.csv");
  textio::write_list(kSpectrumUnit, {"frequency(Hz),comp1, comp2, comp3"});
  for (std::int32_t i = 1; i <= s.nom; ++i) {
    s.f = line_frequency(i, s.dom);
    const double row[] = {s.f, modulus(s.fx1(i)), modulus(s.fx2(i)), modulus(s.fx3(i))};
    textio::write_fixed(kSpectrumUnit, kSpectrumRow, row);
  }
  textio::release(kSpectrumUnit);
}

void rebuild_waveform(RunState& s) { rebuild(s); }

void cut_dialogue(RunState& s) {
  say({});
  say({"Cutting data? (No=0,Yes=1)"});
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(s.icut)});
  if (s.icut != kYes) return;
  say({"Enter Starting Time (sec)"});
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(s.stime)});
  s.nstime = truncate_count(s.stime / s.dt);
  say({"Number of Cutting Data =", s.nstime});
  say({"Enter Duration (sec)"});
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(s.dur)});
  // The window never holds more samples than the arrays do; the reports show
  // the count actually used.
  const std::int64_t asked = static_cast<std::int64_t>(truncate_count(s.dur / s.dt)) + 1;
  s.ndur = window_length(static_cast<std::int32_t>(std::min<std::int64_t>(asked, kCapacity)));
  say({"Number of data =", s.ndur});
  cut_window(s, s.ndur);
  s.nt = s.ndur;
  say({"New nt =", s.nt});
}

void write_waveform_file(RunState& s) {
  say({});
  say({"Skip Data (no=0; yes=skip number)?"});
  textio::read_list(kConsoleIn, EofMode::Fatal, {dest(s.iskip)});
  const std::int64_t step = row_step(s.iskip);
  s.iskip = static_cast<std::int32_t>(std::clamp<std::int64_t>(step, INT32_MIN, INT32_MAX));
  textio::write_fixed(kConsoleOut, kOutputPrompt, {});
  textio::read_a90(kConsoleIn, s.infile);

  textio::connect(kWaveUnit, std::string_view(s.infile.data(), s.infile.size()));
  textio::write_list(kWaveUnit, {"time(s),comp1, comp2, comp3"});
  const std::int64_t rows = row_count(s.nt, step);
  std::int64_t i = 1;
  for (std::int64_t r = 0; r < rows; ++r, i += step) {
    // Rows whose index leaves the arrays are not written; the index moves
    // one way, so no later row can come back into them.
    if (!row_in_arrays(i)) break;
    const double row[] = {s.time(i), s.x1(i), s.x2(i), s.x3(i)};
    textio::write_fixed(kWaveUnit, kWaveRow, row);
  }
  textio::release(kWaveUnit);
}

}  // namespace wavefft::phases
