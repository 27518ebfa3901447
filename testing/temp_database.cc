#include "testing/temp_database.h"

#include <atomic>
#include <fstream>
#include <random>

#include "noxplz/schema.h"

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

TempDatabase::TempDatabase() : dir_(make_temp_dir()) { connection_ = create_postal_database(path()); }

TempDatabase::~TempDatabase() {
  connection_.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TempDatabase::connection_string() const { return sqlite_connection_string(path()); }

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

int32_t TempDatabase::count(const std::string& table) {
  return connection_->Execute("SELECT COUNT(*) AS N FROM " + table)->Field("N").as_long();
}

}  // namespace noxplz::testing
