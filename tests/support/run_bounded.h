// Runs a program, or a piece of the test itself, in a child process that may take only so long:
// a child that would wait forever is killed, and the test sees that instead of hanging.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace sceneio::testing {

struct BoundedResult {
  std::string out;        // standard output, byte for byte
  int status = -1;        // exit status, or -1 when the child did not exit normally
  bool timedOut = false;  // killed at the bound
};

namespace bounded_detail {

// Reads the child's output until it closes it, then waits for its exit; kills it at `deadline`.
inline BoundedResult Collect(pid_t child, int out, std::chrono::steady_clock::time_point deadline) {
  using Clock = std::chrono::steady_clock;
  BoundedResult result;
  auto remaining = [&] {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
  };
  bool open = true;
  while (open) {
    pollfd wait{out, POLLIN, 0};
    const int ready = poll(&wait, 1, remaining());
    if (ready == 0) break;  // the bound passed with the output still open
    if (ready < 0) continue;
    char chunk[4096];
    const ssize_t got = read(out, chunk, sizeof chunk);
    if (got > 0) {
      result.out.append(chunk, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      open = false;
    }
  }
  close(out);
  int raw = 0;
  pid_t done = 0;
  while ((done = waitpid(child, &raw, WNOHANG)) == 0 && remaining() > 0) usleep(1000);
  if (done == 0) {
    result.timedOut = true;
    kill(child, SIGKILL);
    waitpid(child, &raw, 0);
    return result;
  }
  if (done == child && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  return result;
}

// Forks a child whose standard output is a pipe to the parent and whose standard input is
// /dev/null; the child starts a session of its own, so it has no controlling terminal.
template <typename Body>
BoundedResult Fork(std::chrono::milliseconds bound, Body body) {
  int ends[2];
  if (pipe(ends) != 0) return {};
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::fflush(nullptr);  // or the child would write out what this process had buffered
  const pid_t child = fork();
  if (child < 0) {
    close(ends[0]);
    close(ends[1]);
    return {};
  }
  if (child == 0) {
    setsid();
    dup2(ends[1], STDOUT_FILENO);
    close(ends[0]);
    close(ends[1]);
    const int none = open("/dev/null", O_RDONLY);
    if (none >= 0) dup2(none, STDIN_FILENO);
    const int status = body();
    std::fflush(stdout);
    _exit(status);
  }
  close(ends[1]);
  return Collect(child, ends[0], deadline);
}

}  // namespace bounded_detail

enum class Stderr { kInherited, kWithOut };

// Runs `program` with `arguments` in `directory`; its standard error goes where this process's
// goes, or joins `out`.
inline BoundedResult RunProgramWithin(std::chrono::milliseconds bound, const std::string& program,
                                      const std::string& directory,
                                      const std::vector<std::string>& arguments = {},
                                      Stderr stderrTo = Stderr::kInherited) {
  return bounded_detail::Fork(bound, [&] {
    if (stderrTo == Stderr::kWithOut) dup2(STDOUT_FILENO, STDERR_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    if (chdir(directory.c_str()) != 0) return 126;
    execv(program.c_str(), argv.data());
    return 127;
  });
}

// Runs `body` in a forked copy of this process; its result is the child's exit status.
inline BoundedResult RunWithin(std::chrono::milliseconds bound, const std::function<int()>& body) {
  return bounded_detail::Fork(bound, body);
}

}  // namespace sceneio::testing
