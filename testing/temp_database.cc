#include "testing/temp_database.h"

#include <atomic>
#include <fstream>
#include <cstdio>
#include <random>

#include <gtest/gtest.h>

#include "noxplz/error.h"

#include "noxplz/schema.h"
#include "testing/test_backend.h"

namespace noxplz::testing {

std::filesystem::path make_temp_dir(const std::string& prefix) {
  static std::atomic<int> counter{0};
  auto dir = std::filesystem::temp_directory_path() /
             (prefix + "-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(dir);
  return dir;
}

std::string write_file(const std::filesystem::path& dir, const std::string& name, const std::string& bytes) {
  const std::string path = (dir / name).string();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

namespace {

// One connection per test process to create and drop the test schemas.
Connection& postgresql_admin() {
  static ConnectionPtr admin = open_connection(postgresql_test_server());
  return *admin;
}

std::string unique_schema_name() {
  static std::atomic<int> counter{0};
  std::mt19937_64 random(std::random_device{}());
  char buf[32];
  std::snprintf(buf, sizeof buf, "%012llx", static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
  return "noxplz_t_" + std::string(buf) + "_" + std::to_string(counter++);
}

}  // namespace

TempDatabase::TempDatabase(TestBackend backend) : dir_(make_temp_dir()) {
  if (backend == TestBackend::kPostgresql && !postgresql_test_server().empty()) {
    schema_ = unique_schema_name();
    postgresql_admin().Execute("CREATE SCHEMA " + schema_);
    connection_string_ = postgresql_test_server() + ";Search Path=" + schema_;
    connection_ = open_connection(connection_string_);
    create_postal_tables(*connection_);
    return;
  }
  connection_string_ = sqlite_connection_string(path());
  connection_ = create_postal_database(path());
}

TempDatabase::~TempDatabase() {
  connection_.reset();
  if (!schema_.empty()) {
    try {
      postgresql_admin().Execute("DROP SCHEMA " + schema_ + " CASCADE");
    } catch (const Error&) {
      // Left behind on the throwaway server; nothing else depends on it.
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

int32_t TempDatabase::exec(const std::string& sql) {
  int32_t affected = 0;
  connection_->Execute(sql, &affected);
  return affected;
}

void TempDatabase::insert(const std::string& table,
                          std::initializer_list<std::pair<std::string, std::string>> values) {
  std::string cols, vals;
  for (const auto& [c, v] : values) {
    cols += (cols.empty() ? "" : ", ") + c;
    vals += (vals.empty() ? "'" : ", '") + sql_quote(v) + "'";
  }
  exec("INSERT INTO " + table + " (" + cols + ") VALUES (" + vals + ")");
}

std::string TempDatabase::error_of(const std::string& sql) {
  try {
    connection_->Execute(sql);
  } catch (const Error& e) {
    return format_error_number(e);
  }
  ADD_FAILURE() << "no error from: " << sql;
  return {};
}

int32_t TempDatabase::count(const std::string& table) {
  return connection_->Execute("SELECT COUNT(*) AS N FROM " + table)->Field("N").as_long();
}

}  // namespace noxplz::testing
