// The import dialog frmPlzImport on a terminal: its notice line as lines of
// text, and the counts per record type with the share of the file read and the
// records per second, either as one live line rewritten in place (terminal)
// or as a plain line at every tenth of the file (logs, pipes).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "noxplz/ui.h"

namespace noxplz::console {

class ConsoleToolkit;

// The eight counted record types in dialog order, with their record lengths.
struct RecordType {
  const char* code;
  int length;
};
inline constexpr std::array<RecordType, 8> kRecordTypes{{{"GE", 324},
                                                         {"KG", 67},
                                                         {"OE", 272},
                                                         {"OR", 178},
                                                         {"OT", 84},
                                                         {"PF", 66},
                                                         {"PL", 168},
                                                         {"ST", 234}}};

// The two notices with which the verification ends (printed by the caller
// after its result table, not by the progress display).
inline constexpr std::string_view kNoticeAllOk = "Alle Werte wurden korrekt importiert!";
inline constexpr std::string_view kNoticeNotAllOk = "Es konnten nicht alle Werte korrekt importiert werden!";

class ImportDisplay {
 public:
  ImportDisplay(ConsoleToolkit& toolkit, Form& form, std::uintmax_t file_size);
  ~ImportDisplay();
  ImportDisplay(const ImportDisplay&) = delete;
  ImportDisplay& operator=(const ImportDisplay&) = delete;

  // Called on every yield and repaint: redraws when it is time.
  void tick();
  // Removes a live line from the screen (before other output).
  void clear_line();
  Form& form() const { return form_; }

  // Counts as the dialog shows them (its count labels).
  std::array<long long, 8> counts() const;
  // Share of the file read, 0..1, estimated from the counts and record
  // lengths (each line plus its CR LF); -1 when the file size is unknown.
  double share_read(const std::array<long long, 8>& counts) const;
  // "42 % gelesen · 12.345 Sätze/s · GE 0 · KG 1.250 · …"; the rate once
  // `seconds` makes it measurable.
  std::string status_text(double seconds) const { return progress_text(seconds, false); }
  // The same for narrow terminals: "42 % · 12.345/s · KG 1.250 OR 900 …"
  // (types without records left out).
  std::string compact_text(double seconds) const { return progress_text(seconds, true); }

 private:
  std::string progress_text(double seconds, bool compact) const;

  void notice_changed(Control& control);
  void draw_live();

  ConsoleToolkit& toolkit_;
  Form& form_;
  std::uintmax_t file_size_;
  Label* notice_ = nullptr;
  std::function<void(Control&)> previous_notice_handler_;
  std::string last_notice_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  int last_tenth_ = 0;
  bool line_on_screen_ = false;
};

}  // namespace noxplz::console
