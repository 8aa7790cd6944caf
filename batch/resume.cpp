// SPDX-License-Identifier: GPL-3.0-or-later
// A record's completion file (see resume.h).
#include "batch/resume.h"

#include <string_view>
#include <system_error>

#include "batch/fields.h"
#include "batch/run.h"
#include "common/files.h"
#include "common/numbers.h"
#include "common/text.h"

namespace wavefft::batch {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kTitle = "wavefft-batch record 1";

// A plain file name of the folder: no path, not "." or "..".
bool plain_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::string row_text(const Row& row) {
  std::string text;
  for (std::size_t c = 0; c < kRowFields.size(); ++c) {
    if (c != 0) text += '\t';
    text += one_line(row.*kRowFields[c]);
  }
  return text;
}

bool read_row(std::string_view text, Row& row) {
  const std::vector<std::string_view> fields = common::split_at(text, '\t');
  if (fields.size() != kRowFields.size()) return false;
  for (std::size_t c = 0; c < fields.size(); ++c) row.*kRowFields[c] = std::string(fields[c]);
  return true;
}

// True when the line "file<TAB>NAME<TAB>SIZE" names a file of `folder`
// that is there at that size.
bool file_still_there(const fs::path& folder, std::string_view line) {
  const std::vector<std::string_view> f = common::split_at(line, '\t');
  if (f.size() != 3 || !plain_name(f[1])) return false;
  const std::optional<long long> size = common::to_integer(f[2], false);
  std::error_code ec;
  const fs::path file = folder / std::string(f[1]);
  if (!size || !fs::is_regular_file(file, ec)) return false;
  const std::uintmax_t now = fs::file_size(file, ec);
  return !ec && now == static_cast<std::uintmax_t>(*size);
}

}  // namespace

bool write_done(const fs::path& folder, const Outcome& done, const std::string& settings,
                const std::vector<std::string>& files) {
  std::string text = std::string(kTitle) + "\nsettings\t" + one_line(settings) + "\n";
  for (const std::string& name : files) {
    std::error_code ec;
    const fs::path file = folder / name;
    if (!plain_name(name) || !fs::is_regular_file(file, ec)) continue;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (!ec) text += "file\t" + name + "\t" + std::to_string(size) + "\n";
  }
  text += "row\t" + row_text(done.row) + "\n";
  text += "flat\t" + one_line(done.flat) + "\n";
  common::FileFault ignored;
  return common::replace_file(folder / kDoneFile, text, ignored);
}

std::optional<Outcome> read_done(const fs::path& folder, const std::string& record, const std::string& settings) {
  const std::string text = read_all(folder / kDoneFile);
  const std::vector<std::string_view> lines = split_lines(text);
  if (lines.size() < 4 || lines[0] != kTitle || lines[1] != "settings\t" + one_line(settings)) return std::nullopt;
  Outcome out;
  bool have_row = false, have_flat = false;
  for (std::size_t k = 2; k < lines.size(); ++k) {
    const std::string_view line = lines[k];
    const std::string_view key = line.substr(0, line.find('\t'));
    const std::string_view rest = line.substr(std::min(line.size(), key.size() + 1));
    if (key == "file" && !file_still_there(folder, line)) return std::nullopt;
    if (key == "row") have_row = read_row(rest, out.row);
    if (key == "flat") {
      out.flat = std::string(rest);
      have_flat = true;
    }
  }
  if (!have_row || !have_flat || out.row.record != one_line(record)) return std::nullopt;
  return out;
}

}  // namespace wavefft::batch
