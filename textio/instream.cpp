// SPDX-License-Identifier: GPL-3.0-or-later
#include "textio/instream.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace wavefft::textio {

InStream::InStream(std::size_t block) : buf_(new char[block < 2 ? 2 : block]), size_(block < 2 ? 2 : block) {}

void InStream::reset() {
  pos_ = 0;
  len_ = 0;
  at_end_ = false;
}

bool InStream::refill() {
  // Keep the last consumed byte at the front so unget() works across blocks.
  std::size_t keep = 0;
  if (len_ > 0) {
    buf_[0] = buf_[len_ - 1];
    keep = 1;
  }
  const std::size_t n = fill(buf_.get() + keep, size_ - keep);
  pos_ = keep;
  len_ = keep + n;
  return n > 0;
}

int InStream::after_cr() {
  // The '\r' has been consumed; drop it when a '\n' follows.
  if (pos_ == len_ && !at_end_ && !refill()) {
    at_end_ = true;  // the source is exhausted: no second wait for input
    return '\r';
  }
  if (pos_ < len_ && buf_[pos_] == '\n') {
    ++pos_;
    return '\n';
  }
  return '\r';
}

int InStream::refill_and_get() {
  if (at_end_) return kEnd;
  if (!refill()) {
    at_end_ = true;
    return kEnd;
  }
  return get();
}

std::size_t MemoryInStream::fill(char* dst, std::size_t cap) {
  const std::size_t n = std::min(cap, data_.size() - next_);
  std::memcpy(dst, data_.data() + next_, n);
  next_ += n;
  return n;
}

std::size_t FdInStream::fill(char* dst, std::size_t cap) {
  if (fd_ < 0) return 0;
  for (;;) {
    const ssize_t n = ::read(fd_, dst, cap);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EINTR) continue;
    error_ = errno;
    return 0;
  }
}

}  // namespace wavefft::textio
