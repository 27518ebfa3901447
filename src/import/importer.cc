// import_datafactory: the import run without a dialog.
#include "noxplz/importer.h"

#include <filesystem>

#include "import/import_run.h"
#include "manager/session.h"
#include "noxplz/error_log.h"

namespace noxplz {
namespace {

constexpr int64_t kProgressEveryLines = 4096;

constexpr int32_t RecordCounters::*kCounters[8] = {&RecordCounters::GE, &RecordCounters::KG,
                                                   &RecordCounters::OE, &RecordCounters::OR,
                                                   &RecordCounters::OT, &RecordCounters::PF,
                                                   &RecordCounters::PL, &RecordCounters::ST};

class HeadlessObserver final : public import::RunObserver {
 public:
  HeadlessObserver(const ImportOptions& options, ImportResult& result, uint64_t file_size)
      : options_(options), result_(result), file_size_(file_size) {}

  bool ConfirmReplace() override { return options_.replace_existing; }
  void Message(const std::string& text) override {
    result_.messages.push_back(text);
    if (options_.on_message) options_.on_message(text);
  }
  bool Cancelled() override { return options_.cancel && options_.cancel->cancelled(); }
  // The counters start at 0 once the run has the tables: a refused run
  // leaves those of a run in progress on this thread alone.
  void DeletionStarted() override {
    session().counters = RecordCounters{};
    started_ = true;
  }
  bool started() const { return started_; }
  void AfterLine(int64_t lines, uint64_t bytes) override {
    lines_ = lines;
    bytes_ = bytes;
    if (lines % kProgressEveryLines == 0) Report();
  }
  void ReadingEnded() override { Report(); }
  void VerificationFailed(const Error& error) override { Message(format_error_number(error)); }
  void RunFailed(const Error& error, const std::string& message) override {
    Message(message);
    error_log().Report({"clsPlzImport.Saetze_Einlesen", error.number, error.description});
  }

 private:
  void Report() {
    if (!options_.on_progress) return;
    ImportProgress p;
    p.lines_read = lines_;
    p.share_read = file_size_ ? static_cast<double>(bytes_) / static_cast<double>(file_size_) : 0;
    if (p.share_read > 1) p.share_read = 1;
    const RecordCounters& c = session().counters;
    for (int i = 0; i < 8; ++i) p.counts[i] = c.*kCounters[i];
    options_.on_progress(p);
  }

  const ImportOptions& options_;
  ImportResult& result_;
  uint64_t file_size_;
  int64_t lines_ = 0;
  uint64_t bytes_ = 0;
  bool started_ = false;
};

ImportOutcome outcome_of(import::RunOutcome o) {
  switch (o) {
    case import::RunOutcome::kImported: return ImportOutcome::kImported;
    case import::RunOutcome::kNotVerified: return ImportOutcome::kNotVerified;
    case import::RunOutcome::kCancelled: return ImportOutcome::kCancelled;
    case import::RunOutcome::kDeclined: return ImportOutcome::kDeclined;
    case import::RunOutcome::kNoFile: return ImportOutcome::kNoFile;
    case import::RunOutcome::kInvalidFile: return ImportOutcome::kInvalidFile;
    case import::RunOutcome::kUnreadable: return ImportOutcome::kUnreadable;
    case import::RunOutcome::kRefused: return ImportOutcome::kRefused;
    case import::RunOutcome::kFailed: break;
  }
  return ImportOutcome::kFailed;
}

}  // namespace

ImportResult import_datafactory(const std::string& file, const ConnectionPtr& connection,
                                const ImportOptions& options) {
  ImportResult result;
  const RecordCounters& counters = session().counters;
  std::error_code ec;
  const uint64_t size = std::filesystem::is_regular_file(file, ec) ? std::filesystem::file_size(file, ec) : 0;
  HeadlessObserver observer(options, result, ec ? 0 : size);
  import::RunReport report;
  try {
    import::Run run(observer);
    report = run.Execute(file, connection);
  } catch (const std::exception& e) {
    // The run reports its own failures; this is only a last guard.
    observer.Message(format_error_number(to_error(e)));
  }
  result.outcome = outcome_of(report.outcome);
  result.verification_ran = report.verdict.has_value();
  result.all_verified = report.verdict && report.verdict->all_ok;
  result.committed = report.committed;
  const bool touched = report.outcome == import::RunOutcome::kImported ||
                       report.outcome == import::RunOutcome::kNotVerified ||
                       report.outcome == import::RunOutcome::kCancelled || report.outcome == import::RunOutcome::kFailed;
  result.old_data_kept = !report.committed && (report.atomic || !touched);
  for (int i = 0; i < 8; ++i) {
    ImportTypeResult& t = result.types[i];
    t.code = kImportRecordTypes[i];
    t.table = kImportTables[i];
    t.rows = observer.started() ? counters.*kCounters[i] : 0;
    if (report.verdict) {
      t.verified = report.verdict->ok[i];
      t.delivered = report.verdict->delivered[i];
      t.check_count = report.verdict->check_count[i];
    }
  }
  return result;
}

std::string describe(const ImportResult& r) {
  std::string kept = r.old_data_kept ? " " + std::string(import::kOldDataKept) : std::string();
  switch (r.outcome) {
    case ImportOutcome::kImported: return "Alle Werte wurden korrekt importiert!";
    case ImportOutcome::kNotVerified: return "Es konnten nicht alle Werte korrekt importiert werden!" + kept;
    case ImportOutcome::kCancelled: return "Der Import wurde abgebrochen." + kept;
    case ImportOutcome::kDeclined: return "Der Import wurde nicht begonnen, weil das Löschen der vorhandenen Daten nicht bestätigt wurde." + kept;
    case ImportOutcome::kNoFile: return "Die Datei gibt es nicht; es wurde nur die Prüfung ausgeführt.";
    case ImportOutcome::kInvalidFile: return "Dies ist keine gültige Datafactory-Datei!" + kept;
    case ImportOutcome::kUnreadable: return "Die Datei kann nicht gelesen werden." + kept;
    case ImportOutcome::kRefused: return "Der Import wurde abgelehnt." + kept;
    case ImportOutcome::kFailed: break;
  }
  return "Der Import ist mit einem Fehler abgebrochen." + kept;
}

}  // namespace noxplz
