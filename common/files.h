// SPDX-License-Identifier: GPL-3.0-or-later
// Files for the tools: a whole file read into memory, a file replaced
// atomically (written beside its target under a hidden temporary name,
// then renamed over it), and the missing folders of an output path made.
// Every failure is returned as a FileFault: the step that failed and the
// system's reason ("No such file or directory"); nothing here prints or
// throws.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace wavefft::common {

/// Why a file operation failed.
struct FileFault {
  enum class Step {
    open,     // opening the file to read it
    read,     // reading it, or it is a folder
    folder,   // making a missing folder of the path
    create,   // creating the temporary file beside the target
    write,    // writing, flushing or closing it
    replace,  // renaming it over the target
  };
  Step step = Step::open;
  int error = 0;       // the errno behind it (0 when none applies)
  std::string reason;  // the system's words: "No such file or directory"
};

/// The whole content of `path` in `text`; false with the fault when it cannot be opened or read (a folder cannot be read).
bool read_file(const std::filesystem::path& path, std::string& text, FileFault& fault);

/// Makes `folder` and every missing folder above it; true when it is a
/// folder afterwards. False with the fault (step folder) when a folder
/// cannot be made or a part of the path is not a folder:
/// "a.txt/out" with a.txt a file -> "Not a directory".
bool make_folders(const std::filesystem::path& folder, FileFault& fault);

/// Makes every missing folder above `file` (nothing when its folder exists
/// or it has none). False with the fault when a folder cannot be made or
/// a part of the path is not a folder.
bool make_parent_folders(const std::filesystem::path& file, FileFault& fault);

/// A file written under a temporary name in the folder of `path`
/// (".NAME.XXXXXX", mode 0666 less the umask, as a plain create would
/// give) and renamed over `path` by commit(). Dropped without commit(),
/// the temporary file is removed and `path` is untouched. A symbolic link
/// is followed: the file it names is replaced and the link stays. A path
/// that is a device, a pipe or a socket ("/dev/null", "/dev/stdout") is
/// written directly, never renamed over.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::filesystem::path path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  /// Creates the temporary file. False with the fault when it cannot.
  bool open(FileFault& fault);
  /// Appends `bytes`. False with the fault on a failed write.
  bool write(std::string_view bytes, FileFault& fault);
  /// Closes the temporary file, all written, without renaming it yet (so
  /// that several files can all be complete before any replaces its
  /// target). False with the fault on a failure (the temporary file is
  /// then removed).
  bool finish(FileFault& fault);
  /// finish() when not done yet, then renames over the target. False with
  /// the fault on any failure (the temporary file is then removed).
  bool commit(FileFault& fault);
  /// The temporary file's path ("" before open()).
  const std::filesystem::path& temporary() const { return temp_; }

 private:
  void discard();
  bool open_direct(FileFault& fault);
  std::filesystem::path path_;
  std::filesystem::path temp_;
  int fd_ = -1;
  bool finished_ = false;
  bool direct_ = false;  // written in place: a device, a pipe or a socket
};

/// `contents` written to `path` through a ReplacingFile. False with the
/// fault on any failure, `path` then untouched.
bool replace_file(const std::filesystem::path& path, std::string_view contents, FileFault& fault);

/// One file of replace_files: its path and its whole content.
struct NewFile {
  std::filesystem::path path;
  std::string_view bytes;
};

/// Replaces several files together: each is written completely and closed
/// under its temporary name (its missing folders made first when
/// `make_folders`), and only then are they renamed over their targets, in
/// order. Returns files.size() on success, else the index of the file that
/// failed, with the fault; a failure before the renames leaves every
/// target untouched.
std::size_t replace_files(std::span<const NewFile> files, FileFault& fault, bool make_folders);

}  // namespace wavefft::common
