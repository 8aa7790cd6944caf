// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/correction_page.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/html.h"
#include "common/units.h"
#include "report/analysis.h"
#include "report/log_plot.h"
#include "report/page.h"

namespace wavefft::report {
namespace {

using common::escape_html;

// The colour of the noise in every signal and noise plot.
constexpr const char* kNoiseColour = "#777";

// A component's name on the page: its title in the summary, else "comp1" ...
std::string component_name(const correct::Summary& s, std::size_t c) {
  return s.components[c].title.empty() ? "comp" + std::to_string(c + 1) : s.components[c].title;
}

// "drift, residual", or "none".
std::string flags_text(const std::vector<std::string>& flags) {
  std::string t;
  for (const std::string& f : flags) t += (t.empty() ? "" : ", ") + f;
  return t.empty() ? "none" : t;
}

// The sentence on the onset and the noise before it, and what the flags
// mean.
std::string section_note(const correct::Summary& s) {
  std::string t = std::string("From ") + kSummaryFile + ": ";
  if (s.onset_s) {
    t += "the onset at " + num(*s.onset_s, 6) + " s after the first sample, " + num(s.noise_s, 6) +
         " s of pre-event noise before it.";
  } else {
    t += "no onset was found.";
  }
  return t + " Flags: no-noise (corners chosen without usable noise), low-snr (the ratio is below 3 at 1 Hz), "
             "drift (the displacement still drifts with the high-pass at its limit), residual (velocity or "
             "displacement left in the last second).";
}

// What the plots show.
std::string plots_note() {
  return std::string("The Fourier amplitudes of the raw record (") + kRawRecordFile +
         "), Konno-Ohmachi smoothed: the signal from the onset to the end, and the noise before the onset scaled "
         "by \u221a(signal samples / noise samples), dashed; the vertical lines are the corners of the band-pass.";
}

// The table of corners and flags, a row per component.
std::string corners_table(const correct::Summary& s) {
  std::string h = "<table class=\"measures\"><tr><th></th><th>high-pass (Hz)</th><th>low-pass (Hz)</th>"
                  "<th class=\"name\">corners</th><th class=\"name\">flags</th></tr>";
  for (std::size_t c = 0; c < 3; ++c) {
    const correct::SummaryComponent& k = s.components[c];
    h += "<tr data-comp=\"" + std::to_string(c + 1) + "\"><td class=\"name\">" + escape_html(component_name(s, c)) +
         "</td><td>" + num(k.highpass_hz) + "</td><td>" + (k.lowpass_hz ? num(*k.lowpass_hz) : "none") +
         "</td><td class=\"name\">" + escape_html(corners_text(k.corners)) + "</td><td class=\"name\">" +
         escape_html(flags_text(k.flags)) + "</td></tr>";
  }
  return h + "</table>\n";
}

// The three plots, each with its corners and flags under it.
std::string snr_plots(const correct::Summary& s, const correct::NoiseSpectra& spectra) {
  const std::optional<common::Unit> unit = common::parse_acceleration_unit(s.unit);
  const std::string y_label = spectrum_unit(Operation::None, unit);
  std::string h = "<div class=\"plots\">";
  for (std::size_t c = 0; c < 3; ++c) {
    const correct::SummaryComponent& k = s.components[c];
    h += "<div>" + snr_plot(spectra.signal[c], spectra.noise[c], k, c, component_name(s, c), y_label) +
         "<p class=\"snr-flags\" data-comp=\"" + std::to_string(c + 1) + "\">corners: " +
         escape_html(corners_text(k.corners)) + "; flags: " + escape_html(flags_text(k.flags)) + "</p></div>";
  }
  return h + "</div>\n";
}

}  // namespace

std::vector<Mark> onset_marks(const CorrectionView& view, double first_time) {
  if (!view.summary || !view.summary->onset_s) return {};
  const double onset = *view.summary->onset_s;
  return {{first_time + onset, "onset", "onset at " + num(onset, 6) + " s (" + kSummaryFile + ")"}};
}

std::string corners_text(const std::string& corners) {
  if (corners == "snr") return "from the signal-to-noise ratio";
  if (corners == "fallback") return "fallback (no usable noise, or a low ratio at 1 Hz)";
  return corners;
}

std::string snr_plot(std::span<const double> signal, std::span<const double> noise,
                     const correct::SummaryComponent& comp, std::size_t c, const std::string& name,
                     const std::string& y_label) {
  const std::span<const double> f = correct::snr_frequencies();
  Plot p = spectrum_frame("snr-comp" + std::to_string(c + 1), name + " signal and noise", y_label, f.front(),
                          f.back(), kSnrDecades);
  p.marks.push_back({comp.highpass_hz, "high-pass " + num(comp.highpass_hz) + " Hz",
                     "high-pass corner: " + num(comp.highpass_hz) + " Hz"});
  if (comp.lowpass_hz) {
    p.marks.push_back({*comp.lowpass_hz, "low-pass " + num(*comp.lowpass_hz) + " Hz",
                       "low-pass corner: " + num(*comp.lowpass_hz) + " Hz"});
  }
  return render_plot(p, {smoothed_trace(f, signal, kComponentColours[c], "signal"),
                         smoothed_trace(f, noise, kNoiseColour, "noise", true)});
}

std::string signal_noise_section(const CorrectionView& view) {
  if (!view.summary) return "";
  const correct::Summary& s = *view.summary;
  std::string h = "<h2>Signal and noise</h2>\n<p class=\"snr-note\">" + escape_html(section_note(s)) + "</p>\n";
  h += corners_table(s);
  if (view.spectra) return h + snr_plots(s, *view.spectra) + "<p class=\"snr-note\">" + escape_html(plots_note()) + "</p>\n";
  return h + "<p class=\"snr-none\">No signal and noise plots: " + escape_html(view.no_spectra) + "</p>\n";
}

}  // namespace wavefft::report
