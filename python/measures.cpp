// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft.measures, wavefft.spectra and wavefft.fas: what wavefft-measures
// writes to measures.csv, spectra.csv and fas.csv, computed by the same
// library calls on the same values (the record scaled to m/s^2 by
// scale_to_m_s2 first, as the command does), the GIL released meanwhile.
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "common/units.h"
#include "measures/fas.h"
#include "measures/measures.h"
#include "measures/step.h"
#include "python/arrays.h"
#include "python/bindings.h"
#include "python/checks.h"
#include "python/errors.h"

namespace wavefft::python {

namespace {

namespace wm = wavefft::measures;
using Scaled = std::array<std::vector<double>, 3>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The record in m/s^2, as wavefft-measures scales it before computing.
// The components in m/s^2: the caller's array itself when it holds m/s^2
// already (a scale of 1 changes no value, so the results are the
// command's), else a copy scaled as the command scales its record.
class InMetres {
 public:
  InMetres(const Components& data, wm::Unit unit) {
    if (common::metres_per_s2(unit) == 1.0) {
      spans_ = data.comp;
      return;
    }
    for (std::size_t c = 0; c < 3; ++c) {
      copy_[c].assign(data.comp[c].begin(), data.comp[c].end());
      wm::scale_to_m_s2(copy_[c], unit);  // an acceleration unit: always true
      spans_[c] = copy_[c];
    }
  }
  InMetres(const InMetres&) = delete;
  InMetres& operator=(const InMetres&) = delete;
  const std::array<std::span<const double>, 3>& spans() const { return spans_; }
  std::span<const double> operator[](std::size_t c) const { return spans_[c]; }

 private:
  Scaled copy_;
  std::array<std::span<const double>, 3> spans_;
};

// The periods (default the NGA-West2 set), each positive, finite and within
// the sub-step limit of dt (wavefft-measures' check and words).
std::vector<double> settle_periods(py::handle periods, double dt) {
  std::vector<double> p;
  if (periods.is_none()) {
    const auto set = wm::nga_west2_periods();
    p.assign(set.begin(), set.end());
  } else {
    p = numbers(periods, "periods");
  }
  for (double t : p) {
    if (!(t > 0.0) || !std::isfinite(t)) {
      throw BadValue("periods: period " + common::shortest(t) + " is not a positive number of seconds");
    }
    if (!wm::sub_steps(dt, t)) {
      throw BadValue("periods: period " + common::shortest(t) + " s is too short for the sample interval " +
                     common::shortest(dt) + " s (more than " + std::to_string(wm::kMaxSubSteps) +
                     " sub-steps per sample)");
    }
  }
  return p;
}

// The damping ratios, each in (0, 1) (wavefft-measures' --damping words).
std::vector<double> settle_dampings(py::handle damping) {
  const std::vector<double> d = numbers(damping, "--damping");
  for (double z : d) {
    if (!(z > 0.0 && z < 1.0)) throw BadValue("--damping: " + common::shortest(z) + " is outside (0, 1)");
  }
  return d;
}

// --ko-bandwidth and --ko-window as wavefft-measures checks them.
wm::Smoothing settle_smoothing(double bandwidth, const std::string& window) {
  wm::Smoothing s;
  if (!std::isfinite(bandwidth) || !(bandwidth > 0.0)) {
    throw BadValue("--ko-bandwidth: \"" + common::shortest(bandwidth) + "\" is not a positive number");
  }
  s.bandwidth = bandwidth;
  if (window == "main") {
    s.window = wm::KoWindow::main;
  } else if (window == "full") {
    s.window = wm::KoWindow::full;
  } else {
    throw BadValue("--ko-window: unknown window \"" + window + "\" (use main or full)");
  }
  return s;
}

// The output frequencies (default 0.01 to 100 Hz, 100 per decade), each
// positive and finite.
std::vector<double> settle_frequencies(py::handle frequencies) {
  if (frequencies.is_none()) {
    const auto set = wm::fas_frequencies();
    return {set.begin(), set.end()};
  }
  std::vector<double> f = numbers(frequencies, "frequencies");
  for (double v : f) {
    if (!(v > 0.0) || !std::isfinite(v)) {
      // wavefft-measures' words for a line of its --frequencies file.
      throw BadValue("frequencies: frequency \"" + common::shortest(v) + "\" is not a positive finite number of hertz");
    }
  }
  return f;
}

py::dict measures(py::handle data, double dt, const std::string& unit_word) {
  const Components rec = components(data);
  sampling_interval(dt);
  const wm::Unit unit = acceleration_unit(unit_word);
  std::array<wm::Measures, 3> m;
  wm::PeakRotD50 rotd;
  {
    py::gil_scoped_release free;
    const InMetres a(rec, unit);
    for (std::size_t c = 0; c < 3; ++c) m[c] = wm::ground_motion(a[c], dt);
    rotd = wm::peak_rotd50(a[0], a[1], dt);
  }
  auto row = [&m](auto get) {
    std::vector<double> v(3);
    for (std::size_t c = 0; c < 3; ++c) v[c] = get(m[c]);
    return array_1d(v);
  };
  py::dict out;
  out["pga"] = row([](const wm::Measures& c) { return c.pga; });
  out["pgv"] = row([](const wm::Measures& c) { return c.pgv; });
  out["pgd"] = row([](const wm::Measures& c) { return c.pgd; });
  out["arias"] = row([](const wm::Measures& c) { return c.arias; });
  out["cav"] = row([](const wm::Measures& c) { return c.cav; });
  out["d5_75"] = row([](const wm::Measures& c) { return c.d5_75.value_or(kNaN); });
  out["d5_95"] = row([](const wm::Measures& c) { return c.d5_95.value_or(kNaN); });
  py::dict r;
  r["pga"] = rotd.pga;
  r["pgv"] = rotd.pgv;
  r["pgd"] = rotd.pgd;
  out["rotd50"] = r;
  return out;
}

// spectra's arrays from the rows (dampings outer, periods inner).
py::dict spectra_dict(const std::vector<wm::SpectrumRow>& rows, const std::vector<double>& periods,
                      const std::vector<double>& dampings, bool one_damping) {
  const std::size_t np = periods.size(), nd = dampings.size();
  py::array_t<double> psa({static_cast<py::ssize_t>(nd), py::ssize_t{3}, static_cast<py::ssize_t>(np)});
  py::array_t<double> r50({static_cast<py::ssize_t>(nd), static_cast<py::ssize_t>(np)});
  py::array_t<double> r100({static_cast<py::ssize_t>(nd), static_cast<py::ssize_t>(np)});
  double* p = psa.mutable_data();
  double* q50 = r50.mutable_data();
  double* q100 = r100.mutable_data();
  for (std::size_t d = 0; d < nd; ++d) {
    for (std::size_t k = 0; k < np; ++k) {
      const wm::SpectrumRow& row = rows[d * np + k];
      for (std::size_t c = 0; c < 3; ++c) p[(d * 3 + c) * np + k] = row.psa[c];
      q50[d * np + k] = row.rotd50;
      q100[d * np + k] = row.rotd100;
    }
  }
  py::dict out;
  out["periods"] = array_1d(periods);
  if (one_damping) {
    out["psa"] = psa[py::int_(0)];
    out["rotd50"] = r50[py::int_(0)];
    out["rotd100"] = r100[py::int_(0)];
  } else {
    out["psa"] = psa;
    out["rotd50"] = r50;
    out["rotd100"] = r100;
    out["damping"] = array_1d(dampings);
  }
  return out;
}

py::dict spectra(py::handle data, double dt, const std::string& unit_word, py::handle periods_arg,
                 py::handle damping_arg) {
  const Components rec = components(data);
  sampling_interval(dt);
  const wm::Unit unit = acceleration_unit(unit_word);
  const std::vector<double> dampings = settle_dampings(damping_arg);
  const std::vector<double> periods = settle_periods(periods_arg, dt);
  // One number (a Python or NumPy scalar, a 0-d array): no damping axis.
  const bool one_damping = py::module_::import("numpy").attr("ndim")(damping_arg).cast<int>() == 0;
  std::vector<wm::SpectrumRow> rows;
  {
    py::gil_scoped_release free;
    const InMetres a(rec, unit);
    rows = wm::response_spectra(a.spans(), dt, periods, dampings);
  }
  return spectra_dict(rows, periods, dampings, one_damping);
}

py::dict fas(py::handle data, double dt, const std::string& unit_word, py::handle frequencies_arg,
             double bandwidth, const std::string& window) {
  const wm::Smoothing smoothing = settle_smoothing(bandwidth, window);
  const Components rec = components(data);
  sampling_interval(dt);
  const wm::Unit unit = acceleration_unit(unit_word);
  const std::vector<double> frequencies = settle_frequencies(frequencies_arg);
  wm::FourierSpectra f;
  {
    py::gil_scoped_release free;
    const InMetres a(rec, unit);
    f = wm::fourier_spectra(a.spans(), dt, frequencies, smoothing);
  }
  py::dict out;
  out["frequencies"] = array_1d(f.frequencies);
  out["fas"] = array_3n(f.fas);
  out["eas"] = array_1d(f.eas);
  return out;
}

}  // namespace

void bind_measures(py::module_& m) {
  m.def("measures", &measures, py::arg("data"), py::arg("dt"), py::arg("unit"),
        "measures(data, dt, unit) -> dict\n\n"
        "The ground-motion measures of wavefft-measures' measures.csv for the record\n"
        "`data` (shape (3, n), components 1, 2, 3) sampled every `dt` seconds in\n"
        "`unit` (g, gal, m_s2 or mm_s2). Keys pga (g), pgv (cm/s), pgd (cm),\n"
        "arias (m/s), cav (m/s), d5_75 (s), d5_95 (s): arrays of 3, NaN where\n"
        "measures.csv has an empty cell; rotd50: {'pga', 'pgv', 'pgd'} of the two\n"
        "horizontals. The values are the command's to the last bit.");
  m.def("spectra", &spectra, py::arg("data"), py::arg("dt"), py::arg("unit"), py::arg("periods") = py::none(),
        py::arg("damping") = 0.05,
        "spectra(data, dt, unit, periods=None, damping=0.05) -> dict\n\n"
        "The response spectra of wavefft-measures' spectra.csv (pseudo-spectral\n"
        "acceleration in g). Keys periods (P,), psa (3, P), rotd50 (P,), rotd100\n"
        "(P,). `periods` defaults to the 111 NGA-West2 periods; each must be > 0\n"
        "and not too short for dt. `damping` a number in (0, 1), or a sequence of\n"
        "D of them: then psa is (D, 3, P), rotd50 and rotd100 (D, P), and the key\n"
        "damping (D,) is added.");
  m.def("fas", &fas, py::arg("data"), py::arg("dt"), py::arg("unit"), py::arg("frequencies") = py::none(),
        py::arg("bandwidth") = 188.5, py::arg("window") = "main",
        "fas(data, dt, unit, frequencies=None, bandwidth=188.5, window='main') -> dict\n\n"
        "The Konno-Ohmachi smoothed Fourier amplitude spectra of wavefft-measures'\n"
        "fas.csv (g s). Keys frequencies (F,), fas (3, F), eas (F,) (the effective\n"
        "amplitude spectrum of the horizontals); NaN where fas.csv has an empty\n"
        "cell. Defaults: 401 frequencies, 0.01 to 100 Hz; bandwidth b > 0; window\n"
        "'main' (the main lobe) or 'full'.");
}

}  // namespace wavefft::python
