// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft.run: the program wavefft run as a child process on a record in a
// work folder, its options given as keywords with the command line's names,
// and what it writes read back (class Run). The module never links the
// program's own code: it starts the executable.
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "common/programs.h"
#include "import/inputs.h"
#include "python/arrays.h"
#include "python/bindings.h"
#include "python/checks.h"
#include "python/errors.h"
#include "python/outputs.h"
#include "python/record.h"
#include "python/spawn.h"

namespace wavefft::python {

namespace {

namespace fs = std::filesystem;

struct Run {
  std::string console, errors;
  int status = 0;
  py::object spectrum = py::none(), waveform = py::none(), workdir = py::none();
};

// The program: beside the module's folder (the build tree), else on the
// PATH, else $WAVEFFT.
std::string find_program() {
  const fs::path module = py::module_::import("wavefft").attr("__file__").cast<std::string>();
  if (const fs::path p = module.parent_path().parent_path() / "wavefft"; common::is_executable_file(p)) return p;
  if (const fs::path p = common::on_path("wavefft"); !p.empty()) return p;
  if (const char* env = std::getenv("WAVEFFT"); env && common::is_executable_file(env)) return env;
  throw BadFile("wavefft: the program is neither beside the module, nor on the PATH, nor in $WAVEFFT");
}

// A list of finite numbers as "a,b,c" (each its shortest decimal).
std::string number_list(py::handle v, const char* option, std::size_t count) {
  const std::vector<double> x = numbers(v, option);
  if (x.size() != count) throw BadValue(std::string(option) + ": " + std::to_string(count) + " numbers");
  std::string s;
  for (double d : x) {
    if (!std::isfinite(d)) throw BadValue(std::string(option) + ": " + common::shortest(d) + " is not a number");
    s += (s.empty() ? "" : ",") + common::shortest(d);
  }
  return s;
}

// --flip's components: whole numbers 1 to 3.
std::string flip_list(py::handle v) {
  std::string s;
  for (py::handle item : py::iterable(py::reinterpret_borrow<py::object>(v))) {
    if (!py::isinstance<py::int_>(item) || py::isinstance<py::bool_>(item)) throw BadValue("--flip: components 1, 2 or 3");
    const long long k = item.cast<long long>();
    if (k < 1 || k > 3) throw BadValue("--flip: components 1, 2 or 3, not " + std::to_string(k));
    s += (s.empty() ? "" : ",") + std::to_string(k);
  }
  if (s.empty()) throw BadValue("--flip: components 1, 2 or 3");
  return s;
}

// One keyword as command-line words appended to `argv`; the output's name
// into `output`.
void add_option(const std::string& key, py::handle v, std::vector<std::string>& argv, std::string& output) {
  if (key == "integrate" || key == "double_integrate" || key == "differentiate") {
    if (!py::isinstance<py::bool_>(v)) throw BadValue(key + ": True or False");
    if (v.cast<bool>()) argv.push_back(key == "integrate" ? "--integrate" : key == "differentiate" ? "--differentiate" : "--double-integrate");
  } else if (key == "flip") {
    argv.insert(argv.end(), {"--flip", flip_list(v)});
  } else if (key == "bandpass") {
    argv.insert(argv.end(), {"--bandpass", number_list(v, "--bandpass", 4)});
  } else if (key == "cut") {
    argv.insert(argv.end(), {"--cut", number_list(v, "--cut", 2)});
  } else if (key == "skip") {
    if (!py::isinstance<py::int_>(v) || py::isinstance<py::bool_>(v) || v.cast<py::int_>() < py::int_(0)) {
      throw BadValue("--skip: a whole number >= 0");
    }
    argv.insert(argv.end(), {"--skip", py::str(v).cast<std::string>()});
  } else if (key == "output") {
    output = v.cast<std::string>();
    if (output.empty() || output.find('/') != std::string::npos || output == "." || output == "..") {
      throw BadValue("--output: a file name in the work folder");
    }
    argv.insert(argv.end(), {"--output", output});
  } else {
    throw py::type_error("run() got an unexpected keyword argument '" + key + "'");
  }
}

// The work folder: `workdir` (made when missing) or a new temporary one.
std::string work_folder(py::handle workdir) {
  if (!workdir.is_none()) {
    const std::string dir = path_argument(workdir);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) throw BadFile(dir + ": cannot make the folder: " + ec.message());
    return fs::absolute(dir);
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/wavefft-run-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw BadFile(pattern + ": cannot make a temporary folder");
  return pattern;
}

// What the program left in `dir`, read into `r` (a file it did not write: None).
void read_outputs(const fs::path& dir, const std::string& output, Run& r) {
  if (fs::exists(dir / "amp3.csv")) {
    const Columns c = read_columns(dir / "amp3.csv");
    py::dict d;
    d["frequency"] = array_1d(c.first);
    d["amplitude"] = array_3n(c.rest);
    r.spectrum = d;
  }
  if (fs::exists(dir / output)) {
    const Columns c = read_columns(dir / output);
    py::dict d;
    d["times"] = array_1d(c.first);
    d["data"] = array_3n(c.rest);
    r.waveform = d;
  }
}

// Runs the program in `dir` on `record` (a Record, written there first, or a path).
Run run_in(const std::string& dir, py::handle record, const py::kwargs& options) {
  std::vector<std::string> argv{find_program()};
  std::string output = "wave.csv";
  for (auto [key, value] : options) add_option(key.cast<std::string>(), value, argv, output);
  std::string input;
  if (py::isinstance<Record>(record)) {
    const Record& rec = record.cast<const Record&>();
    input = (fs::path(dir) / "record.txt").string();
    py::gil_scoped_release free;
    if (const import::Problem p = import::write_output(input, rec.layout()); !p.ok()) throw BadFile(import::problem_text(p));
  } else {
    input = fs::absolute(path_argument(record));
  }
  argv.insert(argv.end(), {"--", input});
  Run r;
  Finished f;
  {
    py::gil_scoped_release free;
    f = run_program(argv, dir);
  }
  r.console = std::move(f.out);
  r.errors = std::move(f.errors);
  r.status = f.status;
  read_outputs(dir, output, r);
  return r;
}

Run run(py::handle record, py::handle workdir, const py::kwargs& options) {
  const std::string dir = work_folder(workdir);
  if (!workdir.is_none()) {
    Run r = run_in(dir, record, options);
    r.workdir = py::str(dir);
    return r;
  }
  try {
    Run r = run_in(dir, record, options);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return r;
  } catch (...) {
    std::error_code ec;
    fs::remove_all(dir, ec);
    throw;
  }
}

}  // namespace

void bind_run(py::module_& m) {
  py::class_<Run>(m, "Run",
                  "What a run of the program wavefft gave: console (its standard output),\n"
                  "errors (its standard error), status (its exit status), spectrum (amp3.csv:\n"
                  "{'frequency': (F,) Hz, 'amplitude': (3, F)}, or None when it wrote none),\n"
                  "waveform (the waveform file: {'times': (n,) s, 'data': (3, n)}, or None),\n"
                  "workdir (the folder it ran in, or None when that was temporary). A value\n"
                  "written as asterisks (too large for its field) reads as NaN.")
      .def_readonly("console", &Run::console, "The program's standard output.")
      .def_readonly("errors", &Run::errors, "The program's standard error.")
      .def_readonly("status", &Run::status, "The exit status (128 + N when signal N ended it).")
      .def_readonly("spectrum", &Run::spectrum, "amp3.csv: {'frequency': (F,), 'amplitude': (3, F)}, or None.")
      .def_readonly("waveform", &Run::waveform, "The waveform file: {'times': (n,), 'data': (3, n)}, or None.")
      .def_readonly("workdir", &Run::workdir, "The work folder, or None when it was temporary (and is gone).")
      .def("__repr__", [](const Run& r) { return "<wavefft.Run status " + std::to_string(r.status) + ">"; });

  m.def("run", &run, py::arg("record"), py::arg("workdir") = py::none(),
        "run(record, workdir=None, **options) -> Run\n\n"
        "Runs the program wavefft (the executable beside the module's folder in the\n"
        "build tree, else on the PATH, else $WAVEFFT) on `record`, a path or a Record\n"
        "(written into the work folder as record.txt first), in `workdir` (made when\n"
        "missing) or in a temporary folder removed afterwards. The options are the\n"
        "command line's: flip=(1, 3), bandpass=(fL1, fL2, fH1, fH2), integrate=True,\n"
        "double_integrate=True, differentiate=True, cut=(start, duration), skip=K,\n"
        "output='wave.csv'. A refusal by the program is no exception: see\n"
        "Run.status and Run.errors.");
}

}  // namespace wavefft::python
