// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft.correct: what wavefft-correct does to a record. The keywords
// become the command's own option words, read by its parser into the same
// settings with the same refusals; correct_values then corrects, as the
// command does, and the summary is the command's JSON text, loaded.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/numbers.h"
#include "correct/arguments.h"
#include "correct/summary.h"
#include "correct/values.h"
#include "python/arrays.h"
#include "python/bindings.h"
#include "python/checks.h"
#include "python/errors.h"

namespace wavefft::python {

namespace {

namespace wc = wavefft::correct;

// A keyword's value as the command line writes it: a word as it is, a
// number as its shortest decimal (which reads back to the same double).
std::string option_text(py::handle v, const char* name) {
  if (py::isinstance<py::str>(v)) return v.cast<std::string>();
  if (py::isinstance<py::bool_>(v)) throw BadValue(std::string("--") + name + ": not a number");
  if (py::isinstance<py::int_>(v)) return py::str(v).cast<std::string>();  // exact, however large
  double x = 0.0;
  try {
    x = py::float_(py::reinterpret_borrow<py::object>(v)).cast<double>();
  } catch (py::error_already_set&) {
    throw BadValue(std::string("--") + name + ": not a number");
  }
  return common::shortest(x);
}

// The settings that wavefft-correct's parser makes of these options.
wc::Settings settings_of(const std::vector<std::pair<const char*, py::handle>>& options) {
  std::vector<std::string> words;
  for (const auto& [name, value] : options) {
    if (std::string_view(name) == "lowpass" && value.is_none()) {
      words.push_back("--lowpass=none");
    } else {
      words.push_back(std::string("--") + name + "=" + option_text(value, name));
    }
  }
  words.push_back("--");
  words.push_back("data");
  const std::vector<std::string_view> views(words.begin(), words.end());
  const wc::ParsedArguments parsed = wc::parse_arguments(views);
  if (parsed.usage) throw BadValue(*parsed.usage);
  if (parsed.refusal) throw BadValue(*parsed.refusal);
  return parsed.arguments.settings;
}

py::tuple correct(py::handle data, double dt, const std::string& unit_word, py::handle highpass, py::handle lowpass,
                  py::handle order, py::handle taper, py::handle baseline, py::handle onset, py::handle titles) {
  const Components rec = components(data);
  sampling_interval(dt);
  const common::Unit unit = acceleration_unit(unit_word);
  const wc::Settings settings = settings_of({{"highpass", highpass},
                                             {"lowpass", lowpass},
                                             {"order", order},
                                             {"taper", taper},
                                             {"baseline", baseline},
                                             {"onset", onset}});
  std::array<std::string, 3> title_words;
  if (!titles.is_none()) {
    // A sequence of three str; a str itself is one title, not three.
    if (py::isinstance<py::str>(titles) || py::isinstance<py::bytes>(titles) || !py::isinstance<py::sequence>(titles)) {
      throw BadValue("titles: three titles (a list or tuple of str)");
    }
    const py::sequence t = py::reinterpret_borrow<py::sequence>(titles);
    if (t.size() != 3) throw BadValue("titles: three titles, not " + std::to_string(t.size()));
    for (std::size_t c = 0; c < 3; ++c) {
      if (!py::isinstance<py::str>(t[c])) throw BadValue("titles: title " + std::to_string(c + 1) + " is not a str");
      title_words[c] = t[c].cast<std::string>();
    }
  }
  wc::Correction c;
  std::string summary;
  {
    py::gil_scoped_release free;
    c = wc::correct_values(rec.comp, dt, unit, settings, "data");
    summary = wc::summary_json(wc::summarise(c, title_words, common::unit_word(unit)));
  }
  py::object loaded = py::module_::import("json").attr("loads")(summary);
  return py::make_tuple(array_3n(c.corrected), loaded);
}

}  // namespace

void bind_correct(py::module_& m) {
  m.def("correct", &correct, py::arg("data"), py::arg("dt"), py::arg("unit"), py::arg("highpass") = "auto",
        py::arg("lowpass") = "auto", py::arg("order") = 5, py::arg("taper") = 0.05, py::arg("baseline") = "poly6",
        py::arg("onset") = "auto", py::kw_only(), py::arg("titles") = py::none(),
        "correct(data, dt, unit, highpass='auto', lowpass='auto', order=5, taper=0.05,\n"
        "        baseline='poly6', onset='auto', *, titles=None) -> (corrected, summary)\n\n"
        "What wavefft-correct does to the record `data` (shape (3, n)) sampled every\n"
        "`dt` seconds in `unit`: the options are the command's (highpass and lowpass\n"
        "'auto' or Hz, lowpass also None or 'none' for no low-pass; order 1 to 100;\n"
        "taper in [0, 0.5); baseline 'poly6' or 'none'; onset 'auto' or seconds).\n"
        "Returns the corrected record, a (3, n) float64 array in `unit`, and the\n"
        "summary: what json.load gives for the command's --summary file.\n"
        "`titles`, three words, are the components' titles in the summary (those\n"
        "of the record's title line for the command; comp1, comp2, comp3 by default).\n"
        "Refusals raise ValueError with the command's message.");
}

}  // namespace wavefft::python
