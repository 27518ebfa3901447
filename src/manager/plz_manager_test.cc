#include "noxplz/plz_manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "manager/session.h"
#include "noxplz/error.h"
#include "testing/error_matchers.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

class PlzManagerTest : public testing::ScriptedTest {};

// Init with a host connection uses it unchanged; a second manager on the
// thread sees the same state, another thread has a state and a connection of
// its own, and the end of either manager clears the thread's state for both.
TEST_F(PlzManagerTest, ManagersShareTheStateOfTheirThreadOnly) {
  db_.connection()->CommandTimeout(77);
  auto a = std::make_unique<clsPlzManager>();
  clsPlzManager b;
  auto app = std::make_shared<int>(5);
  ASSERT_TRUE(a->Init(app, "", db_.connection(), true));
  EXPECT_EQ(session().connection, db_.connection());
  EXPECT_EQ(session().connection->CommandTimeout(), 77);
  EXPECT_EQ(session().appObj, app);
  EXPECT_TRUE(b.MitOrtteiAnzeige());
  a->Such_Ort("Köln");
  a->Geprueft(-1);
  a->OkMeldungUnterdrucken("True");
  EXPECT_EQ(b.Such_Ort(), "Köln");
  EXPECT_EQ(b.Geprueft(), -1);

  std::string seen;
  std::thread([&] {
    clsPlzManager m;
    seen = m.Such_Ort() + "|" + m.OkMeldungUnterdrucken() + "|" + (session().connection ? "verbunden" : "-");
    m.Such_Ort("München");
  }).join();
  EXPECT_EQ(seen, "|False|-");
  EXPECT_EQ(b.Such_Ort(), "Köln");
  EXPECT_EQ(session().connection, db_.connection());

  a.reset();
  EXPECT_EQ(b.Such_Ort(), "");
  EXPECT_EQ(b.Geprueft(), 0);
  EXPECT_EQ(session().connection, nullptr);
}

// A manager made before its thread first used the session (a static or
// thread-local object) ends after the session; it must not release the
// session's connection a second time.
TEST_F(PlzManagerTest, ManagerOutlivingItsThreadsSessionLeavesItAlone) {
  ConnectionPtr connection = db_.connection();
  const long references = connection.use_count();
  std::thread([&] {
    thread_local clsPlzManager m;
    EXPECT_TRUE(m.Init(nullptr, "", connection));
    EXPECT_EQ(connection.use_count(), references + 1);
  }).join();
  EXPECT_EQ(connection.use_count(), references);
}

TEST_F(PlzManagerTest, InitOpensItsOwnConnectionOrReportsFailure) {
  clsPlzManager m;
  EXPECT_TRUE(m.Init(nullptr, db_.connection_string()));
  ASSERT_NE(session().connection, db_.connection());
  EXPECT_EQ(session().connection->State(), Connection::kStateOpen);

  tk_->ExpectMsgBox("Fehler bei GetConnection", mb::kOk, mb::kOkOnly, "NoxPlz");
  EXPECT_FALSE(m.Init(nullptr, "Provider=SQLite;Data Source=/gibt/es/nicht/noxplz.db"));
  ASSERT_NE(session().connection, nullptr);  // the unopened connection is kept
  EXPECT_EQ(session().connection->State(), Connection::kStateClosed);
}

// All sixteen address texts are separate values, and a second Init clears
// every one of them and Geprueft, but keeps OkMeldungUnterdrucken.
TEST_F(PlzManagerTest, SecondInitClearsTextsAndGeprueftButKeepsOkMeldungUnterdrucken) {
  using Get = std::string (clsPlzManager::*)() const;
  using Set = void (clsPlzManager::*)(std::string_view);
#define P(name) std::pair<Get, Set>{&clsPlzManager::name, &clsPlzManager::name}
  const std::pair<Get, Set> props[] = {
      P(Such_Plz), P(Such_Postfach), P(Such_Strasse), P(Such_Hausnummer), P(Such_Ort), P(Such_OrtsTeil),
      P(Such_Gemeinde), P(Such_GrossEmpfaenge), P(Plz), P(Postfach), P(Strasse), P(Hausnummer), P(Ort),
      P(OrtsTeil), P(Gemeinde), P(GrossEmpfaenge)};
#undef P
  clsPlzManager m;
  ASSERT_TRUE(m.Init(nullptr, "", db_.connection()));
  for (size_t i = 0; i < std::size(props); ++i) (m.*props[i].second)("wert " + std::to_string(i));
  for (size_t i = 0; i < std::size(props); ++i) EXPECT_EQ((m.*props[i].first)(), "wert " + std::to_string(i));
  m.Geprueft(-1);
  m.OkMeldungUnterdrucken("-1");
  session().AktuellerAlort = "12345678";

  ASSERT_TRUE(m.Init(nullptr, "", db_.connection()));
  for (size_t i = 0; i < std::size(props); ++i) EXPECT_EQ((m.*props[i].first)(), "") << "property " << i;
  EXPECT_EQ(m.Geprueft(), 0);
  EXPECT_EQ(m.OkMeldungUnterdrucken(), "True");
  EXPECT_EQ(session().AktuellerAlort, "12345678");
}

// Words and numbers convert; any other text raises 13 and keeps the old value.
TEST_F(PlzManagerTest, OkMeldungUnterdrueckenConvertsTextAndRejectsOtherText) {
  const struct {
    const char* text;
    bool rejected;
    const char* expected;
  } cases[] = {{"1", false, "True"},   {"0", false, "False"},  {"tRUE", false, "True"}, {" false ", false, "False"},
               {"-1", false, "True"},  {"ja", true, "True"},   {"2.5", false, "True"},  {"", true, "True"},
               {"0", false, "False"},  {"vielleicht", true, "False"}};
  clsPlzManager m;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto set = [&] { m.OkMeldungUnterdrucken(c.text); };
    if (c.rejected)
      EXPECT_THAT(set, testing::RaisesError(err::kTypeMismatch));
    else
      set();
    EXPECT_EQ(m.OkMeldungUnterdrucken(), c.expected);
  }
}

}  // namespace
}  // namespace noxplz
