// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: wavefft-report's readers of the files wavefft-measures
// writes (--measures DIR), on arbitrary bytes.
//
// The first byte picks the reader (modulo 3): 0 measures.csv, 1
// spectra.csv, 2 fas.csv; the rest is the file. A refusal (FileError) is
// an expected outcome.
//
// Checks, besides the sanitizers: an accepted measures.csv gave every
// measure a line of its own and finite values (a duration may be absent);
// an accepted spectra.csv holds one row per default period at 5% damping
// and finite values; an accepted fas.csv one value or NaN per default
// frequency in each column. Each accepted file, written again as
// wavefft-measures writes it (shortest decimals), reads back to the same
// bits.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "measures/fas.h"
#include "measures/measures.h"
#include "report/measures_files.h"
#include "report/motion.h"
#include "report/runfiles.h"

namespace {

namespace wr = wavefft::report;
namespace wm = wavefft::measures;
using wavefft::common::shortest;

void check(bool ok) {
  if (!ok) std::abort();
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

double measure_of(const wm::Measures& m, std::size_t k) {
  const double none = std::nan("");
  const double v[] = {m.pga, m.pgv, m.pgd, m.arias, m.cav, m.d5_75.value_or(none), m.d5_95.value_or(none)};
  return v[k];
}

std::string cell(double v) { return std::isnan(v) ? std::string() : shortest(v); }

void check_measures(const wr::MeasuresTable& t) {
  static constexpr const char* kUnits[] = {"g", "cm/s", "cm", "m/s", "m/s", "s", "s"};
  std::string again = "measure,unit,comp1,comp2,comp3\n";
  for (std::size_t k = 0; k < wr::kMeasureNames.size(); ++k) {
    check(t.line[k] >= 2);
    for (std::size_t j = 0; j < k; ++j) check(t.line[j] != t.line[k]);
    again += std::string(wr::kMeasureNames[k]) + "," + kUnits[k];
    for (const wm::Measures& m : t.comp) {
      const double v = measure_of(m, k);
      check(std::isfinite(v) || (k >= 5 && std::isnan(v)));
      again += "," + cell(v);
    }
    again += "\n";
  }
  const wr::MeasuresTable back = wr::parse_measures_csv(again, "again");
  for (std::size_t k = 0; k < wr::kMeasureNames.size(); ++k) {
    for (std::size_t c = 0; c < 3; ++c) check(same_bits(measure_of(t.comp[c], k), measure_of(back.comp[c], k)));
  }
}

void check_spectra(const std::vector<wm::SpectrumRow>& rows) {
  const auto periods = wm::nga_west2_periods();
  check(rows.size() == periods.size());
  std::string again = "period_s,damping,comp1,comp2,comp3,rotd50,rotd100\n";
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const wm::SpectrumRow& r = rows[k];
    check(r.period == periods[k] && r.damping == wr::kSpectrumDamping);
    for (double v : {r.psa[0], r.psa[1], r.psa[2], r.rotd50, r.rotd100}) check(std::isfinite(v));
    again += shortest(r.period) + "," + shortest(r.damping) + "," + shortest(r.psa[0]) + "," + shortest(r.psa[1]) + "," +
             shortest(r.psa[2]) + "," + shortest(r.rotd50) + "," + shortest(r.rotd100) + "\n";
  }
  const std::vector<wm::SpectrumRow> back = wr::parse_spectra_csv(again, "again");
  for (std::size_t k = 0; k < rows.size(); ++k) {
    for (std::size_t c = 0; c < 3; ++c) check(same_bits(rows[k].psa[c], back[k].psa[c]));
    check(same_bits(rows[k].rotd50, back[k].rotd50) && same_bits(rows[k].rotd100, back[k].rotd100));
  }
}

void check_fas(const wr::SmoothedSpectra& s) {
  const auto fc = wm::fas_frequencies();
  const std::vector<double>* columns[] = {&s.fas[0], &s.fas[1], &s.fas[2], &s.eas};
  for (const std::vector<double>* c : columns) {
    check(c->size() == fc.size());
    for (double v : *c) check(std::isnan(v) || std::isfinite(v));
  }
  std::string again = "frequency_hz,comp1,comp2,comp3,eas\n";
  for (std::size_t k = 0; k < fc.size(); ++k) {
    again += shortest(fc[k]);
    for (const std::vector<double>* c : columns) again += "," + cell((*c)[k]);
    again += "\n";
  }
  const wr::SmoothedSpectra back = wr::parse_fas_csv(again, "again");
  const std::vector<double>* back_columns[] = {&back.fas[0], &back.fas[1], &back.fas[2], &back.eas};
  for (std::size_t c = 0; c < 4; ++c) {
    for (std::size_t k = 0; k < fc.size(); ++k) check(same_bits((*columns[c])[k], (*back_columns[c])[k]));
  }
}

}  // namespace

// The three readers, by the first byte of the input.
using Reader = void (*)(const std::string&);
constexpr Reader kReaders[] = {
    [](const std::string& text) { check_measures(wr::parse_measures_csv(text, "fuzz")); },
    [](const std::string& text) { check_spectra(wr::parse_spectra_csv(text, "fuzz")); },
    [](const std::string& text) { check_fas(wr::parse_fas_csv(text, "fuzz")); },
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  try {
    kReaders[data[0] % std::size(kReaders)](std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  } catch (const wr::FileError&) {
  }
  return 0;
}
