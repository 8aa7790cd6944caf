// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft.read (what wavefft-import reads and assembles, through the same
// library calls), wavefft.read_record (a file in the program's input layout
// or a waveform file, through wavefft_records as wavefft-measures reads it)
// and the class Record with its write().
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/units.h"
#include "import/assemble.h"
#include "import/inputs.h"
#include "import/writer.h"
#include "python/arrays.h"
#include "python/bindings.h"
#include "python/checks.h"
#include "python/errors.h"
#include "python/record.h"
#include "records/record.h"

namespace wavefft::python {

namespace {

namespace wi = wavefft::import;
namespace wr = wavefft::records;

std::string path_text(py::handle p) { return path_argument(p); }

// wavefft-import's failures: the files' own (unreadable, unknown, malformed)
// are OSError, those of assembling them with the options ValueError.
[[noreturn]] void raise_problem(const wi::Problem& p) {
  switch (p.status) {
    case wi::Status::unreadable:
    case wi::Status::unknown_format:
    case wi::Status::malformed:
    case wi::Status::truncated:
    case wi::Status::missing_value:
    case wi::Status::uneven_times:
    case wi::Status::write_failed:
      throw BadFile(wi::problem_text(p));
    default:
      throw BadValue(wi::problem_text(p));
  }
}

// --unit and --source-unit as wavefft-import reads them.
std::optional<common::Unit> import_unit(const std::optional<std::string>& word, const char* option) {
  if (!word) return std::nullopt;
  const std::optional<common::Unit> u = common::parse_acceleration_unit(*word);
  if (!u) throw BadValue(std::string(option) + " '" + *word + "' is not one of g, gal, m_s2, mm_s2");
  return u;
}

wi::AssembleOptions import_options(const std::optional<std::string>& unit, const std::optional<std::string>& source_unit,
                                   bool pad, bool zero_vertical,
                                   const std::optional<std::vector<std::string>>& channels,
                                   const std::optional<std::string>& level) {
  wi::AssembleOptions o;
  o.unit = import_unit(unit, "--unit");
  o.source_unit = import_unit(source_unit, "--source-unit");
  o.pad = pad;
  o.zero_vertical = zero_vertical;
  if (channels) {
    for (const std::string& c : *channels) {
      if (!c.empty()) o.channels.push_back(c);
    }
    if (o.channels.empty()) throw BadValue("--channels needs a list of channel names");
  }
  if (level) {
    if (*level == "raw") o.level = wi::Level::raw;
    else if (*level == "corrected") o.level = wi::Level::corrected;
    else throw BadValue("--level '" + *level + "' is not raw or corrected");
  }
  return o;
}

// The Record of an assembled import record; `starts` maps each file to the
// start it prints.
Record from_import(wi::Record rec, const std::map<std::string, std::string>& starts,
                   std::vector<std::string> notes) {
  Record r;
  r.event = wi::sanitise_word(rec.event);
  r.station = wi::sanitise_word(rec.station);
  r.unit = common::unit_word(rec.unit);
  r.dt = rec.dt;
  std::array<std::vector<double>, 3> values;
  for (std::size_t c = 0; c < 3; ++c) {
    r.titles[c] = wi::sanitise_word(rec.components[c].name);
    values[c] = std::move(rec.components[c].values);
  }
  if (const auto s = starts.find(rec.components[0].file); s != starts.end() && !s->second.empty()) r.start = s->second;
  for (std::string& note : rec.notes) notes.push_back(std::move(note));
  r.notes = std::move(notes);
  r.data = array_3n(values);
  r.source = std::move(rec);
  return r;
}

Record read(const py::args& paths, const std::optional<std::string>& unit, const std::optional<std::string>& source_unit,
            bool pad, bool zero_vertical, const std::optional<std::vector<std::string>>& channels,
            const std::optional<std::string>& level) {
  std::vector<std::string> args;
  for (py::handle p : paths) args.push_back(path_text(p));
  if (args.empty()) throw BadValue("no input file");
  const wi::AssembleOptions options = import_options(unit, source_unit, pad, zero_vertical, channels, level);
  std::vector<std::string> notes;
  std::map<std::string, std::string> starts;
  wi::Record rec;
  {
    py::gil_scoped_release free;
    std::vector<std::string> names;
    std::vector<wi::FileContents> files;
    const wi::SkippedFile skipped = [&notes](const std::string& path, const std::string& why) {
      notes.push_back("skipped " + path + ": " + why);
    };
    for (const std::string& arg : args) {
      if (const wi::Problem p = wi::read_argument(arg, names, files, skipped); !p.ok()) raise_problem(p);
    }
    for (std::size_t f = 0; f < files.size(); ++f) starts.emplace(names[f], files[f].start_text);
    if (const wi::Problem p = wi::assemble(files, options, rec); !p.ok()) raise_problem(p);
  }
  return from_import(std::move(rec), starts, std::move(notes));
}

// A file read by wavefft_records as the record wavefft-import's writer
// lays out: its header's event and station, its titles as the components'
// names (comp1, comp2, comp3 where it has none, as for a waveform file).
wi::Record layout_record(const wr::RecordFile& file, common::Unit unit) {
  wi::Record rec;
  rec.event = file.event;
  rec.station = file.station;
  rec.unit = unit;
  rec.dt = file.dt;
  for (std::size_t c = 0; c < 3; ++c) {
    rec.components[c].name = file.titles[c].empty() ? "comp" + std::to_string(c + 1) : file.titles[c];
  }
  return rec;
}

Record read_record(py::handle path_arg, const std::optional<std::string>& unit_word) {
  const std::string path = path_text(path_arg);
  std::optional<common::Unit> unit;
  if (unit_word) unit = acceleration_unit(*unit_word);
  wr::RecordFile file;
  {
    py::gil_scoped_release free;
    file = wr::read_record_file(path);
  }
  if (!unit) unit = file.unit;
  if (!unit) {
    throw BadValue(path + ": the record does not say its unit; give it with --unit g, --unit gal, --unit m_s2 or --unit mm_s2");
  }
  wi::Record rec = layout_record(file, *unit);
  for (std::size_t c = 0; c < 3; ++c) rec.components[c].values = std::move(file.comp[c]);
  return from_import(std::move(rec), {}, {});
}

// A Record made from arrays: laid out by wavefft-import's writer.
Record make_record(py::handle data, double dt, const std::string& unit_word, const std::string& event,
                   const std::string& station, const std::optional<std::vector<std::string>>& titles) {
  const Components comp = components(data);
  wi::Record rec;
  rec.unit = acceleration_unit(unit_word);
  rec.dt = sampling_interval(dt);
  rec.event = event;
  rec.station = station;
  if (titles && titles->size() != 3) throw BadValue("titles: three titles, not " + std::to_string(titles->size()));
  for (std::size_t c = 0; c < 3; ++c) {
    rec.components[c].name = titles ? (*titles)[c] : "comp" + std::to_string(c + 1);
    rec.components[c].values.assign(comp.comp[c].begin(), comp.comp[c].end());
  }
  return from_import(std::move(rec), {}, {});
}

void write(const Record& r, py::handle path_arg) {
  const std::string path = path_text(path_arg);
  py::gil_scoped_release free;
  const std::string text = r.layout();
  if (const wi::Problem p = wi::write_output(path, text); !p.ok()) raise_problem(p);
}

py::tuple titles_tuple(const Record& r) { return py::make_tuple(r.titles[0], r.titles[1], r.titles[2]); }

}  // namespace

void bind_records(py::module_& m) {
  py::class_<Record>(m, "Record",
                     "A three-component acceleration record: the words that describe it and its\n"
                     "samples, data, a float64 array of shape (3, n) (components 1, 2 and 3; the\n"
                     "array may be changed in place, and write() writes what it holds).\n"
                     "Made by read(), read_record(), or Record(data, dt, unit, event='unknown',\n"
                     "station='unknown', titles=None).")
      .def(py::init(&make_record), py::arg("data"), py::arg("dt"), py::arg("unit"), py::arg("event") = "unknown",
           py::arg("station") = "unknown", py::arg("titles") = py::none(),
           "Record(data, dt, unit, event='unknown', station='unknown', titles=None)\n\n"
           "A record of the array `data` (shape (3, n)) sampled every `dt` seconds in\n"
           "`unit` (g, gal, m_s2 or mm_s2); titles: the three components' names.")
      .def_readonly("event", &Record::event, "The event word of the header.")
      .def_readonly("station", &Record::station, "The station word of the header.")
      .def_readonly("unit", &Record::unit, "The values' unit: g, gal, m_s2 or mm_s2.")
      .def_readonly("dt", &Record::dt, "The sampling interval, s.")
      .def_property_readonly("titles", &titles_tuple, "The titles of components 1, 2 and 3.")
      .def_readonly("start", &Record::start,
                    "The start time as the file of component 1 prints it, or None (read() only).")
      .def_readonly("notes", &Record::notes, "wavefft-import's notes on the files (skipped files, trimmed lengths).")
      .def_readonly("data", &Record::data, "The samples, float64, shape (3, n).")
      .def("write", &write, py::arg("path"),
           "write(path) -> None\n\n"
           "Writes the record in the program's input layout to `path` (through a\n"
           "temporary file, its missing folders made): for a record of read() the bytes\n"
           "that wavefft-import -o writes. OSError when it cannot be written.")
      .def("__repr__", [](const Record& r) {
        return "<wavefft.Record " + r.event + " " + r.station + ", " + std::to_string(r.data.shape(1)) +
               " samples, dt " + std::to_string(r.dt) + " s, " + r.unit + ">";
      });

  m.def("read", &read, py::kw_only(), py::arg("unit") = py::none(), py::arg("source_unit") = py::none(),
        py::arg("pad") = false, py::arg("zero_vertical") = false, py::arg("channels") = py::none(),
        py::arg("level") = py::none(),
        "read(*paths, unit=None, source_unit=None, pad=False, zero_vertical=False,\n"
        "     channels=None, level=None) -> Record\n\n"
        "What wavefft-import reads: the files of one record as an agency publishes\n"
        "them, or a folder standing for its files, assembled into three components\n"
        "with the command's options (unit and source_unit: g, gal, m_s2 or mm_s2;\n"
        "channels: a list of channel names or SEED ids; level: 'raw' or\n"
        "'corrected'). Nothing is written. OSError for a file that cannot be read\n"
        "or is in no known layout, ValueError when the files do not make a record\n"
        "with these options; the message is the command's.");
  m.def("read_record", &read_record, py::arg("path"), py::arg("unit") = py::none(),
        "read_record(path, unit=None) -> Record\n\n"
        "A file in the program's input layout, or a waveform file written by wavefft\n"
        "(then `unit` is needed, as wavefft-measures' --unit; for the input layout it\n"
        "overrides the header's word), read as wavefft-measures reads it. OSError\n"
        "when the file cannot be read or is malformed. Its write() lays it out as\n"
        "wavefft-import does (the values 1, 2 and 11 kept, the others written as 0).");
}

}  // namespace wavefft::python
