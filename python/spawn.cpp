// SPDX-License-Identifier: GPL-3.0-or-later
// A child process started with posix_spawn in a given folder, its standard
// output and standard error read through pipes until both close.
#include "python/spawn.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "python/errors.h"

extern char** environ;

namespace wavefft::python {

namespace {

// Both ends of a pipe, closed when it goes.
struct Pipe {
  std::array<int, 2> fd{-1, -1};
  Pipe() {
    if (::pipe2(fd.data(), O_CLOEXEC) != 0) throw BadFile(std::string("cannot make a pipe: ") + std::strerror(errno));
  }
  ~Pipe() {
    for (int f : fd) {
      if (f >= 0) ::close(f);
    }
  }
  void close_end(std::size_t k) {
    if (fd[k] >= 0) ::close(fd[k]);
    fd[k] = -1;
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
};

// Reads the two pipes' read ends until both are closed.
void drain(Pipe& out, Pipe& err, Finished& f) {
  std::array<pollfd, 2> p{pollfd{out.fd[0], POLLIN, 0}, pollfd{err.fd[0], POLLIN, 0}};
  std::array<std::string*, 2> text{&f.out, &f.errors};
  char buf[65536];
  while (p[0].fd >= 0 || p[1].fd >= 0) {
    if (::poll(p.data(), p.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (std::size_t k = 0; k < 2; ++k) {
      if (p[k].fd < 0 || p[k].revents == 0) continue;
      const ssize_t n = ::read(p[k].fd, buf, sizeof buf);
      if (n > 0) {
        text[k]->append(buf, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        p[k].fd = -1;
      }
    }
  }
}

}  // namespace

Finished run_program(const std::vector<std::string>& argv, const std::string& dir) {
  Pipe out, err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.fd[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err.fd[1], 2);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int started = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) throw BadFile(argv[0] + ": cannot run it: " + std::strerror(started));
  out.close_end(1);
  err.close_end(1);
  Finished f;
  drain(out, err, f);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  f.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return f;
}

}  // namespace wavefft::python
