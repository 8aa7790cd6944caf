// SPDX-License-Identifier: GPL-3.0-or-later
// The report page: one self-contained HTML document with a summary of the
// run, its warnings, nine inline SVG plots of the records and spectra, and
// the ground motion: a table of measures, the response spectra and the
// Fourier amplitude spectra of the input and, when it is still an
// acceleration, of the processed record; and, for a corrected record, its
// signal and noise.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/units.h"
#include "report/analysis.h"
#include "report/correction.h"
#include "report/motion.h"
#include "report/runfiles.h"

namespace wavefft::report {

/// Width of one plot in the page, pixels.
inline constexpr int kPlotWidth = 420;
inline constexpr int kPlotHeight = 210;

/// Unit of the input record, of the processed waveform and of the spectrum,
/// as the axes show them: the record's unit times the seconds the operation
/// and the transform add, in its short form. Without a unit (or with one
/// that is no acceleration), "u" stands for it: "u·s" for the spectrum of
/// an unprocessed record, "u·s²" after a single integration. With one:
/// g -> "g", "g·s", "g·s²"; gal -> "gal", "gal·s"; m_s2 -> "m/s²", "m/s",
/// "m"; mm_s2 -> "mm/s²", "mm/s". An operation that could not be told
/// gives "·sⁿ" after the unit ("u·sⁿ", "m/s²·sⁿ").
std::string input_unit(std::optional<common::Unit> unit = std::nullopt);
std::string waveform_unit(Operation op, std::optional<common::Unit> unit = std::nullopt);
std::string spectrum_unit(Operation op, std::optional<common::Unit> unit = std::nullopt);

/// Colours of comp1 to comp3 in every plot, and of a curve derived from
/// them (RotD50, EAS).
inline constexpr const char* kComponentColours[3] = {"#1f5fa8", "#b8332b", "#2b8a3e"};
inline constexpr const char* kDerivedColour = "#222";

/// The names of the components on the page: the channel names of `motion`
/// when it has them, else "comp1" to "comp3".
std::array<std::string, 3> component_names(const Motion& motion);

/// Width and height of a response-spectrum or FAS plot, pixels.
inline constexpr int kSpectrumPlotWidth = 420;
inline constexpr int kSpectrumPlotHeight = 260;

/// The warnings of the page, in its order: those of `analysis`, of
/// `motion`, then of `correction`.
std::vector<Warning> page_warnings(const Analysis& analysis, const Motion& motion,
                                   const CorrectionView& correction = CorrectionView{});

/// The whole page. `generator` names the program in the footer. The
/// warnings are those of page_warnings. The
/// axes of the nine plots carry the unit of `motion` ("u" without one), and
/// their titles the channel names of `motion` ("NS input") when it has
/// them, else "comp1 input". Without a unit in `motion`, the ground-motion
/// section is one line saying how to give one. Response-spectrum plots have
/// the ids "psa-input" and "psa-processed", four traces each (comp1 to
/// comp3 and the dashed RotD50); below them, in a row of their own, the
/// FAS plots "fas-input" and "fas-processed" (report/fas_plot.h) of the
/// records that have Fourier spectra, and a sentence on what they show.
/// With a summary in `correction`, the onset is marked on the input plots
/// and the section "Signal and noise" (report/correction_page.h) follows
/// the nine plots; an empty `correction` changes nothing.
std::string render_page(const RunFiles& run, const Analysis& analysis, const std::string& generator,
                        const Motion& motion = Motion{}, const CorrectionView& correction = CorrectionView{});

}  // namespace wavefft::report
