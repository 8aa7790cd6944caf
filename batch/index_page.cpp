// SPDX-License-Identifier: GPL-3.0-or-later
// index.html of wavefft-batch: one self-contained page listing the records of
// a catalogue, each linked to its report page, sortable by any column. The
// page needs no server and loads nothing: the style and the few lines of
// script that sort the table are inline.
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "batch/summary.h"
#include "common/html.h"
#include "common/numbers.h"

namespace wavefft::batch {
namespace {

using common::escape_html;

constexpr std::size_t kRecordColumn = common::catalogue_column("record");
constexpr std::size_t kStatusColumn = common::catalogue_column("status");
constexpr std::size_t kCornersColumn = common::catalogue_column("hp1_hz");

// A relative path as the href of a link: every byte but the unreserved
// characters and '/' is percent-encoded, so that blanks, '#', '?', '%',
// quotes, ':' (which would read as a scheme) and UTF-8 names all reach the
// file they name.
std::string encode_link(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    const bool keep = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
                      b == '.' || b == '_' || b == '~' || b == '/';
    if (keep) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

// A number of the table as shown: 4 significant digits ("0.1235",
// "1.235e-05"); a text that is not a finite number ("+5", "inf", "n/a") is
// shown as it is.
std::string four_digits(const std::string& text) {
  const std::optional<double> v = common::to_number(text, common::NumberGrammar{});
  if (!v || !std::isfinite(*v)) return text;
  return common::significant(*v, 4);
}

void text_cell(std::string& h, const std::string& text) { h += "<td>" + escape_html(text) + "</td>"; }

void number_cell(std::string& h, const std::string& text) {
  h += "<td class=\"num\" data-sort=\"" + escape_html(text) + "\">" + escape_html(four_digits(text)) + "</td>";
}

void record_cell(std::string& h, const Row& row) {
  const std::string& target = !row.page.empty() ? row.page : row.folder;
  h += "<td>";
  if (target.empty()) {
    h += escape_html(row.record);
  } else {
    h += "<a href=\"" + escape_html(encode_link(target)) + "\">" + escape_html(row.record) + "</a>";
  }
  h += "</td>";
}

// The status, then the diagnostic of a failed record and the correction's
// flags; sorted by the status and then the flags, so that flagged records
// follow the others of their status.
void status_cell(std::string& h, const Row& row) {
  const std::string key = row.flags.empty() ? row.status : row.status + " " + row.flags;
  h += "<td data-sort=\"" + escape_html(key) + "\"><span class=\"status\"";
  if (!row.exit.empty()) h += " title=\"exit status " + escape_html(row.exit) + "\"";
  h += ">" + escape_html(row.status) + "</span>";
  if (row.status != "normal" && !row.diagnostic.empty()) {
    h += "<div class=\"diag\">" + escape_html(row.diagnostic) + "</div>";
  }
  if (!row.flags.empty()) h += "<div class=\"flags\">" + escape_html(row.flags) + "</div>";
  h += "</td>";
}

// The largest high-pass corner of the three components, as written: the
// lowest frequency that all of them keep. "" when none is a number.
std::string highest_highpass(const Row& row) {
  std::string text;
  double highest = 0.0;
  for (const std::string* hp : {&row.hp1_hz, &row.hp2_hz, &row.hp3_hz}) {
    const std::optional<double> v = common::to_number(*hp, common::NumberGrammar{});
    if (v && std::isfinite(*v) && (text.empty() || *v > highest)) {
      highest = *v;
      text = *hp;
    }
  }
  return text;
}

// The correction's corners: a block "HP–LP" per component in the order of
// the components ("none" for no low-pass), a line break allowed after the
// dash; sorted by the largest high-pass corner. Empty without corners.
void corners_cell(std::string& h, const Row& row) {
  h += "<td class=\"band\" data-sort=\"" + escape_html(highest_highpass(row)) + "\">";
  const std::pair<const std::string&, const std::string&> bands[] = {
      {row.hp1_hz, row.lp1_hz}, {row.hp2_hz, row.lp2_hz}, {row.hp3_hz, row.lp3_hz}};
  for (const auto& [hp, lp] : bands) {
    if (hp.empty() && lp.empty()) continue;
    h += "<div>" + escape_html(four_digits(hp)) + "\u2013<wbr>" + (lp.empty() ? "none" : escape_html(four_digits(lp))) +
         "</div>";
  }
  h += "</td>";
}

// The cell of column `c` (a position in common::kCatalogueColumns) of `row`.
void cell(std::string& h, const Row& row, std::size_t c) {
  // The record links to its page; the status carries the exit status, the
  // diagnostic of a failed record and the flags of a corrected one; the
  // corners are those of all three components: they look at other fields too.
  if (c == kRecordColumn) return record_cell(h, row);
  if (c == kStatusColumn) return status_cell(h, row);
  if (c == kCornersColumn) return corners_cell(h, row);
  const std::string& text = row.*kRowFields[c];
  if (common::kCatalogueColumns[c].numeric) return number_cell(h, text);
  text_cell(h, text);
}

// The 1-based place of the catalogue column `name` among the page's
// `columns`, for the style's nth-child (0 when the page does not show it).
constexpr std::size_t page_position(std::span<const std::size_t> columns, std::string_view name) {
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (common::kCatalogueColumns[columns[k]].name == name) return k + 1;
  }
  return 0;
}
// The style keeps the first column in view when the page scrolls sideways,
// and gives the warnings column room. page_columns may leave out the
// corners, and no other column: the style takes its places from the
// columns shown.
static_assert(page_position(common::kPageColumns, "record") == 1, "the record is the page's first column");
static_assert(page_position(common::kPageColumns, "warnings") != 0, "the page shows the warnings");
static_assert(page_position(common::kPageColumns, "event") != 0, "the page shows the event");

// A row with a corner of the correction.
bool has_corners(const Row& row) {
  return !(row.hp1_hz.empty() && row.hp2_hz.empty() && row.hp3_hz.empty() && row.lp1_hz.empty() &&
           row.lp2_hz.empty() && row.lp3_hz.empty());
}

// The table fits the window where the cells' words allow: record names,
// event codes, diagnostics and warnings wrap anywhere when a word alone is
// too wide, the other texts between words, numbers never (a band of
// corners only after its dash). Its seventeen columns fit 1400 pixels
// through a slightly smaller type and narrow side padding. A window
// too narrow for it scrolls sideways, and the record column stays at its
// left edge, over an opaque background; the headings stay at the top.
std::string style(std::span<const std::size_t> columns) {
  return "body{font-family:system-ui,sans-serif;margin:1.5em;color:#222}"
         "h1{font-size:1.4em}"
         "table{border-collapse:collapse;font-size:0.85em}"
         "th,td{border-bottom:1px solid #ddd;padding:0.25em 0.3em;text-align:left;vertical-align:top}"
         "th{background:#f2f2f2;position:sticky;top:0;z-index:2}"
         "td:first-child{position:sticky;left:0;z-index:1;background:#fff;min-width:8em;overflow-wrap:anywhere}"
         "th:first-child{left:0;z-index:3}"
         "tr.failed td:first-child{background:#fde8e8}"
         "td:nth-child(" +
         std::to_string(page_position(columns, "warnings")) +
         "){min-width:12em;overflow-wrap:anywhere}"
         // An agency's event code ("20141231234900M4.2") is one long word:
         // it wraps too rather than push the table wider.
         "td:nth-child(" +
         std::to_string(page_position(columns, "event")) + "){overflow-wrap:anywhere}"
         "th button{font:inherit;font-weight:bold;background:none;border:0;padding:0;cursor:pointer;color:inherit}"
         "th[aria-sort=ascending] button::after{content:\" \\25B2\"}"
         "th[aria-sort=descending] button::after{content:\" \\25BC\"}"
         "td.num{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}"
         "td.band{text-align:right;font-variant-numeric:tabular-nums}"
         "td.band div+div{margin-top:0.3em}"
         "tr.failed{background:#fde8e8}"
         "tr.failed .status{color:#a00;font-weight:bold}"
         ".diag{font-size:0.85em;color:#555;min-width:10em;max-width:30em;overflow-wrap:anywhere}"
         ".flags{font-size:0.85em;color:#8a5a00}"
         ".note{font-size:0.85em;color:#555;max-width:60em}";
}

// Sorts the rows on a click on a heading (one listener on the table's head,
// none per row): a first click ascending, a second descending. Numbers
// compare as numbers, texts by the reader's locale; empty cells stay last
// either way; equal keys keep their present order.
constexpr const char* kScript =
    "(function () {\n"
    "  var table = document.getElementById(\"catalogue\"), body = table.tBodies[0];\n"
    "  var heads = table.tHead.rows[0].cells;\n"
    "  var collate = window.Intl ? new Intl.Collator(undefined, {numeric: true}).compare\n"
    "                            : function (a, b) { return a.localeCompare(b); };\n"
    "  function sortBy(col) {\n"
    "    var th = heads[col], numeric = th.getAttribute(\"data-type\") === \"number\";\n"
    "    var dir = th.getAttribute(\"aria-sort\") === \"ascending\" ? -1 : 1;\n"
    "    var keyed = Array.prototype.map.call(body.rows, function (row, i) {\n"
    "      var cell = row.cells[col], s = cell.hasAttribute(\"data-sort\") ? cell.getAttribute(\"data-sort\")\n"
    "                                                                 : cell.textContent;\n"
    "      s = s.trim();\n"
    "      var k = numeric ? (s === \"\" ? NaN : Number(s)) : s;\n"
    "      return {row: row, key: k, empty: numeric ? isNaN(k) : s === \"\", i: i};\n"
    "    });\n"
    "    keyed.sort(function (a, b) {\n"
    "      if (a.empty || b.empty) return a.empty === b.empty ? a.i - b.i : (a.empty ? 1 : -1);\n"
    "      var d = numeric ? (a.key < b.key ? -1 : a.key > b.key ? 1 : 0) : collate(a.key, b.key);\n"
    "      return dir * d || a.i - b.i;\n"
    "    });\n"
    "    var frag = document.createDocumentFragment();\n"
    "    keyed.forEach(function (k) { frag.appendChild(k.row); });\n"
    "    body.appendChild(frag);\n"
    "    for (var c = 0; c < heads.length; c++) heads[c].setAttribute(\"aria-sort\", \"none\");\n"
    "    th.setAttribute(\"aria-sort\", dir > 0 ? \"ascending\" : \"descending\");\n"
    "  }\n"
    "  table.tHead.addEventListener(\"click\", function (e) {\n"
    "    var th = e.target.closest(\"th\");\n"
    "    if (th) sortBy(th.cellIndex);\n"
    "  });\n"
    "})();\n";

// The page up to its heading: the document's head with the title and the
// style of the table of `columns`, then <body> and <h1>TITLE</h1>.
void page_head(std::string& h, const std::string& title, std::span<const std::size_t> columns) {
  h += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">";
  h += "<title>" + escape_html(title) + "</title><style>";
  h += style(columns);
  h += "</style></head>\n<body>\n<h1>" + escape_html(title) + "</h1>\n";
}

// The line of counts over the table, the counts also as attributes:
// "3 records: 1 normal, 2 failed (1 diagnostic, 1 missing)." A row without
// a status counts as failed, under "no status".
void counts_paragraph(std::string& h, const std::vector<Row>& rows) {
  std::size_t normal = 0;
  std::map<std::string, std::size_t> failures;  // status -> records
  for (const Row& row : rows) {
    if (row.status == "normal") {
      ++normal;
    } else {
      ++failures[row.status.empty() ? "no status" : row.status];
    }
  }
  const std::size_t failed = rows.size() - normal;
  h += "<p class=\"counts\" data-records=\"" + std::to_string(rows.size()) + "\" data-normal=\"" +
       std::to_string(normal) + "\" data-failed=\"" + std::to_string(failed) + "\">" +
       std::to_string(rows.size()) + (rows.size() == 1 ? " record: " : " records: ") + std::to_string(normal) +
       " normal, " + std::to_string(failed) + " failed";
  if (!failures.empty()) {
    h += " (";
    bool first = true;
    for (const auto& [status, count] : failures) {
      if (!first) h += ", ";
      first = false;
      h += std::to_string(count) + " " + escape_html(status);
    }
    h += ")";
  }
  h += ".</p>\n";
}

// The table: a heading button per column of `columns` (data-type "number"
// or "text" for the script), then one row per Row, a failed one of class
// "failed".
void catalogue_table(std::string& h, const std::vector<Row>& rows, std::span<const std::size_t> columns) {
  h += "<table id=\"catalogue\"><thead><tr>";
  for (const std::size_t c : columns) {
    const common::CatalogueColumn& column = common::kCatalogueColumns[c];
    h += std::string("<th data-type=\"") + (column.numeric ? "number" : "text") + "\" aria-sort=\"none\">" +
         "<button type=\"button\">" + escape_html(column.heading) + "</button></th>";
  }
  h += "</tr></thead>\n<tbody>\n";
  for (const Row& row : rows) {
    h += row.status == "normal" ? "<tr>" : "<tr class=\"failed\">";
    for (const std::size_t c : columns) cell(h, row, c);
    h += "</tr>\n";
  }
  h += "</tbody></table>\n";
}

// The note under the table: what the columns measure, and how they show
// and sort.
constexpr const char* kNote =
    "<p class=\"note\">PGA, PGV and the PSA columns are the larger of the two horizontal components; the "
    "response spectra are for 5% damping, and RotD50 is the median over all rotation angles of the two "
    "horizontals. EAS is the effective amplitude spectrum of the two horizontals (the root mean square of "
    "their Fourier amplitudes), smoothed with the Konno-Ohmachi window of bandwidth 188.5, at 1 Hz and 5 Hz; "
    "blank where the record has no line near that frequency or samples too coarsely for it. "
    "All are measured on the processed record when the processing left an acceleration, "
    "else on the input record: the column Measured says which (blank: not measured). A batch run with "
    "--correct corrects each record first and measures the corrected one: Corners holds the band each "
    "component was filtered to, a line \"high-pass\u2013low-pass\" (Hz) per component in the order of the "
    "column Components (none: no low-pass), and sorts by the highest high-pass corner; the status is followed "
    "by what the correction left to be looked at, as compN:FLAG (FLAG: no-noise, low-snr, drift or residual), "
    "and a flagged record sorts after the others of its status. Numbers are shown "
    "to 4 significant digits and sort by their full value. A click on a heading sorts by that column; a "
    "second click reverses the order.</p>\n";

}  // namespace

std::vector<std::size_t> page_columns(const std::vector<Row>& rows) {
  const bool corners = std::any_of(rows.begin(), rows.end(), has_corners);
  std::vector<std::size_t> columns;
  for (const std::size_t c : common::kPageColumns) {
    if (c != kCornersColumn || corners) columns.push_back(c);
  }
  return columns;
}

std::string render_index(const std::vector<Row>& rows, const std::string& title) {
  const std::vector<std::size_t> columns = page_columns(rows);
  std::string h;
  h.reserve(1024 + rows.size() * 700);
  page_head(h, title, columns);
  counts_paragraph(h, rows);
  catalogue_table(h, rows, columns);
  h += kNote;
  h += "<script>\n";
  h += kScript;
  h += "</script>\n</body></html>\n";
  return h;
}

}  // namespace wavefft::batch
