#include "noxplz/db.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "noxplz/error.h"
#include "platform/text.h"
#include "testing/error_matchers.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using noxplz::testing::RaisesError;
using Properties = std::map<std::string, std::string>;

// A provider that records what the connection hands it.
struct {
  Properties properties;
  std::string sql;
  int32_t timeout = -2;
} recorded;

class RecordingBackend : public DbBackend {
 public:
  RecordsetPtr Execute(std::string_view sql, int32_t& affected, int32_t timeout) override {
    recorded.sql = std::string(sql);
    recorded.timeout = timeout;
    affected = 7;
    return nullptr;
  }
};

TEST(Connection, OpensTheRegisteredProviderByName) {
  register_db_provider("Aufzeichner", [](const Properties& properties) {
    recorded.properties = properties;
    return std::make_unique<RecordingBackend>();
  });
  // Keys in lower case, values trimmed; quoted values may hold separators.
  Connection c;
  c.ConnectionString(" PROVIDER = aufzeichner ;Data Source=\"C:\\Daten;alt\\plz.db\";;Initial Catalog='it''s';X=a=b;Y");
  c.Open({}, "benutzer", "geheim");
  EXPECT_EQ(c.State(), Connection::kStateOpen);
  EXPECT_EQ(recorded.properties, (Properties{{"provider", "aufzeichner"}, {"data source", "C:\\Daten;alt\\plz.db"},
                                             {"initial catalog", "it's"}, {"x", "a=b"}, {"y", ""},
                                             {"user id", "benutzer"}, {"password", "geheim"}}));
  c.CommandTimeout(0);
  int32_t affected = 0;
  RecordsetPtr rs = c.Execute("SELECT 1", &affected);
  EXPECT_EQ(recorded.sql, "SELECT 1");
  EXPECT_EQ(recorded.timeout, 0);
  EXPECT_EQ(affected, 7);
  ASSERT_NE(rs, nullptr);  // a statement without rows still yields a record set, at its end
  EXPECT_TRUE(rs->Eof());
  EXPECT_THROW(rs->Field("x"), Error);
  EXPECT_THAT([&] { c.Open("Provider=Aufzeichner"); }, RaisesError(3705));

  Command cmd;  // runs on its active connection only
  cmd.CommandText("DELETE FROM T");
  EXPECT_THAT([&] { cmd.Execute(); }, RaisesError(err::kObjectNotSet));
  cmd.ActiveConnection(open_connection("Provider=Aufzeichner"));
  cmd.Execute(&affected);
  EXPECT_EQ(recorded.sql, "DELETE FROM T");

  c.Close();
  EXPECT_EQ(c.State(), Connection::kStateClosed);
  EXPECT_THAT([&] { c.Execute("SELECT 1"); }, RaisesError(err::kDbConnectionClosed, "geschlossen"));
}

// Bound values on a backend that runs no bound queries are written in as
// quoted literals; a ? inside a literal is no marker; markers and values
// must match in number.
TEST(Connection, BoundValuesBecomeLiteralsWhereTheBackendCannotBindThem) {
  register_db_provider("Aufzeichner", [](const Properties&) { return std::make_unique<RecordingBackend>(); });
  Connection c;
  c.Open("Provider=Aufzeichner");
  const std::string_view values[] = {"O'Brien", "", "a?b"};
  c.ExecuteBound("SELECT a FROM t WHERE x = ? AND y = 'wer?' AND z IN (?, ?)", values);
  EXPECT_EQ(recorded.sql, "SELECT a FROM t WHERE x = 'O''Brien' AND y = 'wer?' AND z IN ('', 'a?b')");
  EXPECT_THAT([&] { c.ExecuteBound("SELECT a FROM t WHERE x = ?", {}); },
              RaisesError(5, "1 Platzhalter, aber 0 Werte"));
  c.Close();
  EXPECT_THAT([&] { c.ExecuteBound("SELECT 1", {}); }, RaisesError(err::kDbConnectionClosed, "geschlossen"));
}

// A bound query gives the rows of its text with the values as literals,
// also when run again with other values and while its twin is still read.
TEST(BoundQueryTest, GivesTheRowsOfTheTextWithTheValuesAsLiterals) {
  testing::TempDatabase db;
  for (const char* name : {"Köln", "KÖLN ", "O'Hara", "Kiel", "wer?"})
    db.insert("ORT_DA", {{"ALORT", std::string("1") + name}, {"ONAME", name}});
  const auto rows = [](RecordsetPtr rs) {
    std::vector<std::string> out;
    for (; !rs->Eof(); rs->MoveNext()) out.push_back(rs->Field("ALORT").as_text());
    return out;
  };
  const std::string sql = "SELECT ALORT FROM Ort_DA WHERE OName = ? OR ALORT IN (?, '1wer?') ORDER BY ALORT";
  for (const auto& [a, b] : std::vector<std::pair<std::string, std::string>>{
           {"köln", "1O'Hara"}, {"Kiel", ""}, {"niemand", "1KIEL"}, {"O'Hara", "O'Hara"}}) {
    const std::string_view values[] = {a, b};
    EXPECT_EQ(rows(db.connection()->ExecuteBound(sql, values)),
              rows(db.connection()->Execute("SELECT ALORT FROM Ort_DA WHERE OName = '" + sql_quote(a) +
                                            "' OR ALORT IN ('" + sql_quote(b) + "', '1wer?') ORDER BY ALORT")))
        << a << " / " << b;
  }
  // The same query again while the first is still being read.
  const std::string_view outer_values[] = {"Kiel", "1Köln"};
  const std::vector<std::string> inner_rows =
      rows(db.connection()->Execute("SELECT ALORT FROM Ort_DA WHERE OName = 'O''Hara' OR ALORT IN ('x', '1wer?') "
                                    "ORDER BY ALORT"));
  ASSERT_EQ(inner_rows.size(), 2u);
  RecordsetPtr outer = db.connection()->ExecuteBound(sql, outer_values);
  std::vector<std::string> seen;
  for (; !outer->Eof(); outer->MoveNext()) {
    const std::string_view inner_values[] = {"O'Hara", "x"};
    EXPECT_EQ(rows(db.connection()->ExecuteBound(sql, inner_values)), inner_rows);
    seen.push_back(outer->Field("ALORT").as_text());
  }
  EXPECT_EQ(seen, rows(db.connection()->Execute(
                      "SELECT ALORT FROM Ort_DA WHERE OName = 'Kiel' OR ALORT IN ('1Köln', '1wer?') ORDER BY ALORT")));
  EXPECT_EQ(seen.size(), 4u);  // 1KÖLN too: the database compares without regard to case
}

// A field's trimmed text is the text of FieldAt without the blanks at either
// end: padded and blank texts, numbers, null.
TEST(FieldTextTest, IsTheFieldsTextWithoutTheBlanksAtEitherEnd) {
  testing::TempDatabase db;
  db.insert("STR_DA", {{"ALORT", "1"}, {"NAME46", "  Am Ring 5  "}, {"PLZ", "     "}, {"HNRVON", "12"}});
  RecordsetPtr rs = db.connection()->Execute(
      "SELECT Name46, Plz, HNRVon, HNRBis, 42 AS Zahl, 2.5 AS Bruch, 'ohne' AS Text FROM Str_DA");
  ASSERT_FALSE(rs->Eof());
  for (int32_t i = 0; i < 7; ++i) {
    Variant v = rs->FieldAt(i);
    const std::string expected = v.is_null() ? std::string() : text::trim(v.as_text());
    std::string text = "vorher";
    rs->TrimmedTextAt(i, text);
    EXPECT_EQ(text, expected) << rs->FieldNames()[static_cast<size_t>(i)];
  }
  std::string text;
  EXPECT_THAT([&] { rs->TrimmedTextAt(7, text); }, RaisesError(err::kDbItemNotFound));
}

TEST(Connection, UnknownOrMissingProvider) {
  EXPECT_THAT([] { open_connection("Provider=OraOLEDB.Oracle;Data Source=server"); },
              RaisesError(err::kDbProviderNotFound, "Der Provider \"OraOLEDB.Oracle\" ist nicht bekannt. Bekannt: ",
                          "SQLite"));
  EXPECT_THAT([] { open_connection("Data Source=/tmp/x.db"); }, RaisesError(err::kDbProviderNotFound, "Provider"));
}

}  // namespace
}  // namespace noxplz
