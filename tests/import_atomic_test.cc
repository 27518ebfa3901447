// The import replaces the postal data as one unit: every way a run can fail
// leaves the old rows byte for byte as they were, other connections read the
// old rows until the new ones are verified and committed, and a second import
// on the same database is refused. Real databases (an SQLite file, and a
// schema on the PostgreSQL test server in the server run), through the
// headless importer (the dialog runs the same code).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "datafactory_gen.h"
#include "import/line_reader.h"
#include "noxplz/db.h"
#include "noxplz/error.h"
#include "noxplz/importer.h"
#include "noxplz/schema.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using datafactory::GenOptions;

constexpr const char* kAllTables[9] = {"GROSS_DA", "KGS_DA", "ORG_DA",  "ORT_DA",  "OTL_DA",
                                       "POFA_DA",  "PLZ_DA", "STR_DA", "PRUEF_DA"};

// One number over every value of every row of the nine tables, in stored order.
uint64_t checksum(const ConnectionPtr& connection) {
  uint64_t h = 1469598103934665603ULL;
  auto mix = [&h](std::string_view s) {
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ULL;
    h = (h ^ 0xFF) * 1099511628211ULL;
  };
  for (const char* table : kAllTables) {
    mix(table);
    RecordsetPtr rs = connection->Execute(std::string("SELECT * FROM ") + table);
    const std::vector<std::string> names = rs->FieldNames();
    while (!rs->Eof()) {
      for (const std::string& name : names) mix(rs->Field(name).as_text());
      rs->MoveNext();
    }
  }
  return h;
}

int64_t count(const ConnectionPtr& connection, const std::string& table) {
  return connection->Execute("SELECT COUNT(*) AS N FROM " + table)->Field("N").as_long();
}

bool contains(const std::vector<std::string>& messages, std::string_view part) {
  for (const std::string& m : messages)
    if (m.find(part) != std::string::npos) return true;
  return false;
}

std::string joined(const std::vector<std::string>& messages) {
  std::string all;
  for (const std::string& m : messages) all += "[" + m + "]\n";
  return all;
}

std::string generated(uint64_t seed, int64_t st, const std::string& wrong_count_type = "") {
  GenOptions o;
  o.seed = seed;
  o.st = st;
  o.wrong_count_type = wrong_count_type;
  std::ostringstream out;
  datafactory::generate(out, o);
  return out.str();
}

// Options that answer the question whether to delete the old data with yes.
ImportOptions replacing() {
  ImportOptions o;
  o.replace_existing = true;
  return o;
}

// A source that hands out a file's bytes and fails with an I/O error after
// `fail_after` of them.
class FailingSource final : public import::ByteSource {
 public:
  FailingSource(std::string bytes, size_t fail_after) : bytes_(std::move(bytes)), fail_after_(fail_after) {}
  size_t Read(char* buffer, size_t n) override {
    if (pos_ >= fail_after_) throw Error(57, "Fehler beim Lesen von Gerät (E/A-Fehler): Ein-/Ausgabefehler");
    n = std::min({n, fail_after_ - pos_, bytes_.size() - pos_});
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  std::string bytes_;
  size_t fail_after_;
  size_t pos_ = 0;
};

class AtomicImport : public ::testing::Test {
 protected:
  AtomicImport() {
    old_file_ = testing::write_file(db_.dir(), "alt.dat", generated(1, 400));
    const ImportResult r = import_datafactory(old_file_, db_.connection(), replacing());
    EXPECT_EQ(r.outcome, ImportOutcome::kImported) << joined(r.messages);
    old_sum_ = checksum(db_.connection());
    old_st_ = count(db_.connection(), "STR_DA");
  }
  ~AtomicImport() override { import::set_source_opener(nullptr); }

  std::string write(const std::string& bytes, const std::string& name = "neu.dat") {
    return testing::write_file(db_.dir(), name, bytes);
  }

  // The database's own check of its file (SQLite); a server has none to ask.
  void expect_sound(const ConnectionPtr& c) {
    if (db_.is_postgresql()) return;
    EXPECT_EQ(c->Execute("PRAGMA integrity_check")->Field("integrity_check").as_text(), "ok");
  }

  testing::TempDatabase db_;
  std::string old_file_;
  uint64_t old_sum_ = 0;
  int64_t old_st_ = 0;
};

struct FailureCase {
  const char* name;
  ImportOutcome outcome;
  const char* message;  // a part of the message that says what happened
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class OldDataKept : public AtomicImport, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(OldDataKept, EveryFailureLeavesTheOldRowsByteIdentical) {
  const FailureCase& c = GetParam();
  const std::string name = c.name;
  const std::string fresh = generated(2, 6000, name == "rote Prüfung" ? "PL" : "");
  const std::string first_line = fresh.substr(0, fresh.find("\r\n") + 2);
  std::string path = write(fresh);
  CancelToken cancel;
  ImportOptions options = replacing();
  options.cancel = &cancel;

  if (name == "gültige erste Zeile, dann Unsinn") {
    std::string garbage = first_line;
    for (int i = 0; i < 2000; ++i) garbage += std::string(1, static_cast<char>(i * 37 % 251)) + "\x01\xff Unsinn \r\n";
    path = write(garbage);
  } else if (name == "abgeschnittene Datei") {
    path = write(fresh.substr(0, fresh.size() * 6 / 10));
  } else if (name == "Lesefehler") {
    import::set_source_opener([&](const std::string&) {
      return std::make_unique<FailingSource>(fresh, fresh.size() / 2);
    });
  } else if (name == "volle Datenbank") {
    if (db_.is_postgresql()) GTEST_SKIP() << "SQLite: die Datei wächst nicht mehr";
    const int64_t pages = db_.connection()->Execute("PRAGMA page_count")->Field("page_count").as_long();
    db_.connection()->Execute("PRAGMA max_page_count = " + std::to_string(pages + 20));
  } else if (name == "Server weg") {
    // The server ends the importing session (as when it goes down): the
    // connection is gone in the middle of the load.
    if (!db_.is_postgresql()) GTEST_SKIP() << "nur mit einem Datenbankserver";
    const int32_t pid = db_.connection()->Execute("SELECT pg_backend_pid() AS pid")->Field("pid").as_long();
    options.on_progress = [&, pid](const ImportProgress& p) {
      if (p.lines_read > 0 && p.share_read < 1)
        open_connection(db_.connection_string())->Execute("SELECT pg_terminate_backend(" + std::to_string(pid) + ")");
    };
  } else if (name == "Abbruch") {
    options.on_progress = [&](const ImportProgress& p) {
      if (p.lines_read > 0) cancel.cancel();
    };
  }

  const ImportResult r = import_datafactory(path, db_.connection(), options);
  EXPECT_EQ(r.outcome, c.outcome) << joined(r.messages);
  EXPECT_FALSE(r.committed);
  EXPECT_TRUE(r.old_data_kept);
  EXPECT_TRUE(contains(r.messages, c.message)) << joined(r.messages);
  EXPECT_TRUE(contains(r.messages, "Die bisherigen Postdaten bleiben unverändert erhalten.")) << joined(r.messages);
  EXPECT_EQ(checksum(db_.connection()), old_sum_);
  // Another connection sees the same, and the file is sound.
  ConnectionPtr other = open_connection(db_.connection_string());
  EXPECT_EQ(checksum(other), old_sum_);
  expect_sound(other);
  if (name == "volle Datenbank" || name == "Server weg") {
    // Stopped at the first failure, with one message about it.
    EXPECT_EQ(r.messages.size(), 1u) << joined(r.messages);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Import, OldDataKept,
    ::testing::Values(
        FailureCase{"gültige erste Zeile, dann Unsinn", ImportOutcome::kNotVerified, "nicht übernommen"},
        FailureCase{"abgeschnittene Datei", ImportOutcome::kNotVerified, "nicht übernommen"},
        FailureCase{"Lesefehler", ImportOutcome::kFailed,
                    "Fehler beim Importieren der Datafactory Postalcode Daten\n57 / "},
        FailureCase{"volle Datenbank", ImportOutcome::kFailed, "voll"},
        FailureCase{"Server weg", ImportOutcome::kFailed, "Verbindung zum Datenbankserver ist abgebrochen"},
        FailureCase{"Abbruch", ImportOutcome::kCancelled, "Der Import wurde abgebrochen."},
        FailureCase{"rote Prüfung", ImportOutcome::kNotVerified, "nicht übernommen"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return "Fall" + std::to_string(info.index); });

TEST_F(AtomicImport, ReadersSeeTheOldDataUntilTheNewIsCommitted) {
  const std::string path = write(generated(3, 9000));
  ConnectionPtr reader = open_connection(db_.connection_string());
  const std::string some_plz =
      reader->Execute("SELECT PLZ FROM PLZ_DA ORDER BY PLZ")->Field("PLZ").as_text();
  const int64_t plz_rows = count(reader, "PLZ_DA WHERE PLZ = '" + sql_quote(some_plz) + "'");
  ASSERT_GT(plz_rows, 0);
  // The indexes the schema made: six for the lookups, and two more (SQLite:
  // for the address checks; PostgreSQL: for LIKE). The server keeps its own.
  const auto schema_indexes = [&] {
    return db_.is_postgresql()
               ? count(reader, "pg_indexes WHERE schemaname = current_schema() AND indexname LIKE 'ix[_]%'")
               : count(reader, "sqlite_master WHERE type = 'index' AND name LIKE 'IX[_]%'");
  };
  const int64_t indexes_before = schema_indexes();
  EXPECT_EQ(indexes_before, 8);
  int looks = 0;
  ImportOptions options = replacing();
  options.on_progress = [&](const ImportProgress& p) {
    if (p.share_read >= 1) return;
    ++looks;
    EXPECT_EQ(checksum(reader), old_sum_) << "nach " << p.lines_read << " Zeilen";
    EXPECT_EQ(count(reader, "PLZ_DA WHERE PLZ = '" + sql_quote(some_plz) + "'"), plz_rows);
  };
  const ImportResult r = import_datafactory(path, db_.connection(), options);
  ASSERT_EQ(r.outcome, ImportOutcome::kImported) << joined(r.messages);
  EXPECT_GE(looks, 2);
  EXPECT_TRUE(r.committed);
  EXPECT_EQ(count(reader, "STR_DA"), 9000);
  EXPECT_EQ(checksum(reader), checksum(db_.connection()));
  // The indexes the load set aside are back.
  EXPECT_EQ(schema_indexes(), indexes_before);
  expect_sound(reader);
}

TEST_F(AtomicImport, ASecondImportIsRefusedAtOnceAndChangesNothing) {
  const std::string first = write(generated(4, 6000), "erste.dat");
  const std::string second = write(generated(5, 500), "zweite.dat");
  ConnectionPtr other = open_connection(db_.connection_string());
  ImportResult refused;
  ImportOptions options = replacing();
  options.on_progress = [&](const ImportProgress& p) {
    if (p.lines_read != 4096) return;
    refused = import_datafactory(second, other, replacing());
  };
  const ImportResult r = import_datafactory(first, db_.connection(), options);
  EXPECT_EQ(r.outcome, ImportOutcome::kImported) << joined(r.messages);
  EXPECT_EQ(refused.outcome, ImportOutcome::kRefused) << joined(refused.messages);
  ASSERT_EQ(refused.messages.size(), 1u) << joined(refused.messages);
  EXPECT_TRUE(refused.messages[0].starts_with(kImportRunningText)) << refused.messages[0];
  EXPECT_EQ(count(db_.connection(), "STR_DA"), 6000);  // only the first file's rows

  // Once the first is done, the next import may run.
  EXPECT_EQ(import_datafactory(second, other, replacing()).outcome, ImportOutcome::kImported);
  EXPECT_EQ(count(db_.connection(), "STR_DA"), 500);
}

TEST_F(AtomicImport, AWriteLockHeldLongerThanTheTimeoutIsReportedOnceAndNothingIsLost) {
  ConnectionPtr importer = open_connection(db_.connection_string() + ";Busy Timeout=300");
  ConnectionPtr holder = open_connection(db_.connection_string());
  holder->Execute(db_.is_postgresql() ? "BEGIN" : "BEGIN IMMEDIATE");
  holder->Execute("UPDATE KGS_DA SET name = name WHERE 1 = 0");
  ImportOptions yes = replacing();
  const ImportResult r = import_datafactory(write(generated(6, 800)), importer, yes);
  holder->Execute("ROLLBACK");
  EXPECT_EQ(r.outcome, ImportOutcome::kRefused);
  ASSERT_EQ(r.messages.size(), 1u) << joined(r.messages);
  EXPECT_NE(r.messages[0].find("gesperrt"), std::string::npos) << r.messages[0];
  EXPECT_NE(r.messages[0].find("0,3 Sekunden"), std::string::npos) << r.messages[0];
  EXPECT_EQ(checksum(db_.connection()), old_sum_);
  // With the lock gone the same import goes through completely.
  const ImportResult again = import_datafactory(write(generated(6, 800)), importer, yes);
  EXPECT_EQ(again.outcome, ImportOutcome::kImported) << joined(again.messages);
  EXPECT_EQ(count(db_.connection(), "STR_DA"), 800);
}

TEST_F(AtomicImport, ResultProgressAndTheAnswersGivenInAdvance) {
  const std::string fresh = generated(7, 5000);
  const std::string path = write(fresh);
  ImportOptions no;
  ImportResult declined = import_datafactory(path, db_.connection(), no);
  EXPECT_EQ(declined.outcome, ImportOutcome::kDeclined);
  EXPECT_TRUE(declined.messages.empty());
  EXPECT_EQ(checksum(db_.connection()), old_sum_);

  std::vector<ImportProgress> seen;
  std::vector<std::string> streamed;
  ImportOptions yes = replacing();
  yes.on_progress = [&](const ImportProgress& p) { seen.push_back(p); };
  yes.on_message = [&](const std::string& m) { streamed.push_back(m); };
  const ImportResult r = import_datafactory(path, db_.connection(), yes);
  ASSERT_EQ(r.outcome, ImportOutcome::kImported) << joined(r.messages);
  EXPECT_TRUE(r.all_verified && r.committed && !r.old_data_kept);
  EXPECT_EQ(streamed, r.messages);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_DOUBLE_EQ(seen.back().share_read, 1.0);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i].lines_read, seen[i - 1].lines_read - 1);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(std::string(r.types[i].code));
    EXPECT_EQ(r.types[i].table, kImportTables[i]);
    EXPECT_EQ(r.types[i].rows, count(db_.connection(), std::string(r.types[i].table)));
    EXPECT_EQ(seen.back().counts[i], r.types[i].rows);
    EXPECT_TRUE(r.types[i].verified);
    ASSERT_TRUE(r.types[i].check_count.has_value());
    EXPECT_EQ(*r.types[i].check_count, r.types[i].rows);
  }
  EXPECT_EQ(describe(r), "Alle Werte wurden korrekt importiert!");

  // A file that is there but cannot be read says so, with the reason.
  import::set_source_opener([](const std::string&) -> std::unique_ptr<import::ByteSource> {
    throw Error(75, "Zugriff verweigert");
  });
  const ImportResult unreadable = import_datafactory(path, db_.connection(), yes);
  import::set_source_opener(nullptr);
  EXPECT_EQ(unreadable.outcome, ImportOutcome::kUnreadable);
  ASSERT_EQ(unreadable.messages.size(), 1u);
  EXPECT_NE(unreadable.messages[0].find("kann nicht gelesen werden: Zugriff verweigert"), std::string::npos)
      << unreadable.messages[0];
  EXPECT_EQ(describe(unreadable), "Die Datei kann nicht gelesen werden. Die bisherigen Postdaten bleiben unverändert erhalten.");
}

}  // namespace
}  // namespace noxplz
