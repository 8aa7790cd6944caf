// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/correction.h"

#include <array>
#include <cmath>
#include <exception>
#include <span>
#include <system_error>
#include <utility>

#include "common/files.h"
#include "records/record.h"
#include "report/motion.h"

namespace wavefft::report {
namespace {

namespace fs = std::filesystem;

// The warning of everything that goes wrong here.
Warning correction_warning(std::string title, std::string text) {
  return {"correction", std::move(title), std::move(text)};
}

// The summary in `path`, or nothing and a warning in `view` when it cannot
// be read or is not a summary.
std::optional<correct::Summary> read_summary(const fs::path& path, CorrectionView& view) {
  const std::string ending = " The page shows the run without its correction.";
  std::string text;
  common::FileFault fault;
  if (!common::read_file(path, text, fault)) {
    view.warnings.push_back(correction_warning(
        "Correction summary unreadable", path.filename().string() + ": cannot be read: " + fault.reason + "." + ending));
    return std::nullopt;
  }
  try {
    return correct::parse_summary(text, path.filename().string());
  } catch (const correct::SummaryError& e) {
    view.warnings.push_back(correction_warning("Correction summary unreadable", std::string(e.what()) + "." + ending));
  }
  return std::nullopt;
}

// Why the summary `s` leaves no noise to compare the signal with; "" when
// it leaves enough.
std::string noise_missing(const correct::Summary& s) {
  if (!s.onset_s) return "No onset was found, so there is no pre-event noise to compare the signal with.";
  if (!(s.noise_s >= correct::kUsableNoiseSeconds)) {
    return "Only " + num(s.noise_s) + " s of pre-event noise, less than the " + num(correct::kUsableNoiseSeconds) +
           " s a signal-to-noise ratio needs.";
  }
  return "";
}

// The raw record at `path` when it fits a run of `records` samples at
// `dt`; otherwise nothing, and a warning in `view`.
std::optional<records::RecordFile> read_raw(const fs::path& path, std::size_t records, double dt, CorrectionView& view) {
  const std::string name = path.filename().string();
  const std::string ending = " No signal and noise spectra.";
  records::RecordFile raw;
  try {
    raw = records::read_record_file(path);
  } catch (const records::RecordError& e) {
    view.warnings.push_back(correction_warning("Raw record unreadable", std::string(e.what()) + "." + ending));
    return std::nullopt;
  }
  if (raw.kind != records::RecordFile::Kind::input_layout) {
    view.warnings.push_back(
        correction_warning("Raw record unreadable", name + ": a waveform file, not a record in the input layout." + ending));
    return std::nullopt;
  }
  const std::size_t n = raw.comp[0].size();
  if (n != records || !agrees_with_echo(raw.dt, std::fabs(dt))) {
    view.warnings.push_back(correction_warning(
        "Raw record does not fit the run", name + " holds " + std::to_string(n) + " samples at " + num(raw.dt, 6) +
                                               " s, fort.99 " + std::to_string(records) + " records at " +
                                               num(std::fabs(dt), 6) + " s: not the record this run corrected." +
                                               ending));
    return std::nullopt;
  }
  return raw;
}

// The spectra of signal and noise of `raw` with the onset of `s`, or a
// warning in `view` when the onset lies outside it or they cannot be made.
void make_spectra(const records::RecordFile& raw, const correct::Summary& s, CorrectionView& view) {
  const std::size_t n = raw.comp[0].size();
  const double onset = std::round(*s.onset_s / raw.dt);
  if (!(onset >= 1.0 && onset < static_cast<double>(n))) {
    view.warnings.push_back(correction_warning(
        "Onset outside the raw record", std::string(kSummaryFile) + " puts the onset at " + num(*s.onset_s, 6) +
                                            " s, outside the " + std::to_string(n) + " samples at " + num(raw.dt, 6) +
                                            " s of " + kRawRecordFile + ". No signal and noise spectra."));
    return;
  }
  const std::array<std::span<const double>, 3> a{raw.comp[0], raw.comp[1], raw.comp[2]};
  try {
    correct::NoiseSpectra spectra = correct::noise_spectra(a, raw.dt, static_cast<std::size_t>(onset));
    if (!spectra.signal[0].empty()) view.spectra = std::move(spectra);
  } catch (const std::exception& e) {
    view.warnings.push_back(correction_warning("No signal and noise spectra", std::string(e.what()) + "."));
  }
}

}  // namespace

CorrectionView read_correction(const fs::path& dir, std::size_t records, double dt) {
  CorrectionView view;
  std::error_code ec;
  const fs::path summary_path = dir / kSummaryFile;
  if (!fs::exists(summary_path, ec)) return view;
  view.summary = read_summary(summary_path, view);
  if (!view.summary) return view;
  view.no_spectra = noise_missing(*view.summary);
  if (!view.no_spectra.empty()) return view;
  const fs::path raw_path = dir / kRawRecordFile;
  if (!fs::exists(raw_path, ec)) {
    view.no_spectra = std::string("The raw record, ") + kRawRecordFile + ", is not in the folder.";
    return view;
  }
  if (const auto raw = read_raw(raw_path, records, dt, view)) make_spectra(*raw, *view.summary, view);
  if (!view.spectra) view.no_spectra = "The spectra could not be made; the warnings say why.";
  return view;
}

}  // namespace wavefft::report
