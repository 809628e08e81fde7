#include "support/run.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace orvanta::test {
namespace {

std::string Joined(const std::vector<std::string> &argv) {
  std::string s;
  for (const auto &a : argv)
    s += (s.empty() ? "" : " ") + a;
  return s;
}

} // namespace

RunResult Run(const std::vector<std::string> &argv, const std::string &input,
              const std::function<void(int pid)> &whileRunning) {
  static const bool pathSet = [] {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    ::setenv("PATH", (path + ":/usr/sbin:/sbin").c_str(), 1);
    ::setenv("MTOOLS_SKIP_CHECK", "1", 1);
    return true;
  }();
  (void)pathSet;

  RunResult result;
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC))
    return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  std::vector<char *> args;
  for (const auto &a : argv)
    args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (rc != 0) {
    ::close(in[1]);
    ::close(out[0]);
    ::close(err[0]);
    result.Err = "cannot start " + argv[0];
    return result;
  }
  if (!input.empty())
    (void)!::write(in[1], input.data(), input.size());
  ::close(in[1]);

  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    if (::poll(fds, 2, whileRunning ? 1 : -1) < 0 && errno != EINTR)
      break;
    if (whileRunning)
      whileRunning(pid);
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
        continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result.Out : result.Err).append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string RunOrFail(const std::vector<std::string> &argv) {
  const RunResult r = Run(argv);
  EXPECT_EQ(r.ExitCode, 0) << Joined(argv) << "\n" << r.Err;
  return r.Out;
}

} // namespace orvanta::test
