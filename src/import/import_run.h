// The import run in one place: validity test of the file, the deletion
// question, the replacement of the nine tables (as one replace unit where
// the backend has one), the record routines and the verification. What the
// run shows and asks goes through a RunObserver: the import dialog
// (clsPlzImport) and the headless importer (importer.h) each implement one.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "noxplz/db.h"
#include "noxplz/error.h"

namespace noxplz::import {

// The verdict of the verification, per counted type in the order GE KG OE
// OR OT PF PL ST.
struct Verdict {
  std::array<bool, 8> ok{};
  bool all_ok = false;
  std::array<std::optional<int64_t>, 8> check_count;  // the counts the check records state
  // False for a type the file did not deliver (no rows, no check record, no
  // line read): it counts as ok and is shown neutrally.
  std::array<bool, 8> delivered = {true, true, true, true, true, true, true, true};
};

// Runs the verification query on `connection` (a missing connection is a
// red verdict). After a cancelled import every type is judged, delivered or
// not. Raises noxplz::Error when the query fails.
Verdict verify_tables(const ConnectionPtr& connection, bool cancelled = false);

// The German sentence of every ending that keeps the old data.
inline constexpr std::string_view kOldDataKept = "Die bisherigen Postdaten bleiben unverändert erhalten.";

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The deletion question; false leaves everything unchanged.
  virtual bool ConfirmReplace() = 0;
  // A message the user must see (the dialog shows a message box).
  virtual void Message(const std::string& text) = 0;
  // Read before every line: true stops the reading.
  virtual bool Cancelled() = 0;

  virtual void DeletionStarted() {}
  virtual void TableEmptied(int /*type*/) {}  // 0..8 in the order GE … ST, XX
  virtual void DeletionEnded(bool /*ok*/) {}
  virtual void ImportStarted() {}
  virtual void BeforeLine() {}
  virtual void AfterLine(int64_t /*lines*/, uint64_t /*bytes*/) {}
  // An accepted record of a counted type; `count` is its counter now.
  virtual void Counted(int /*type*/, int32_t /*count*/) {}
  virtual void ReadingEnded() {}
  // Mouse pointer back to the default (also on every early end).
  virtual void Idle() {}
  virtual void VerificationStarted() {}
  virtual void Verified(const Verdict& /*verdict*/) {}
  // The verification itself failed.
  virtual void VerificationFailed(const Error& /*error*/) {}
  // An error ended the run (reported to the error log by the observer).
  virtual void RunFailed(const Error& /*error*/, const std::string& /*message*/) {}
};

enum class RunOutcome {
  kImported,
  kNotVerified,
  kCancelled,
  kDeclined,
  kNoFile,
  kInvalidFile,
  kUnreadable,
  kRefused,
  kFailed,
};

struct RunReport {
  RunOutcome outcome = RunOutcome::kFailed;
  std::optional<Verdict> verdict;  // when the verification ran
  bool atomic = false;     // the backend gave a replace unit
  bool committed = false;  // the unit was committed (or there was none and data changed)
  uint64_t file_size = 0;
};

class Run {
 public:
  explicit Run(RunObserver& observer) : observer_(observer) {}
  ~Run();
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // Saetze_Einlesen without its dialog: the whole run over `path`.
  RunReport Execute(const std::string& path, const ConnectionPtr& connection);

  // PruefeImport: the verification with its display through the observer.
  // nullopt when it failed (reported through VerificationFailed).
  std::optional<Verdict> Verify(const ConnectionPtr& connection, bool cancelled = false);

  // The validity test: the first line is a record of a known type with its
  // end mark. Raises when the file cannot be read.
  bool CheckFile(const std::string& path);

 private:
  bool DeleteOld(const ConnectionPtr& connection);
  // The record routine of `type`; false: wrong end mark (or, check-only, no sound record).
  bool ImportRecord(int type, const std::string& line, bool check_only);
  bool Dispatch(const std::string& line, bool check_only);
  // One more accepted record of `type`: its counter and the display.
  void Count(int type);
  // Counts and reports what became of the rows the inserters held.
  void CollectOutcomes(bool all);
  // When the unit is spoilt: the one message, and the reading stops (true).
  bool StopIfBroken(int type, const std::exception& e);
  void EndUnit(RunReport& report, bool commit);

  RunObserver& observer_;
  ConnectionPtr connection_;
  std::unique_ptr<ReplaceUnit> unit_;
  std::array<std::unique_ptr<RowInserter>, 9> inserters_;
  std::array<std::string, 9> heads_;  // INSERT heads, for backends without inserters
  std::string sql_;
  std::string values_text_;
  std::vector<std::string> values_;
  std::vector<std::string_view> value_views_;
  // Set when a failure spoilt the replace unit: the reading stops and the
  // one message about it has been shown.
  bool stopped_ = false;
};

}  // namespace noxplz::import
