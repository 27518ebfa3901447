// Runs the built noxplz program as a user would: with standard input from a
// pipe (as in scripts) or in a pseudo terminal (as at a keyboard). Every run
// has a time limit, so a program waiting for input that never comes fails
// the test instead of hanging it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "datafactory_gen.h"
#include "testing/temp_database.h"

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
  std::string interrupt_after;     // sends SIGINT once the output contains this text ...
  std::function<void(int pid)> on_text;  // ... or calls this instead, with the process id
};

// Path of the program under test.
std::string program();

RunResult run(const std::vector<std::string>& args, const RunOptions& options = {});

// Exit code, standard output and standard error of a run, for a failure message.
std::string describe(const RunResult& r);

// An empty directory for the running test, named after it under the system's
// temporary directory; the test removes it.
std::filesystem::path fresh_test_dir(const std::string& prefix);

// The bytes of a file ("" when it cannot be read).
std::string read_file(const std::filesystem::path& path);

// A test of the program in an empty directory of its own, on a database of
// its own: a new SQLite file there or, when the tests run on PostgreSQL, a
// schema of its own on the server (--connection).
class CliFixture : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = fresh_test_dir("noxplz_cli_"); }
  void TearDown() override;

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  // Runs noxplz on the test's database, in the test's directory, without colours.
  RunResult noxplz(std::vector<std::string> args, RunOptions options = {});
  // The parsed output of noxplz ... --json; a failure when the exit code is
  // another or the output is no JSON.
  nlohmann::json noxplz_json(std::vector<std::string> args, int expected_code = 0);
  // A generated file in the test's directory with `st` street sections.
  std::string file_with(datafactory::GenOptions options, const std::string& name, int64_t st = 3000);
  void import_ok(const std::string& file);

  std::filesystem::path dir_;
  std::unique_ptr<testing::TempDatabase> server_;
};

}  // namespace noxplz::cli_test
