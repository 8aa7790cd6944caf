// SPDX-License-Identifier: GPL-3.0-or-later
// What the start of a file says to wavefft-batch: whether it is a record in
// the input layout, and a record's header (event, station, kind, unit and
// the titles of the components). Texts in, texts out; no files.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wavefft::batch {

/// How much of a file is looked at to tell a record in the input layout
/// from another file, and to read a record's header.
inline constexpr std::size_t kHeadBytes = 64 * 1024;

/// True when `head` (the start of a file) has a line that holds 43 or more
/// fields (batch/fields.h line_fields): the time and 42 values of the input layout. A last
/// line cut off by the end of `head` counts too.
bool looks_like_record(std::string_view head);

/// The items of a free-form list: separated by blanks, tabs, commas or line
/// ends; an item quoted with '...' or "..." keeps its blanks and commas (a
/// doubled quote inside stands for one). At most `max_items` are returned.
std::vector<std::string> free_form_items(std::string_view text, std::size_t max_items);

/// A record's header: the four words that open it (free-form items, over one
/// line or more), and the titles of values 1, 2 and 11 (fields 2, 3 and 12
/// of the line after the one with the fourth word). Missing parts are empty.
struct Header {
  std::string event, station, kind, unit;
  std::string components;  // "NS EW UD"; empty when the title line is short
  std::array<std::string, 3> titles;  // "NS", "EW", "UD"; empty likewise
};
Header read_header(std::string_view head);

}  // namespace wavefft::batch
