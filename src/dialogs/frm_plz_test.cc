#include "dialogs/frm_plz.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "manager/session.h"
#include "noxplz/plz_manager.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using Lines = std::vector<std::string>;

class FrmPlzTest : public testing::ScriptedTest {
 protected:
  clsPlzManager host_;
};

TEST_F(FrmPlzTest, ControlsFitTheClientAreaInOneTabOrderAndLabelsHeadTheirBoxes) {
  frmPlz f;
  Lines by_tab(f.Controls().size());
  for (const Control* c : f.Controls()) {
    const Geometry& g = c->geometry();
    EXPECT_GT(g.width, 0) << c->Name();
    EXPECT_LE(g.left + g.width, f.geometry().width) << c->Name();
    EXPECT_LE(g.top + g.height, f.geometry().height) << c->Name();
    ASSERT_LT(static_cast<size_t>(c->TabIndex()), by_tab.size()) << c->Name();
    EXPECT_EQ(by_tab[static_cast<size_t>(c->TabIndex())], "") << c->Name();
    by_tab[static_cast<size_t>(c->TabIndex())] = c->Name();
  }
  // The house-number box comes before the street box although it stands right of it.
  EXPECT_LT(f.txt_Hausnummer.TabIndex(), f.txt_Strasse.TabIndex());
  for (auto [label, box] : {std::pair{&f.Label1_0, &f.txt_Plz}, std::pair{&f.Label1_1, &f.txt_Ort},
                            std::pair{&f.Label1_2, &f.txt_Strasse}, std::pair{&f.Label1_3, &f.txt_Hausnummer}}) {
    EXPECT_LE(label->geometry().top + label->geometry().height, box->geometry().top) << label->Caption();
    EXPECT_LE(std::abs(label->geometry().left - box->geometry().left), 30) << label->Caption();
  }
}

TEST_F(FrmPlzTest, AListOutOfStepWithItsTableIsRebuiltFromTheTable) {
  frmPlz f;
  VariantTable orte;
  orte.ReDim(0, 0, 0, 3);
  for (const char* name : {"Aachen", "Aalen"}) {
    orte.Set(orte.UpperBound(1), 0, name);
    orte.AppendRows();
  }
  const Lines in_step = {"Aachen ", "Aalen "};
  for (const Lines& entries : {in_step, Lines{"Aalen ", "Aachen "}, Lines{"Aachen ", "Aalen ", "Zusatz "}}) {
    f.lst_Orte.Clear();
    for (const std::string& entry : entries) f.lst_Orte.AddItem(entry);
    f.lst_Orte.ListIndex(1);
    EXPECT_EQ(keep_list_in_step(f.lst_Orte, place_lines(orte)), entries != in_step);
    EXPECT_EQ(f.lst_Orte.Items(), in_step);
    EXPECT_EQ(f.lst_Orte.ListIndex(), entries == in_step ? 1 : -1);  // in step: untouched, the selection included
  }
  EXPECT_TRUE(keep_list_in_step(f.lst_Orte, place_lines(VariantTable{})));  // a table never filled has no rows
  EXPECT_EQ(f.lst_Orte.ListCount(), 0);
}

// Loading with the caller's texts, unloading and closing are part of the
// search dialog sessions; here the tables and the dialog going away.
TEST_F(FrmPlzTest, LoadStartsWithFreshTablesAndDestructionEndsTheSession) {
  ASSERT_TRUE(host_.Init(nullptr, "", db_.connection()));
  auto old = std::make_shared<VariantTable>();
  session().OrtTabelle = session().StrTabelle = old;
  {
    frmPlz f;
    f.raise_load();
    ASSERT_NE(session().OrtTabelle, nullptr);
    EXPECT_NE(session().OrtTabelle, old);
    EXPECT_NE(session().StrTabelle, old);
    EXPECT_NE(session().OrtTabelle, session().StrTabelle);
    EXPECT_NE(f.dialog_manager(), nullptr);
    EXPECT_EQ(session().connection, db_.connection());  // loading keeps the session
  }  // a loaded dialog that goes away ends its manager
  EXPECT_EQ(session().connection, nullptr);
}

TEST_F(FrmPlzTest, ClicksOnEntriesWithoutTableRowsChangeNothing) {
  ASSERT_TRUE(host_.Init(nullptr, "", db_.connection()));
  frmPlz f;
  f.raise_load();  // fresh, empty tables: no row stands behind the entries
  for (const char* item : {"Hauptstr.", "Nebenstr."}) f.lst_Strassen.AddItem(item);
  for (const char* item : {"Irgendwo ", "Nirgendwo "}) f.lst_Orte.AddItem(item);
  f.txt_Plz.Text("12345");
  f.txt_Hausnummer.BackColor(color::kRed);
  EXPECT_NO_THROW(f.lst_Strassen.ClickRow(1));
  EXPECT_NO_THROW(f.lst_Orte.ClickRow(1));
  EXPECT_EQ(f.txt_Plz.Text() + "|" + f.txt_Strasse.Text() + "|" + f.txt_Ort.Tag(), "12345||");
  EXPECT_EQ(f.txt_Hausnummer.BackColor(), color::kRed);
}

}  // namespace
}  // namespace noxplz
