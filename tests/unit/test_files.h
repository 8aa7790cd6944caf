// SPDX-License-Identifier: GPL-3.0-or-later
// Files the unit tests read: the committed test data and a whole-file read
// that fails the test (never skips it) when a file is missing.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace wavefft::testing {

/// tests/data/ of the checkout.
inline const std::filesystem::path kTestData = std::filesystem::path(__FILE__).parent_path().parent_path() / "data";

/// The agency files that wavefft-import reads, as published.
inline const std::filesystem::path kRaw = kTestData / "import" / "raw";

/// The whole content of `path`; a failure of the calling test (and "")
/// when it cannot be read: committed data must be there.
inline std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A fresh folder under the system's temporary folder, named for `stem`,
/// the process and the object; removed with everything in it at the end.
class TempDir {
 public:
  explicit TempDir(const std::string& stem)
      : dir_(std::filesystem::temp_directory_path() /
             ("wavefft-" + stem + "-" + std::to_string(::getpid()) + "-" +
              std::to_string(reinterpret_cast<std::uintptr_t>(this)))) {
    std::filesystem::create_directories(dir_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

}  // namespace wavefft::testing
