// clsPlzImport: the import run and the verification as the import dialog
// shows them. The rules of the run are import::Run's; this file only turns
// what the run reports into the dialog's labels, message boxes, mouse
// pointer and yields.
#include "noxplz/plz_import.h"

#include <filesystem>
#include <string>

#include "dialogs/frm_plz_import.h"
#include "import/import_run.h"
#include "import/record_layout.h"
#include "import/verification.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/error.h"
#include "noxplz/error_log.h"
#include "noxplz/ui.h"
#include "platform/text.h"

namespace noxplz {
namespace {

constexpr int kHourglass = 11;
constexpr int kDefaultPointer = 0;

// The counters in the order of the count labels.
constexpr int32_t RecordCounters::*kCounters[8] = {&RecordCounters::GE, &RecordCounters::KG,
                                                   &RecordCounters::OE, &RecordCounters::OR,
                                                   &RecordCounters::OT, &RecordCounters::PF,
                                                   &RecordCounters::PL, &RecordCounters::ST};

frmPlzImport& as_import_dialog(frmPlzImport* form) {
  if (!form) throw Error(err::kTypeMismatch, "Typen unverträglich");
  return *form;
}

// Draws every control of the dialog at once.
void repaint(Form& form) {
  for (Control* c : form.Controls()) toolkit().Repaint(*c);
}

// The run as the dialog shows it.
class DialogObserver final : public import::RunObserver {
 public:
  explicit DialogObserver(frmPlzImport* frm) : frm_(frm) {}

  bool ConfirmReplace() override {
    // "Nein" is the default button: Enter alone never deletes the data.
    return msg_box("Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?",
                   mb::kYesNoQuestion | mb::kDefaultButton2, "Achtung") == mb::kYes;
  }
  void Message(const std::string& text) override { msg_box(text); }
  bool Cancelled() override { return dialog().Abbruch(); }

  void DeletionStarted() override {
    toolkit().SetMousePointer(kHourglass);
    toolkit().DoEvents();
    dialog().lbl_Delete.Visible(true);
    repaint(dialog());
  }
  void TableEmptied(int type) override {
    if (type >= 8) return;
    Label& label = dialog().count_label(type);
    label.ForeColor(color::kGrayText);
    label.Refresh();
  }
  void DeletionEnded(bool ok) override {
    dialog().lbl_Delete.Visible(false);
    if (ok) repaint(dialog());
  }
  void ImportStarted() override {
    frmPlzImport& frm = dialog();
    frm.lbl_Delete.Caption("Datafactory-Daten werden importiert");
    frm.lbl_Delete.ForeColor(color::kBlue);
    frm.lbl_Delete.BackColor(frm.BackColor());
    frm.lbl_Delete.Visible(true);
    toolkit().SetMousePointer(kHourglass);
  }
  void BeforeLine() override { toolkit().SetMousePointer(kHourglass); }
  void AfterLine(int64_t, uint64_t) override { toolkit().DoEvents(); }
  void Counted(int type, int32_t count) override {
    if (count % 50 != 0) return;
    toolkit().DoEvents();
    if (frm_) show_count(type, count);
  }
  void ReadingEnded() override {
    // The true final count of every type, not only its last multiple of 50.
    if (!frm_) return;
    const RecordCounters& counters = session().counters;
    for (int i = 0; i < 8; ++i) {
      const int32_t n = counters.*kCounters[i];
      if (n > 0) show_count(i, n);
    }
  }
  void Idle() override { toolkit().SetMousePointer(kDefaultPointer); }
  void VerificationStarted() override {
    toolkit().DoEvents();
    import::show_verification_started(dialog());
  }
  void Verified(const import::Verdict& verdict) override { import::show_verdict(dialog(), verdict); }
  void VerificationFailed(const Error& error) override { msg_box(format_error_number(error)); }
  void RunFailed(const Error& error, const std::string& message) override {
    msg_box(message);
    error_log().Report({"clsPlzImport.Saetze_Einlesen", error.number, error.description});
  }

 private:
  frmPlzImport& dialog() { return as_import_dialog(frm_); }
  void show_count(int type, int32_t count) {
    Label& label = frm_->count_label(type);
    label.ForeColor(color::kBlack);
    label.Caption(text::group_digits(count));
    label.Refresh();
  }

  frmPlzImport* frm_;
};

}  // namespace

clsPlzImport::clsPlzImport() = default;
clsPlzImport::~clsPlzImport() = default;

bool clsPlzImport::Saetze_Einlesen(const std::string& mDatenDatei, Form& mFrm) {
  auto* frm = dynamic_cast<frmPlzImport*>(&mFrm);
  if (frm) frm_ = frm;
  DialogObserver observer(frm);
  std::error_code ec;
  if (!frm && session().connection && std::filesystem::is_regular_file(mDatenDatei, ec)) {
    // The run reports on the import dialog only.
    const Error error(err::kTypeMismatch, "Typen unverträglich");
    observer.RunFailed(error, format_error_message("Fehler beim Importieren der Datafactory Postalcode Daten", error));
    return false;
  }
  import::Run run(observer);
  run.Execute(mDatenDatei, session().connection);
  return false;
}

void clsPlzImport::PruefeImport(Form& mFrm) {
  auto* frm = dynamic_cast<frmPlzImport*>(&mFrm);
  if (frm) frm_ = frm;
  DialogObserver observer(frm);
  import::Run run(observer);
  run.Verify(session().connection);
}

}  // namespace noxplz
