// SPDX-License-Identifier: GPL-3.0-or-later
// Splitting a catalogue between independent batches (--shard I/N) and
// putting their outputs back in the order of one batch: each shard runs
// the records whose position in the sorted list of all records is I modulo
// N, and leaves OUTDIR/shard.txt, the position of each of its summary's
// rows in the list of all records as given, for --join.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wavefft::batch {

struct Shard {
  std::size_t index = 0;  // I
  std::size_t count = 1;  // N
};

/// "I/N" with 0 <= I < N (digits only, N at most 1000000): the shard, else
/// nothing and the reason in `error` ("--shard: '3/3' needs I < N").
std::optional<Shard> parse_shard(std::string_view text, std::string& error);

/// The positions in `names` (the records' folder names, all different, in
/// the order given) of the records of shard `s`: those whose rank in the
/// sorted names is s.index modulo s.count, in the order given.
std::vector<std::size_t> shard_positions(const std::vector<std::string>& names, const Shard& s);

/// What OUTDIR/shard.txt says: the shard, how many records the whole
/// catalogue holds, and per summary row its position among them.
struct ShardFile {
  Shard shard;
  std::size_t total = 0;
  std::vector<std::size_t> positions;
};

inline constexpr const char* kShardFile = "shard.txt";

/// The text of shard.txt: "wavefft-batch shard I/N of TOTAL", then a
/// position per line.
std::string shard_text(const ShardFile& f);

/// shard.txt of `dir` when it is there and well formed; nothing otherwise.
std::optional<ShardFile> read_shard_file(const std::filesystem::path& dir);

/// The order in which to list the rows of joined shards: `files` (one per
/// batch folder, in the order given), when they are shards of one
/// catalogue (the same N and total, no position twice, each with as many
/// positions as `row_counts` says its summary holds), as (folder, row)
/// pairs sorted by position. Nothing when they are not: the folders are
/// then listed one after another.
std::optional<std::vector<std::pair<std::size_t, std::size_t>>> shard_order(
    const std::vector<std::optional<ShardFile>>& files, const std::vector<std::size_t>& row_counts);

}  // namespace wavefft::batch
