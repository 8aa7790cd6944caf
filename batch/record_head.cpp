// SPDX-License-Identifier: GPL-3.0-or-later
// A record's head as wavefft-batch reads it (see record_head.h).
#include "batch/record_head.h"

#include <optional>

#include "batch/fields.h"

namespace wavefft::batch {
namespace {

// The free-form item that starts at or after `i`, with `i` moved past it;
// nullopt at the end of the text.
std::optional<std::string> next_item(std::string_view text, std::size_t& i) {
  auto separator = [](char c) { return is_layout_separator(c) || c == '\n'; };
  while (i < text.size() && separator(text[i])) ++i;
  if (i >= text.size()) return std::nullopt;
  std::string item;
  if (text[i] == '\'' || text[i] == '"') {
    // 'it''s' -> it's
    const char quote = text[i++];
    while (i < text.size()) {
      if (text[i] == quote) {
        if (i + 1 < text.size() && text[i + 1] == quote) {
          item += quote;
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      item += text[i++];
    }
  } else {
    // abc,def -> abc
    while (i < text.size() && !separator(text[i])) item += text[i++];
  }
  return item;
}

}  // namespace

bool looks_like_record(std::string_view head) {
  for (const std::string_view line : split_lines(head)) {
    if (line_fields(line).size() >= 43) return true;
  }
  return false;
}

std::vector<std::string> free_form_items(std::string_view text, std::size_t max_items) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (out.size() < max_items) {
    auto item = next_item(text, i);
    if (!item) break;
    out.push_back(std::move(*item));
  }
  return out;
}

Header read_header(std::string_view head) {
  Header h;
  // The four words, then the line after the one that holds the fourth.
  std::string* slots[] = {&h.event, &h.station, &h.kind, &h.unit};
  std::size_t i = 0;
  for (std::string* slot : slots) {
    auto item = next_item(head, i);
    if (!item) return h;
    *slot = std::move(*item);
  }
  const std::size_t nl = head.find('\n', i);
  if (nl == std::string_view::npos) return h;
  std::size_t end = head.find('\n', nl + 1);
  if (end == std::string_view::npos) end = head.size();
  const auto titles = line_fields(head.substr(nl + 1, end - nl - 1));
  if (titles.size() >= 12) {
    h.titles = {std::string(titles[1]), std::string(titles[2]), std::string(titles[11])};
    h.components = h.titles[0] + " " + h.titles[1] + " " + h.titles[2];
  }
  return h;
}

}  // namespace wavefft::batch
