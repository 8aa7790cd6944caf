// SPDX-License-Identifier: GPL-3.0-or-later
// Directions as agency files name a component: compass bearings, axis
// names, vertical words and plain azimuths.
#pragma once

#include <optional>
#include <string_view>

namespace wavefft::import::text {

/// What a channel name or orientation field says about the direction.
struct Orientation {
  std::optional<double> azimuth;  // horizontal: degrees clockwise from north, [0, 360)
  bool vertical = false;
};

/// Reads a direction the way agency files name it, letters without case,
/// blanks around it ignored: a compass bearing "N28W" -> 332, "S16W" ->
/// 196, "S74E" -> 106, "N90E" -> 90, "N00E" -> 0 (N or S, 0..90 degrees,
/// E or W); the names "EW", "E-W", "E" -> 90 and "NS", "N-S", "N" -> 0; a
/// vertical "UD", "U-D", "U", "UP", "V", "Z", "DWN", "DOWN", "VERT",
/// "VERTICAL"; a plain azimuth "360" -> 0, "67" -> 67. nullopt for
/// anything else, and for any name of more than 12 characters.
std::optional<Orientation> parse_orientation(std::string_view name);

/// A finite azimuth in degrees reduced to [0, 360): 370 -> 10, -90 -> 270,
/// 360 -> 0, -360 -> 0 (not -0), and a tiny negative one that would round
/// up to 360 -> 0.
double reduce_azimuth(double degrees);

}  // namespace wavefft::import::text
