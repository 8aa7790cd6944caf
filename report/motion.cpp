// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/motion.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "common/numbers.h"
#include "report/handed_motion.h"
#include "report/parallel.h"

namespace wavefft::report {
namespace {

namespace fs = std::filesystem;
using common::Unit;

// Beyond this (m/s^2) a record is not a ground motion: its squares and
// integrals would leave the double range long before the durations could
// be told.
constexpr double kLargestAcceleration = 1e100;

// The input layout puts a header line and a line of column titles before
// the first sample; fort.99 starts with it.
constexpr std::size_t kInputLayoutHeaderLines = 2;

// The echo file of a run.
constexpr const char* kEchoName = "fort.99";

double echo_dt(const Series& echo) { return echo.size() >= 2 ? echo.time[1] - echo.time[0] : 0.0; }

// Number of blank-separated words on the first line of `path`, at most 5
// (5 meaning "more than four"); 0 when the file cannot be read.
std::size_t first_line_words(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) return 0;
  std::size_t words = 0;
  bool in_word = false;
  for (const char c : line) {
    const bool blank = c == ' ' || c == '\t' || c == '\r';
    if (!blank && !in_word && ++words > 4) return 5;
    in_word = !blank;
  }
  return words;
}

// Displays a value with enough digits to tell it from its neighbour.
std::string full(double v) { return common::significant(v, 9); }

// The component values of one record in m/s^2; false (and a sentence in
// `why`) when some value cannot be a ground motion.
bool to_si(const std::array<std::vector<double>, 3>& comp, Unit unit, std::array<std::vector<double>, 3>& si,
           std::string& why) {
  for (std::size_t c = 0; c < 3; ++c) {
    si[c] = comp[c];
    if (!measures::scale_to_m_s2(si[c], unit)) {
      why = "is in " + std::string(common::unit_word(unit)) + ", no acceleration unit";
      return false;
    }
    for (std::size_t i = 0; i < si[c].size(); ++i) {
      if (!std::isfinite(si[c][i]) || std::fabs(si[c][i]) > kLargestAcceleration) {
        why = "comp" + std::to_string(c + 1) + " sample " + std::to_string(i + 1) + " is " + full(comp[c][i]);
        return false;
      }
    }
  }
  return true;
}

// The measures and spectra of one record in m/s^2. Fourier spectra that
// cannot be had (an amplitude beyond the double range: values near the
// largest allowed over a long record, or an enormous dt) leave r.fas empty
// and the reason in `why`.
RecordMotion measure(const MeasuredRecord& rec, unsigned threads, std::string& why) {
  RecordMotion r;
  r.label = rec.label;
  r.source = rec.source;
  r.dt = rec.dt;
  for (std::size_t c = 0; c < 3; ++c) r.measures[c] = measures::ground_motion(rec.si[c], rec.dt);
  const std::array<std::span<const double>, 3> spans{rec.si[0], rec.si[1], rec.si[2]};
  const double damping[] = {kSpectrumDamping};
  r.spectra = measures::response_spectra(spans, rec.dt, measures::nga_west2_periods(), damping, threads);
  try {
    r.fas = measures::fourier_spectra(spans, rec.dt, measures::fas_frequencies(), measures::Smoothing{}, threads);
  } catch (const std::invalid_argument& e) {
    why = e.what();
  }
  return r;
}

// The records the page measures, and in the page's order for each record
// either its index in `records` or the sentence saying why it has no
// measures.
struct ToMeasure {
  std::vector<MeasuredRecord> records;
  struct Entry {
    std::optional<std::size_t> record;
    std::string skipped;
  };
  std::vector<Entry> entries;
  void add(MeasuredRecord r) {
    entries.push_back({records.size(), ""});
    records.push_back(std::move(r));
  }
  void skip(std::string why) { entries.push_back({std::nullopt, std::move(why)}); }
};

// The motion of every record of `t` into `m`, in the page's order: from
// its files when `handed` has files of it (report/handed_motion.h), else
// computed, with the line saying why a computed one has no Fourier spectra
// when it has none.
void add_records(Motion& m, const ToMeasure& t, std::span<const MeasuresFiles> handed, unsigned threads) {
  const std::vector<std::size_t> match = match_records(t.records, handed);
  // The records with files, the first beside the others.
  std::vector<std::optional<RecordMotion>> from_files(t.records.size());
  auto take = [&](std::size_t i) { from_files[match[i]] = handed_motion(t.records[match[i]], handed[i]); };
  if (!match.empty()) {
    run_both([&] { take(0); },
             [&] {
               for (std::size_t i = 1; i < match.size(); ++i) take(i);
             });
  }
  for (const ToMeasure::Entry& e : t.entries) {
    if (!e.record) {
      m.skipped.push_back(e.skipped);
      continue;
    }
    const MeasuredRecord& r = t.records[*e.record];
    if (from_files[*e.record]) {
      m.records.push_back(std::move(*from_files[*e.record]));
      continue;
    }
    std::string why;
    m.records.push_back(measure(r, threads, why));
    if (!m.records.back().fas) {
      const std::string whose = r.label == "input" ? "The input" : "The processed record";
      m.skipped.push_back(whose + " has no Fourier spectra: " + why + ".");
    }
  }
}

// Components whose displacement drifts ("comp1, comp3"); empty when none.
// `integrations` is how often each component is integrated to reach the
// displacement. The test does not depend on the scale of the values, so the
// sample interval is taken as 1.
std::string drifting(const std::array<std::vector<double>, 3>& comp, int integrations) {
  std::string names;
  for (std::size_t c = 0; c < 3; ++c) {
    std::vector<double> d = comp[c];
    for (int k = 0; k < integrations; ++k) d = integrate(d, 1.0);
    if (drifts(d)) names += (names.empty() ? "comp" : ", comp") + std::to_string(c + 1);
  }
  return names;
}

}  // namespace

bool agrees_with_echo(double file_value, double echo_value) {
  return std::fabs(file_value - echo_value) <= kEchoTolerance * std::max(std::fabs(file_value), std::fabs(echo_value));
}

std::size_t first_disagreement(const records::RecordFile& file, const Series& echo) {
  const std::size_t n = file.comp[0].size();
  const std::size_t common = std::min(n, echo.size());
  for (std::size_t i = 0; i < common; ++i) {
    for (std::size_t c = 0; c < 3; ++c) {
      if (!agrees_with_echo(file.comp[c][i], echo.comp[c][i])) return i + 1;
    }
  }
  if (n != echo.size()) return common + 1;
  // Both hold at least two samples here (parse_record needs two).
  if (!agrees_with_echo(file.dt, echo_dt(echo))) return 2;
  return 0;
}

std::optional<InputRecord> find_input_record(const fs::path& dir, const Series& echo, const std::vector<fs::path>& skip) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return std::nullopt;
  std::vector<fs::path> names;
  for (const auto& entry : it) {
    std::error_code fec;
    if (!entry.is_regular_file(fec)) continue;
    const fs::path& p = entry.path();
    const std::string base = p.filename().string();
    if (base == "fort.99" || base == "amp3.csv") continue;
    const bool skipped = std::any_of(skip.begin(), skip.end(), [&](const fs::path& s) {
      std::error_code sec;
      return s.filename() == p.filename() && fs::equivalent(s, p, sec);
    });
    if (skipped) continue;
    const auto size = entry.file_size(fec);
    if (fec || size > kMaxInputSearchBytes) continue;
    names.push_back(p);
  }
  std::sort(names.begin(), names.end());
  for (const fs::path& p : names) {
    // "MonteCristoRange2020 CGS54388 acceleration g" -> 4 words: a candidate;
    // " time(s),comp1, comp2, comp3" -> 4 words too, but parse_record says waveform.
    if (first_line_words(p) != 4) continue;
    try {
      records::RecordFile f = records::read_record_file(p);
      if (f.kind != records::RecordFile::Kind::input_layout) continue;
      if (first_disagreement(f, echo) != 0) continue;
      return InputRecord{p, std::move(f), false};
    } catch (const records::RecordError&) {
      continue;
    }
  }
  return std::nullopt;
}

InputRecord load_named_input(const fs::path& dir, const std::string& name) {
  const fs::path p = fs::path(name).is_absolute() ? fs::path(name) : dir / name;
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) throw FileError(p.string() + ": no such file (the input record named by --input)");
  records::RecordFile f;
  try {
    f = records::read_record_file(p);
  } catch (const records::RecordError& e) {
    throw FileError(e.what());
  }
  if (f.kind != records::RecordFile::Kind::input_layout) {
    throw FileError(p.string() + ": a waveform file, not an input record (--input names the file wavefft read)");
  }
  return InputRecord{p, std::move(f), true};
}

void check_named_input(const InputRecord& input, const Series& echo) {
  const fs::path& p = input.path;
  const records::RecordFile& f = input.file;
  const std::size_t bad = first_disagreement(f, echo);
  if (bad == 0) return;
  const std::string where = p.string() + " line " + std::to_string(bad + kInputLayoutHeaderLines) + ": ";
  const std::size_t n = f.comp[0].size();
  if (n != echo.size()) {
    throw FileError(where + "the file holds " + std::to_string(n) + " samples but fort.99 " +
                    std::to_string(echo.size()) + " records: not the input of this run");
  }
  if (bad == 2 && !agrees_with_echo(f.dt, echo_dt(echo))) {
    bool values_agree = true;
    for (std::size_t c = 0; c < 3; ++c) {
      values_agree = values_agree && agrees_with_echo(f.comp[c][1], echo.comp[c][1]);
    }
    if (values_agree) {
      throw FileError(where + "dt is " + full(f.dt) + " s but " + full(echo_dt(echo)) +
                      " s in fort.99: not the input of this run");
    }
  }
  for (std::size_t c = 0; c < 3; ++c) {
    const double v = f.comp[c][bad - 1], e = echo.comp[c][bad - 1];
    if (agrees_with_echo(v, e)) continue;
    throw FileError(where + "comp" + std::to_string(c + 1) + " is " + full(v) + " but " + full(e) + " in fort.99 line " +
                    std::to_string(bad) + ": not the input of this run");
  }
  throw FileError(where + "does not agree with fort.99: not the input of this run");
}

InputRecord read_input_record(const fs::path& dir, const std::string& name, const Series& echo) {
  InputRecord input = load_named_input(dir, name);
  check_named_input(input, echo);
  return input;
}

std::vector<double> integrate(std::span<const double> x, double dt) {
  std::vector<double> y(x.size());
  for (std::size_t i = 1; i < x.size(); ++i) y[i] = y[i - 1] + (x[i - 1] + x[i]) * dt / 2.0;
  return y;
}

bool drifts(std::span<const double> d) {
  const std::size_t n = d.size();
  if (n < 4 * kDriftWindows) return false;
  std::size_t peak = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(d[i])) return false;
    if (std::fabs(d[i]) > std::fabs(d[peak])) peak = i;
  }
  if (d[peak] == 0.0) return false;
  // n = 100: the last 5% are samples 95..99 -> peak >= 95.
  const std::size_t tail = (n + 19) / 20;
  if (peak < n - tail) return false;
  // n = 100: the last quarter is samples 75..99, 8 windows of 3 with the
  // 25th sample in the first: 75..78, 79..81, ..., 97..99.
  const std::size_t quarter = n / 4;
  const std::size_t width = quarter / kDriftWindows;
  std::size_t start = n - quarter;
  std::size_t end = start + width + quarter % kDriftWindows;
  double previous = -1.0;
  std::size_t rises = 0;
  for (std::size_t w = 0; w < kDriftWindows; ++w) {
    double top = 0.0;
    for (std::size_t i = start; i < end; ++i) top = std::max(top, std::fabs(d[i]));
    if (w > 0 && top > previous) ++rises;
    previous = top;
    start = end;
    end += width;
  }
  return rises >= kDriftRises;
}

DriftSubject drift_subject(const Analysis& a) {
  switch (a.op) {
    case Operation::Integration: return DriftSubject::ProcessedVelocity;
    case Operation::DoubleIntegration: return DriftSubject::ProcessedDisplacement;
    case Operation::None:
    case Operation::Unknown:
      // A band-pass on the acceleration has already dealt with the long
      // periods; without one, anyone integrating this record meets the drift.
      return a.band.found ? DriftSubject::None : DriftSubject::InputAcceleration;
    default: return DriftSubject::None;
  }
}

namespace {

// The unit: --unit first, then the header of the input file.
void settle_unit(Motion& m, std::optional<Unit> unit, const std::optional<InputRecord>& input) {
  if (unit) {
    m.unit = unit;
    m.unit_from = "--unit";
    if (input && input->file.unit && *input->file.unit != *unit) {
      m.unit_note = "the header of " + m.input_name + " says " + std::string(common::unit_word(*input->file.unit));
    }
  } else if (input && input->file.unit) {
    m.unit = input->file.unit;
    m.unit_from = "the header of " + m.input_name;
  }
}

// The records to measure, in the page's order: the input and, while it is
// still an acceleration, the processed record; for each that has no
// measures, the sentence saying why.
ToMeasure records_to_measure(const Motion& m, const RunFiles& run, const Analysis& a,
                             const std::optional<InputRecord>& input) {
  ToMeasure t;
  const std::string wave_name = run.wave_path.filename().string();
  std::array<std::vector<double>, 3> si;
  std::string why;
  // The input: the file at full precision when there is one, else the echo.
  const auto& comp = input ? input->file.comp : run.input.comp;
  const double dt = input ? input->file.dt : std::fabs(a.dt);
  const std::string source = input ? m.input_name : kEchoName;
  if (run.input.size() < 2 || !(dt > 0.0) || !std::isfinite(dt)) {
    t.skip("The input has no measures: it needs at least two records and a time step above 0.");
  } else if (!to_si(comp, *m.unit, si, why)) {
    t.skip("The input has no measures: " + source + " " + why + ".");
  } else {
    t.add({"input", source, std::move(si), dt});
  }

  const Series& out = run.output.series;
  if (a.op != Operation::None) return t;
  const double out_dt = static_cast<double>(a.step) * std::fabs(a.dt);
  if (a.step == 0 || out.size() < 2 || !(out_dt > 0.0) || !std::isfinite(out_dt)) {
    t.skip("The processed record has no measures: its time step could not be told from " + wave_name + ".");
  } else if (!to_si(out.comp, *m.unit, si, why)) {
    t.skip("The processed record has no measures: " + wave_name + " " + why + ".");
  } else {
    t.add({"processed", wave_name, std::move(si), out_dt});
  }
  return t;
}

// What the drift test looks at and how its warning names it.
struct DriftCheck {
  const std::array<std::vector<double>, 3>* comp = nullptr;  // nothing to test when null
  int integrations = 0;  // how often each component is integrated to reach a displacement
  std::string title;     // "Displacement drifts"
  std::string what;      // "The processed displacement (dis.csv)"
  std::string ending;    // after the advice: "." or "; here, raise fL1 and fL2."
};

DriftCheck drift_check(const RunFiles& run, const Analysis& a, const std::optional<InputRecord>& input,
                       const Motion& m) {
  const std::string wave_name = run.wave_path.filename().string();
  const std::string processed_ending = a.band.found ? "; here, raise fL1 and fL2." : ".";
  switch (drift_subject(a)) {
    case DriftSubject::ProcessedVelocity:
      // vel.csv, velocity -> integrated once -> displacement
      return {&run.output.series.comp, 1, "Displacement drifts",
              "The integral of the processed velocity (" + wave_name + ")", processed_ending};
    case DriftSubject::ProcessedDisplacement:
      // dis.csv, already a displacement
      return {&run.output.series.comp, 0, "Displacement drifts", "The processed displacement (" + wave_name + ")",
              processed_ending};
    case DriftSubject::InputAcceleration:
      // acceleration -> integrated twice -> displacement
      return {input ? &input->file.comp : &run.input.comp, 2, "Displacement of the input drifts",
              "The double integral of the input acceleration (" + (input ? m.input_name : std::string(kEchoName)) + ")",
              "."};
    case DriftSubject::None: break;
  }
  return {};
}

}  // namespace

Motion analyse_motion(const RunFiles& run, const Analysis& a, std::optional<Unit> unit,
                      const std::optional<InputRecord>& input, unsigned threads,
                      std::span<const MeasuresFiles> handed) {
  Motion m;
  if (input) {
    m.input_name = input->path.filename().string();
    m.input_named = input->named;
    m.channels = input->file.titles;
  }
  settle_unit(m, unit, input);
  if (m.unit) add_records(m, records_to_measure(m, run, a, input), handed, threads);

  // The drift warning.
  const DriftCheck check = drift_check(run, a, input, m);
  if (check.comp == nullptr) return m;
  const std::string names = drifting(*check.comp, check.integrations);
  if (names.empty()) return m;
  const std::string advice =
      " Integration turns an offset of the baseline and the long periods of the record into a displacement that "
      "grows without end, so filter before integrating: a band-pass with fL1 well above 1/duration";
  const std::string rule = " grows steadily to the end of the record (its largest |d| lies in the last 5%, and over "
                           "the last quarter, cut into " + std::to_string(kDriftWindows) + " windows, the peak of |d| "
                           "rose from one window to the next at least " + std::to_string(kDriftRises) + " times) in ";
  m.warnings.push_back({"drift", check.title, check.what + rule + names + "." + advice + check.ending});
  return m;
}

}  // namespace wavefft::report
