// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue table and page of wavefft-batch: summary.tsv written and
// read back, the index page's columns, escaping, links and numbers, and the
// join of several batches' outputs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/summary.h"
#include "common/catalogue_columns.h"
#include "tests/unit/test_files.h"

namespace fs = std::filesystem;
using wavefft::batch::Row;
using wavefft::testing::slurp;

namespace {

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string name = (fs::temp_directory_path() / "wavefft-summary-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error(std::strerror(errno));
    dir_ = name;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  const fs::path& path() const { return dir_; }

 private:
  fs::path dir_;
};

void spit(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts(1);
  for (const char c : s) {
    if (c == sep) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// A row whose every field names its member: TAG-<member>. Written with the
// members' names, so that a column filled from the wrong member shows.
Row distinct_row(const std::string& t) {
  return Row{.record = t + "-record", .status = t + "-status", .exit = t + "-exit",
             .diagnostic = t + "-diagnostic", .folder = t + "-folder", .event = t + "-event",
             .station = t + "-station", .components = t + "-components", .dt = t + "-dt",
             .duration = t + "-duration", .measured = t + "-measured", .pga = t + "-pga", .pgv = t + "-pgv",
             .psa_02 = t + "-psa_02", .psa_10 = t + "-psa_10", .rotd50_10 = t + "-rotd50_10",
             .eas_1hz = t + "-eas_1hz", .eas_5hz = t + "-eas_5hz", .hp1_hz = t + "-hp1_hz",
             .hp2_hz = t + "-hp2_hz", .hp3_hz = t + "-hp3_hz", .lp1_hz = t + "-lp1_hz", .lp2_hz = t + "-lp2_hz",
             .lp3_hz = t + "-lp3_hz", .flags = t + "-flags", .warnings = t + "-warnings", .page = t + "-page"};
}

// A row with the fields named (by their summary.tsv names) set, the others
// empty: row_of({{"record", "r"}, {"status", "normal"}}).
Row row_of(std::initializer_list<std::pair<std::string_view, std::string>> set) {
  Row r;
  for (const auto& [name, value] : set) r.*wavefft::batch::kRowFields.at(wavefft::common::catalogue_column(name)) = value;
  return r;
}

std::vector<std::string> fields(const Row& r) {
  std::vector<std::string> out;
  for (const auto member : wavefft::batch::kRowFields) out.push_back(r.*member);
  return out;
}

// The message of the runtime_error that `f` throws ("" when none).
template <class F>
std::string error_of(F f) {
  try {
    f();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

// Every one of `parts` is somewhere in `text`.
void expect_contains(const std::string& text, std::initializer_list<std::string_view> parts) {
  for (const std::string_view part : parts) EXPECT_NE(text.find(part), std::string::npos) << part << "\n in: " << text;
}

// The body row of the page that holds `needle`.
std::string row_with(const std::string& page, const std::string& needle) {
  const std::size_t at = page.find(needle);
  if (at == std::string::npos) return "";
  const std::size_t start = page.rfind("<tr", at);
  const std::size_t end = page.find("</tr>", at);
  return page.substr(start, end - start);
}

// The texts between "<OPEN" ... ">" and "</CLOSE>" in `html`, in order.
std::vector<std::string> elements(const std::string& html, const std::string& open, const std::string& close) {
  std::vector<std::string> out;
  for (std::size_t at = html.find("<" + open); at != std::string::npos; at = html.find("<" + open, at + 1)) {
    const std::size_t body = html.find('>', at) + 1;
    out.push_back(html.substr(body, html.find("</" + close + ">", body) - body));
  }
  return out;
}

}  // namespace

// summary.tsv's header is what earlier batches wrote and scripts read.
TEST(BatchSummary, HeaderIsTheTableOfColumns) {
  EXPECT_EQ(wavefft::common::catalogue_header(),
            "record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\t"
            "pga\tpgv\tpsa_02\tpsa_10\trotd50_10\teas_1hz\teas_5hz\thp1_hz\thp2_hz\thp3_hz\tlp1_hz\tlp2_hz\t"
            "lp3_hz\tflags\twarnings\tpage");
  EXPECT_EQ(wavefft::batch::one_line("a\tb\nc\rd"), "a b c d");
}

TEST(BatchSummary, WritesEveryColumnUnderItsNameAndReadsItBack) {
  TempDir tmp;
  const fs::path file = tmp.path() / "summary.tsv";
  Row awkward = distinct_row("b");
  awkward.record = "records/Al\xC3\xA9ria #2 \"N\" 'x'.txt";  // UTF-8, quotes, '#'
  awkward.diagnostic = "bad\tvalue\r\non line 3\n";
  awkward.warnings = "Clipped?; Drift\tafter\rfilter";
  awkward.pga = "";
  std::vector<Row> rows = {distinct_row("a"), awkward, Row{}};
  wavefft::batch::write_summary(file, rows);

  // Every line has 27 fields; each value sits under its own name.
  const std::vector<std::string> lines = split(slurp(file), '\n');
  ASSERT_EQ(lines.size(), 5U);  // header, 3 rows, the empty rest after the last line end
  EXPECT_EQ(lines[0], wavefft::common::catalogue_header());
  EXPECT_EQ(lines[4], "");
  const std::vector<std::string> names = split(lines[0], '\t');
  ASSERT_EQ(names.size(), 27U);
  const std::vector<std::string> first = split(lines[1], '\t');
  ASSERT_EQ(first.size(), 27U);
  for (std::size_t c = 0; c < names.size(); ++c) EXPECT_EQ(first[c], "a-" + names[c]);
  EXPECT_EQ(split(lines[3], '\t'), std::vector<std::string>(27, ""));
  // Nothing else is left in the folder: the temporary file was renamed.
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);

  const std::vector<Row> back = wavefft::batch::read_summary(file);
  ASSERT_EQ(back.size(), 3U);
  EXPECT_EQ(fields(back[0]), fields(rows[0]));
  awkward.diagnostic = "bad value  on line 3 ";
  awkward.warnings = "Clipped?; Drift after filter";
  EXPECT_EQ(fields(back[1]), fields(awkward));
  EXPECT_EQ(fields(back[2]), fields(Row{}));

  // Written again, the file is replaced, not appended to.
  wavefft::batch::write_summary(file, {});
  EXPECT_EQ(slurp(file), wavefft::common::catalogue_header() + "\n");
  EXPECT_TRUE(wavefft::batch::read_summary(file).empty());
}

TEST(BatchSummary, RefusesWhatIsNotSuchATableNamingFileAndLine) {
  TempDir tmp;
  const fs::path file = tmp.path() / "summary.tsv";
  const std::string header = wavefft::common::catalogue_header();
  const std::string good = "r\tnormal\t0" + std::string(24, '\t');
  // (text of summary.tsv, what the message must say)
  const std::pair<std::string, std::string> refused[] = {
      {"", "summary.tsv: empty file"},
      {"record\tstatus\texit\tdiagnostic\nr.txt\tnormal\t0\t\n", "older four-column form"},
      {"record\tstatus\n" + good + "\n", "summary.tsv line 1: not the header"},
      {header + "\n" + good + "\n" + good + "\textra\n", "summary.tsv line 3: 28 fields, expected 27"},
      {header + "\n" + good + "\n\n", "line 3: 1 fields"},
      {"\n", "line 1: not the header"},
  };
  for (const auto& [text, words] : refused) {
    spit(file, text);
    const std::string e = error_of([&] { wavefft::batch::read_summary(file); });
    EXPECT_NE(e.find(words), std::string::npos) << e;
  }
  EXPECT_EQ(error_of([&] { wavefft::batch::read_summary(tmp.path() / "none.tsv"); }),
            "cannot read " + (tmp.path() / "none.tsv").string() + ": No such file or directory");

  // Line ends of CR LF still read (no field holds a CR); so does a last
  // line without its line end.
  spit(file, header + "\r\n" + good + "\r\n" + good);
  const std::vector<Row> rows = wavefft::batch::read_summary(file);
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0].exit, "0");
  EXPECT_EQ(rows[0].page, "");
  EXPECT_EQ(rows[1].status, "normal");

  // A failed write names the file and the reason and leaves nothing behind.
  EXPECT_EQ(error_of([&] { wavefft::batch::write_summary(tmp.path() / "no-such" / "summary.tsv", {}); }),
            "cannot write " + (tmp.path() / "no-such" / "summary.tsv").string() + ": No such file or directory");
}

// The page's columns, left to right, are the table's page columns; every
// body cell sits under the heading of the field it shows.
TEST(BatchIndexPage, HeadingsAndCellsFollowThePageOrder) {
  Row r = distinct_row("a");
  const std::string page = wavefft::batch::render_index({r}, "t");
  std::string headings;
  for (const std::string& th : elements(page, "th ", "th")) headings += th + "|";
  EXPECT_EQ(headings,
            "<button type=\"button\">Record</button>|<button type=\"button\">Station</button>|"
            "<button type=\"button\">Event</button>|<button type=\"button\">Components</button>|"
            "<button type=\"button\">dt (s)</button>|<button type=\"button\">Duration (s)</button>|"
            "<button type=\"button\">Status</button>|<button type=\"button\">Measured</button>|"
            "<button type=\"button\">PGA (g)</button>|<button type=\"button\">PGV (cm/s)</button>|"
            "<button type=\"button\">PSA 0.2 s (g)</button>|<button type=\"button\">PSA 1 s (g)</button>|"
            "<button type=\"button\">RotD50 1 s (g)</button>|<button type=\"button\">EAS 1 Hz (g·s)</button>|"
            "<button type=\"button\">EAS 5 Hz (g·s)</button>|<button type=\"button\">Corners (Hz)</button>|"
            "<button type=\"button\">Warnings</button>|");
  expect_contains(page, {"<th data-type=\"number\" aria-sort=\"none\"><button type=\"button\">dt (s)",
                         "<th data-type=\"text\" aria-sort=\"none\"><button type=\"button\">Measured",
                         "<th data-type=\"number\" aria-sort=\"none\"><button type=\"button\">Corners (Hz)"});
  const std::vector<std::string> cells = elements(row_with(page, ">a-record<"), "td", "td");
  ASSERT_EQ(cells.size(), wavefft::common::kPageColumns.size());
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const std::string_view name = wavefft::common::kCatalogueColumns[wavefft::common::kPageColumns[k]].name;
    EXPECT_NE(cells[k].find("a-" + std::string(name)), std::string::npos) << k << ": " << cells[k];
  }
}

TEST(BatchIndexPage, EscapesEveryTextAndEncodesLinks) {
  const Row r = row_of({{"record", "<script>alert('x')</script> & \"q\""}, {"status", "normal"}, {"event", "Ev'1"},
                        {"station", "St\xC3\xA9 <b>"}, {"warnings", "a<b; c>d"},
                        {"page", "rec 1 #2?%/r\xC3\xA9'\"port.html"}});
  const Row folder_only = row_of({{"record", "only-folder"}, {"status", "missing"}, {"folder", "dir:x/sub"}});
  const Row no_link = row_of({{"record", "no-link"}, {"status", "not-run"}});
  const std::string page = wavefft::batch::render_index({r, folder_only, no_link}, "Catalogue <A & B>");

  expect_contains(page, {"<title>Catalogue &lt;A &amp; B&gt;</title>", "<h1>Catalogue &lt;A &amp; B&gt;</h1>",
                         ">&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot;</a>",
                         "<td>St\xC3\xA9 &lt;b&gt;</td>", "<td>Ev&#39;1</td>", "<td>a&lt;b; c&gt;d</td>",
                         "<a href=\"rec%201%20%232%3F%25/r%C3%A9%27%22port.html\">",
                         "<a href=\"dir%3Ax/sub\">only-folder</a>", "<td>no-link</td>"});
  // The page holds one script, its own, and loads nothing from elsewhere.
  EXPECT_EQ(page.find("<script"), page.rfind("<script"));
  EXPECT_EQ(page.find("src="), std::string::npos);
  EXPECT_EQ(page.find("http"), std::string::npos);
}

// Numbers show as printf's "%.4g" writes them; the full text stays the key.
TEST(BatchIndexPage, ShowsNumbersToFourDigitsAndKeepsTheFullValueForSorting) {
  Row r = row_of({{"record", "rec"}, {"status", "normal"}, {"dt", "0.01"}, {"duration", "163.84"},
                  {"measured", "processed"}, {"pga", "0.123456789"}, {"pgv", "12345.6"}, {"psa_02", "0.00001234"},
                  {"psa_10", "9.99996"}});
  expect_contains(row_with(wavefft::batch::render_index({r}, "t"), ">rec<"),
                  {"data-sort=\"0.01\">0.01</td>", "data-sort=\"163.84\">163.8</td>",
                   "data-sort=\"0.123456789\">0.1235</td>", "data-sort=\"12345.6\">1.235e+04</td>",
                   "data-sort=\"0.00001234\">1.234e-05</td>", "data-sort=\"9.99996\">10</td>",
                   "data-sort=\"\"></td>", "<td>processed</td>"});

  // Halfway cases round by the double's own digits; -0 keeps its sign.
  r.dt = "0.00012345";     // 1.23449999...e-4
  r.duration = "1234.5";   // exact: ties to even
  r.pga = "-0";
  r.pgv = "1e+300";
  r.psa_02 = "4.9e-324";
  expect_contains(row_with(wavefft::batch::render_index({r}, "t"), ">rec<"),
                  {"data-sort=\"0.00012345\">0.0001234</td>", "data-sort=\"1234.5\">1234</td>",
                   "data-sort=\"-0\">-0</td>", "data-sort=\"1e+300\">1e+300</td>",
                   "data-sort=\"4.9e-324\">4.941e-324</td>"});

  // A text that is not a finite number is shown as it is, a '+' in front included.
  r.pga = "n/a";
  r.pgv = "inf";
  r.psa_02 = "1.5x";
  r.psa_10 = "+5";
  r.rotd50_10 = "1e999";
  expect_contains(row_with(wavefft::batch::render_index({r}, "t"), ">rec<"),
                  {"data-sort=\"n/a\">n/a</td>", "data-sort=\"inf\">inf</td>", "data-sort=\"1.5x\">1.5x</td>",
                   "data-sort=\"+5\">+5</td>", "data-sort=\"1e999\">1e999</td>"});
}

// The corners of the three components share one cell, a band per line,
// sorted by the highest high-pass; the flags follow the status, which sorts
// by both. A record without a correction has an empty cell, sorted last;
// a page without any correction has no such column.
TEST(BatchIndexPage, ShowsTheCorrectionsBandsInOneCellAndItsFlagsUnderTheStatus) {
  const Row corrected = row_of({{"record", "corrected"}, {"status", "normal"}, {"hp1_hz", "0.12589254117941673"},
                                {"hp2_hz", "1"}, {"hp3_hz", "0.30000000000000004"}, {"lp1_hz", "33.11311214825911"},
                                {"lp3_hz", "40"}, {"flags", "comp1:drift comp3:<low-snr>"}});
  const Row plain = row_of({{"record", "plain"}, {"status", "normal"}});
  const Row failed = row_of({{"record", "failed"}, {"status", "report-failed"}, {"diagnostic", "no page"},
                             {"hp1_hz", "0.1"}, {"hp2_hz", "n/a"}, {"hp3_hz", "0.05"}, {"flags", "comp2:drift"}});
  const std::string page = wavefft::batch::render_index({corrected, plain, failed}, "t");

  expect_contains(row_with(page, ">corrected<"),
                  {"<td class=\"band\" data-sort=\"1\"><div>0.1259\u2013<wbr>33.11</div><div>1\u2013<wbr>none</div>"
                   "<div>0.3\u2013<wbr>40</div></td>",
                   "<td data-sort=\"normal comp1:drift comp3:&lt;low-snr&gt;\"><span class=\"status\">normal</span>"
                   "<div class=\"flags\">comp1:drift comp3:&lt;low-snr&gt;</div></td>"});
  EXPECT_EQ(row_with(page, ">corrected<").rfind("<tr>", 0), 0U) << "a flagged record is not a failed one";
  expect_contains(row_with(page, ">plain<"),
                  {"<td class=\"band\" data-sort=\"\"></td>",
                   "<td data-sort=\"normal\"><span class=\"status\">normal</span></td>"});
  // The page of records none of which was corrected has no column of
  // corners; the style's place of the warnings column follows.
  const std::string uncorrected = wavefft::batch::render_index({plain, plain}, "t");
  EXPECT_EQ(uncorrected.find(">Corners (Hz)</button>"), std::string::npos);
  EXPECT_NE(page.find(">Corners (Hz)</button>"), std::string::npos);
  EXPECT_EQ(elements(row_with(uncorrected, ">plain<"), "td", "td").size(), wavefft::common::kPageColumns.size() - 1);
  const auto warnings_style = [](std::size_t place) {
    return "td:nth-child(" + std::to_string(place) + "){min-width:12em;overflow-wrap:anywhere}";
  };
  EXPECT_NE(uncorrected.find(warnings_style(wavefft::common::kPageColumns.size() - 1)), std::string::npos);
  EXPECT_NE(page.find(warnings_style(wavefft::common::kPageColumns.size())), std::string::npos);
  EXPECT_EQ(wavefft::batch::page_columns({plain}).size(), wavefft::common::kPageColumns.size() - 1);
  EXPECT_EQ(wavefft::batch::page_columns({plain, corrected}).size(), wavefft::common::kPageColumns.size());

  // A text that is no number is shown, not taken for the highest corner.
  expect_contains(row_with(page, ">failed<"),
                  {"<td class=\"band\" data-sort=\"0.1\"><div>0.1\u2013<wbr>none</div><div>n/a\u2013<wbr>none</div>"
                   "<div>0.05\u2013<wbr>none</div></td>",
                   "<div class=\"diag\">no page</div><div class=\"flags\">comp2:drift</div>"});
}

TEST(BatchIndexPage, CountsAndMarksFailedRecordsWithTheirDiagnostic) {
  const Row ok = row_of({{"record", "ok"}, {"status", "normal"}, {"diagnostic", "stale text"}});
  const Row bad =
      row_of({{"record", "bad"}, {"status", "import-failed"}, {"exit", "1"}, {"diagnostic", "no samples in <file>"}});
  const Row killed = row_of({{"record", "killed"}, {"status", "signal"}, {"exit", "1"}});
  const std::string page = wavefft::batch::render_index({ok, bad, killed, ok}, "t");
  expect_contains(page, {"data-records=\"4\" data-normal=\"2\" data-failed=\"2\">4 records: 2 normal, 2 failed "
                         "(1 import-failed, 1 signal).</p>"});
  const std::string ok_line = row_with(page, ">ok<");
  EXPECT_EQ(ok_line.rfind("<tr>", 0), 0U) << ok_line;
  EXPECT_EQ(ok_line.find("stale text"), std::string::npos) << ok_line;
  const std::string bad_line = row_with(page, ">bad<");
  EXPECT_EQ(bad_line.rfind("<tr class=\"failed\">", 0), 0U) << bad_line;
  expect_contains(bad_line, {"title=\"exit status 1\">import-failed</span><div class=\"diag\">no samples in "
                             "&lt;file&gt;</div>"});
  EXPECT_EQ(row_with(page, ">killed<").rfind("<tr class=\"failed\">", 0), 0U);
}

TEST(BatchJoin, RewritesFoldersRelativeToTheOutputFolder) {
  TempDir tmp;
  const fs::path results = tmp.path() / "results";
  fs::create_directories(results / "task-3");
  fs::create_directories(results / "task 4");
  Row a = distinct_row("a");
  a.folder = "NAME";
  a.page = "NAME/report.html";
  Row b = distinct_row("b");
  b.folder = "";
  b.page = "";
  Row c = distinct_row("c");
  c.folder = "rec #1";
  c.page = "rec #1/report.html";
  wavefft::batch::write_summary(results / "task-3" / "summary.tsv", {a, b});
  wavefft::batch::write_summary(results / "task 4" / "summary.tsv", {c});

  wavefft::batch::join(results, {results / "task-3", results / "task 4"});
  std::vector<Row> rows = wavefft::batch::read_summary(results / "summary.tsv");
  ASSERT_EQ(rows.size(), 3U);
  EXPECT_EQ(rows[0].folder, "task-3/NAME");
  EXPECT_EQ(rows[0].page, "task-3/NAME/report.html");
  EXPECT_EQ(rows[0].pga, "a-pga");
  EXPECT_EQ(rows[1].folder, "");
  EXPECT_EQ(rows[1].page, "");
  EXPECT_EQ(rows[2].folder, "task 4/rec #1");
  EXPECT_EQ(rows[2].record, "c-record");
  expect_contains(slurp(results / "index.html"),
                  {"<h1>wavefft-batch: joined 2 batches</h1>", "href=\"task%204/rec%20%231/report.html\""});

  // A new folder beside the batches: created, paths lead up and back down.
  const fs::path joined = tmp.path() / "joined" / "all";
  wavefft::batch::join(joined, {results / "task-3"});
  rows = wavefft::batch::read_summary(joined / "summary.tsv");
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0].page, "../../results/task-3/NAME/report.html");
  expect_contains(slurp(joined / "index.html"), {"<h1>wavefft-batch: joined 1 batch</h1>"});

  // The output folder may be one of the batches: all is read before writing.
  wavefft::batch::join(results / "task-3", {results / "task-3", results / "task 4"});
  rows = wavefft::batch::read_summary(results / "task-3" / "summary.tsv");
  ASSERT_EQ(rows.size(), 3U);
  EXPECT_EQ(rows[0].folder, "NAME");
  EXPECT_EQ(rows[2].folder, "../task 4/rec #1");
}

TEST(BatchJoin, RefusesFoldersWithoutASummaryOrGivenTwiceAndWritesNothing) {
  TempDir tmp;
  fs::create_directories(tmp.path() / "a");
  fs::create_directories(tmp.path() / "empty");
  wavefft::batch::write_summary(tmp.path() / "a" / "summary.tsv", {distinct_row("a")});
  const fs::path out = tmp.path() / "out";

  std::string e = error_of([&] { wavefft::batch::join(out, {tmp.path() / "a", tmp.path() / "empty"}); });
  EXPECT_NE(e.find("empty: no summary.tsv"), std::string::npos) << e;
  e = error_of([&] { wavefft::batch::join(out, {tmp.path() / "a", tmp.path() / "a" / "."}); });
  EXPECT_NE(e.find("given twice"), std::string::npos) << e;
  EXPECT_EQ(error_of([&] { wavefft::batch::join(out, {}); }), "no batch folders to join");
  // A table that does not read stops the join before anything is written.
  fs::create_directories(tmp.path() / "old");
  spit(tmp.path() / "old" / "summary.tsv", "record\tstatus\texit\tdiagnostic\n");
  e = error_of([&] { wavefft::batch::join(out, {tmp.path() / "a", tmp.path() / "old"}); });
  EXPECT_NE(e.find("older four-column form"), std::string::npos) << e;
  EXPECT_FALSE(fs::exists(out));
}

// Batches of earlier versions wrote no EAS columns, or no correction
// columns: their tables still read, every cell under its own name and the
// missing cells empty, and join with today's tables into one of today's
// form.
TEST(BatchJoin, ReadsAndJoinsTablesWrittenBeforeTheEasAndTheCorrectionColumns) {
  const std::string before_eas =
      "record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\t"
      "pga\tpgv\tpsa_02\tpsa_10\trotd50_10\twarnings\tpage";
  const std::string before_correction =
      "record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\t"
      "pga\tpgv\tpsa_02\tpsa_10\trotd50_10\teas_1hz\teas_5hz\twarnings\tpage";
  // (earlier header, the columns it lacks)
  const std::pair<std::string, std::vector<std::string>> earlier[] = {
      {before_eas, {"eas_1hz", "eas_5hz", "hp1_hz", "hp2_hz", "hp3_hz", "lp1_hz", "lp2_hz", "lp3_hz", "flags"}},
      {before_correction, {"hp1_hz", "hp2_hz", "hp3_hz", "lp1_hz", "lp2_hz", "lp3_hz", "flags"}},
  };
  for (const auto& [earlier_header, lacking] : earlier) {
    SCOPED_TRACE(earlier_header);
    TempDir tmp;
    std::string earlier_row;
    for (const std::string& name : split(earlier_header, '\t')) {
      earlier_row += (earlier_row.empty() ? "" : "\t") + ("old-" + name);
    }
    fs::create_directories(tmp.path() / "old");
    fs::create_directories(tmp.path() / "new");
    spit(tmp.path() / "old" / "summary.tsv", earlier_header + "\r\n" + earlier_row + "\r\n");
    wavefft::batch::write_summary(tmp.path() / "new" / "summary.tsv", {distinct_row("n")});

    const std::vector<Row> old_rows = wavefft::batch::read_summary(tmp.path() / "old" / "summary.tsv");
    ASSERT_EQ(old_rows.size(), 1U);
    Row expected = distinct_row("old");
    for (const std::string& name : lacking) {
      (expected.*wavefft::batch::kRowFields.at(wavefft::common::catalogue_column(name))).clear();
    }
    EXPECT_EQ(fields(old_rows[0]), fields(expected));

    // Its lines are counted against its own header.
    const std::size_t count = split(earlier_header, '\t').size();
    spit(tmp.path() / "bad.tsv", earlier_header + "\n" + earlier_row + "\tx\tx\n");
    const std::string e = error_of([&] { wavefft::batch::read_summary(tmp.path() / "bad.tsv"); });
    EXPECT_NE(e.find("bad.tsv line 2: " + std::to_string(count + 2) + " fields, expected " + std::to_string(count)),
              std::string::npos)
        << e;

    wavefft::batch::join(tmp.path() / "all", {tmp.path() / "old", tmp.path() / "new"});
    EXPECT_EQ(split(slurp(tmp.path() / "all" / "summary.tsv"), '\n')[0], wavefft::common::catalogue_header());
    const std::vector<Row> rows = wavefft::batch::read_summary(tmp.path() / "all" / "summary.tsv");
    ASSERT_EQ(rows.size(), 2U);
    // The folders and pages lead from the joined folder into each batch's.
    Row old_joined = expected, new_joined = distinct_row("n");
    old_joined.folder = "../old/old-folder";
    old_joined.page = "../old/old-page";
    new_joined.folder = "../new/n-folder";
    new_joined.page = "../new/n-page";
    EXPECT_EQ(fields(rows[0]), fields(old_joined));
    EXPECT_EQ(fields(rows[1]), fields(new_joined));
    // On the page the earlier row's missing cells are empty (numbers sorted
    // last); the others show their own texts.
    const std::vector<std::string> cells =
        elements(row_with(slurp(tmp.path() / "all" / "index.html"), ">old-record<"), "td", "td");
    ASSERT_EQ(cells.size(), wavefft::common::kPageColumns.size());
    for (std::size_t k = 0; k < cells.size(); ++k) {
      const std::string name(wavefft::common::kCatalogueColumns[wavefft::common::kPageColumns[k]].name);
      const bool missing = std::find(lacking.begin(), lacking.end(), name) != lacking.end();
      EXPECT_EQ(cells[k].find("old-" + name) != std::string::npos, !missing) << name << ": " << cells[k];
      if (missing) {
        EXPECT_EQ(cells[k], "") << name;
      }
    }
  }
}
