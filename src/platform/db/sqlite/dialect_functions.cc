#include "platform/db/sqlite/dialect_functions.h"

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/db/sqlite/german_collation.h"
#include "platform/text.h"

namespace noxplz::sqlite {
namespace {

std::string_view text_of(sqlite3_value* v) {
  const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  int n = sqlite3_value_bytes(v);
  return p ? std::string_view(p, static_cast<size_t>(n)) : std::string_view();
}

bool any_null(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  return false;
}

void result_text(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

int collate(void*, int la, const void* a, int lb, const void* b) {
  return compare_ci(std::string_view(static_cast<const char*>(a), static_cast<size_t>(la)),
                    std::string_view(static_cast<const char*>(b), static_cast<size_t>(lb)));
}

// like(pattern, value [, escape]): "value LIKE pattern [ESCAPE escape]".
void like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (any_null(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  char32_t escape = 0;
  if (argc == 3) {
    std::string_view e = text_of(argv[2]);
    size_t pos = 0;
    if (!e.empty()) escape = next_code_point(e, pos);
    if (e.empty() || pos != e.size()) {
      sqlite3_result_error(ctx, "Das ESCAPE-Zeichen muss genau ein Zeichen sein.", -1);
      return;
    }
  }
  std::string_view pattern = text_of(argv[0]);
  std::string_view value = text_of(argv[1]);

  // The pattern is usually the same for every row: keep it compiled.
  auto* cached = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 0));
  if (cached && cached->escape() == escape && cached->source() == pattern) {
    sqlite3_result_int(ctx, cached->Matches(value) ? 1 : 0);
    return;
  }
  auto compiled = std::make_unique<LikePattern>(pattern, escape);
  sqlite3_result_int(ctx, compiled->Matches(value) ? 1 : 0);
  sqlite3_set_auxdata(ctx, 0, compiled.release(),
                      [](void* p) { delete static_cast<LikePattern*>(p); });
}

// RIGHT(text, n) and LEFT(text, n): n characters (code points) from one end.
template <bool kRight>
void take_chars(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (any_null(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_int64 n = sqlite3_value_int64(argv[1]);
  if (n < 0) {
    sqlite3_result_error(ctx,
                         kRight ? "Ungültiger Längenparameter für die RIGHT-Funktion."
                                : "Ungültiger Längenparameter für die LEFT-Funktion.",
                         -1);
    return;
  }
  std::string_view s = text_of(argv[0]);
  size_t count = static_cast<size_t>(n);
  result_text(ctx, kRight ? text::right(s, count) : text::left(s, count));
}

// LEN(text): characters without the trailing blanks.
void len(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (any_null(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string_view s = text_of(argv[0]);
  size_t end = s.size();
  while (end > 0 && s[end - 1] == ' ') --end;
  sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(text::length(s.substr(0, end))));
}

// noxplz_street_key(name): the key a street name shares with its other
// spellings (text::street_key). The schema indexes it per place, so the
// address checks find "Hauptstr." for "Hauptstraße" without reading every
// street name of the place.
void street_key(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (any_null(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  result_text(ctx, text::street_key(text_of(argv[0])));
}

}  // namespace

int register_dialect_functions(sqlite3* db) {
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  int rc = sqlite3_create_collation_v2(db, kCollationName, SQLITE_UTF8, nullptr, collate, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_create_function(db, "like", 2, flags, nullptr, like, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_create_function(db, "like", 3, flags, nullptr, like, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "noxplz_right", 2, flags, nullptr, take_chars<true>, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "noxplz_left", 2, flags, nullptr, take_chars<false>, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_create_function(db, "noxplz_len", 1, flags, nullptr, len, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "noxplz_street_key", 1, flags, nullptr, street_key, nullptr, nullptr);
  return rc;
}

}  // namespace noxplz::sqlite
