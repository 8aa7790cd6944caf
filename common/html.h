// SPDX-License-Identifier: GPL-3.0-or-later
// Text placed in an HTML or SVG page.
#pragma once

#include <string>
#include <string_view>

namespace wavefft::common {

/// `text` with & < > " ' written as entities, safe in element content and
/// in quoted attribute values: `a<b & "c"` -> `a&lt;b &amp; &quot;c&quot;`.
std::string escape_html(std::string_view text);

}  // namespace wavefft::common
