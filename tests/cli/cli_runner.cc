#include "cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace noxplz::cli_test {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void exec_child(const std::vector<std::string>& args, const RunOptions& options) {
  if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
  for (const std::string& name : options.unset) unsetenv(name.c_str());
  for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> argv;
  std::string path = program();
  argv.push_back(path.data());
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(path.c_str(), argv.data());
  _exit(127);
}

int finish(pid_t pid, bool kill_it) {
  if (kill_it) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reads from the given descriptors until all are closed or time runs out.
bool drain(std::vector<std::pair<int, std::string*>> fds, Clock::time_point deadline, pid_t pid,
           const std::string& interrupt_after) {
  bool interrupted = interrupt_after.empty();
  std::vector<std::string*> sinks;
  for (auto& entry : fds) sinks.push_back(entry.second);
  while (!fds.empty()) {
    if (!interrupted) {
      for (std::string* sink : sinks)
        if (sink->find(interrupt_after) != std::string::npos) interrupted = true;
      if (interrupted) kill(pid, SIGINT);
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      for (auto& entry : fds) close(entry.first);
      return false;
    }
    std::vector<pollfd> p;
    for (auto& [fd, sink] : fds) p.push_back({fd, POLLIN, 0});
    if (poll(p.data(), p.size(), static_cast<int>(std::min<long long>(left, 200))) < 0) return false;
    for (size_t i = p.size(); i-- > 0;) {
      if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      ssize_t n = read(p[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        fds[i].second->append(buffer, static_cast<size_t>(n));
      } else {
        close(p[i].fd);
        fds.erase(fds.begin() + static_cast<long>(i));
      }
    }
  }
  return true;
}

}  // namespace

std::string program() {
  if (const char* p = std::getenv("NOXPLZ_CLI")) return p;
  return NOXPLZ_CLI_PATH;
}

RunResult run(const std::vector<std::string>& args, const RunOptions& options) {
  RunResult result;
  const auto deadline = Clock::now() + std::chrono::seconds(options.timeout_seconds);
  if (options.terminal) {
    int master = -1;
    winsize ws{};
    ws.ws_col = 120;
    ws.ws_row = 40;
    pid_t pid = forkpty(&master, nullptr, nullptr, &ws);
    if (pid < 0) return result;
    if (pid == 0) exec_child(args, options);
    if (!options.input.empty()) {
      ssize_t written = write(master, options.input.data(), options.input.size());
      (void)written;
    }
    bool done = drain({{master, &result.out}}, deadline, pid, options.interrupt_after);
    result.timed_out = !done;
    result.code = finish(pid, !done);
    return result;
  }

  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) return result;
  pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    exec_child(args, options);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  if (!options.input.empty()) {
    ssize_t written = write(in[1], options.input.data(), options.input.size());
    (void)written;
  }
  close(in[1]);
  bool done = drain({{out[0], &result.out}, {err[0], &result.err}}, deadline, pid, options.interrupt_after);
  result.timed_out = !done;
  result.code = finish(pid, !done);
  return result;
}

}  // namespace noxplz::cli_test
