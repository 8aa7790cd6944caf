// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/text.h"

namespace wavefft::common {

std::string_view trim(std::string_view text, std::string_view blanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return text.substr(text.size());
  const std::size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

std::vector<std::string_view> split_at(std::string_view line, char sep) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  std::size_t end = 0;
  while ((end = line.find(sep, start)) != std::string_view::npos) {
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace wavefft::common
