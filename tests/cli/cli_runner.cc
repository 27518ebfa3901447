#include "cli_runner.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace noxplz::cli_test {
namespace {

[[noreturn]] void exec_child(const std::vector<std::string>& args, const RunOptions& options) {
  if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
  for (const std::string& name : options.unset) unsetenv(name.c_str());
  setenv("NO_COLOR", "1", 1);
  std::string path = std::getenv("NOXPLZ_CLI") ? std::getenv("NOXPLZ_CLI") : NOXPLZ_CLI_PATH;
  std::vector<char*> argv{path.data()};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(path.c_str(), argv.data());
  _exit(127);
}

// Reads the child's output until every descriptor is closed (true) or the
// time runs out (false); sends SIGINT once the output holds `interrupt_after`.
bool drain(std::vector<std::pair<int, std::string*>> fds, const RunOptions& options, pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  bool interrupted = options.interrupt_after.empty();
  std::vector<std::string*> sinks;
  for (auto& entry : fds) sinks.push_back(entry.second);
  while (!fds.empty()) {
    for (std::string* sink : sinks)
      if (!interrupted && sink->find(options.interrupt_after) != std::string::npos) {
        interrupted = true;
        if (options.on_text) options.on_text(pid);
        else kill(pid, SIGINT);
      }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      for (auto& entry : fds) close(entry.first);
      return false;
    }
    std::vector<pollfd> p;
    for (auto& entry : fds) p.push_back({entry.first, POLLIN, 0});
    if (poll(p.data(), p.size(), static_cast<int>(std::min<long long>(left.count(), 200))) < 0) return false;
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

RunResult run(const std::vector<std::string>& args, const RunOptions& options) {
  RunResult result;
  pid_t pid = -1;
  bool done = false;
  if (options.terminal) {
    int master = -1;
    winsize ws{.ws_row = 40, .ws_col = 120, .ws_xpixel = 0, .ws_ypixel = 0};
    if ((pid = forkpty(&master, nullptr, nullptr, &ws)) < 0) return result;
    if (pid == 0) exec_child(args, options);
    if (!options.input.empty()) (void)!write(master, options.input.data(), options.input.size());
    done = drain({{master, &result.out}}, options, pid);
  } else {
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err) || (pid = fork()) < 0) return result;
    if (pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(err[1], 2);
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
      exec_child(args, options);
    }
    for (int fd : {in[0], out[1], err[1]}) close(fd);
    signal(SIGPIPE, SIG_IGN);
    if (!options.input.empty()) (void)!write(in[1], options.input.data(), options.input.size());
    close(in[1]);
    done = drain({{out[0], &result.out}, {err[0], &result.err}}, options, pid);
  }
  result.timed_out = !done;
  if (!done) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string describe(const RunResult& r) {
  return "exit " + std::to_string(r.code) + (r.timed_out ? " (Zeit abgelaufen)" : "") + "\n--- stdout\n" + r.out +
         "\n--- stderr\n" + r.err;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CliFixture::SetUp() {
  dir_ = std::filesystem::temp_directory_path() /
         ("noxplz_cli_" + std::to_string(::getpid()) + "_" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
}

void CliFixture::TearDown() {
  server_.reset();
  std::filesystem::remove_all(dir_);
}

RunResult CliFixture::noxplz(std::vector<std::string> args, RunOptions options) {
  if (testing::test_backend() == testing::TestBackend::kPostgresql) {
    if (!server_) server_ = std::make_unique<testing::TempDatabase>();
    args.insert(args.begin(), {"--connection", server_->connection_string()});
  } else {
    args.insert(args.begin(), {"--db", path("post.db")});
  }
  if (options.cwd.empty()) options.cwd = dir_.string();
  return run(args, options);
}

nlohmann::json CliFixture::noxplz_json(std::vector<std::string> args, int expected_code) {
  args.push_back("--json");
  RunResult r = noxplz(args);
  EXPECT_EQ(r.code, expected_code) << describe(r);
  try {
    return nlohmann::json::parse(r.out);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "keine JSON-Ausgabe: " << e.what() << "\n" << describe(r);
    return nlohmann::json::array();
  }
}

std::string CliFixture::file_with(datafactory::GenOptions options, const std::string& name, int64_t st) {
  options.st = st;
  datafactory::generate_file(path(name), options);
  return path(name);
}

void CliFixture::import_ok(const std::string& file) {
  RunResult r = noxplz({"import", file, "--yes"});
  ASSERT_EQ(r.code, 0) << describe(r);
}

}  // namespace noxplz::cli_test
