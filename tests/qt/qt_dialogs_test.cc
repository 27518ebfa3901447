// The four dialogs as real Qt windows, driven like a user drives them, on a
// postal database imported from a generated Datafactory file.
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datafactory_gen.h"
#include "host_window.h"
#include "dialogs/frm_auswahl.h"
#include "dialogs/frm_chk_plz_ort.h"
#include "dialogs/frm_plz.h"
#include "dialogs/frm_plz_import.h"
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

using qt_testing::answer_next_box;
using qt_testing::click_row;
using qt_testing::double_click_row;
using qt_testing::SeenBox;
using qt_testing::type_text;
using qt_testing::widget_of;
using testing::TempDatabase;

const char* const kTypes[8] = {"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST"};

std::vector<QString> items_of(QListWidget* list) {
  std::vector<QString> items;
  for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text());
  return items;
}

std::vector<QString> items_of(const ListBox& list) {
  std::vector<QString> items;
  for (const std::string& s : list.Items()) items.push_back(qt::to_qstring(s));
  return items;
}

// Imports `file` into the database of the current session the way the
// import button does, answering the deletion question with "Ja".
void import_file(const std::string& file) {
  frmPlzImport dialog;
  dialog.raise_load();
  answer_next_box("Ja");
  clsPlzImport().Saetze_Einlesen(file, dialog);
}

class QtDialogTest : public ::testing::Test {
 protected:
  // One generated delivery, imported once for every test of the suite.
  static void SetUpTestSuite() {
    db_ = new TempDatabase;
    file_ = (db_->dir() / "post.dat").string();
    datafactory::GenOptions options;
    options.seed = 7;
    summary_ = datafactory::generate_file(file_, options);
    auto tk = std::make_shared<QtToolkit>();
    ScopedToolkit use(tk);
    clsPlzManager manager;
    ASSERT_TRUE(manager.Init(nullptr, "", db_->connection()));
    import_file(file_);
    ASSERT_EQ(db_->count("STR_DA"), summary_.records["ST"]);
  }
  static void TearDownTestSuite() {
    delete db_;
    db_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(manager_.Init(nullptr, "", db_->connection())); }
  void TearDown() override {
    tk_->on_form_shown = nullptr;
    EXPECT_EQ(qt_testing::cancel_pending_waiters(), 0) << "an expected dialog was never shown";
  }

  // A current place with streets whose name no other current place shares:
  // typed in full, it is the first line of the place list.
  struct Place {
    std::string name, alort;
    int streets = 0;
  };
  static Place place_with_streets() {
    std::map<std::string, int> streets;
    auto rs = db_->connection()->Execute("SELECT ALORT, COUNT(*) AS N FROM STR_DA GROUP BY ALORT");
    for (; !rs->Eof(); rs->MoveNext()) streets[text::trim(rs->Field("ALORT").as_text())] = rs->Field("N").as_long();
    std::map<std::string, int> names;
    std::vector<Place> places;
    auto orte = db_->connection()->Execute("SELECT ONAME, ALORT, ALORT_Neu FROM ORT_DA");
    for (; !orte->Eof(); orte->MoveNext()) {
      if (!text::trim(orte->Field("ALORT_Neu").as_text()).empty()) continue;
      Place p{text::trim(orte->Field("ONAME").as_text()), text::trim(orte->Field("ALORT").as_text()), 0};
      p.streets = streets[p.alort];
      ++names[text::upper(p.name)];
      places.push_back(p);
    }
    Place best;
    for (const Place& p : places)
      if (names[text::upper(p.name)] == 1 && p.streets > best.streets) best = p;
    return best;
  }

  template <class W>
  W* w(const Control& c) {
    return widget_of<W>(*tk_, c);
  }

  static TempDatabase* db_;
  static std::string file_;
  static datafactory::GenSummary summary_;
  std::shared_ptr<QtToolkit> tk_ = std::make_shared<QtToolkit>();
  ScopedToolkit use_{tk_};
  qt_testing::Watchdog dog_{*tk_};
  clsPlzManager manager_;
};

TempDatabase* QtDialogTest::db_ = nullptr;
std::string QtDialogTest::file_;
datafactory::GenSummary QtDialogTest::summary_;

// --- frmPlz ---

TEST_F(QtDialogTest, TypingAPlaceFillsThePlaceListAndDownSelectsTheFirstPlace) {
  const Place place = place_with_streets();
  ASSERT_GT(place.streets, 1) << "the generated data has places with streets";
  const QString name = qt::to_qstring(place.name);
  bool ran = false;
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmPlz&>(form);
    auto* ort = w<QLineEdit>(f.txt_Ort);
    auto* orte = w<QListWidget>(f.lst_Orte);
    EXPECT_EQ(orte->count(), 0);

    // Letter by letter the list narrows to the places beginning with the text.
    int previous = 1 << 30;
    for (int n = 1; n <= name.size(); ++n) {
      type_text(ort, name.mid(n - 1, 1));
      EXPECT_EQ(ort->text(), name.left(n));
      EXPECT_EQ(f.txt_Ort.Text(), qt::to_std(name.left(n)));
      ASSERT_GT(orte->count(), 0) << qt::to_std(name.left(n));
      EXPECT_LE(orte->count(), previous);
      previous = orte->count();
      EXPECT_EQ(items_of(orte), items_of(f.lst_Orte)) << "the widget shows the model's list";
      for (const QString& line : items_of(orte)) EXPECT_TRUE(line.startsWith(name.left(n), Qt::CaseInsensitive)) << qt::to_std(line);
    }
    EXPECT_TRUE(orte->item(0)->text().startsWith(name + " ")) << "the unique place comes first";
    EXPECT_EQ(w<QListWidget>(f.lst_Strassen)->count(), 0);

    // Down: the focus goes into the list and its first place is chosen.
    QTest::keyClick(ort, Qt::Key_Down);
    EXPECT_EQ(tk_->window(f)->focusWidget(), orte);
    EXPECT_EQ(f.focused(), &f.lst_Orte);
    EXPECT_EQ(orte->currentRow(), 0);
    EXPECT_TRUE(orte->item(0)->isSelected());
    EXPECT_EQ(ort->text(), name) << "the bare name";
    EXPECT_EQ(f.txt_Ort.Tag(), place.alort);
    auto* strassen = w<QListWidget>(f.lst_Strassen);
    EXPECT_EQ(strassen->count(), place.streets);
    EXPECT_EQ(items_of(strassen), items_of(f.lst_Strassen));
    EXPECT_EQ(w<QLineEdit>(f.txt_Plz)->text().size(), 5) << qt::to_std(w<QLineEdit>(f.txt_Plz)->text());

    // Up on the first place: back into the text box.
    QTest::keyClick(orte, Qt::Key_Up);
    EXPECT_EQ(tk_->window(f)->focusWidget(), ort);
    QTest::mouseClick(w<QPushButton>(f.cmd_Abbruch), Qt::LeftButton);
    ran = true;
  };
  std::string plz, ort, strasse, nr;
  manager_.PlzSuchenDialog(plz, ort, strasse, nr);
  EXPECT_TRUE(ran);
  EXPECT_EQ(manager_.Geprueft(), 0);
}

TEST_F(QtDialogTest, ClickingAStreetSectionColoursTheHouseNumberBox) {
  const Place place = place_with_streets();
  bool ran = false;
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmPlz&>(form);
    type_text(w<QLineEdit>(f.txt_Ort), qt::to_qstring(place.name));
    click_row(w<QListWidget>(f.lst_Orte), 0);
    ASSERT_EQ(f.txt_Ort.Tag(), place.alort);

    // A section with a house-number range, and its first number.
    const VariantTable& t = *session().StrTabelle;
    int row = -1;
    for (int i = 0; i < t.UpperBound(1) && row < 0; ++i)
      if (!text::trim(t.Text(i, 2)).empty() && text::trim(t.Text(i, 4)) == "N") row = i;
    for (int i = 0; i < t.UpperBound(1) && row < 0; ++i)
      if (!text::trim(t.Text(i, 2)).empty()) row = i;
    ASSERT_GE(row, 0) << "a street section with a range";
    const std::string von = text::trim(t.Text(row, 2));

    auto* nr = w<QLineEdit>(f.txt_Hausnummer);
    auto* strassen = w<QListWidget>(f.lst_Strassen);
    type_text(nr, "x");  // no number at all: in no range
    click_row(strassen, row);
    EXPECT_EQ(nr->palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_EQ(w<QLineEdit>(f.txt_Strasse)->text(), qt::to_qstring(text::trim(t.Text(row, 0))));
    EXPECT_EQ(w<QLineEdit>(f.txt_Plz)->text(), qt::to_qstring(text::trim(t.Text(row, 1))));

    nr->selectAll();
    type_text(nr, qt::to_qstring(von));
    ASSERT_EQ(f.txt_Hausnummer.Text(), von);
    click_row(strassen, row == 0 ? 1 : 0);  // away and back: each choice checks anew
    click_row(strassen, row);
    EXPECT_EQ(nr->palette().color(QPalette::Base), QColor(255, 255, 255)) << "house number " << von;

    // Choosing the place again resets the colour to white.
    nr->selectAll();
    type_text(nr, "x");
    click_row(strassen, row);
    EXPECT_EQ(nr->palette().color(QPalette::Base), QColor(255, 0, 0));
    click_row(w<QListWidget>(f.lst_Orte), 0);
    EXPECT_EQ(nr->palette().color(QPalette::Base), QColor(255, 255, 255));
    QTest::mouseClick(w<QPushButton>(f.cmd_Abbruch), Qt::LeftButton);
    ran = true;
  };
  std::string plz, ort, strasse, nr;
  manager_.PlzSuchenDialog(plz, ort, strasse, nr);
  EXPECT_TRUE(ran);
}

TEST_F(QtDialogTest, AnUnknownStreetAsksAndJaListsEveryStreetOfThePlace) {
  const Place place = place_with_streets();
  auto seen = std::make_shared<SeenBox>();
  bool ran = false;
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmPlz&>(form);
    type_text(w<QLineEdit>(f.txt_Ort), qt::to_qstring(place.name));
    QTest::keyClick(w<QLineEdit>(f.txt_Ort), Qt::Key_Down);
    auto* strasse = w<QLineEdit>(f.txt_Strasse);
    auto* strassen = w<QListWidget>(f.lst_Strassen);
    // The refresh works on the text before each key: no street begins with
    // "Q", and the question comes with the key after it.
    type_text(strasse, "Q");
    EXPECT_GT(strassen->count(), 0) << "the first key lists every street";
    answer_next_box("Ja", seen);
    type_text(strasse, "x");
    EXPECT_EQ(strasse->text(), QStringLiteral("Qx"));
    EXPECT_EQ(strassen->count(), place.streets) << "Ja lists every street of the place";
    EXPECT_EQ(items_of(strassen), items_of(f.lst_Strassen));
    EXPECT_EQ(w<QLineEdit>(f.txt_Plz)->text(), qt::to_qstring(text::trim(session().StrTabelle->Text(0, 1))));
    QTest::mouseClick(w<QPushButton>(f.cmd_Abbruch), Qt::LeftButton);
    ran = true;
  };
  std::string plz, ort, strasse, nr;
  manager_.PlzSuchenDialog(plz, ort, strasse, nr);
  EXPECT_TRUE(ran);
  EXPECT_EQ(seen->title, QStringLiteral("Achtung"));
  EXPECT_TRUE(seen->text.startsWith(QStringLiteral("Straße nicht gefunden!"))) << qt::to_std(seen->text);
  EXPECT_EQ(seen->buttons, (QStringList{"Ja", "Nein"}));
}

TEST_F(QtDialogTest, UebernehmenHandsTheBoxesBackAndTheFrameCloseUnloads) {
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmPlz&>(form);
    EXPECT_EQ(w<QLineEdit>(f.txt_Strasse)->text(), QStringLiteral("Lindenallee"));
    EXPECT_EQ(w<QLineEdit>(f.txt_Hausnummer)->text(), QStringLiteral("12a")) << "split off the street";
    type_text(w<QLineEdit>(f.txt_Plz), "  ");
    QTest::keyClick(w<QLineEdit>(f.txt_Plz), Qt::Key_Home);
    type_text(w<QLineEdit>(f.txt_Plz), "99");
    QTest::mouseClick(w<QPushButton>(f.cmd_Uebernehmen), Qt::LeftButton);
  };
  std::string plz = "123", ort, strasse = "Lindenallee 12a", nr;
  manager_.PlzSuchenDialog(plz, ort, strasse, nr);
  EXPECT_EQ(plz, "99123  ") << "texts as they stand, blanks included";
  EXPECT_EQ(strasse, "Lindenallee");
  EXPECT_EQ(nr, "12a");
  EXPECT_EQ(manager_.Geprueft(), -1);

  // Closed by its frame: the dialog unloads at once; the session is reset.
  ASSERT_TRUE(manager_.Init(nullptr, "", db_->connection()));
  manager_.Plz("55555");
  tk_->on_form_shown = [&](Form& form) { tk_->window(form)->close(); };
  plz = "1", ort = "A", strasse = "B", nr = "2";
  manager_.PlzSuchenDialog(plz, ort, strasse, nr);
  EXPECT_EQ(plz, "");
  EXPECT_EQ(ort, "");
  EXPECT_EQ(manager_.Geprueft(), 0);
  EXPECT_EQ(session().connection, nullptr);
}

// --- frmAuswahl, frmChkPlzOrt ---

TEST_F(QtDialogTest, PlaceChoiceListFromASearchAndItsFrameClose) {
  // A place text that matches several places opens "Orts-Auswahl".
  std::vector<QString> lines;
  std::vector<QString> titles;
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmAuswahl&>(form);
    titles.push_back(tk_->window(f)->windowTitle());
    auto* list = w<QListWidget>(f.lst_Auswahl);
    EXPECT_EQ(list->currentRow(), 0) << "the first line is selected when the list opens";
    EXPECT_EQ(items_of(list), items_of(f.lst_Auswahl));
    if (titles.size() == 1) {
      lines = items_of(list);
      double_click_row(list, 1);
    } else {
      QTest::mouseClick(w<QPushButton>(f.cmd_Abbrechen), Qt::LeftButton);
    }
  };
  std::string plz, ort = "S", strasse;
  manager_.Suche_Plz_Original(plz, ort, strasse);
  // Then the chosen place's streets in "Straßen-Auswahl", cancelled.
  EXPECT_EQ(titles, (std::vector<QString>{"Orts-Auswahl", "Straßen-Auswahl"}));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_TRUE(lines[1].startsWith(qt::to_qstring(manager_.Ort()) + " ")) << qt::to_std(lines[1]);
  EXPECT_EQ(manager_.Geprueft(), -1);

  // Closing by the frame is a cancel: -1.
  frmAuswahl f;
  f.lst_Auswahl.AddItem("Köln     (50667)");
  f.lst_Auswahl.AddItem("Kölleda     (99625)");
  tk_->on_form_shown = [&](Form& form) { tk_->window(form)->close(); };
  f.Show();
  EXPECT_EQ(f.AuswahlIndex, -1);
  EXPECT_FALSE(f.visible());
}

TEST_F(QtDialogTest, MismatchQuestionShowsTheQuestionIconAndAnswersByButton) {
  QPixmap icon;
  QString text;
  QWidget* focus = nullptr;
  QWidget* expected_focus = nullptr;
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmChkPlzOrt&>(form);
    EXPECT_EQ(tk_->window(f)->windowTitle(), QStringLiteral("Prüfe Postleitzahl und Bestimmungsort"));
    icon = w<QLabel>(f.Picture1)->pixmap();
    text = w<QLabel>(f.Label1)->text();
    focus = tk_->window(f)->focusWidget();
    expected_focus = w<QWidget>(f.cmd_Postleitzahl);
    QTest::mouseClick(w<QPushButton>(f.cmd_Ort), Qt::LeftButton);
  };
  EXPECT_EQ(Frage_PlzOrt(), 1);
  EXPECT_EQ(text, QStringLiteral("Die Postleitzahl und der Bestimmungsort stimmen nicht überein! Prüfen?"));
  EXPECT_EQ(focus, expected_focus);
  ASSERT_FALSE(icon.isNull());
  QPixmap question = QApplication::style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(icon.size());
  EXPECT_EQ(icon.toImage(), question.toImage()) << "the standard question icon";

  tk_->on_form_shown = [&](Form& form) { QTest::keyClick(tk_->window(form), Qt::Key_Return); };
  EXPECT_EQ(Frage_PlzOrt(), 2) << "Return presses the focused &Postleitzahl";
  tk_->on_form_shown = [&](Form& form) {
    QTest::mouseClick(w<QPushButton>(dynamic_cast<frmChkPlzOrt&>(form).cmd_Nein), Qt::LeftButton);
  };
  EXPECT_EQ(Frage_PlzOrt(), -1);
  tk_->on_form_shown = [&](Form& form) {
    EXPECT_TRUE(QTest::qWaitForWindowActive(tk_->window(form), 2000));
    QTest::keyClick(tk_->window(form), Qt::Key_O, Qt::AltModifier);
  };
  EXPECT_EQ(Frage_PlzOrt(), 1) << "Alt+O is the access key of &Ort";
  tk_->on_form_shown = [&](Form& form) { tk_->window(form)->close(); };
  EXPECT_EQ(Frage_PlzOrt(), 0) << "closed by the frame";
}

// --- the host program noxplz-gui ---

TEST_F(QtDialogTest, HostProgramTakesOverTheSearchDialogsAddressAndShowsGeprueft) {
  const Place place = place_with_streets();
  gui::HostWindow host(db_->path(), db_->connection());
  tk_->host_window = &host;
  host.show();
  host.ort->setText(qt::to_qstring(place.name));
  host.plz->setText("9");
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmPlz&>(form);
    EXPECT_EQ(tk_->window(f)->parentWidget(), &host);
    EXPECT_EQ(w<QLineEdit>(f.txt_Plz)->text(), QStringLiteral("9")) << "the host's postal code";
    QTest::keyClick(w<QLineEdit>(f.txt_Ort), Qt::Key_Down);
    QTest::mouseClick(w<QPushButton>(f.cmd_Uebernehmen), Qt::LeftButton);
  };
  QTest::mouseClick(host.search_button, Qt::LeftButton);
  EXPECT_EQ(host.ort->text(), qt::to_qstring(place.name));
  EXPECT_EQ(host.plz->text().size(), 5);
  EXPECT_EQ(host.r_plz->text(), host.plz->text());
  EXPECT_EQ(host.r_geprueft->text(), QStringLiteral("-1 (ja)"));

  // "Abbrechen": the address stays, Geprueft is 0.
  const QString plz = host.plz->text();
  tk_->on_form_shown = [&](Form& form) {
    QTest::mouseClick(w<QPushButton>(dynamic_cast<frmPlz&>(form).cmd_Abbruch), Qt::LeftButton);
  };
  QTest::mouseClick(host.search_button, Qt::LeftButton);
  EXPECT_EQ(host.plz->text(), plz);
  EXPECT_EQ(host.r_geprueft->text(), QStringLiteral("0 (nein)"));

  // "Import…" opens the import dialog; afterwards the place count is shown.
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

// --- frmPlzImport ---

class QtImportDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = (db_.dir() / "lieferung.dat").string();
    ASSERT_TRUE(manager_.Init(nullptr, "", db_.connection()));
  }
  void TearDown() override {
    tk_->on_form_shown = nullptr;
    EXPECT_EQ(qt_testing::cancel_pending_waiters(), 0) << "an expected dialog was never shown";
  }
  template <class W>
  W* w(const Control& c) {
    return widget_of<W>(*tk_, c);
  }

  TempDatabase db_;
  std::string file_;
  std::shared_ptr<QtToolkit> tk_ = std::make_shared<QtToolkit>();
  ScopedToolkit use_{tk_};
  qt_testing::Watchdog dog_{*tk_};
  clsPlzManager manager_;
};

TEST_F(QtImportDialogTest, ImportsAGeneratedFileShowsCountsAndColoursAndBeendenCloses) {
  datafactory::GenOptions options;
  options.seed = 3;
  options.st = 400;
  auto summary = datafactory::generate_file(file_, options);
  bool ran = false;
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmPlzImport&>(form);
    auto* importieren = w<QPushButton>(f.cmd_Importieren);
    EXPECT_FALSE(importieren->isEnabled());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(w<QLabel>(f.count_label(i))->text(), QStringLiteral("0"));
    QTest::keyClicks(w<QLineEdit>(f.txtDatenDatei), QString::fromStdString(file_));
    EXPECT_TRUE(importieren->isEnabled());

    answer_next_box("Ja");  // "Vor dem Import werden ... gelöscht! Weiter?"
    QTest::mouseClick(importieren, Qt::LeftButton);

    for (int i = 0; i < 8; ++i) {
      // The run shows every 50th record: the last multiple of 50 stays.
      const int64_t shown = summary.records[kTypes[i]] / 50 * 50;
      EXPECT_EQ(w<QLabel>(f.count_label(i))->text(), QString::number(shown)) << kTypes[i];
      EXPECT_EQ(w<QLabel>(f.caption_label(i))->palette().color(QPalette::WindowText), QColor(0, 192, 0))
          << kTypes[i];
    }
    auto* notice = w<QLabel>(f.lbl_Delete);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(), QStringLiteral("Alle Werte wurden korrekt importiert!"));
    EXPECT_EQ(notice->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_EQ(importieren->text(), QStringLiteral("&Beenden"));
    EXPECT_FALSE(w<QPushButton>(f.cmd_Abbruch)->isEnabled());
    QTest::mouseClick(importieren, Qt::LeftButton);
    ran = true;
  };
  manager_.PlzImportieren();
  EXPECT_TRUE(ran);
  EXPECT_EQ(db_.count("STR_DA"), 400);
}

TEST_F(QtImportDialogTest, AFailedVerificationShowsRedAndTheDialogStaysOpen) {
  datafactory::GenOptions options;
  options.seed = 4;
  options.st = 200;
  options.wrong_count_type = "PL";
  datafactory::generate_file(file_, options);
  bool ran = false;
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmPlzImport&>(form);
    QTest::keyClicks(w<QLineEdit>(f.txtDatenDatei), QString::fromStdString(file_));
    answer_next_box("Ja");
    QTest::mouseClick(w<QPushButton>(f.cmd_Importieren), Qt::LeftButton);
    EXPECT_TRUE(f.visible());
    EXPECT_EQ(w<QLabel>(f.lbl_PL_Label)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(w<QLabel>(f.lbl_ST_Label)->palette().color(QPalette::WindowText), QColor(0, 192, 0));
    EXPECT_EQ(w<QLabel>(f.lbl_Delete)->text(), QStringLiteral("Es konnten nicht alle Werte korrekt importiert werden!"));
    EXPECT_EQ(w<QPushButton>(f.cmd_Importieren)->text(), QStringLiteral("&Importieren"));
    EXPECT_TRUE(w<QPushButton>(f.cmd_Abbruch)->isEnabled());
    // Not importing: closing by the frame simply closes.
    tk_->window(f)->close();
    ran = true;
  };
  manager_.PlzImportieren();
  EXPECT_TRUE(ran);
}

TEST_F(QtImportDialogTest, ClosingByTheFrameDuringAnImportAsksTheCancelQuestion) {
  datafactory::GenOptions options;
  options.seed = 5;
  options.st = 2000;
  datafactory::generate_file(file_, options);
  auto seen = std::make_shared<SeenBox>();
  bool asked_in_import = false;
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmPlzImport&>(form);
    QTest::keyClicks(w<QLineEdit>(f.txtDatenDatei), QString::fromStdString(file_));
    // Answer the deletion question; once the reading runs, the user closes
    // the window by its frame and confirms the cancel question.
    qt_testing::when_shown<QMessageBox>([&](QMessageBox* box) {
      QTimer::singleShot(0, [&] {
        asked_in_import = f.importing();
        answer_next_box("Ja", seen);
        tk_->window(f)->close();
      });
      QTest::mouseClick(qt_testing::button_with_text(box, "Ja"), Qt::LeftButton);
    });
    QTest::mouseClick(w<QPushButton>(f.cmd_Importieren), Qt::LeftButton);
  };
  manager_.PlzImportieren();
  EXPECT_TRUE(asked_in_import);
  EXPECT_EQ(seen->text, QStringLiteral("Wollen Sie den Import wirklich abbrechen?"));
  EXPECT_EQ(seen->title, QStringLiteral("Abbruch"));
  EXPECT_LT(db_.count("STR_DA"), 2000) << "the reading stopped";
}

TEST_F(QtImportDialogTest, TheChooserButtonOpensAFileDialogAndFillsThePath) {
  datafactory::GenOptions options;
  options.st = 50;
  datafactory::generate_file(file_, options);
  QStringList filters;
  QString title;
  bool ran = false;
  tk_->on_form_shown = [&](Form& form) {
    auto& f = dynamic_cast<frmPlzImport&>(form);
    auto* path = w<QLineEdit>(f.txtDatenDatei);
    qt_testing::when_shown<QFileDialog>([&](QFileDialog* d) {
      filters = d->nameFilters();
      title = d->windowTitle();
      d->selectFile(QString::fromStdString(file_));
      static_cast<QDialog*>(d)->accept();
    });
    QTest::mouseClick(w<QPushButton>(f.Cmd_FileDialog2), Qt::LeftButton);
    EXPECT_EQ(path->text(), QString::fromStdString(file_));
    EXPECT_TRUE(w<QPushButton>(f.cmd_Importieren)->isEnabled());

    // Cancelling the chooser empties the path and disables the import.
    qt_testing::when_shown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    QTest::mouseClick(w<QPushButton>(f.Cmd_FileDialog2), Qt::LeftButton);
    EXPECT_EQ(path->text(), QString());
    EXPECT_FALSE(w<QPushButton>(f.cmd_Importieren)->isEnabled());
    tk_->window(f)->close();
    ran = true;
  };
  manager_.PlzImportieren();
  EXPECT_TRUE(ran);
  EXPECT_EQ(title, QStringLiteral("Datafactory Postalcode"));
  EXPECT_EQ(filters, (QStringList{"Alle Dateien (*)", "Datafactory Postalcode (*.dat)"}));
}

}  // namespace
}  // namespace noxplz
