#include "dialogs/frm_plz.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "manager/session.h"
#include "noxplz/plz_manager.h"
#include "testing/scripted_toolkit.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using testing::ScriptedToolkit;
using testing::TempDatabase;

class FrmPlzTest : public ::testing::Test {
 protected:
  void TearDown() override { session() = Session{}; }
  std::shared_ptr<ScriptedToolkit> tk_ = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use_{tk_};
};

TEST_F(FrmPlzTest, ControlsFollowTheDesignTabOrderAndFitTheClientArea) {
  frmPlz f;
  EXPECT_EQ(f.Name(), "frmPlz");
  EXPECT_EQ(f.Caption(), "Plz-Prüfung");

  std::vector<Control*> by_tab = f.Controls();
  std::sort(by_tab.begin(), by_tab.end(),
            [](const Control* a, const Control* b) { return a->TabIndex() < b->TabIndex(); });
  std::vector<std::string> names;
  for (const Control* c : by_tab) names.push_back(c->Name());
  // The house-number box comes before the street box although it stands right of it.
  const std::vector<std::string> expected = {
      "txt_Plz",     "Label1(0)",    "Label1(1)", "txt_Ort",     "Label1(2)",       "txt_Hausnummer", "Label1(3)",
      "txt_Strasse", "lst_Orte",     "lst_Strassen", "lbl_Ort", "lbl_Strasse", "cmd_Uebernehmen", "cmd_Abbruch"};
  EXPECT_EQ(names, expected);
  for (size_t i = 0; i < by_tab.size(); ++i) EXPECT_EQ(by_tab[i]->TabIndex(), static_cast<int32_t>(i));

  for (const Control* c : f.Controls()) {
    const Geometry& g = c->geometry();
    EXPECT_GT(g.width, 0) << c->Name();
    EXPECT_LE(g.left + g.width, f.geometry().width) << c->Name();
    EXPECT_LE(g.top + g.height, f.geometry().height) << c->Name();
  }
  // Each caption label heads its text box.
  auto heads = [](const Label& l, const TextBox& t) {
    return l.geometry().top + l.geometry().height <= t.geometry().top &&
           std::abs(l.geometry().left - t.geometry().left) <= 30;
  };
  EXPECT_EQ(f.Label1_0.Caption(), "Plz");
  EXPECT_TRUE(heads(f.Label1_0, f.txt_Plz));
  EXPECT_EQ(f.Label1_1.Caption(), "Ort");
  EXPECT_TRUE(heads(f.Label1_1, f.txt_Ort));
  EXPECT_EQ(f.Label1_2.Caption(), "Strasse");
  EXPECT_TRUE(heads(f.Label1_2, f.txt_Strasse));
  EXPECT_EQ(f.Label1_3.Caption(), "Nr");
  EXPECT_TRUE(heads(f.Label1_3, f.txt_Hausnummer));
  EXPECT_EQ(f.cmd_Uebernehmen.Caption(), "Übernehmen");
  EXPECT_EQ(f.cmd_Abbruch.Caption(), "Abbrechen");
  EXPECT_EQ(f.Antwort(), 0);
}

TEST_F(FrmPlzTest, AListOutOfStepWithItsTableIsRebuiltFromTheTable) {
  frmPlz f;
  VariantTable orte;
  orte.ReDim(0, 0, 0, 3);
  for (const char* name : {"Aachen", "Aalen"}) {
    orte.Set(orte.UpperBound(1), 0, name);
    orte.AppendRows();
  }
  f.lst_Orte.AddItem("Aachen ");
  f.lst_Orte.AddItem("Aalen ");
  f.lst_Orte.ListIndex(1);
  // In step: untouched, the selection included.
  EXPECT_FALSE(keep_list_in_step(f.lst_Orte, orte, place_line));
  EXPECT_EQ(f.lst_Orte.ListIndex(), 1);

  f.lst_Orte.Clear();
  f.lst_Orte.AddItem("Aalen ");
  f.lst_Orte.AddItem("Aachen ");
  EXPECT_TRUE(keep_list_in_step(f.lst_Orte, orte, place_line));
  EXPECT_EQ(f.lst_Orte.Items(), (std::vector<std::string>{"Aachen ", "Aalen "}));

  f.lst_Orte.AddItem("Zusatz ");  // more entries than rows
  EXPECT_TRUE(keep_list_in_step(f.lst_Orte, orte, place_line));
  EXPECT_EQ(f.lst_Orte.ListCount(), 2);

  VariantTable leer;  // a table never filled has no rows at all
  EXPECT_TRUE(keep_list_in_step(f.lst_Orte, leer, place_line));
  EXPECT_EQ(f.lst_Orte.ListCount(), 0);
}

TEST_F(FrmPlzTest, LoadStartsWithFreshTablesAndEmptyInfoLabels) {
  TempDatabase db;
  clsPlzManager host;
  ASSERT_TRUE(host.Init(nullptr, "", db.connection()));
  auto old_orte = std::make_shared<VariantTable>();
  old_orte->ReDim(0, 3, 0, 3);
  session().OrtTabelle = old_orte;
  session().StrTabelle = old_orte;

  frmPlz f;
  EXPECT_EQ(f.lbl_Ort.Caption(), "lbl_Ort");
  f.raise_load();
  ASSERT_NE(session().OrtTabelle, nullptr);
  EXPECT_NE(session().OrtTabelle, old_orte);
  EXPECT_NE(session().StrTabelle, old_orte);
  EXPECT_NE(session().OrtTabelle, session().StrTabelle);
  EXPECT_EQ(f.lbl_Ort.Caption(), "");
  EXPECT_EQ(f.lbl_Strasse.Caption(), "");
  EXPECT_NE(f.dialog_manager(), nullptr);
  EXPECT_EQ(session().connection, db.connection());  // loading keeps the session
}

TEST_F(FrmPlzTest, UnloadAndDestructionEndTheDialogManagerAndTheSession) {
  TempDatabase db;
  clsPlzManager host;
  ASSERT_TRUE(host.Init(nullptr, "", db.connection()));
  host.Such_Ort("Köln");
  {
    frmPlz f;
    f.raise_load();
    EXPECT_EQ(f.txt_Ort.Text(), "Köln");
    f.Unload();
    EXPECT_EQ(f.dialog_manager(), nullptr);
    EXPECT_EQ(session().connection, nullptr);
    EXPECT_EQ(host.Such_Ort(), "");
  }

  ASSERT_TRUE(host.Init(nullptr, "", db.connection()));
  {
    frmPlz f;
    f.raise_load();
  }  // a loaded dialog that goes away ends its manager as well
  EXPECT_EQ(session().connection, nullptr);
}

TEST_F(FrmPlzTest, ClicksOnEntriesWithoutTableRowsChangeNothing) {
  TempDatabase db;
  clsPlzManager host;
  ASSERT_TRUE(host.Init(nullptr, "", db.connection()));
  frmPlz f;
  f.raise_load();
  // Entries that no table row stands behind (the tables are fresh and empty).
  f.lst_Strassen.AddItem("Hauptstr.");
  f.lst_Strassen.AddItem("Nebenstr.");
  f.txt_Plz.Text("12345");
  f.txt_Hausnummer.BackColor(color::kRed);
  EXPECT_NO_THROW(f.lst_Strassen.ClickRow(1));
  EXPECT_EQ(f.txt_Plz.Text(), "12345");
  EXPECT_EQ(f.txt_Strasse.Text(), "");
  EXPECT_EQ(f.txt_Hausnummer.BackColor(), color::kRed);

  f.lst_Orte.AddItem("Irgendwo ");
  f.lst_Orte.AddItem("Nirgendwo ");
  EXPECT_NO_THROW(f.lst_Orte.ClickRow(1));
  EXPECT_EQ(f.txt_Ort.Tag(), "");
  EXPECT_EQ(f.txt_Plz.Text(), "12345");
}

}  // namespace
}  // namespace noxplz
