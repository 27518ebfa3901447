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
  std::string input = {};               // written to standard input, then closed
  bool terminal = false;                // run in a pseudo terminal
  int timeout_seconds = 120;
  std::string cwd = {};                 // working directory ("" = current)
  std::vector<std::string> unset = {};  // environment variables removed for the run
  std::string interrupt_after = {};     // sends SIGINT once the output contains this text ...
  std::function<void(int pid)> on_text = {};  // ... or calls this instead, with the process id
};

RunResult run(const std::vector<std::string>& args, const RunOptions& options = {});

// Exit code, standard output and standard error of a run, for a failure message.
std::string describe(const RunResult& r);

// The bytes of a file ("" when it cannot be read).
std::string read_file(const std::filesystem::path& path);

// A test of the program in an empty directory of its own, on a database of
// its own: a new SQLite file there or, when the tests run on PostgreSQL, a
// schema of its own on the server (--connection).
class CliFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  // Runs noxplz on the test's database, in the test's directory.
  RunResult noxplz(std::vector<std::string> args, RunOptions options = {});
  // The parsed output of noxplz ... --json; a failure when the exit code is
  // another or the output is no JSON.
  nlohmann::json noxplz_json(std::vector<std::string> args, int expected_code = 0);
  // A generated file in the test's directory with `st` street sections.
  std::string file_with(datafactory::GenOptions options, const std::string& name, int64_t st = 3000);
  // The generator's defaults with one change.
  template <class Change>
  static datafactory::GenOptions gen(Change change) {
    datafactory::GenOptions options;
    change(options);
    return options;
  }
  void import_ok(const std::string& file);

  std::filesystem::path dir_;
  std::unique_ptr<testing::TempDatabase> server_;
};

}  // namespace noxplz::cli_test
