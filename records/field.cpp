// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/field.h"

#include <algorithm>

namespace wavefft::records {

FieldValue read_field(std::string_view text, const common::NumberGrammar& grammar) {
  if (text.empty()) return {};
  // "************" -> overflowed: the writer's sign that the value did not fit.
  if (std::all_of(text.begin(), text.end(), [](char c) { return c == '*'; })) return {FieldStatus::overflowed, 0.0};
  const common::ParsedNumber p = common::parse_number(text, grammar);
  switch (p.status) {
    case common::NumberStatus::number: return {FieldStatus::number, p.value};
    case common::NumberStatus::out_of_range: return {FieldStatus::out_of_range, 0.0};
    case common::NumberStatus::not_a_number: break;
  }
  return {};
}

}  // namespace wavefft::records
