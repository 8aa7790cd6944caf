// SPDX-License-Identifier: GPL-3.0-or-later
// The inputs of wavefft-import: FILE arguments read and recognised, the
// record written through a temporary file, a Problem as its line of text.
#include "import/inputs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/files.h"
#include "import/formats.h"

namespace wavefft::import {

namespace {

namespace common = wavefft::common;

// The whole file, or the failure: "cannot open: No such file or directory",
// "cannot read: it is a folder" (a folder named where a file should be).
Problem read_whole(const std::string& path, std::string& bytes) {
  common::FileFault fault;
  if (common::read_file(path, bytes, fault)) return {};
  const std::string text = fault.error == EISDIR              ? std::string("cannot read: it is a folder")
                           : fault.step == common::FileFault::Step::open ? "cannot open: " + fault.reason
                                                                         : "cannot read: " + fault.reason;
  return Problem{Status::unreadable, path, 0, text};
}

// The regular files of the folder `dir` whose names do not start with '.',
// as paths "DIR/NAME", appended to `paths` in byte order of the names.
// Subfolders and anything else that is not a regular file (after following
// a symbolic link) are left out.
Problem list_folder(const std::string& dir, std::vector<std::string>& paths) {
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return Problem{Status::unreadable, dir, 0, std::string("cannot open the folder: ") + std::strerror(errno)};
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(d);
    if (entry == nullptr) {
      const int err = errno;
      ::closedir(d);
      if (err != 0) return Problem{Status::unreadable, dir, 0, std::string("cannot read the folder: ") + std::strerror(err)};
      break;
    }
    if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);  // also leaves out "." and ".."
  }
  std::sort(names.begin(), names.end());  // std::string compares bytes as unsigned char
  const std::string prefix = !dir.empty() && dir.back() == '/' ? dir : dir + "/";
  for (const std::string& name : names) {
    const std::string path = prefix + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) paths.push_back(path);
  }
  return {};
}

bool is_folder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

constexpr const char* kUnknown = "not a record layout that wavefft-import reads";

// Reads the file `path` whole and recognises its layout into a new entry of
// `files`, its name into `names`. A file in no known layout is refused,
// unless it was found in a folder (`in_folder`): then it is skipped with a
// note to `skipped` and `files` is left as it was.
Problem read_input_file(const std::string& path, bool in_folder, std::vector<std::string>& names,
                        std::vector<FileContents>& files, const SkippedFile& skipped) {
  std::string bytes;
  if (Problem p = read_whole(path, bytes); !p.ok()) return p;
  const Format* format = detect_format(std::string_view(bytes).substr(0, std::min(bytes.size(), kDetectBytes)));
  if (format == nullptr && in_folder) {
    skipped(path, kUnknown);
    return {};
  }
  if (format == nullptr) return Problem{Status::unknown_format, path, 0, kUnknown};
  FileContents& contents = files.emplace_back();
  if (Problem p = format->read(bytes, path, contents); !p.ok()) return p;
  if (contents.format.empty()) contents.format = format->name;
  names.push_back(path);
  return {};
}

}  // namespace

// One FILE argument read into `files` and `names`: the file itself, or a
// folder standing for its files, of which at least one must be in a known
// layout ("no record files in this folder").
Problem read_argument(const std::string& arg, std::vector<std::string>& names, std::vector<FileContents>& files,
                      const SkippedFile& skipped) {
  const bool folder = is_folder(arg);
  std::vector<std::string> paths;
  if (!folder) {
    paths.push_back(arg);
  } else if (Problem p = list_folder(arg, paths); !p.ok()) {
    return p;
  }
  const std::size_t before = files.size();
  for (const std::string& path : paths) {
    if (Problem p = read_input_file(path, folder, names, files, skipped); !p.ok()) return p;
  }
  if (folder && files.size() == before) return Problem{Status::unknown_format, arg, 0, "no record files in this folder"};
  return {};
}

// OUT -> "OUT's folder/.OUT-name.XXXXXX", written, then renamed over OUT,
// the missing folders of OUT made first ("new/sub/rec.txt" makes new and
// new/sub): "cannot make its folder: REASON" when a folder cannot be made
// (a part of the path is a file), "cannot write: REASON" when the temporary
// file cannot be made or written, "cannot replace it: REASON" when it
// cannot be renamed over OUT.
Problem write_output(const std::string& out, std::string_view text) {
  common::FileFault fault;
  if (!common::make_parent_folders(out, fault)) {
    return Problem{Status::write_failed, out, 0, "cannot make its folder: " + fault.reason};
  }
  if (common::replace_file(out, text, fault)) return {};
  const char* what = fault.step == common::FileFault::Step::replace ? "cannot replace it: " : "cannot write: ";
  return Problem{Status::write_failed, out, 0, what + fault.reason};
}

std::string problem_text(const Problem& p) {
  std::string where = p.file.empty() ? std::string() : p.file + ":";
  if (!p.file.empty() && p.line > 0) where += std::to_string(p.line) + ":";
  return where + (where.empty() ? "" : " ") + p.text;
}

}  // namespace wavefft::import
