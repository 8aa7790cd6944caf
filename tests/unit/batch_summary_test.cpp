// The catalogue table and page of wavefft-batch: summary.tsv written and
// read back, the index page's escaping, links and numbers, and the join of
// several batches' outputs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "batch/summary.h"

namespace fs = std::filesystem;
using wavefft::batch::Row;

namespace {

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

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void spit(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::string cur;
  for (const char c : s) {
    if (c == sep) {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  return parts;
}

// A row whose every field is different: TAG-<the column's name>.
Row distinct_row(const std::string& t) {
  return Row{t + "-record", t + "-status", t + "-exit", t + "-diagnostic", t + "-folder", t + "-event",
             t + "-station", t + "-components", t + "-dt", t + "-duration", t + "-measured", t + "-pga",
             t + "-pgv", t + "-psa_02", t + "-psa_10", t + "-rotd50_10", t + "-warnings", t + "-page"};
}

std::vector<std::string> fields(const Row& r) {
  return {r.record,   r.status, r.exit, r.diagnostic, r.folder, r.event,    r.station,  r.components, r.dt,
          r.duration, r.measured, r.pga, r.pgv,       r.psa_02, r.psa_10, r.rotd50_10, r.warnings,   r.page};
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

// The body row of the page that holds `needle`.
std::string row_with(const std::string& page, const std::string& needle) {
  const std::size_t at = page.find(needle);
  if (at == std::string::npos) return "";
  const std::size_t start = page.rfind("<tr", at);
  const std::size_t end = page.find("</tr>", at);
  return page.substr(start, end - start);
}

}  // namespace

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

  // Every line has 18 fields; the header names Row's members, the older
  // form's four columns first; each value sits under its own name.
  const std::vector<std::string> lines = split(slurp(file), '\n');
  ASSERT_EQ(lines.size(), 5U);  // header, 3 rows, the empty rest after the last line end
  EXPECT_EQ(lines[0], wavefft::batch::kSummaryHeader);
  EXPECT_EQ(lines[4], "");
  const std::vector<std::string> names = split(lines[0], '\t');
  ASSERT_EQ(names.size(), 18U);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
            (std::vector<std::string>{"record", "status", "exit", "diagnostic"}));
  const std::vector<std::string> first = split(lines[1], '\t');
  ASSERT_EQ(first.size(), 18U);
  for (std::size_t c = 0; c < names.size(); ++c) EXPECT_EQ(first[c], "a-" + names[c]);
  EXPECT_EQ(split(lines[3], '\t'), std::vector<std::string>(18, ""));
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
  EXPECT_EQ(slurp(file), std::string(wavefft::batch::kSummaryHeader) + "\n");
  EXPECT_TRUE(wavefft::batch::read_summary(file).empty());
}

TEST(BatchSummary, RefusesWhatIsNotSuchATableNamingFileAndLine) {
  TempDir tmp;
  const fs::path file = tmp.path() / "summary.tsv";
  const std::string header = wavefft::batch::kSummaryHeader;
  const std::string good = "r\tnormal\t0" + std::string(15, '\t');

  std::string e = error_of([&] { wavefft::batch::read_summary(tmp.path() / "none.tsv"); });
  EXPECT_NE(e.find("none.tsv"), std::string::npos) << e;

  spit(file, "");
  e = error_of([&] { wavefft::batch::read_summary(file); });
  EXPECT_NE(e.find("summary.tsv"), std::string::npos) << e;

  spit(file, "record\tstatus\texit\tdiagnostic\nr.txt\tnormal\t0\t\n");
  e = error_of([&] { wavefft::batch::read_summary(file); });
  EXPECT_NE(e.find("older four-column form"), std::string::npos) << e;

  spit(file, "record\tstatus\n" + good + "\n");
  e = error_of([&] { wavefft::batch::read_summary(file); });
  EXPECT_NE(e.find("summary.tsv line 1"), std::string::npos) << e;

  spit(file, header + "\n" + good + "\n" + good + "\textra\n");
  e = error_of([&] { wavefft::batch::read_summary(file); });
  EXPECT_NE(e.find("summary.tsv line 3: 19 fields, expected 18"), std::string::npos) << e;

  spit(file, header + "\n" + good + "\n\n");
  e = error_of([&] { wavefft::batch::read_summary(file); });
  EXPECT_NE(e.find("line 3: 1 fields"), std::string::npos) << e;

  // Line ends of CR LF still read (no field holds a CR).
  spit(file, header + "\r\n" + good + "\r\n");
  const std::vector<Row> rows = wavefft::batch::read_summary(file);
  ASSERT_EQ(rows.size(), 1U);
  EXPECT_EQ(rows[0].exit, "0");
  EXPECT_EQ(rows[0].page, "");

  e = error_of([&] { wavefft::batch::write_summary(tmp.path() / "no-such" / "summary.tsv", {}); });
  EXPECT_NE(e.find("no-such/summary.tsv"), std::string::npos) << e;
}

TEST(BatchIndexPage, EscapesEveryTextAndEncodesLinks) {
  Row r;
  r.record = "<script>alert('x')</script> & \"q\"";
  r.status = "normal";
  r.station = "St\xC3\xA9 <b>";
  r.event = "Ev'1";
  r.warnings = "a<b; c>d";
  r.page = "rec 1 #2?%/r\xC3\xA9'\"port.html";
  Row folder_only;
  folder_only.record = "only-folder";
  folder_only.status = "missing";
  folder_only.folder = "dir:x/sub";
  Row no_link;
  no_link.record = "no-link";
  no_link.status = "not-run";
  const std::string page =
      wavefft::batch::render_index({r, folder_only, no_link}, "Catalogue <A & B>");

  EXPECT_NE(page.find("<title>Catalogue &lt;A &amp; B&gt;</title>"), std::string::npos);
  EXPECT_NE(page.find("<h1>Catalogue &lt;A &amp; B&gt;</h1>"), std::string::npos);
  EXPECT_NE(page.find(">&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot;</a>"), std::string::npos);
  EXPECT_NE(page.find("<td>St\xC3\xA9 &lt;b&gt;</td>"), std::string::npos);
  EXPECT_NE(page.find("<td>Ev&#39;1</td>"), std::string::npos);
  EXPECT_NE(page.find("<td>a&lt;b; c&gt;d</td>"), std::string::npos);
  // The page holds one script, its own, and loads nothing from elsewhere.
  EXPECT_EQ(page.find("<script"), page.rfind("<script"));
  EXPECT_EQ(page.find("src="), std::string::npos);
  EXPECT_EQ(page.find("http"), std::string::npos);

  EXPECT_NE(page.find("<a href=\"rec%201%20%232%3F%25/r%C3%A9%27%22port.html\">"), std::string::npos);
  EXPECT_NE(page.find("<a href=\"dir%3Ax/sub\">only-folder</a>"), std::string::npos);
  EXPECT_NE(page.find("<td>no-link</td>"), std::string::npos);
}

TEST(BatchIndexPage, ShowsNumbersToFourDigitsAndKeepsTheFullValueForSorting) {
  Row r;
  r.record = "rec";
  r.status = "normal";
  r.dt = "0.01";
  r.duration = "163.84";
  r.pga = "0.123456789";
  r.pgv = "12345.6";
  r.psa_02 = "0.00001234";
  r.psa_10 = "9.99996";
  r.rotd50_10 = "";
  r.measured = "processed";
  const std::string line = row_with(wavefft::batch::render_index({r}, "t"), ">rec<");
  EXPECT_NE(line.find("data-sort=\"0.01\">0.01</td>"), std::string::npos) << line;
  EXPECT_NE(line.find("data-sort=\"163.84\">163.8</td>"), std::string::npos) << line;
  EXPECT_NE(line.find("data-sort=\"0.123456789\">0.1235</td>"), std::string::npos) << line;
  EXPECT_NE(line.find("data-sort=\"12345.6\">1.235e+04</td>"), std::string::npos) << line;
  EXPECT_NE(line.find("data-sort=\"0.00001234\">1.234e-05</td>"), std::string::npos) << line;
  EXPECT_NE(line.find("data-sort=\"9.99996\">10</td>"), std::string::npos) << line;
  EXPECT_NE(line.find("data-sort=\"\"></td>"), std::string::npos) << line;
  EXPECT_NE(line.find("<td>processed</td>"), std::string::npos) << line;

  // A text that is not a finite number is shown as it is.
  r.pga = "n/a";
  r.pgv = "inf";
  r.psa_02 = "1.5x";
  const std::string odd = row_with(wavefft::batch::render_index({r}, "t"), ">rec<");
  EXPECT_NE(odd.find("data-sort=\"n/a\">n/a</td>"), std::string::npos) << odd;
  EXPECT_NE(odd.find("data-sort=\"inf\">inf</td>"), std::string::npos) << odd;
  EXPECT_NE(odd.find("data-sort=\"1.5x\">1.5x</td>"), std::string::npos) << odd;
}

TEST(BatchIndexPage, CountsAndMarksFailedRecordsWithTheirDiagnostic) {
  Row ok;
  ok.record = "ok";
  ok.status = "normal";
  ok.diagnostic = "stale text";
  Row bad = ok;
  bad.record = "bad";
  bad.status = "import-failed";
  bad.exit = "1";
  bad.diagnostic = "no samples in <file>";
  Row killed = bad;
  killed.record = "killed";
  killed.status = "signal";
  killed.diagnostic = "";
  const std::string page = wavefft::batch::render_index({ok, bad, killed, ok}, "t");
  EXPECT_NE(page.find("data-records=\"4\" data-normal=\"2\" data-failed=\"2\">4 records: 2 normal, 2 failed "
                      "(1 import-failed, 1 signal).</p>"),
            std::string::npos);
  const std::string ok_line = row_with(page, ">ok<");
  EXPECT_EQ(ok_line.rfind("<tr>", 0), 0U) << ok_line;
  EXPECT_EQ(ok_line.find("stale text"), std::string::npos) << ok_line;
  const std::string bad_line = row_with(page, ">bad<");
  EXPECT_EQ(bad_line.rfind("<tr class=\"failed\">", 0), 0U) << bad_line;
  EXPECT_NE(bad_line.find("title=\"exit status 1\">import-failed</span><div class=\"diag\">no samples in "
                          "&lt;file&gt;</div>"),
            std::string::npos)
      << bad_line;
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
  const std::string page = slurp(results / "index.html");
  EXPECT_NE(page.find("<h1>wavefft-batch: joined 2 batches</h1>"), std::string::npos);
  EXPECT_NE(page.find("href=\"task%204/rec%20%231/report.html\""), std::string::npos);

  // A new folder beside the batches: created, paths lead up and back down.
  const fs::path joined = tmp.path() / "joined" / "all";
  wavefft::batch::join(joined, {results / "task-3"});
  rows = wavefft::batch::read_summary(joined / "summary.tsv");
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0].page, "../../results/task-3/NAME/report.html");
  EXPECT_NE(slurp(joined / "index.html").find("<h1>wavefft-batch: joined 1 batch</h1>"), std::string::npos);

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
  e = error_of([&] { wavefft::batch::join(out, {tmp.path() / "a", tmp.path() / "a" / "." }); });
  EXPECT_NE(e.find("given twice"), std::string::npos) << e;
  e = error_of([&] { wavefft::batch::join(out, {}); });
  EXPECT_NE(e, "");
  // A table that does not read stops the join before anything is written.
  fs::create_directories(tmp.path() / "old");
  spit(tmp.path() / "old" / "summary.tsv", "record\tstatus\texit\tdiagnostic\n");
  e = error_of([&] { wavefft::batch::join(out, {tmp.path() / "a", tmp.path() / "old"}); });
  EXPECT_NE(e.find("older four-column form"), std::string::npos) << e;
  EXPECT_FALSE(fs::exists(out));
}
