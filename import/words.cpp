// SPDX-License-Identifier: GPL-3.0-or-later
// Words and fields of a line (contracts in words.h).
#include "import/words.h"

#include <cctype>
#include <optional>

#include "common/numbers.h"
#include "common/text.h"

namespace wavefft::import::text {

namespace {

bool is_sep(char c) { return c == ' ' || c == '\t' || c == ','; }
char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

}  // namespace

std::string_view trim(std::string_view s) { return common::trim(s); }

bool starts_with_nocase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (upper(s[i]) != upper(prefix[i])) return false;
  }
  return true;
}

bool equals_nocase(std::string_view a, std::string_view b) { return a.size() == b.size() && starts_with_nocase(a, b); }

std::size_t find_nocase(std::string_view s, std::string_view needle) {
  if (needle.empty()) return 0;
  for (std::size_t i = 0; i + needle.size() <= s.size(); ++i) {
    if (starts_with_nocase(s.substr(i), needle)) return i;
  }
  return std::string_view::npos;
}

bool next_word(std::string_view line, std::size_t& i, std::string_view& word) {
  while (i < line.size() && is_sep(line[i])) ++i;
  if (i >= line.size()) return false;
  std::size_t j = i;
  while (j < line.size() && !is_sep(line[j])) ++j;
  word = line.substr(i, j - i);
  i = j;
  return true;
}

std::vector<std::string_view> split_words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  std::string_view word;
  while (next_word(line, i, word)) words.push_back(word);
  return words;
}

std::string_view word_after(std::string_view line, std::string_view label) {
  const std::size_t at = find_nocase(line, label);
  if (at == std::string_view::npos) return {};
  std::size_t i = at + label.size();
  std::string_view word;
  return next_word(line, i, word) ? word : std::string_view{};
}

std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (const char c : s.substr(0, 40)) {
    const auto u = static_cast<unsigned char>(c);
    out += (u < 0x20 || u > 0x7e) ? '?' : c;
  }
  if (s.size() > 40) out += "...";
  out += '"';
  return out;
}

Problem read_count(std::string_view word, std::string_view name, long long least, long long most,
                   const std::string& file, std::size_t line, long long& n) {
  const std::optional<long long> v = common::to_integer(trim(word));
  if (!v || *v < least || *v > most) {
    return Problem{Status::malformed, file, line,
                   std::string(name) + " is not a count from " + std::to_string(least) + " to " +
                       std::to_string(most) + ": " + quoted(word)};
  }
  n = *v;
  return {};
}

}  // namespace wavefft::import::text
