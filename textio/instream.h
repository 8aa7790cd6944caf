// SPDX-License-Identifier: GPL-3.0-or-later
// Buffered character source for the free-form reader and the line read.
//
// Contract:
//  - get() returns the next character as 0..255, or kEnd once the source is
//    exhausted. A carriage return directly before a line feed is dropped, so
//    "\r\n" reads as '\n'; a lone '\r' is an ordinary character.
//  - Once kEnd has been returned, at_end() is true and every later get()
//    returns kEnd again (the channel's at-end flag).
//  - unget(c) pushes back the character that the last get() returned; one
//    character of push-back. unget(kEnd) does nothing.
//  - The data comes from fill(), which a concrete source overrides; it is
//    called only when the buffer is exhausted, so the per-character path is
//    an inline index into a plain buffer.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wavefft::textio {

class InStream {
 public:
  static constexpr int kEnd = -1;

  explicit InStream(std::size_t block = 1u << 20);
  virtual ~InStream() = default;
  InStream(const InStream&) = delete;
  InStream& operator=(const InStream&) = delete;

  int get() {
    if (pos_ < len_) {
      const unsigned char c = static_cast<unsigned char>(buf_[pos_++]);
      if (c != '\r') return c;
      return after_cr();
    }
    return refill_and_get();
  }

  void unget(int c) {
    if (c != kEnd && pos_ > 0) --pos_;
  }

  bool at_end() const { return at_end_; }

  // Direct access for bulk scanners: the unread bytes of the current block.
  // A scanner that consumes n of them calls advance(n). CR handling is the
  // scanner's job on this path.
  std::string_view window() const { return {buf_.get() + pos_, len_ - pos_}; }
  void advance(std::size_t n) { pos_ += n; }

  // Reads the next block; false when the source has no more data (the at-end
  // flag is not set by this call). Keeps the last consumed byte in front so
  // that unget() stays valid across the block boundary.
  bool refill();

  // Forget all buffered data and the at-end flag (used when a channel is
  // connected anew).
  void reset();

 protected:
  // Reads up to cap bytes into dst; returns the count, 0 at the end of the
  // source. A read error is treated as the end of the source after
  // remembering errno in error().
  virtual std::size_t fill(char* dst, std::size_t cap) = 0;

 private:
  int after_cr();
  int refill_and_get();

  // Default-initialised: only the bytes that fill() delivers are ever
  // touched, so a short input keeps the pages of a large block unused.
  std::unique_ptr<char[]> buf_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool at_end_ = false;
};

// A source over a string held in memory (tests, fuzzing).
class MemoryInStream final : public InStream {
 public:
  explicit MemoryInStream(std::string data, std::size_t block = 1u << 20)
      : InStream(block), data_(std::move(data)) {}

 protected:
  std::size_t fill(char* dst, std::size_t cap) override;

 private:
  std::string data_;
  std::size_t next_ = 0;
};

// A source over a POSIX file descriptor (console input, waveform file). The
// descriptor is not owned.
class FdInStream final : public InStream {
 public:
  explicit FdInStream(int fd = -1, std::size_t block = 1u << 20) : InStream(block), fd_(fd) {}
  void set_fd(int fd) {
    fd_ = fd;
    reset();
  }
  int fd() const { return fd_; }
  // errno of the last failed read, 0 when none failed.
  int error() const { return error_; }

 protected:
  std::size_t fill(char* dst, std::size_t cap) override;

 private:
  int fd_;
  int error_ = 0;
};

}  // namespace wavefft::textio
