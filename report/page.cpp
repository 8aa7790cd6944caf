// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/page.h"

#include <cassert>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/html.h"
#include "common/units.h"
#include "report/correction_page.h"
#include "report/fas_plot.h"
#include "report/parallel.h"
#include "report/svg.h"

namespace wavefft::report {
namespace {

using common::escape_html;

const char* const kStyle =
    "body{font-family:sans-serif;font-size:14px;color:#222;margin:16px 24px;max-width:1320px}"
    "h1{font-size:20px;margin:0 0 10px}h2{font-size:16px;margin:18px 0 6px}"
    "table.summary{border-collapse:collapse}table.summary th{text-align:left;font-weight:normal;color:#555;"
    "padding:2px 16px 2px 0;vertical-align:top}table.summary td{padding:2px 0}"
    "ul.warnings{margin:4px 0;padding-left:20px}ul.warnings li{margin:3px 0;color:#7a3b00}"
    ".plots{display:grid;grid-template-columns:repeat(3,auto);gap:6px 10px;justify-content:start}"
    ".head{font-weight:bold;font-size:13px;color:#444}"
    "svg.plot{font-size:10px;background:#fff}svg.plot text{fill:#333}svg.plot .title{font-weight:bold;font-size:11px}"
    "svg.plot .grid{stroke:#e4e4e4}svg.plot .frame{fill:none;stroke:#999}"
    "svg.plot .trace{fill:none;stroke-width:1}svg.plot .faint{stroke-opacity:.3}"
    "svg.plot .band{fill:#f6d96b;fill-opacity:.35}"
    "svg.plot .marker{stroke:#b8332b;stroke-dasharray:4 3}svg.plot .note{fill:#999}"
    "p.foot{color:#777;font-size:12px;margin-top:16px}code{font-size:13px}"
    "table.measures{border-collapse:collapse;font-size:13px}table.measures th,table.measures td{padding:2px 10px;"
    "text-align:right;border-bottom:1px solid #e4e4e4}table.measures th{font-weight:normal;color:#555}"
    "table.measures td.name{text-align:left}p.no-unit,p.skipped,p.fas-note{color:#555}"
    "p.fas-note{font-size:12px;max-width:860px}";

// The measures of one component as table cells, in the order of the header.
std::string measure_cells(const measures::Measures& m) {
  auto cell = [](const std::optional<double>& v) { return "<td>" + (v ? num(*v) : std::string("\u2013")) + "</td>"; };
  return cell(m.pga) + cell(m.pgv) + cell(m.pgd) + cell(m.arias) + cell(m.cav) + cell(m.d5_75) + cell(m.d5_95);
}

// The FAS plots of the records that have Fourier spectra, in a row of
// their own, and what they show; "" when none has.
std::string fas_row(const Motion& m) {
  const std::array<std::string, 3> names = component_names(m);
  std::string plots;
  for (const RecordMotion& r : m.records) plots += fas_plot(r, names);
  if (plots.empty()) return "";
  return "<div class=\"plots\">" + plots + "</div>\n<p class=\"fas-note\">" + escape_html(fas_caption(names)) +
         "</p>\n";
}

// The ground-motion section: the table of measures, the response spectra
// and the Fourier spectra, or the one line that says how to get them.
std::string ground_motion_section(const Motion& m) {
  std::string h = "<h2>Ground motion</h2>\n";
  if (!m.unit) {
    return h + "<p class=\"no-unit\">No measures, response spectra or Fourier spectra: the unit of the record is "
               "unknown; give it with <code>--unit U</code> (g, gal, m_s2 or mm_s2), or keep the input file, with its "
               "unit as the fourth header word, in the run folder (or name it with <code>--input FILE</code>).</p>\n";
  }
  for (const std::string& line : m.skipped) h += "<p class=\"skipped\">" + escape_html(line) + "</p>\n";
  if (m.records.empty()) return h;
  h += "<table class=\"measures\"><tr><th></th><th></th><th>PGA (g)</th><th>PGV (cm/s)</th><th>PGD (cm)</th>"
       "<th>Arias (m/s)</th><th>CAV (m/s)</th><th>D5-75 (s)</th><th>D5-95 (s)</th></tr>";
  for (const RecordMotion& r : m.records) {
    for (std::size_t c = 0; c < 3; ++c) {
      h += "<tr data-record=\"" + escape_html(r.label) + "\" data-comp=\"" + std::to_string(c + 1) + "\"><td class=\"name\">" +
           (c == 0 ? escape_html(r.label + " (" + r.source + ")") : std::string()) + "</td><td class=\"name\">comp" +
           std::to_string(c + 1) + "</td>" + measure_cells(r.measures[c]) + "</tr>";
    }
  }
  h += "</table>\n<div class=\"plots\">";
  for (const RecordMotion& r : m.records) {
    Plot p;
    p.id = "psa-" + r.label;
    p.title = r.label + " PSA, " + num(kSpectrumDamping * 100.0) + "% damping";
    p.x_label = "period (s)";
    p.y_label = "g";
    p.log_x = p.log_y = true;
    p.log_y_decades = 4.0;
    const auto periods = measures::nga_west2_periods();
    if (!periods.empty()) p.x_range = std::make_pair(periods.front(), periods.back());
    p.width = kSpectrumPlotWidth;
    p.height = kSpectrumPlotHeight;
    std::vector<Trace> traces(4);
    for (std::size_t c = 0; c < 4; ++c) {
      traces[c].colour = c < 3 ? kComponentColours[c] : kDerivedColour;
      traces[c].label = c < 3 ? "comp" + std::to_string(c + 1) : "RotD50";
      traces[c].dashed = c == 3;
      for (const measures::SpectrumRow& row : r.spectra) {
        traces[c].points.push_back({row.period, c < 3 ? row.psa[c] : row.rotd50});
      }
    }
    h += render_plot(p, traces);
  }
  h += "</div>\n";
  return h + fas_row(m);
}

std::string every_kth(std::size_t k) {
  if (k == 1) return "every sample";
  return "every " + ordinal(k) + " sample";
}

std::string row(const std::string& head, const std::string& html) {
  return "<tr><th>" + escape_html(head) + "</th><td>" + html + "</td></tr>";
}

// Seconds to the power p as a unit's ending: -2 -> "/s²", 0 -> "", 1 -> "·s", 3 -> "·s³".
std::string seconds(int p) {
  static const char* const kPowers[] = {"", "", "\u00b2", "\u00b3"};
  assert(p >= -3 && p <= 3);
  if (p == 0) return "";
  return (p < 0 ? "/s" : "\u00b7s") + std::string(kPowers[p < 0 ? -p : p]);
}

// The record's unit times s^p in its short form: (g, 1) -> "g·s",
// (m_s2, 1) -> "m/s" (m·s^-2 times s), (mm_s2, 2) -> "mm", (nothing, 2) -> "u·s²".
std::string times_seconds(std::optional<common::Unit> unit, int p) {
  if (unit == common::Unit::g) return "g" + seconds(p);
  if (unit == common::Unit::gal) return "gal" + seconds(p);
  if (unit == common::Unit::m_s2) return "m" + seconds(p - 2);
  if (unit == common::Unit::mm_s2) return "mm" + seconds(p - 2);
  return "u" + seconds(p);
}

std::vector<Point> points(const std::vector<double>& x, const std::vector<double>& y) {
  std::vector<Point> p(std::min(x.size(), y.size()));
  for (std::size_t i = 0; i < p.size(); ++i) p[i] = {x[i], y[i]};
  return p;
}

// The summary rows of what the run read, did and wrote.
std::string processing_rows(const RunFiles& run, const Analysis& a) {
  const std::string wave = run.wave_path.filename().string();
  const Series& out = run.output.series;
  const Spectrum& sp = run.spectrum;
  std::string h;
  {
    std::string v = std::to_string(a.nt) + " records, dt " + num(a.dt, 6) + " s";
    if (a.nt >= 1) v += ", " + num(static_cast<double>(a.nt) * a.dt, 6) + " s long";
    h += row("Input (fort.99)", escape_html(v));
  }
  if (a.nf != 0) {
    std::string v = std::to_string(a.nf);
    if (a.nf > a.nt) {
      v += " (" + std::to_string(a.nf - a.nt) + " zeros padded)";
    } else if (a.nf == a.nt) {
      v += " (no padding)";
    }
    h += row("Transform length", escape_html(v));
  }
  {
    std::string v = std::to_string(sp.size()) + " lines";
    if (sp.df != 0.0) {
      v += ", step " + num(sp.df) + " Hz, up to " + num(sp.freq.back()) + " Hz";
    }
    if (sp.overflowed_freq > 0) {
      v += "; " + std::to_string(sp.overflowed_freq) + " frequencies too wide for their field, taken from the grid";
    }
    h += row("Spectrum (amp3.csv)", escape_html(v));
  }
  h += row("Operation", escape_html(a.op == Operation::Unknown ? "could not be told from the files" : operation_name(a.op)));
  {
    std::string v = "no band-pass filter seen (no removed lines at the ends of the spectrum)";
    if (a.band.found) {
      v = "lines from " + num(a.band.f_lo) + " to " + num(a.band.f_hi) + " Hz kept";
      if (a.band.flat_known) v += ", gain 1 from " + num(a.band.flat_lo) + " to " + num(a.band.flat_hi) + " Hz";
    }
    h += row("Pass band", escape_html(v));
  }
  {
    std::string v = wave + ": " + std::to_string(out.size()) + " rows";
    if (a.step >= 1) v += ", " + every_kth(a.step) + " (step " + num(static_cast<double>(a.step) * std::fabs(a.dt), 6) + " s)";
    if (run.output.overflowed_time > 0) {
      v += "; " + std::to_string(run.output.overflowed_time) + " times too wide for their field, extrapolated";
    }
    h += row("Waveform file", escape_html(v));
  }
  return h;
}

// The summary rows of the input record: which file, its components, its unit.
std::string record_rows(const Motion& motion) {
  std::string h;
  {
    std::string v = "none found in the folder (name it with --input FILE)";
    if (!motion.input_name.empty()) {
      v = motion.input_name + (motion.input_named ? " (named with --input)" : " (found in the folder)");
    }
    h += row("Input record", escape_html(v));
  }
  if (!motion.channels[0].empty()) {
    // {"NS", "EW", "UD"} -> "comp1 NS, comp2 EW, comp3 UD (titles in rec.txt)"
    std::string v;
    for (std::size_t c = 0; c < 3; ++c) {
      v += (c == 0 ? "comp" : ", comp") + std::to_string(c + 1) + " " + motion.channels[c];
    }
    h += row("Components", escape_html(v + " (titles in " + motion.input_name + ")"));
  }
  {
    std::string v = "unknown (give it with --unit)";
    if (motion.unit) {
      v = std::string(common::unit_word(*motion.unit)) + " (from " + motion.unit_from + ")";
      if (!motion.unit_note.empty()) v += "; " + motion.unit_note;
    }
    h += row("Unit", escape_html(v));
  }
  return h;
}

// The warnings of the page.
std::string warnings_section(const std::vector<Warning>& warnings) {
  std::string h;
  h += "<h2>Warnings</h2>\n";
  if (warnings.empty()) {
    h += "<p class=\"no-warnings\">None.</p>\n";
  } else {
    h += "<ul class=\"warnings\">";
    for (const Warning& w : warnings) {
      h += "<li data-warning=\"" + escape_html(w.kind) + "\"><b>" + escape_html(w.title) + ".</b> " + escape_html(w.text) +
           "</li>";
    }
    h += "</ul>\n";
  }
  return h;
}

// The files the page was made from: "fort.99, amp3.csv and acc.csv", with
// those of a correction after them.
std::string source_files(const std::string& wave, const CorrectionView& correction) {
  std::vector<std::string> files{"fort.99", "amp3.csv", wave};
  if (correction.summary) files.emplace_back(kSummaryFile);
  if (correction.spectra) files.emplace_back(kRawRecordFile);
  std::string t = files.front();
  for (std::size_t i = 1; i < files.size(); ++i) t += (i + 1 == files.size() ? " and " : ", ") + files[i];
  return t;
}

// The times to plot the processed rows at. The time column repeats the
// input times of the rows kept (from the start again after a cut, 0 past
// the end of the record); with a known step k the rows are plotted on
// their regular axis instead: first time + j k dt.
std::vector<double> row_times(const Series& out, const Analysis& a) {
  std::vector<double> t = out.time;
  if (a.step >= 1 && !t.empty()) {
    for (std::size_t j = 0; j < t.size(); ++j) t[j] = out.time[0] + static_cast<double>(j * a.step) * a.dt;
  }
  return t;
}

// A plot of one component against time, in the component's colour, with
// `marks` on it: ("input-comp1", "NS input", "g", ...) for the first input
// plot.
std::string time_plot(const std::string& id, const std::string& title, const std::string& y_label,
                      std::vector<Point> trace, std::size_t c, std::vector<Mark> marks = {}) {
  Plot p;
  p.marks = std::move(marks);
  p.width = kPlotWidth;
  p.height = kPlotHeight;
  p.x_label = "time (s)";
  p.id = id;
  p.title = title;
  p.y_label = y_label;
  return render_plot(p, {{std::move(trace), kComponentColours[c]}});
}

// The amplitude spectrum of component c on logarithmic axes, the pass band
// shaded and the highest frequency of the waveform file marked when the
// analysis found them.
std::string spectrum_plot(const Spectrum& sp, const Analysis& a, const Motion& motion, std::size_t c,
                          const std::string& name) {
  Plot s;
  s.width = kPlotWidth;
  s.height = kPlotHeight;
  s.id = "spectrum-comp" + std::to_string(c + 1);
  s.title = name + " amplitude";
  s.x_label = "frequency (Hz)";
  s.y_label = spectrum_unit(a.op, motion.unit);
  s.log_x = s.log_y = true;
  if (a.band.found) {
    s.band = std::make_pair(a.band.f_lo, a.band.f_hi);
    s.band_label = "pass band: lines from " + num(a.band.f_lo) + " to " + num(a.band.f_hi) + " Hz kept";
  }
  if (a.alias_freq > 0.0) {
    s.marker = a.alias_freq;
    s.marker_label = "1/(2\u00b7k\u00b7dt) = " + num(a.alias_freq) + " Hz: the highest frequency the waveform file holds";
  }
  std::vector<double> f(sp.freq.size());
  for (std::size_t i = 0; i < f.size(); ++i) f[i] = std::fabs(sp.freq[i]);
  return render_plot(s, {{points(f, sp.amp[c]), kComponentColours[c]}});
}

// The nine plots, one row per component: input (the onset of `correction`
// marked), processed waveform, spectrum.
std::string record_plots(const RunFiles& run, const Analysis& a, const Motion& motion,
                         const CorrectionView& correction) {
  const std::string wave = run.wave_path.filename().string();
  const Series& in = run.input;
  const Series& out = run.output.series;
  const std::vector<double> out_time = row_times(out, a);
  std::string h = "<h2>Plots</h2>\n<div class=\"plots\">";
  h += "<div class=\"head\">Input (fort.99)</div><div class=\"head\">Processed (" + escape_html(wave) +
       ")</div><div class=\"head\">Amplitude spectrum (amp3.csv)</div>";
  const std::array<std::string, 3> names = component_names(motion);
  const std::vector<Mark> onset = in.time.empty() ? std::vector<Mark>{} : onset_marks(correction, in.time.front());
  for (std::size_t c = 0; c < 3; ++c) {
    const std::string comp = "comp" + std::to_string(c + 1);
    h += time_plot("input-" + comp, names[c] + " input", input_unit(motion.unit), points(in.time, in.comp[c]), c,
                   onset);
    h += time_plot("output-" + comp, names[c] + " processed", waveform_unit(a.op, motion.unit),
                   points(out_time, out.comp[c]), c);
    h += spectrum_plot(run.spectrum, a, motion, c, names[c]);
  }
  return h + "</div>\n";
}

}  // namespace

std::array<std::string, 3> component_names(const Motion& motion) {
  std::array<std::string, 3> names;
  for (std::size_t c = 0; c < 3; ++c) {
    names[c] = motion.channels[c].empty() ? "comp" + std::to_string(c + 1) : motion.channels[c];
  }
  return names;
}

std::string input_unit(std::optional<common::Unit> unit) { return times_seconds(unit, 0); }

std::string waveform_unit(Operation op, std::optional<common::Unit> unit) {
  if (op == Operation::Unknown) return input_unit(unit) + "\u00b7s\u207f";
  // Integration divides by i omega: one second more.
  return times_seconds(unit, -omega_power(op));
}

std::string spectrum_unit(Operation op, std::optional<common::Unit> unit) {
  if (op == Operation::Unknown) return input_unit(unit) + "\u00b7s\u207f";
  // The transform times dt: one second more than the waveform.
  return times_seconds(unit, 1 - omega_power(op));
}

std::vector<Warning> page_warnings(const Analysis& a, const Motion& motion, const CorrectionView& correction) {
  std::vector<Warning> warnings = a.warnings;
  warnings.insert(warnings.end(), motion.warnings.begin(), motion.warnings.end());
  warnings.insert(warnings.end(), correction.warnings.begin(), correction.warnings.end());
  return warnings;
}

std::string render_page(const RunFiles& run, const Analysis& a, const std::string& generator, const Motion& motion,
                        const CorrectionView& correction) {
  std::error_code ec;
  const auto full = std::filesystem::weakly_canonical(std::filesystem::absolute(run.dir, ec), ec);
  const std::string dir = ec ? run.dir.string() : full.string();
  const std::string wave = run.wave_path.filename().string();

  std::string h;
  h += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">";
  h += "<meta name=\"generator\" content=\"" + escape_html(generator) + "\">";
  h += "<title>wavefft report: " + escape_html(dir) + "</title><style>";
  h += kStyle;
  if (correction.summary) h += kCorrectionStyle;
  h += "</style></head>\n<body>\n<h1>wavefft run in <code>" + escape_html(dir) + "</code></h1>\n";
  h += "<table class=\"summary\">" + processing_rows(run, a) + record_rows(motion) + "</table>\n";
  h += warnings_section(page_warnings(a, motion, correction));
  // The plots of the records beside those of the spectra: each half of the
  // page's drawing.
  std::string plots, spectra;
  run_both([&] { plots = record_plots(run, a, motion, correction); },
           [&] { spectra = signal_noise_section(correction) + ground_motion_section(motion); });
  h += plots;
  h += spectra;
  h += "<p class=\"foot\">";
  if (!motion.unit) h += "u: the unit of the input record. ";
  h += "Spectrum lines of amplitude zero are drawn on the lower edge; the shaded range is the pass band, the dashed "
       "line the highest frequency left after keeping every k-th sample. Made by " +
       escape_html(generator) + " from " + escape_html(source_files(wave, correction)) + ".</p>\n";
  h += "</body></html>\n";
  return h;
}

}  // namespace wavefft::report
