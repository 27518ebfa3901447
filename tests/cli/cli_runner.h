// Runs the built noxplz program as a user would: with standard input from a
// pipe (as in scripts) or in a pseudo terminal (as at a keyboard). Every run
// has a time limit, so a program waiting for input that never comes fails
// the test instead of hanging it.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace noxplz::cli_test {

struct RunResult {
  int code = -1;          // exit code; -1 when killed
  std::string out, err;   // in a terminal both arrive in `out`
  bool timed_out = false;
};

struct RunOptions {
  std::string input;               // written to standard input, then closed
  std::string cwd;                 // working directory ("" = current)
  bool terminal = false;           // run in a pseudo terminal
  int timeout_seconds = 60;
  std::vector<std::string> unset;  // environment variables removed for the run
  std::map<std::string, std::string> env;  // environment variables set for the run
  std::string interrupt_after;     // sends SIGINT once the output contains this text
};

// Path of the program under test.
std::string program();

RunResult run(const std::vector<std::string>& args, const RunOptions& options = {});

// Exit code, standard output and standard error of a run, for a failure message.
std::string describe(const RunResult& r);

// An empty directory for the running test, named after it under the system's
// temporary directory; the test removes it.
std::filesystem::path fresh_test_dir(const std::string& prefix);

}  // namespace noxplz::cli_test
