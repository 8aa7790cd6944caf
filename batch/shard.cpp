// SPDX-License-Identifier: GPL-3.0-or-later
// Shards of a catalogue (see shard.h).
#include "batch/shard.h"

#include <algorithm>
#include <numeric>
#include <set>

#include "batch/fields.h"
#include "batch/run.h"
#include "common/numbers.h"

namespace wavefft::batch {
namespace {

constexpr long long kMaxShards = 1000000;
constexpr long long kMaxRecords = 1000000000000;  // a catalogue's records, in shard.txt
constexpr std::string_view kShardTitle = "wavefft-batch shard ";

// A whole number of digits only ("+1", " 1" and "1.0" are not), at most
// `largest`.
std::optional<std::size_t> whole(std::string_view text, long long largest = kMaxShards) {
  if (text.empty() || text.size() > 13 || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  const std::optional<long long> n = common::to_integer(text, false);
  if (!n || *n > largest) return std::nullopt;
  return static_cast<std::size_t>(*n);
}

}  // namespace

std::optional<Shard> parse_shard(std::string_view text, std::string& error) {
  const std::string shown = "--shard: '" + std::string(text) + "' ";
  const std::size_t slash = text.find('/');
  std::size_t i = 0, n = 0;
  bool ok = slash != std::string_view::npos;
  if (ok) {
    const std::optional<std::size_t> first = whole(text.substr(0, slash)), second = whole(text.substr(slash + 1));
    ok = first.has_value() && second.has_value();
    i = first.value_or(0);
    n = second.value_or(0);
  }
  if (!ok) {
    error = shown + "is not I/N (two whole numbers, 0 <= I < N <= 1000000)";
    return std::nullopt;
  }
  if (n < 1) {
    error = shown + "needs N >= 1";
    return std::nullopt;
  }
  if (i >= n) {
    error = shown + "needs I < N (shards are numbered from 0)";
    return std::nullopt;
  }
  return Shard{i, n};
}

std::vector<std::size_t> shard_positions(const std::vector<std::string>& names, const Shard& s) {
  std::vector<std::size_t> by_name(names.size());
  std::iota(by_name.begin(), by_name.end(), std::size_t{0});
  std::sort(by_name.begin(), by_name.end(), [&names](std::size_t a, std::size_t b) { return names[a] < names[b]; });
  std::vector<std::size_t> mine;
  for (std::size_t rank = s.index; rank < by_name.size(); rank += s.count) mine.push_back(by_name[rank]);
  std::sort(mine.begin(), mine.end());
  return mine;
}

std::string shard_text(const ShardFile& f) {
  std::string text = std::string(kShardTitle) + std::to_string(f.shard.index) + "/" + std::to_string(f.shard.count) +
                     " of " + std::to_string(f.total) + "\n";
  for (const std::size_t p : f.positions) text += std::to_string(p) + "\n";
  return text;
}

std::optional<ShardFile> read_shard_file(const std::filesystem::path& dir) {
  const std::string text = read_all(dir / kShardFile);
  const std::vector<std::string_view> lines = split_lines(text);
  if (lines.empty() || lines[0].substr(0, kShardTitle.size()) != kShardTitle) return std::nullopt;
  const std::string_view head = lines[0].substr(kShardTitle.size());  // "I/N of TOTAL"
  const std::size_t of = head.find(" of ");
  std::string ignored;
  const std::optional<Shard> shard = of == std::string_view::npos ? std::nullopt : parse_shard(head.substr(0, of), ignored);
  const std::optional<std::size_t> total =
      of == std::string_view::npos ? std::nullopt : whole(head.substr(of + 4), kMaxRecords);
  if (!shard || !total) return std::nullopt;
  ShardFile f{*shard, *total, {}};
  for (std::size_t k = 1; k < lines.size(); ++k) {
    const std::optional<std::size_t> p = whole(lines[k], kMaxRecords);
    if (!p || *p >= f.total) return std::nullopt;
    f.positions.push_back(*p);
  }
  return f;
}

std::optional<std::vector<std::pair<std::size_t, std::size_t>>> shard_order(
    const std::vector<std::optional<ShardFile>>& files, const std::vector<std::size_t>& row_counts) {
  if (files.empty() || files.size() != row_counts.size()) return std::nullopt;
  std::vector<std::pair<std::size_t, std::pair<std::size_t, std::size_t>>> keyed;  // position, (folder, row)
  std::set<std::size_t> seen;
  for (std::size_t d = 0; d < files.size(); ++d) {
    const std::optional<ShardFile>& f = files[d];
    if (!f || f->shard.count != files[0]->shard.count || f->total != files[0]->total ||
        f->positions.size() != row_counts[d]) {
      return std::nullopt;
    }
    for (std::size_t r = 0; r < f->positions.size(); ++r) {
      if (!seen.insert(f->positions[r]).second) return std::nullopt;
      keyed.push_back({f->positions[r], {d, r}});
    }
  }
  std::sort(keyed.begin(), keyed.end());
  std::vector<std::pair<std::size_t, std::size_t>> order;
  order.reserve(keyed.size());
  for (const auto& k : keyed) order.push_back(k.second);
  return order;
}

}  // namespace wavefft::batch
