#include "testing/temp_database.h"

#include <atomic>
#include <random>

#include "noxplz/schema.h"

namespace noxplz::testing {

std::filesystem::path make_temp_dir(const std::string& prefix) {
  static std::atomic<int> counter{0};
  std::random_device rd;
  auto dir = std::filesystem::temp_directory_path() /
             (prefix + "-" + std::to_string(rd()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(dir);
  return dir;
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
    if (!cols.empty()) {
      cols += ", ";
      vals += ", ";
    }
    cols += c;
    vals += "'" + sql_quote(v) + "'";
  }
  exec("INSERT INTO " + table + " (" + cols + ") VALUES (" + vals + ")");
}

int32_t TempDatabase::count(const std::string& table) {
  auto rs = connection_->Execute("SELECT COUNT(*) AS N FROM " + table);
  return rs->Field("N").as_long();
}

}  // namespace noxplz::testing
