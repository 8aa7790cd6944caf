// SPDX-License-Identifier: GPL-3.0-or-later
// The summary of a correction as JSON, and reading it back.
#include "correct/summary.h"

#include <cstddef>
#include <string>

#include "common/json.h"
#include "common/numbers.h"

namespace wavefft::correct {

namespace {

using common::JsonValue;

std::string_view corners_word(Corners c) {
  switch (c) {
    case Corners::snr: return "snr";
    case Corners::fallback: return "fallback";
    case Corners::given: return "given";
  }
  return "given";
}

constexpr double kUsableFactor = 1.25;  // the lowest usable frequency, times the high-pass corner

std::string number_or_null(const std::optional<double>& v) { return v ? common::shortest(*v) : "null"; }

std::string component_json(const SummaryComponent& c) {
  std::string s = "    {\"title\": " + common::json_string(c.title);
  s += ", \"highpass_hz\": " + common::shortest(c.highpass_hz);
  s += ", \"lowpass_hz\": " + number_or_null(c.lowpass_hz);
  s += ", \"corners\": " + common::json_string(c.corners);
  s += ", \"lowest_usable_hz\": " + common::shortest(c.lowest_usable_hz);
  s += ", \"pga_before\": " + common::shortest(c.pga_before);
  s += ", \"pga_after\": " + common::shortest(c.pga_after);
  s += ", \"residual_velocity_cm_s\": " + common::shortest(c.residual_velocity_cm_s);
  s += ", \"residual_displacement_cm\": " + common::shortest(c.residual_displacement_cm);
  s += ", \"flags\": [";
  for (std::size_t i = 0; i < c.flags.size(); ++i) s += (i ? ", " : "") + common::json_string(c.flags[i]);
  return s + "]}";
}

// The reading side: each accessor names the key that is missing or wrong.
class Fields {
 public:
  Fields(const JsonValue& object, const std::string& name, std::string where)
      : v_(object), name_(name), where_(std::move(where)) {
    if (v_.kind != JsonValue::Kind::object) fail(where_ + " is not an object");
  }
  [[noreturn]] void fail(const std::string& what) const { throw SummaryError(name_ + ": " + what); }

  const JsonValue& get(std::string_view key, JsonValue::Kind kind, const char* kind_name) const {
    const JsonValue* f = v_.find(key);
    if (!f) fail(where_ + " has no \"" + std::string(key) + "\"");
    if (f->kind != kind) fail("\"" + std::string(key) + "\" of " + where_ + " is not " + kind_name);
    return *f;
  }
  double number(std::string_view key) const { return get(key, JsonValue::Kind::number, "a number").number; }
  std::optional<double> number_or_null(std::string_view key) const {
    const JsonValue* f = v_.find(key);
    if (f && f->kind == JsonValue::Kind::null) return std::nullopt;
    return number(key);
  }
  std::string text(std::string_view key) const { return get(key, JsonValue::Kind::string, "a string").text; }

 private:
  const JsonValue& v_;
  const std::string& name_;
  std::string where_;
};

SummaryComponent read_component(const JsonValue& v, const std::string& name, std::size_t k) {
  const Fields f(v, name, "component " + std::to_string(k + 1));
  SummaryComponent c;
  c.title = f.text("title");
  c.highpass_hz = f.number("highpass_hz");
  c.lowpass_hz = f.number_or_null("lowpass_hz");
  c.corners = f.text("corners");
  c.lowest_usable_hz = f.number("lowest_usable_hz");
  c.pga_before = f.number("pga_before");
  if (v.find("pga_after")) c.pga_after = f.number("pga_after");
  c.residual_velocity_cm_s = f.number("residual_velocity_cm_s");
  c.residual_displacement_cm = f.number("residual_displacement_cm");
  for (const JsonValue& flag : f.get("flags", JsonValue::Kind::array, "an array").items) {
    if (flag.kind != JsonValue::Kind::string) f.fail("a flag of component " + std::to_string(k + 1) + " is not a string");
    c.flags.push_back(flag.text);
  }
  return c;
}

}  // namespace

Summary summarise(const Correction& c, const std::array<std::string, 3>& titles, std::string_view unit) {
  Summary s;
  if (c.onset) s.onset_s = c.onset_s();
  s.noise_s = c.onset_s();
  s.unit = unit;
  for (std::size_t k = 0; k < 3; ++k) {
    const ComponentReport& r = c.components[k];
    SummaryComponent& o = s.components[k];
    o.title = titles[k].empty() ? "comp" + std::to_string(k + 1) : titles[k];
    o.highpass_hz = r.highpass_hz;
    o.lowpass_hz = r.lowpass_hz;
    o.corners = corners_word(r.corners);
    o.lowest_usable_hz = kUsableFactor * r.highpass_hz;
    o.pga_before = r.pga_before;
    o.pga_after = r.pga_after;
    o.residual_velocity_cm_s = r.residual_velocity_cm_s;
    o.residual_displacement_cm = r.residual_displacement_cm;
    o.flags = flag_words(r.flags);
  }
  return s;
}

std::string summary_json(const Summary& s) {
  std::string out = "{\n  \"onset_s\": " + number_or_null(s.onset_s) + ",\n";
  out += "  \"noise_s\": " + common::shortest(s.noise_s) + ",\n";
  out += "  \"unit\": " + common::json_string(s.unit) + ",\n";
  out += "  \"components\": [\n";
  for (std::size_t k = 0; k < 3; ++k) out += component_json(s.components[k]) + (k < 2 ? ",\n" : "\n");
  return out + "  ]\n}\n";
}

Summary parse_summary(std::string_view text, const std::string& name) {
  JsonValue root;
  try {
    root = common::parse_json(text);
  } catch (const common::JsonError& e) {
    throw SummaryError(name + ": " + e.what());
  }
  const Fields f(root, name, "the summary");
  Summary s;
  s.onset_s = f.number_or_null("onset_s");
  s.noise_s = f.number("noise_s");
  if (root.find("unit")) s.unit = f.text("unit");
  const JsonValue& comps = f.get("components", JsonValue::Kind::array, "an array");
  if (comps.items.size() != 3) f.fail("\"components\" holds " + std::to_string(comps.items.size()) + " entries, not 3");
  for (std::size_t k = 0; k < 3; ++k) s.components[k] = read_component(comps.items[k], name, k);
  return s;
}

}  // namespace wavefft::correct
