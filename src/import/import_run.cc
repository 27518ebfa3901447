// The import run: Saetze_Einlesen, Pruefe_Datei, Loesche_Daten, the record
// procedure of all nine types and PruefeImport, independent of any dialog.
#include "import/import_run.h"

#include <filesystem>
#include <string>

#include "import/line_reader.h"
#include "import/record_layout.h"
#include "import/verification.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/error.h"

namespace noxplz::import {
namespace {

Error object_not_set() {
  return Error(err::kObjectNotSet, "Objektvariable oder With-Blockvariable nicht festgelegt");
}

constexpr std::string_view kRunFailed = "Fehler beim Importieren der Datafactory Postalcode Daten";

}  // namespace

Run::~Run() = default;

bool Run::CheckFile(const std::string& path) {
  LineReader reader(path);
  std::string zeile;
  bool antwort = false;
  if (reader.next(zeile)) antwort = Dispatch(zeile, true);
  return antwort;
}

RunReport Run::Execute(const std::string& path, const ConnectionPtr& connection) {
  RunReport report;
  bool reading = false;
  try {
    connection_ = connection;
    if (!connection_) throw object_not_set();

    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
      // No file: nothing to import; the verification shows the tables as they are.
      observer_.Idle();
      report.verdict = Verify(connection_);
      report.outcome = RunOutcome::kNoFile;
      return report;
    }
    report.file_size = std::filesystem::file_size(path, ec);

    bool valid = false;
    try {
      valid = CheckFile(path);
    } catch (const Error& e) {
      if (e.number == err::kObjectNotSet) throw;
      // A file that is there but cannot be read is no invalid file.
      observer_.Message("Die Datei „" + path + "“ kann nicht gelesen werden: " + e.description + ". " +
                        std::string(kOldDataKept));
      report.outcome = RunOutcome::kUnreadable;
      return report;
    }
    if (!valid) {
      observer_.Message("Dies ist keine gültige Datafactory-Datei!");
      report.outcome = RunOutcome::kInvalidFile;
      return report;
    }
    if (!observer_.ConfirmReplace()) {
      report.outcome = RunOutcome::kDeclined;
      return report;
    }

    std::array<std::string_view, kRecordTypes> tables;
    for (int i = 0; i < kRecordTypes; ++i) tables[i] = record_layouts()[i].table;
    try {
      unit_ = connection_->BeginReplace(tables);
    } catch (const Error& e) {
      observer_.Idle();
      observer_.Message(e.number == kErrImportRunning || e.description.find("nichts verändert") != std::string::npos
                            ? e.description
                            : format_error_message(kRunFailed, e) + "\n" + std::string(kOldDataKept));
      report.outcome = RunOutcome::kRefused;
      return report;
    }
    report.atomic = unit_ != nullptr;

    if (!DeleteOld(connection_)) {
      observer_.Message("Bestehende Datafactory-Daten können nicht gelöscht werden! Import wird abgeprochen." +
                        std::string(unit_ ? "\n" + std::string(kOldDataKept) : ""));
      EndUnit(report, false);
      report.outcome = RunOutcome::kFailed;
      return report;
    }

    observer_.ImportStarted();
    const auto& layouts = record_layouts();
    for (int i = 0; i < kRecordTypes; ++i) {
      heads_[i] = insert_head(layouts[i]);
      inserters_[i].reset();
      if (unit_) {
        std::vector<std::string_view> columns;
        for (const Field& f : layouts[i].fields) columns.push_back(f.column);
        inserters_[i] = unit_->PrepareInsert(layouts[i].table, columns);
      }
    }

    bool cancelled = false;
    reading = true;
    {
      LineReader reader(path);
      std::string zeile;
      int64_t lines = 0;
      while (reader.next(zeile)) {
        if (observer_.Cancelled()) {  // the line just read is not imported
          cancelled = true;
          break;
        }
        observer_.BeforeLine();
        Dispatch(zeile, false);
        if (stopped_) break;
        observer_.AfterLine(++lines, reader.bytes_read());
      }
    }
    // Rows a backend still holds are sent and counted before the counts are shown.
    if (!stopped_) CollectOutcomes(true);
    reading = false;
    observer_.ReadingEnded();
    observer_.Idle();

    if (stopped_) {
      // The one message about it has been shown; the old data stays.
      EndUnit(report, false);
      report.outcome = RunOutcome::kFailed;
      return report;
    }

    report.verdict = Verify(connection_, cancelled);
    const bool green = report.verdict && report.verdict->all_ok;
    if (!report.verdict) {
      EndUnit(report, false);
      if (report.atomic) observer_.Message(std::string(kOldDataKept));
      report.outcome = RunOutcome::kFailed;
      return report;
    }
    if (cancelled) {
      EndUnit(report, false);
      if (report.atomic) observer_.Message("Der Import wurde abgebrochen. " + std::string(kOldDataKept));
      report.outcome = RunOutcome::kCancelled;
      return report;
    }
    if (!green) {
      EndUnit(report, false);
      if (report.atomic)
        observer_.Message("Die neuen Daten wurden nicht übernommen, weil die Prüfung nicht alle Werte bestätigt hat. " +
                          std::string(kOldDataKept));
      report.outcome = RunOutcome::kNotVerified;
      return report;
    }
    try {
      EndUnit(report, true);
    } catch (const Error& e) {
      observer_.Message(format_error_message(kRunFailed, e) + "\n" + std::string(kOldDataKept));
      report.outcome = RunOutcome::kFailed;
      return report;
    }
    report.outcome = RunOutcome::kImported;
  } catch (const std::exception& ex) {
    const Error error = to_error(ex);
    if (reading) observer_.ReadingEnded();
    observer_.Idle();
    const bool atomic = unit_ != nullptr;
    try {
      EndUnit(report, false);
    } catch (const std::exception&) {
      // The rollback cannot fail in a way that keeps the new data.
    }
    observer_.RunFailed(error, format_error_message(kRunFailed, error) +
                                   (atomic ? "\n" + std::string(kOldDataKept) : std::string()));
    report.outcome = RunOutcome::kFailed;
  }
  return report;
}

void Run::EndUnit(RunReport& report, bool commit) {
  for (auto& inserter : inserters_) inserter.reset();
  std::unique_ptr<ReplaceUnit> unit = std::move(unit_);
  if (!unit) {
    report.committed = commit;
    return;
  }
  if (commit) {
    unit->Commit();
    report.committed = true;
  } else {
    unit->Rollback();
  }
}

bool Run::DeleteOld(const ConnectionPtr& connection) {
  observer_.DeletionStarted();
  try {
    connection->CommandTimeout(0);
    const auto& layouts = record_layouts();
    for (int i = 0; i < kRecordTypes; ++i) {
      if (i == kST) connection->CommandTimeout(0);
      int32_t affected = 0;
      connection->Execute("DELETE FROM " + std::string(layouts[i].table), &affected, -1);
      observer_.TableEmptied(i);
    }
    observer_.Idle();
    observer_.DeletionEnded(true);
    return true;
  } catch (const std::exception& e) {
    observer_.Idle();
    observer_.DeletionEnded(false);
    observer_.Message(format_error_number(to_error(e)));
    return false;
  }
}

bool Run::Dispatch(const std::string& zeile, bool check_only) {
  const int typ = record_type_of(zeile);
  return typ < 0 ? false : ImportRecord(typ, zeile, check_only);
}

bool Run::ImportRecord(int typ, const std::string& zeile, bool check_only) {
  const RecordLayout& layout = record_layouts()[typ];
  bool ergebnis = true;
  try {
    if (check_only) {
      values_text_.clear();
      return build_values(layout, zeile, values_text_);
    }
    int32_t affected = 0;
    RowInserter* inserter = inserters_[typ].get();
    if (inserter) {
      // The embedded backend takes the values as they are: no SQL text to
      // build here and to parse again there.
      if (!cut_values(layout, zeile, values_)) {
        observer_.Message(layout.wrong_length_message());
        return false;
      }
      value_views_.assign(values_.begin(), values_.end());
      try {
        affected = inserter->Insert(value_views_);
      } catch (const Error& e) {
        // A duplicate key is skipped without a word: nothing inserted, nothing counted.
        if (e.description.find(kDuplicateKeyText) == std::string::npos) throw;
        affected = 0;
      }
      if (affected == RowInserter::kPending) {
        // A backend loading in batches tells later what became of the row.
        CollectOutcomes(false);
        return ergebnis;
      }
    } else {
      values_text_.clear();
      if (!build_values(layout, zeile, values_text_)) {
        observer_.Message(layout.wrong_length_message());
        return false;
      }
      sql_.clear();
      sql_ += heads_[typ];
      sql_ += ' ';
      sql_ += values_text_;
      if (!connection_) throw object_not_set();
      try {
        connection_->Execute(sql_, &affected);
      } catch (const Error& e) {
        if (e.description.find(kDuplicateKeyText) == std::string::npos) throw;
        affected = 0;
      }
    }

    if (affected > 0) Count(typ);
  } catch (const std::exception& e) {
    if (!check_only && StopIfBroken(typ, e)) return ergebnis;
    observer_.Message(format_error_message(layout.error_message(), to_error(e)));
    // A line that cannot even be read is no sound first record.
    if (check_only) ergebnis = false;
  }
  return ergebnis;
}

void Run::Count(int typ) {
  const RecordLayout& layout = record_layouts()[typ];
  if (!layout.counter) return;
  int32_t& zaehler = session().counters.*layout.counter;
  ++zaehler;
  observer_.Counted(typ, zaehler);
}

bool Run::StopIfBroken(int typ, const std::exception& e) {
  if (!unit_ || !unit_->Broken()) return false;
  // The database cannot go on (a full disk, a lost server): one message,
  // and the reading stops; the old data stays.
  stopped_ = true;
  observer_.Message(format_error_message(record_layouts()[typ].error_message(), to_error(e)) +
                    "\nDer Import wurde abgebrochen. " + std::string(kOldDataKept));
  return true;
}

void Run::CollectOutcomes(bool all) {
  for (int typ = 0; typ < kRecordTypes && !stopped_; ++typ) {
    RowInserter* inserter = inserters_[typ].get();
    if (!inserter) continue;
    RowInserter::Outcomes outcomes;
    try {
      outcomes = inserter->TakeOutcomes(all);
    } catch (const std::exception& e) {
      if (!StopIfBroken(typ, e))
        observer_.Message(format_error_message(record_layouts()[typ].error_message(), to_error(e)));
      continue;
    }
    // Duplicates are skipped without a word, as with a row-by-row insert.
    for (const Error& error : outcomes.refused)
      observer_.Message(format_error_message(record_layouts()[typ].error_message(), error));
    for (int64_t i = 0; i < outcomes.inserted; ++i) Count(typ);
  }
}

std::optional<Verdict> Run::Verify(const ConnectionPtr& connection, bool cancelled) {
  try {
    observer_.VerificationStarted();
    Verdict verdict = verify_tables(connection, cancelled);
    observer_.Verified(verdict);
    return verdict;
  } catch (const std::exception& e) {
    observer_.VerificationFailed(to_error(e));
    return std::nullopt;
  }
}

}  // namespace noxplz::import
