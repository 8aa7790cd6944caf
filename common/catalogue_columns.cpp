// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/catalogue_columns.h"

namespace wavefft::common {

namespace {

// The page shows every column that has a heading, each once, and no other.
constexpr bool page_columns_are_the_headed_ones() {
  std::size_t headed = 0;
  for (const CatalogueColumn& c : kCatalogueColumns) headed += c.heading.empty() ? 0 : 1;
  if (headed != kPageColumns.size()) return false;
  for (std::size_t i = 0; i < kPageColumns.size(); ++i) {
    if (kPageColumns[i] >= kCatalogueColumns.size() || kCatalogueColumns[kPageColumns[i]].heading.empty()) return false;
    for (std::size_t j = 0; j < i; ++j) {
      if (kPageColumns[j] == kPageColumns[i]) return false;
    }
  }
  return true;
}
static_assert(page_columns_are_the_headed_ones());

}  // namespace

std::string catalogue_header() {
  std::string header;
  for (const CatalogueColumn& c : kCatalogueColumns) {
    if (!header.empty()) header += '\t';
    header.append(c.name);
  }
  return header;
}

}  // namespace wavefft::common
