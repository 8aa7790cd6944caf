// SPDX-License-Identifier: GPL-3.0-or-later
// The detection table of wavefft-import.
#include "import/formats.h"

#include <algorithm>

namespace wavefft::import {

const Format kFormats[] = {
    {"SAC binary", is_sac, read_sac},
    {"miniSEED", is_mseed, read_mseed},
    {"StationXML", is_stationxml, read_stationxml},
    {"COSMOS", is_cosmos, read_cosmos},
    {"CSMIP/CGS", is_csmip, read_csmip},
    {"GeoNet", is_geonet, read_geonet},
    {"USGS SMC", is_smc, read_smc},
    {"PEER NGA AT2", is_peer_at2, read_peer_at2},
    {"K-NET/KiK-net ASCII", is_knet, read_knet},
    {"ESM/AFAD ASCII", is_esm, read_esm},
    {"Turkish national network text", is_turkish, read_turkish},
    {"Taiwan CWB", is_cwb, read_cwb},
    {"UNAM", is_unam, read_unam},
    {"RENADIC Volume 1", is_renadic, read_renadic},
    {"BHRC Volume 1", is_bhrc, read_bhrc},
    {"USC Volume 1", is_usc, read_usc},
};
const std::size_t kFormatCount = sizeof kFormats / sizeof kFormats[0];

const Format* detect_format(std::string_view head) {
  head = head.substr(0, std::min(head.size(), kDetectBytes));
  for (std::size_t i = 0; i < kFormatCount; ++i) {
    if (kFormats[i].detect(head)) return &kFormats[i];
  }
  return nullptr;
}

}  // namespace wavefft::import
