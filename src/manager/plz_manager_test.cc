#include "noxplz/plz_manager.h"

#include <gtest/gtest.h>

#include <thread>

#include "manager/session.h"
#include "noxplz/error.h"
#include "testing/scripted_toolkit.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using testing::ScriptedToolkit;
using testing::TempDatabase;

class PlzManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { tk_ = std::make_shared<ScriptedToolkit>(); }
  void TearDown() override { session() = Session{}; }
  std::shared_ptr<ScriptedToolkit> tk_;
  ScopedToolkit use_{nullptr};
};

TEST_F(PlzManagerTest, TwoManagersOnOneThreadShareStateAndTheEndOfOneClearsBoth) {
  ScopedToolkit use(tk_);
  TempDatabase db;
  auto a = std::make_unique<clsPlzManager>();
  clsPlzManager b;
  ASSERT_TRUE(a->Init(nullptr, "", db.connection()));
  a->Such_Ort("Köln");
  a->Plz("50667");
  a->Geprueft(-1);
  EXPECT_EQ(b.Such_Ort(), "Köln");
  EXPECT_EQ(b.Plz(), "50667");
  EXPECT_EQ(b.Geprueft(), -1);
  EXPECT_EQ(session().connection, db.connection());

  a.reset();  // the end of one manager resets the thread's session
  EXPECT_EQ(b.Such_Ort(), "");
  EXPECT_EQ(b.Plz(), "");
  EXPECT_EQ(b.Geprueft(), 0);
  EXPECT_EQ(session().connection, nullptr);
}

TEST_F(PlzManagerTest, ThreadsNeverSeeEachOthersState) {
  clsPlzManager main_manager;
  main_manager.Ort("Hamburg");
  main_manager.OkMeldungUnterdrucken("True");
  std::string seen_ort = "unset", seen_flag;
  std::thread other([&] {
    clsPlzManager m;
    seen_ort = m.Ort();
    seen_flag = m.OkMeldungUnterdrucken();
    m.Ort("München");
  });
  other.join();
  EXPECT_EQ(seen_ort, "");
  EXPECT_EQ(seen_flag, "False");
  EXPECT_EQ(main_manager.Ort(), "Hamburg");
}

TEST_F(PlzManagerTest, InitWithHostConnectionUsesItUnchanged) {
  ScopedToolkit use(tk_);
  TempDatabase db;
  db.connection()->CommandTimeout(77);
  clsPlzManager m;
  auto app = std::make_shared<int>(5);
  EXPECT_TRUE(m.Init(app, "", db.connection(), true));
  EXPECT_EQ(session().connection, db.connection());
  EXPECT_EQ(session().connection->CommandTimeout(), 77);
  EXPECT_EQ(session().appObj, app);
  EXPECT_TRUE(m.MitOrtteiAnzeige());
  EXPECT_TRUE(tk_->log().empty());
}

TEST_F(PlzManagerTest, InitOpensItsOwnConnectionFromTheConnectionString) {
  ScopedToolkit use(tk_);
  TempDatabase db;
  clsPlzManager m;
  EXPECT_TRUE(m.Init(nullptr, db.connection_string()));
  ASSERT_NE(session().connection, nullptr);
  EXPECT_NE(session().connection, db.connection());
  EXPECT_EQ(session().connection->State(), Connection::kStateOpen);
  EXPECT_EQ(session().connection->CursorLocation(), Connection::kAdUseClient);
  EXPECT_EQ(session().connection->ConnectionString(), db.connection_string());
}

TEST_F(PlzManagerTest, InitReportsFailureWhenItsOwnConnectionCannotBeOpened) {
  ScopedToolkit use(tk_);
  tk_->ExpectMsgBox("Fehler bei GetConnection", mb::kOk, mb::kOkOnly, "NoxPlz");
  clsPlzManager m;
  EXPECT_FALSE(m.Init(nullptr, "Provider=SQLite;Data Source=/gibt/es/nicht/noxplz.db"));
  ASSERT_NE(session().connection, nullptr);  // the unopened connection is kept
  EXPECT_EQ(session().connection->State(), Connection::kStateClosed);
}

TEST_F(PlzManagerTest, SecondInitClearsTextsAndGeprueftButKeepsOkMeldungUnterdrucken) {
  ScopedToolkit use(tk_);
  TempDatabase db;
  clsPlzManager m;
  ASSERT_TRUE(m.Init(nullptr, "", db.connection()));
  m.Such_Plz("10115");
  m.Such_Postfach("123");
  m.Strasse("Hauptstr 1");
  m.GrossEmpfaenge("x");
  m.Geprueft(-1);
  m.OkMeldungUnterdrucken("-1");
  session().AktuellerAlort = "12345678";
  ASSERT_TRUE(m.Init(nullptr, "", db.connection()));
  EXPECT_EQ(m.Such_Plz(), "");
  EXPECT_EQ(m.Such_Postfach(), "");
  EXPECT_EQ(m.Strasse(), "");
  EXPECT_EQ(m.GrossEmpfaenge(), "");
  EXPECT_EQ(m.Geprueft(), 0);
  EXPECT_EQ(m.OkMeldungUnterdrucken(), "True");
  EXPECT_EQ(session().AktuellerAlort, "12345678");
}

TEST_F(PlzManagerTest, OkMeldungUnterdrueckenConvertsTextAndRejectsOtherText) {
  clsPlzManager m;
  m.OkMeldungUnterdrucken("1");
  EXPECT_EQ(m.OkMeldungUnterdrucken(), "True");
  m.OkMeldungUnterdrucken("0");
  EXPECT_EQ(m.OkMeldungUnterdrucken(), "False");
  m.OkMeldungUnterdrucken("TRUE");
  try {
    m.OkMeldungUnterdrucken("vielleicht");
    FAIL() << "type mismatch expected";
  } catch (const Error& e) {
    EXPECT_EQ(e.number, err::kTypeMismatch);
  }
  EXPECT_EQ(m.OkMeldungUnterdrucken(), "True");  // old value kept
}

TEST_F(PlzManagerTest, AllSixteenTextPropertiesAreIndependent) {
  clsPlzManager m;
  using Get = std::string (clsPlzManager::*)() const;
  using Set = void (clsPlzManager::*)(std::string_view);
  struct P {
    Get get;
    Set set;
  };
  const P props[] = {
      {&clsPlzManager::Such_Plz, &clsPlzManager::Such_Plz},
      {&clsPlzManager::Such_Postfach, &clsPlzManager::Such_Postfach},
      {&clsPlzManager::Such_Strasse, &clsPlzManager::Such_Strasse},
      {&clsPlzManager::Such_Hausnummer, &clsPlzManager::Such_Hausnummer},
      {&clsPlzManager::Such_Ort, &clsPlzManager::Such_Ort},
      {&clsPlzManager::Such_OrtsTeil, &clsPlzManager::Such_OrtsTeil},
      {&clsPlzManager::Such_Gemeinde, &clsPlzManager::Such_Gemeinde},
      {&clsPlzManager::Such_GrossEmpfaenge, &clsPlzManager::Such_GrossEmpfaenge},
      {&clsPlzManager::Plz, &clsPlzManager::Plz},
      {&clsPlzManager::Postfach, &clsPlzManager::Postfach},
      {&clsPlzManager::Strasse, &clsPlzManager::Strasse},
      {&clsPlzManager::Hausnummer, &clsPlzManager::Hausnummer},
      {&clsPlzManager::Ort, &clsPlzManager::Ort},
      {&clsPlzManager::OrtsTeil, &clsPlzManager::OrtsTeil},
      {&clsPlzManager::Gemeinde, &clsPlzManager::Gemeinde},
      {&clsPlzManager::GrossEmpfaenge, &clsPlzManager::GrossEmpfaenge},
  };
  for (size_t i = 0; i < std::size(props); ++i) (m.*props[i].set)("wert " + std::to_string(i));
  for (size_t i = 0; i < std::size(props); ++i) EXPECT_EQ((m.*props[i].get)(), "wert " + std::to_string(i));
}

}  // namespace
}  // namespace noxplz
