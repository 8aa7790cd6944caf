// SPDX-License-Identifier: GPL-3.0-or-later
// The layouts wavefft-import reads: one detector and one reader per format
// family, and the table that detection walks in order.
//
// A detector looks at the first bytes of a file (at most kDetectBytes) and
// answers whether the file is in its layout; it must be cheap and must not
// claim another family's files. A reader parses the whole file; on success
// it appends what the file holds to `out` and returns a Problem with status
// ok; otherwise it returns the failure (file, line, words) and `out` is
// unspecified. A family's name is written once, in kFormats: a reader sets
// FileContents::format only to name a member of its family that the file
// turned out to be ("COSMOS Volume 2", "CDMG Volume 1") and leaves it
// empty otherwise; the caller then takes Format::name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "import/record.h"

namespace wavefft::import {

inline constexpr std::size_t kDetectBytes = 4096;

using DetectFn = bool (*)(std::string_view head);
using ReadFn = Problem (*)(std::string_view bytes, const std::string& file, FileContents& out);

struct Format {
  const char* name;  // "K-NET/KiK-net ASCII", "SAC binary", ...: what --info shows
  DetectFn detect;
  ReadFn read;
};

// PEER NGA .AT2 (peer.cpp)
bool is_peer_at2(std::string_view head);
Problem read_peer_at2(std::string_view bytes, const std::string& file, FileContents& out);
// COSMOS Volume 0/1/2 (cosmos.cpp)
bool is_cosmos(std::string_view head);
Problem read_cosmos(std::string_view bytes, const std::string& file, FileContents& out);
// CSMIP/CGS Volume 1 and 2, newer and older all-caps layouts (csmip.cpp)
bool is_csmip(std::string_view head);
Problem read_csmip(std::string_view bytes, const std::string& file, FileContents& out);
// GeoNet Volume 1 and 2, .V1A/.V2A (geonet.cpp)
bool is_geonet(std::string_view head);
Problem read_geonet(std::string_view bytes, const std::string& file, FileContents& out);
// USGS SMC (smc.cpp)
bool is_smc(std::string_view head);
Problem read_smc(std::string_view bytes, const std::string& file, FileContents& out);
// K-NET and KiK-net ASCII (knet.cpp)
bool is_knet(std::string_view head);
Problem read_knet(std::string_view bytes, const std::string& file, FileContents& out);
// ESM-style and AFAD .asc (esm.cpp)
bool is_esm(std::string_view head);
Problem read_esm(std::string_view bytes, const std::string& file, FileContents& out);
// The older Turkish national network text (turkish.cpp)
bool is_turkish(std::string_view head);
Problem read_turkish(std::string_view bytes, const std::string& file, FileContents& out);
// Taiwan CWB .dat (cwb.cpp)
bool is_cwb(std::string_view head);
Problem read_cwb(std::string_view bytes, const std::string& file, FileContents& out);
// UNAM Mexico (unam.cpp)
bool is_unam(std::string_view head);
Problem read_unam(std::string_view bytes, const std::string& file, FileContents& out);
// RENADIC Chile Volume 1 (renadic.cpp)
bool is_renadic(std::string_view head);
Problem read_renadic(std::string_view bytes, const std::string& file, FileContents& out);
// BHRC Iran Volume 1 (bhrc.cpp)
bool is_bhrc(std::string_view head);
Problem read_bhrc(std::string_view bytes, const std::string& file, FileContents& out);
// USC Volume 1 time-value pairs (usc.cpp)
bool is_usc(std::string_view head);
Problem read_usc(std::string_view bytes, const std::string& file, FileContents& out);
// SAC binary, either byte order (sac.cpp)
bool is_sac(std::string_view head);
Problem read_sac(std::string_view bytes, const std::string& file, FileContents& out);
// miniSEED 2 through libmseed (mseed.cpp)
bool is_mseed(std::string_view head);
Problem read_mseed(std::string_view bytes, const std::string& file, FileContents& out);
// StationXML 1.0/1.1 through pugixml (stationxml.cpp)
bool is_stationxml(std::string_view head);
Problem read_stationxml(std::string_view bytes, const std::string& file, FileContents& out);

/// Every layout, in the order detection tries them (formats.cpp). The
/// binary layouts come first: their detectors check exact header bytes.
extern const Format kFormats[];
extern const std::size_t kFormatCount;

/// The first format whose detector accepts `head` (the file's first
/// kDetectBytes bytes or fewer), or nullptr.
const Format* detect_format(std::string_view head);

}  // namespace wavefft::import
