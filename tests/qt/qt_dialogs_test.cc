// The four dialogs as real Qt windows, driven like a user drives them, on a
// postal database imported from a generated Datafactory file.
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <memory>
#include <string>
#include <vector>

#include "datafactory_gen.h"
#include "dialogs/frm_auswahl.h"
#include "dialogs/frm_chk_plz_ort.h"
#include "dialogs/frm_plz.h"
#include "dialogs/frm_plz_import.h"
#include "host_window.h"
#include "lookup/global.h"
#include "manager/session.h"
#include "noxplz/plz_import.h"
#include "noxplz/plz_manager.h"
#include "noxplz/qt_toolkit.h"
#include "platform/text.h"
#include "platform/ui/qt/qt_convert.h"
#include "qt_test_support.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using qt_testing::button_with_text;
using qt_testing::answer_next_box;
using qt_testing::click_row;
using qt_testing::row_count;
using qt_testing::row_text;
using qt_testing::SeenBox;
using qt_testing::type_text;
using qt_testing::when_shown;
using testing::TempDatabase;

const QColor kRed(255, 0, 0), kGreen(0, 192, 0), kWhite(255, 255, 255);

QColor colour(QWidget* w, QPalette::ColorRole role) { return w->palette().color(role); }

// A session on `db` for each test, and the user played on the dialogs it opens.
class QtDialogsBase : public qt_testing::QtTest {
 protected:
  void init(TempDatabase& db) { ASSERT_TRUE(manager_.Init(nullptr, "", db.connection())); }
  // Plays the user on every dialog of type F that opens.
  template <class F>
  void on_shown(std::function<void(F&)> act) {
    tk_->on_form_shown = [act](Form& form) { act(dynamic_cast<F&>(form)); };
  }
  // Runs `open`, expecting it to show a dialog of type F; `act` plays the user.
  template <class F>
  void play(std::function<void(F&)> act, std::function<void()> open) {
    bool ran = false;
    on_shown<F>([&](F& f) { ran = true; act(f); });
    open();
    EXPECT_TRUE(ran);
  }
  void click(const Control& button) { QTest::mouseClick(w<QPushButton>(button), Qt::LeftButton); }

  clsPlzManager manager_;
};

class QtDialogTest : public QtDialogsBase {
 protected:
  // One generated delivery, imported once for every test of the suite.
  static void SetUpTestSuite() {
    db_ = new TempDatabase;
    const std::string file = (db_->dir() / "post.dat").string();
    datafactory::GenOptions options;
    options.seed = 7;
    const auto summary = datafactory::generate_file(file, options);
    ScopedToolkit use(std::make_shared<QtToolkit>());
    clsPlzManager manager;
    ASSERT_TRUE(manager.Init(nullptr, "", db_->connection()));
    frmPlzImport dialog;
    dialog.raise_load();
    answer_next_box("Ja");
    clsPlzImport().Saetze_Einlesen(file, dialog);
    ASSERT_EQ(db_->count("STR_DA"), summary.records.at("ST"));
    // The current place with the most streets among those whose name no
    // other current place shares: typed in full, it is the first line.
    auto rs = db_->connection()->Execute(
        "SELECT TRIM(o.ONAME) AS name, TRIM(o.ALORT) AS alort, (SELECT COUNT(*) FROM STR_DA s WHERE "
        "TRIM(s.ALORT) = TRIM(o.ALORT)) AS n FROM ORT_DA o WHERE COALESCE(TRIM(o.ALORT_Neu), '') = '' AND "
        "(SELECT COUNT(*) FROM ORT_DA p WHERE COALESCE(TRIM(p.ALORT_Neu), '') = '' AND "
        "UPPER(TRIM(p.ONAME)) = UPPER(TRIM(o.ONAME))) = 1 ORDER BY n DESC LIMIT 1");
    ASSERT_FALSE(rs->Eof());
    place_ = {rs->Field("name").as_text(), rs->Field("alort").as_text(), static_cast<int>(rs->Field("n").as_long())};
    ASSERT_GT(place_.streets, 1) << "the generated data has places with streets";
  }
  static void TearDownTestSuite() {
    delete db_;
    db_ = nullptr;
  }
  void SetUp() override { init(*db_); }

  struct Place {
    std::string name, alort;
    int streets;
  };
  static inline TempDatabase* db_ = nullptr;
  static inline Place place_;
};

// One search as a user makes it: the place typed and clicked, a street
// section clicked with house numbers in and out of its range. (What the lists hold after each key and the question for an unknown
// street are pinned in the search dialog scenarios.)
TEST_F(QtDialogTest, SearchDialogTypingListsAndHouseNumberColours) {
  const QString name = qt::to_qstring(place_.name);
  std::string plz, ort_text, strasse, nr_text;
  play<frmPlz>([&](frmPlz& f) {
    auto* ort = w<QLineEdit>(f.txt_Ort);
    auto* orte = w<QListView>(f.lst_Orte);
    auto* strassen = w<QListView>(f.lst_Strassen);
    type_text(ort, name);
    EXPECT_TRUE(row_text(orte, 0).startsWith(name + " ")) << "the unique place comes first";

    // The place clicked: its streets. (Down into the list: in the host program test.)
    click_row(orte, 0);
    EXPECT_EQ(ort->text(), name) << "the bare name";
    EXPECT_EQ(f.txt_Ort.Tag(), place_.alort);
    EXPECT_EQ(row_count(strassen), place_.streets);

    // A section with a house-number range (one of kind "N" when there is one).
    const VariantTable& t = *session().StrTabelle;
    int row = -1;
    for (int i = 0; i < t.UpperBound(1); ++i)
      if (!text::trim(t.Text(i, 2)).empty() && (row < 0 || text::trim(t.Text(i, 4)) == "N")) row = i;
    ASSERT_GE(row, 0) << "a street section with a range";
    const std::string von = text::trim(t.Text(row, 2));
    auto* nr = w<QLineEdit>(f.txt_Hausnummer);
    // Each case: the house number typed, then the section chosen (away and back).
    const std::pair<std::string, QColor> cases[] = {{"x", kRed}, {von, kWhite}, {"x", kRed}};
    for (const auto& [number, expected] : cases) {
      SCOPED_TRACE(number);
      nr->selectAll();
      type_text(nr, qt::to_qstring(number));
      click_row(strassen, row == 0 ? 1 : 0);
      click_row(strassen, row);
      EXPECT_EQ(colour(nr, QPalette::Base), expected);
      EXPECT_EQ(w<QLineEdit>(f.txt_Plz)->text(), qt::to_qstring(text::trim(t.Text(row, 1))));
    }
    click_row(orte, 0);
    EXPECT_EQ(colour(nr, QPalette::Base), kWhite) << "choosing the place again resets the colour";
    click(f.cmd_Abbruch);
  }, [&] { manager_.PlzSuchenDialog(plz, ort_text, strasse, nr_text); });
  EXPECT_EQ(manager_.Geprueft(), 0);
}

// The choice list on the screen (the searches that open it run on the
// scripted toolkit in the search scenarios, Return and Escape in the choice
// dialog tests): the first line selected when it opens, a double click takes
// a line, the frame close is a cancel.
TEST_F(QtDialogTest, ChoiceListTakesADoubleClickedLineAndTheFrameCloseCancels) {
  frmAuswahl f;
  f.Caption("Orts-Auswahl");
  f.lst_Auswahl.AddItem("Köln     (50667)");
  f.lst_Auswahl.AddItem("Kölleda     (99625)");
  // What the user does, and the line the list hands back (-1: cancelled).
  const std::pair<std::function<void(frmAuswahl&)>, int> answers[] = {
      {[&](frmAuswahl& f) {  // a double click
         EXPECT_EQ(tk_->window(f)->windowTitle(), QStringLiteral("Orts-Auswahl"));
         auto* list = w<QListView>(f.lst_Auswahl);
         EXPECT_EQ(list->currentIndex().row(), 0) << "the first line is selected when the list opens";
         click_row(list, 1, true);
       }, 1},
      {[&](frmAuswahl& f) { tk_->window(f)->close(); }, -1},  // closed by the frame, after a line was taken
  };
  for (size_t i = 0; i < std::size(answers); ++i) {
    on_shown(answers[i].first);
    f.Show();
    EXPECT_EQ(f.AuswahlIndex, answers[i].second) << "answer " << i;
    EXPECT_FALSE(f.visible()) << "answer " << i;
  }
}

// The question with its icon, answered by a click and by the access key of
// &Ort. (Return and Escape: in the choice dialog tests.)
TEST_F(QtDialogTest, MismatchQuestionShowsTheQuestionIconAndAnswersByButton) {
  on_shown<frmChkPlzOrt>([&](frmChkPlzOrt& f) {
    EXPECT_EQ(tk_->window(f)->windowTitle(), QStringLiteral("Prüfe Postleitzahl und Bestimmungsort"));
    EXPECT_EQ(w<QLabel>(f.Label1)->text(),
              QStringLiteral("Die Postleitzahl und der Bestimmungsort stimmen nicht überein! Prüfen?"));
    EXPECT_EQ(tk_->window(f)->focusWidget(), w<QWidget>(f.cmd_Postleitzahl));
    const QPixmap icon = w<QLabel>(f.Picture1)->pixmap();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.toImage(),
              QApplication::style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(icon.size()).toImage());
    click(f.cmd_Ort);
  });
  EXPECT_EQ(Frage_PlzOrt(), 1);
  on_shown<frmChkPlzOrt>([&](frmChkPlzOrt& f) {
    EXPECT_TRUE(QTest::qWaitForWindowActive(tk_->window(f), 2000));
    QTest::keyClick(tk_->window(f), Qt::Key_O, Qt::AltModifier);
  });
  EXPECT_EQ(Frage_PlzOrt(), 1);
}

TEST_F(QtDialogTest, HostProgramTakesOverTheSearchDialogsAddressAndShowsGeprueft) {
  gui::HostWindow host(db_->path(), db_->connection());
  tk_->host_window = &host;
  host.show();
  host.ort->setText(qt::to_qstring(place_.name));
  host.plz->setText("9");
  on_shown<frmPlz>([&](frmPlz& f) {
    EXPECT_EQ(tk_->window(f)->parentWidget(), &host);
    EXPECT_EQ(w<QLineEdit>(f.txt_Plz)->text(), QStringLiteral("9")) << "the host's postal code";
    QTest::keyClick(w<QLineEdit>(f.txt_Ort), Qt::Key_Down);
    click(f.cmd_Uebernehmen);
  });
  QTest::mouseClick(host.search_button, Qt::LeftButton);
  EXPECT_EQ(host.ort->text(), qt::to_qstring(place_.name));
  EXPECT_EQ(host.plz->text().size(), 5);
  EXPECT_EQ(host.r_plz->text(), host.plz->text());
  EXPECT_EQ(host.r_geprueft->text(), QStringLiteral("-1 (ja)"));

  const QString plz = host.plz->text();
  on_shown<frmPlz>([&](frmPlz& f) {
    EXPECT_TRUE(QTest::qWaitForWindowActive(tk_->window(f), 2000));
    QTest::keyClick(w<QLineEdit>(f.txt_Ort), Qt::Key_Escape);
  });
  QTest::mouseClick(host.search_button, Qt::LeftButton);
  EXPECT_EQ(host.plz->text(), plz) << "Escape: the address stays";
  EXPECT_TRUE(QTest::qWaitForWindowActive(&host, 2000)) << "the keyboard is back in the host's window";
  EXPECT_EQ(host.r_geprueft->text(), QStringLiteral("0 (nein)"));

  bool import_shown = false;
  tk_->on_form_shown = [&](Form& form) {
    import_shown = dynamic_cast<frmPlzImport*>(&form) != nullptr;
    tk_->window(form)->close();
  };
  QTest::mouseClick(host.import_button, Qt::LeftButton);
  EXPECT_TRUE(import_shown);
  EXPECT_TRUE(host.status->text().endsWith(QStringLiteral(" – %1 Orte").arg(db_->count("ORT_DA"))))
      << qt::to_std(host.status->text());
  tk_->host_window = nullptr;
}

// --- frmPlzImport, each test on a database of its own ---

class QtImportDialogTest : public QtDialogsBase {
 protected:
  void SetUp() override { init(db_); }
  datafactory::GenSummary generate(uint64_t seed, int64_t st, std::string wrong_count_type = "") {
    datafactory::GenOptions options;
    options.seed = seed;
    options.st = st;
    options.wrong_count_type = wrong_count_type;
    return datafactory::generate_file(file_, options);
  }
  // Opens the import dialog; `act` plays the user.
  void import(std::function<void(frmPlzImport&)> act) {
    play<frmPlzImport>(act, [&] { manager_.PlzImportieren(); });
  }
  void type_path(frmPlzImport& f) { QTest::keyClicks(w<QLineEdit>(f.txtDatenDatei), QString::fromStdString(file_)); }

  TempDatabase db_;
  std::string file_ = (db_.dir() / "lieferung.dat").string();
};

// A file chosen by the chooser button fails its verification: red, the
// old data kept, the dialog stays. The user fixes the file and imports
// again: every count label shows the true count in green, then "&Beenden"
// closes. (The chooser's title, filters and cancel, and when the buttons are
// enabled: in the import dialog tests and the Qt conversions.)
TEST_F(QtImportDialogTest, FailedImportStaysRedSoundOneCountsAndClosesAndAFrameCloseAsksToCancel) {
  generate(4, 200, "PL");
  const char* const types[8] = {"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST"};
  import([&](frmPlzImport& f) {
    when_shown<QFileDialog>([&](QFileDialog* d) {
      d->selectFile(QString::fromStdString(file_));
      static_cast<QDialog*>(d)->accept();  // public as a QDialog
    });
    click(f.Cmd_FileDialog2);
    EXPECT_EQ(w<QLineEdit>(f.txtDatenDatei)->text(), QString::fromStdString(file_));
    // The deletion question ("Nein" its default button), then the notice that the old data is kept.
    auto question = std::make_shared<SeenBox>(), kept = std::make_shared<SeenBox>();
    when_shown<QMessageBox>([&, question, kept](QMessageBox* box) {
      question->text = box->text();
      EXPECT_EQ(box->defaultButton(), button_with_text(box, "Nein"));
      answer_next_box("OK", kept);
      QTest::mouseClick(button_with_text(box, "Ja"), Qt::LeftButton);
    });
    click(f.cmd_Importieren);
    EXPECT_EQ(question->text, QStringLiteral("Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?"));
    EXPECT_TRUE(kept->text.endsWith(QStringLiteral("Die bisherigen Postdaten bleiben unverändert erhalten.")))
        << kept->text.toStdString();
    EXPECT_TRUE(f.visible());
    EXPECT_EQ(colour(w<QLabel>(f.lbl_PL_Label), QPalette::WindowText), kRed);
    EXPECT_EQ(colour(w<QLabel>(f.lbl_ST_Label), QPalette::WindowText), kGreen);
    EXPECT_EQ(w<QLabel>(f.lbl_Delete)->text(), QStringLiteral("Es konnten nicht alle Werte korrekt importiert werden!"));

    const auto summary = generate(3, 400);
    answer_next_box("Ja");
    click(f.cmd_Importieren);
    for (int i = 0; i < 8; ++i) {
      SCOPED_TRACE(types[i]);
      EXPECT_EQ(w<QLabel>(f.count_label(i))->text(), QString::number(summary.records.at(types[i])));
      EXPECT_EQ(colour(w<QLabel>(f.caption_label(i)), QPalette::WindowText), kGreen);
    }
    auto* notice = w<QLabel>(f.lbl_Delete);
    EXPECT_EQ(notice->text(), QStringLiteral("Alle Werte wurden korrekt importiert!"));
    EXPECT_EQ(colour(notice, QPalette::Window), QColor(0, 255, 0));
    EXPECT_EQ(w<QPushButton>(f.cmd_Importieren)->text(), QStringLiteral("&Beenden"));
    click(f.cmd_Importieren);
  });
  EXPECT_EQ(db_.count("STR_DA"), 400);

  // A larger file, the window closed by its frame during the reading: the
  // cancel question, and the 400 sections stay.
  generate(5, 2000);
  auto seen = std::make_shared<SeenBox>(), kept = std::make_shared<SeenBox>();
  bool asked_in_import = false;
  import([&](frmPlzImport& f) {
    type_path(f);
    // Answer the deletion question; once the reading runs, the user closes
    // the window by its frame and confirms the cancel question.
    when_shown<QMessageBox>([&](QMessageBox* box) {
      QTimer::singleShot(0, [&] {
        asked_in_import = f.importing();
        // Yes to the cancel question, then OK to the notice that the old data stays.
        when_shown<QMessageBox>([&, seen](QMessageBox* cancel_box) {
          *seen = {cancel_box->windowTitle(), cancel_box->text(), cancel_box->icon(), {}};
          answer_next_box("OK", kept);
          QTest::mouseClick(button_with_text(cancel_box, "Ja"), Qt::LeftButton);
        });
        tk_->window(f)->close();
      });
      QTest::mouseClick(qt_testing::button_with_text(box, "Ja"), Qt::LeftButton);
    });
    click(f.cmd_Importieren);
  });
  EXPECT_TRUE(asked_in_import);
  EXPECT_EQ(seen->text, QStringLiteral("Wollen Sie den Import wirklich abbrechen?"));
  EXPECT_EQ(seen->title, QStringLiteral("Abbruch"));
  EXPECT_EQ(kept->text,
            QStringLiteral("Der Import wurde abgebrochen. Die bisherigen Postdaten bleiben unverändert erhalten."));
  EXPECT_EQ(db_.count("STR_DA"), 400) << "the reading stopped and the old data stayed";
}

}  // namespace
}  // namespace noxplz
