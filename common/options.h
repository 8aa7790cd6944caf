// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a command's options that take a value in its argument words:
// "--name VALUE" and "--name=VALUE" alike.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace wavefft::common {

/// The option of `table` (each entry has a `name`) that words[i] names,
/// or nullptr. "--name VALUE" moves i onto the value; "--name=VALUE" (not
/// for a one-letter option such as "-o") carries it. `value` is left empty
/// when "--name" is the last word: the caller reports the missing value.
template <typename Option, std::size_t N>
const Option* find_value_option(std::span<const std::string_view> words, std::size_t& i, const Option (&table)[N],
                                std::optional<std::string_view>& value) {
  const std::string_view word = words[i];
  for (const Option& o : table) {
    const std::string_view name = o.name;
    if (word == name) {
      if (i + 1 < words.size()) value = words[++i];
      return &o;
    }
    if (name.size() > 2 && word.size() > name.size() && word.starts_with(name) && word[name.size()] == '=') {
      value = word.substr(name.size() + 1);
      return &o;
    }
  }
  return nullptr;
}

}  // namespace wavefft::common
