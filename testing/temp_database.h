// A fresh embedded postal database in a temporary directory, removed again
// at the end of the test.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>

#include "noxplz/db.h"

namespace noxplz::testing {

class TempDatabase {
 public:
  TempDatabase();  // creates the nine postal tables
  ~TempDatabase();
  TempDatabase(const TempDatabase&) = delete;
  TempDatabase& operator=(const TempDatabase&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  std::string path() const { return (dir_ / "noxplz.db").string(); }
  std::string connection_string() const;
  const ConnectionPtr& connection() const { return connection_; }

  // Runs SQL text on the connection; returns the records affected.
  int32_t exec(const std::string& sql);
  // INSERT INTO table (columns) VALUES (quoted values).
  void insert(const std::string& table,
              std::initializer_list<std::pair<std::string, std::string>> values);
  // SELECT COUNT(*) FROM table.
  int32_t count(const std::string& table);

 private:
  std::filesystem::path dir_;
  ConnectionPtr connection_;
};

// A unique empty temporary directory (removed by the caller).
std::filesystem::path make_temp_dir(const std::string& prefix = "noxplz");
// Writes `bytes` unchanged to dir/name; returns the path.
std::string write_file(const std::filesystem::path& dir, const std::string& name, const std::string& bytes);

}  // namespace noxplz::testing
