#pragma once

// Paired timing of an operation against reference programs on the same
// data: every round runs each contender once, in an order that rotates from
// round to round, and the medians of the times and of the per-round ratios
// are printed. On a machine that other work shares, a ratio taken within a
// round is far steadier than two separately measured throughputs.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace orvanta::bench {

struct Contender {
  std::string Name;
  std::function<void()> Run;
};

// ORVANTA_BENCH_ROUNDS, else 9.
inline int Rounds() {
  const char *text = std::getenv("ORVANTA_BENCH_ROUNDS");
  const int rounds = text ? std::atoi(text) : 9;
  return std::max(1, rounds);
}

inline double Median(std::vector<double> values) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs a program with stdout and stderr on /dev/null; false unless it
// exits with 0.
inline bool RunQuietly(const std::vector<std::string> &words) {
  std::vector<char *> argv;
  for (const auto &w : words)
    argv.push_back(const_cast<char *>(w.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return error == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

// Times the contenders in paired rounds. The first is the operation under
// test; the ratios printed are its time over each other contender's.
inline void ComparePaired(const std::string &title, const std::vector<Contender> &contenders) {
  const int rounds = Rounds();
  const std::size_t n = contenders.size();
  std::vector<std::vector<double>> ms(n);
  for (int r = 0; r < rounds; ++r)
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t c = (std::size_t(r) + i) % n;
      const auto start = std::chrono::steady_clock::now();
      contenders[c].Run();
      const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
      ms[c].push_back(took.count());
    }
  std::printf("\n%s: %d paired rounds, medians\n", title.c_str(), rounds);
  for (std::size_t c = 0; c < n; ++c)
    std::printf("  %-28s %9.1f ms\n", contenders[c].Name.c_str(), Median(ms[c]));
  for (std::size_t c = 1; c < n; ++c) {
    std::vector<double> ratios;
    for (int r = 0; r < rounds; ++r)
      ratios.push_back(ms[0][std::size_t(r)] / ms[c][std::size_t(r)]);
    std::printf("  %s / %s: %.2fx\n", contenders[0].Name.c_str(), contenders[c].Name.c_str(),
                Median(ratios));
  }
  std::fflush(stdout);
}

} // namespace orvanta::bench
