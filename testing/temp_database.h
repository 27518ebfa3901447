// A fresh postal database, removed again at the end of the test: an
// embedded SQLite file in a temporary directory, or, when the tests run on
// PostgreSQL (test_backend.h), a schema of its own on the test server.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>

#include "noxplz/db.h"
#include "testing/test_backend.h"

namespace noxplz::testing {

class TempDatabase {
 public:
  // Creates the nine postal tables on the backend the tests run on, or on
  // the one asked for (PostgreSQL needs a server: NOXPLZ_TEST_PG).
  explicit TempDatabase(TestBackend backend = test_backend());
  ~TempDatabase();
  TempDatabase(const TempDatabase&) = delete;
  TempDatabase& operator=(const TempDatabase&) = delete;

  // A temporary directory for the test's files (on every backend).
  const std::filesystem::path& dir() const { return dir_; }
  // The SQLite file (SQLite backend only).
  std::string path() const { return (dir_ / "noxplz.db").string(); }
  // Opens this database again, on any backend.
  std::string connection_string() const { return connection_string_; }
  bool is_postgresql() const { return !schema_.empty(); }
  const ConnectionPtr& connection() const { return connection_; }

  // Runs SQL text on the connection; returns the records affected.
  int32_t exec(const std::string& sql);
  // INSERT INTO table (columns) VALUES (quoted values).
  void insert(const std::string& table,
              std::initializer_list<std::pair<std::string, std::string>> values);
  // "NUMBER / description" of the error that `sql` raises here (the test
  // fails when it raises none): how this backend words a failure.
  std::string error_of(const std::string& sql);
  // SELECT COUNT(*) FROM table.
  int32_t count(const std::string& table);

 private:
  std::filesystem::path dir_;
  std::string schema_;  // PostgreSQL: the schema that holds the tables
  std::string connection_string_;
  ConnectionPtr connection_;
};

// Pads `s` with blanks to `width` bytes (a fixed-width field as imported).
inline std::string padded(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

// A unique empty temporary directory (removed by the caller).
std::filesystem::path make_temp_dir(const std::string& prefix = "noxplz");
// Writes `bytes` unchanged to dir/name; returns the path.
std::string write_file(const std::filesystem::path& dir, const std::string& name, const std::string& bytes);

}  // namespace noxplz::testing
