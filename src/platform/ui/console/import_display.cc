#include "platform/ui/console/import_display.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <vector>

#include "platform/text.h"
#include "platform/ui/console/console_toolkit.h"

namespace noxplz::console {
namespace {

constexpr auto kLiveInterval = std::chrono::milliseconds(100);
constexpr auto kPlainIntervalWithoutSize = std::chrono::seconds(5);

long long caption_number(const std::string& caption) {
  long long value = 0;
  bool any = false;
  for (char c : caption) {
    if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      any = true;
    } else if (c != '.' && c != ' ') {
      break;
    }
  }
  return any ? value : 0;
}

}  // namespace

ImportDisplay::ImportDisplay(ConsoleToolkit& toolkit, Form& form, std::uintmax_t file_size)
    : toolkit_(toolkit),
      form_(form),
      file_size_(file_size),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {
  notice_ = dynamic_cast<Label*>(form_.FindControl("lbl_Delete"));
  if (notice_) {
    previous_notice_handler_ = notice_->on_model_changed;
    notice_->on_model_changed = [this](Control& c) {
      if (previous_notice_handler_) previous_notice_handler_(c);
      notice_changed(c);
    };
  }
}

ImportDisplay::~ImportDisplay() {
  if (notice_) notice_->on_model_changed = previous_notice_handler_;
  if (line_on_screen_ && toolkit_.settings_.ui) {
    // Leave the last state of the live line on screen.
    draw_live();
    *toolkit_.settings_.ui << "\n" << std::flush;
    line_on_screen_ = false;
  }
}

void ImportDisplay::notice_changed(Control& control) {
  auto& label = static_cast<Label&>(control);
  if (!label.Visible()) {
    last_notice_.clear();
    return;
  }
  const std::string& caption = label.Caption();
  if (caption.empty() || caption == last_notice_) return;
  last_notice_ = caption;
  if (caption == kNoticeAllOk || caption == kNoticeNotAllOk) return;
  if (caption == "Datafactory-Daten werden importiert") start_ = std::chrono::steady_clock::now();
  toolkit_.print_line(caption);
}

std::array<long long, 8> ImportDisplay::counts() const {
  std::array<long long, 8> result{};
  for (size_t i = 0; i < kRecordTypes.size(); ++i) {
    auto* label = dynamic_cast<Label*>(form_.FindControl(std::string("lbl_") + kRecordTypes[i].code + "_Saetze"));
    if (label) result[i] = caption_number(label->Caption());
  }
  return result;
}

double ImportDisplay::share_read(const std::array<long long, 8>& counts) const {
  if (file_size_ == 0) return -1;
  double bytes = 0;
  for (size_t i = 0; i < kRecordTypes.size(); ++i) bytes += static_cast<double>(counts[i]) * (kRecordTypes[i].length + 2);
  return std::clamp(bytes / static_cast<double>(file_size_), 0.0, 1.0);
}

std::string ImportDisplay::progress_text(double seconds, bool compact) const {
  auto c = counts();
  long long total = 0;
  for (long long n : c) total += n;
  std::vector<std::string> parts;
  double share = share_read(c);
  if (share >= 0)
    parts.push_back(std::to_string(static_cast<int>(std::floor(share * 100))) + (compact ? " %" : " % gelesen"));
  // The rate only once it means something (a small file is read in a moment).
  if (seconds >= 0.25)
    parts.push_back(group_digits(static_cast<long long>(static_cast<double>(total) / seconds)) +
                    (compact ? "/s" : " Sätze/s"));
  std::string types;
  for (size_t i = 0; i < kRecordTypes.size(); ++i) {
    if (compact && c[i] == 0) continue;
    if (!types.empty()) types += compact ? " " : " · ";
    types += std::string(kRecordTypes[i].code) + " " + group_digits(c[i]);
  }
  if (!types.empty()) parts.push_back(types);
  std::string s;
  for (const std::string& part : parts) s += (s.empty() ? "" : " · ") + part;
  return s;
}

void ImportDisplay::clear_line() {
  if (line_on_screen_ && toolkit_.settings_.ui) {
    *toolkit_.settings_.ui << "\r\033[K" << std::flush;
    line_on_screen_ = false;
  }
}

void ImportDisplay::draw_live() {
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  size_t width = toolkit_.settings_.width > 10 ? static_cast<size_t>(toolkit_.settings_.width - 1) : 79;
  std::string line = status_text(seconds);
  if (text::length(line) > width) line = compact_text(seconds);
  if (text::length(line) > width) line = text::left(line, width - 1) + "…";
  *toolkit_.settings_.ui << "\r\033[K" << line << std::flush;
  line_on_screen_ = true;
}

void ImportDisplay::tick() {
  if (!toolkit_.settings_.ui) return;
  auto now = std::chrono::steady_clock::now();
  if (toolkit_.settings_.live) {
    if (now - last_draw_ < kLiveInterval) return;
    last_draw_ = now;
    draw_live();
    return;
  }
  // Plain lines: one at every tenth of the file, or every few seconds when
  // the size is unknown.
  double seconds = std::chrono::duration<double>(now - start_).count();
  double share = share_read(counts());
  if (share >= 0) {
    int tenth = static_cast<int>(share * 10);
    if (tenth <= last_tenth_) return;
    last_tenth_ = tenth;
  } else {
    if (now - last_draw_ < kPlainIntervalWithoutSize) return;
    last_draw_ = now;
  }
  *toolkit_.settings_.ui << status_text(seconds) << "\n" << std::flush;
}

}  // namespace noxplz::console
