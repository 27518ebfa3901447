// Importing a Deutsche Post "Datafactory Postalcode" file without a dialog.
//
// import_datafactory() runs the same import as the import dialog: it checks
// that the file is a Datafactory file, replaces the contents of the nine
// postal tables with the file's records (wrong end marks and rejected rows
// reported per record, duplicate keys skipped silently), and verifies the
// tables against the file's check records (XX). The deletion question is
// answered in advance (ImportOptions::replace_existing); every message that
// the dialog would show in a message box is returned in
// ImportResult::messages instead, in German.
//
// On a connection whose backend offers a replace unit (db.h; the embedded
// SQLite backend does) the replacement is atomic and exclusive: other
// connections read the old data until the new data is verified and
// committed; a red verification, a cancel, an unreadable or broken file or a
// database failure keeps the old data exactly as it was; a second import on
// the same database is refused at once.
//
// Everything runs on the caller's thread; the callbacks are called from it.
// A CancelToken may be set from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "noxplz/db.h"

namespace noxplz {

// Set from anywhere (another thread, a signal handler) to stop a running
// import before its next line. The import then keeps the old data.
class CancelToken {
 public:
  void cancel() noexcept { cancelled_.store(true, std::memory_order_relaxed); }
  bool cancelled() const noexcept { return cancelled_.load(std::memory_order_relaxed); }
  void reset() noexcept { cancelled_.store(false, std::memory_order_relaxed); }

 private:
  std::atomic<bool> cancelled_{false};
};

// The eight counted record types, in the order of every per-type array below.
inline constexpr std::array<std::string_view, 8> kImportRecordTypes = {"GE", "KG", "OE", "OR",
                                                                       "OT", "PF", "PL", "ST"};
// Their tables, in the same order.
inline constexpr std::array<std::string_view, 8> kImportTables = {"GROSS_DA", "KGS_DA", "ORG_DA", "ORT_DA",
                                                                  "OTL_DA",   "POFA_DA", "PLZ_DA", "STR_DA"};

struct ImportProgress {
  int64_t lines_read = 0;
  double share_read = 0;  // 0..1 of the file's bytes
  std::array<int64_t, 8> counts{};  // records stored per type
};

struct ImportOptions {
  // The answer to "Vor dem Import werden eventuell vorhandene
  // Datafactory-Daten gelöscht! Weiter?". False: nothing is changed.
  bool replace_existing = false;
  // Called every few thousand lines and once at the end of the reading.
  std::function<void(const ImportProgress&)> on_progress;
  // Called with each message as it arises (also collected in the result).
  std::function<void(const std::string&)> on_message;
  const CancelToken* cancel = nullptr;
};

enum class ImportOutcome {
  kImported,      // verified all green and committed
  kNotVerified,   // read to the end, but the verification was not all green
  kCancelled,     // stopped through the cancel token
  kDeclined,      // replace_existing was false: nothing changed
  kNoFile,        // no file of that name: only the verification ran
  kInvalidFile,   // "Dies ist keine gültige Datafactory-Datei!": nothing changed
  kUnreadable,    // the file exists but cannot be read: nothing changed
  kRefused,       // another import runs, or the database is locked: nothing changed
  kFailed,        // a read or database failure stopped the run
};

struct ImportTypeResult {
  std::string_view code;    // "GE"
  std::string_view table;   // "GROSS_DA"
  int64_t rows = 0;         // records of this type the run stored
  std::optional<int64_t> check_count;  // the count its check records state, when the query gave one
  bool verified = false;    // green in the verification (also true for a type not delivered)
  bool delivered = true;    // false: no rows, no check record, no line of this type in the file
};

struct ImportResult {
  ImportOutcome outcome = ImportOutcome::kFailed;
  // The verification ran (kImported, kNotVerified, kCancelled, kNoFile).
  bool verification_ran = false;
  bool all_verified = false;     // all eight types green
  // The new data is in the tables. False on a backend with a replace unit
  // means that the old data is unchanged.
  bool committed = false;
  // Without a replace unit (a backend that only takes SQL text) a failed
  // import leaves what it got to; true then.
  bool old_data_kept = false;
  std::array<ImportTypeResult, 8> types;
  // Every message the dialog would have shown, in order, in German.
  std::vector<std::string> messages;
};

// Imports `file` into the postal tables of `connection`. Never throws for
// anything the import itself meets; the outcome and the messages say what
// happened. Uses the thread's record counters like the dialog does (reset
// to 0 at the start).
ImportResult import_datafactory(const std::string& file, const ConnectionPtr& connection,
                                const ImportOptions& options = {});

// The German one-line summary of an outcome ("Die bisherigen Postdaten
// bleiben unverändert erhalten." where that is so).
std::string describe(const ImportResult& result);

}  // namespace noxplz
