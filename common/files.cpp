// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

namespace wavefft::common {

namespace {

FileFault fault_of(FileFault::Step step, int error) { return FileFault{step, error, std::strerror(error)}; }

}  // namespace


bool read_file(const std::filesystem::path& path, std::string& text, FileFault& fault) {
  text.clear();
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    fault = fault_of(FileFault::Step::open, errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    fault = fault_of(FileFault::Step::read, EISDIR);
    return false;
  }
  if (st.st_size > 0) text.reserve(static_cast<std::size_t>(st.st_size));
  std::vector<char> buf(1 << 16);
  for (;;) {
    const ssize_t n = ::read(fd, buf.data(), buf.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      fault = fault_of(FileFault::Step::read, error);
      return false;
    }
    if (n == 0) break;
    text.append(buf.data(), static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

bool make_folders(const std::filesystem::path& folder, FileFault& fault) {
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec)) return true;
  std::filesystem::create_directories(folder, ec);
  if (!ec && std::filesystem::is_directory(folder, ec)) return true;
  // create_directories reports no error for a path that exists as a file.
  const int error = ec ? ec.value() : ENOTDIR;
  fault = FileFault{FileFault::Step::folder, error, ec ? ec.message() : std::string(std::strerror(ENOTDIR))};
  return false;
}

bool make_parent_folders(const std::filesystem::path& file, FileFault& fault) {
  const std::filesystem::path folder = file.parent_path();
  return folder.empty() || make_folders(folder, fault);
}

ReplacingFile::ReplacingFile(std::filesystem::path path) : path_(std::move(path)) {}

ReplacingFile::~ReplacingFile() { discard(); }

void ReplacingFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  finished_ = false;
}

// A device, a pipe or a socket takes the bytes where it is.
bool ReplacingFile::open_direct(FileFault& fault) {
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    fault = fault_of(FileFault::Step::create, errno);
    return false;
  }
  fd_ = fd;
  direct_ = true;
  return true;
}

bool ReplacingFile::open(FileFault& fault) {
  discard();
  direct_ = false;
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return open_direct(fault);
    // A link to a file: the file is replaced beside itself, the link kept.
    std::error_code ec;
    if (std::filesystem::is_symlink(path_, ec)) {
      const std::filesystem::path target = std::filesystem::canonical(path_, ec);
      if (!ec) path_ = target;
    }
  }
  // OUT -> "OUT's folder/.OUT-name.XXXXXX"
  const std::string name = path_.filename().string();
  std::string templ = (path_.parent_path() / ("." + (name.empty() ? std::string("out") : name) + ".XXXXXX")).string();
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  const int fd = ::mkstemp(buf.data());
  if (fd < 0) {
    fault = fault_of(FileFault::Step::create, errno);
    return false;
  }
  fd_ = fd;
  temp_ = buf.data();
  // mkstemp makes the file 0600; the output gets the usual 0666 less umask.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd_, static_cast<mode_t>(0666 & ~mask)) != 0) {
    fault = fault_of(FileFault::Step::write, errno);
    discard();
    return false;
  }
  return true;
}

bool ReplacingFile::write(std::string_view bytes, FileFault& fault) {
  if (fd_ < 0) {
    fault = fault_of(FileFault::Step::write, EBADF);
    return false;
  }
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      fault = fault_of(FileFault::Step::write, errno);
      discard();
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool ReplacingFile::finish(FileFault& fault) {
  if (finished_) return true;
  if (fd_ < 0) {
    fault = fault_of(FileFault::Step::write, EBADF);
    return false;
  }
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) {
    fault = fault_of(FileFault::Step::write, errno);
    discard();
    return false;
  }
  finished_ = true;
  return true;
}

bool ReplacingFile::commit(FileFault& fault) {
  if (!finish(fault)) return false;
  if (direct_) {
    finished_ = false;
    return true;
  }
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    fault = fault_of(FileFault::Step::replace, errno);
    discard();
    return false;
  }
  temp_.clear();
  finished_ = false;
  return true;
}

bool replace_file(const std::filesystem::path& path, std::string_view contents, FileFault& fault) {
  ReplacingFile file(path);
  return file.open(fault) && file.write(contents, fault) && file.commit(fault);
}

std::size_t replace_files(std::span<const NewFile> files, FileFault& fault, bool make_folders) {
  std::vector<std::unique_ptr<ReplacingFile>> temps;
  for (std::size_t k = 0; k < files.size(); ++k) {
    if (make_folders && !make_parent_folders(files[k].path, fault)) return k;
    temps.push_back(std::make_unique<ReplacingFile>(files[k].path));
    ReplacingFile& f = *temps.back();
    if (!f.open(fault) || !f.write(files[k].bytes, fault) || !f.finish(fault)) return k;
  }
  for (std::size_t k = 0; k < files.size(); ++k) {
    if (!temps[k]->commit(fault)) return k;
  }
  return files.size();
}

}  // namespace wavefft::common
