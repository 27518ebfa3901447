// A city-sized check: one generated city whose streets run through several
// postal districts, split by house number (odd and even sides at different
// numbers), checked address by address with the right postal code and with
// the code of another district, through the three ways a user asks: the
// search on the tables (noxplz suche: Suche_Plz_Original, with and without
// the confirmation dialog), the provider check (noxplz pruefe: Suche_Plz) and
// the place of a postal code (noxplz ort: Suche_Ort_original). No wrong
// postal code may come back verified; every right one must.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "manager/session.h"
#include "noxplz/plz_manager.h"
#include "noxplz/ui.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::padded;

// Answers every question of the searches: Yes/No boxes with No, the
// confirmation with OK, lists and the mismatch question by cancelling.
class AnswerNo : public Toolkit {
 public:
  int MsgBox(std::string_view prompt, int style, std::string_view) override {
    if (prompt.find("in Ordnung") != std::string_view::npos) ++confirmations;
    return (style & 0xF) == mb::kYesNo ? mb::kNo : mb::kOk;
  }
  void ShowModal(Form& form) override { form.CloseRequested(); }
  void Hide(Form&) override {}
  void DoEvents() override {}
  void SetMousePointer(int) override {}
  std::optional<FileChoice> OpenFile(const FileDialogRequest&) override { return std::nullopt; }
  void Repaint(Control&) override {}
  int confirmations = 0;
};

struct Address {
  std::string street, number, plz;  // plz: the right one
};

// The city: `streets` streets over `districts` postal codes. Each street has
// two to four sections per side; the odd side changes its district at other
// numbers than the even side.
struct City {
  std::vector<std::string> codes;
  std::vector<Address> addresses;  // every tenth house number of every street
};

City build_city(testing::TempDatabase& db, int streets, int districts, uint32_t seed) {
  City city;
  std::mt19937 rng(seed);
  const std::string alort = "14000000";
  db.insert("ORT_DA", {{"ALORT", alort}, {"ONAME", padded("Großstadt", 40)}, {"STATUS", "0"}});
  for (int d = 0; d < districts; ++d) {
    city.codes.push_back(std::to_string(20095 + d * 2));
    db.insert("PLZ_DA", {{"PLZ", city.codes.back()}, {"ALORT", alort}, {"ART_Auslieferung", "6"},
                         {"OName", padded("Großstadt", 40)}});
  }
  static const char* kStems[] = {"Ahorn", "Birken", "Eichen", "Linden", "Buchen", "Tannen", "Rosen", "Nelken",
                                 "Garten", "Kirch", "Schul", "Mühlen", "Berg", "Wiesen", "Feld"};
  static const char* kKinds[] = {"weg", "straße", "gasse", "allee", "ring", "platz", "steig", "pfad", "damm", "ufer"};
  static const char* kParts[] = {"", " Nord", " Süd"};
  db.exec("BEGIN");
  for (int s = 0; s < streets; ++s) {
    const std::string name = std::string(kStems[s % 15]) + kKinds[(s / 15) % 10] + kParts[(s / 150) % 3];
    const int last = 20 + static_cast<int>(rng() % 180);
    for (const char* typ : {"U", "G"}) {
      const int first = typ[0] == 'U' ? 1 : 2;
      const int sections = 2 + static_cast<int>(rng() % 3);
      int from = first;
      for (int k = 0; k < sections && from <= last; ++k) {
        int to = k + 1 == sections ? last + (last % 2 == first % 2 ? 0 : 1) : from + 2 * (1 + static_cast<int>(rng() % 30));
        if (to > last + 1) to = last + (last % 2 == first % 2 ? 0 : 1);
        const std::string plz = city.codes[rng() % city.codes.size()];
        char von[9], bis[9];
        std::snprintf(von, sizeof von, "%04d", from);
        std::snprintf(bis, sizeof bis, "%04d", to);
        db.insert("STR_DA", {{"ALORT", alort}, {"NAME46", padded(name, 46)}, {"PLZ", plz},
                             {"HNRVON", padded(von, 8)}, {"HNRBIS", padded(bis, 8)}, {"HNR_TYP", typ},
                             {"STATUS", "0"}});
        for (int n = from; n <= to; n += 2)
          if (n % 10 == 1 || n % 10 == 4) city.addresses.push_back({name, std::to_string(n), plz});
        from = to + 2;
      }
    }
  }
  db.exec("COMMIT");
  return city;
}

TEST(CityCheck, NoWrongPostalCodeIsEverReportedAsVerified) {
  testing::TempDatabase db;
  const City city = build_city(db, 300, 8, 20240115);
  auto toolkit = std::make_shared<AnswerNo>();
  ScopedToolkit use(toolkit);
  session() = Session{};
  clsPlzManager m;
  ASSERT_TRUE(m.Init(nullptr, "", db.connection()));

  struct Count {
    int right_verified = 0, right_total = 0, wrong_verified = 0, wrong_total = 0, suggested_right = 0;
  } suche, suche_dialog, pruefe;
  int ort_right = 0, ort_total = 0, ort_wrong_verified = 0;
  std::mt19937 rng(7);
  for (const Address& a : city.addresses) {
    std::string wrong;
    do wrong = city.codes[rng() % city.codes.size()];
    while (wrong == a.plz);
    for (const auto& [plz, right] : {std::pair{a.plz, true}, std::pair{wrong, false}}) {
      // noxplz suche, without and with the confirmation dialog.
      for (Count* c : {&suche, &suche_dialog}) {
        m.Plz("");
        m.Suche_Plz_Original(plz, "Großstadt", a.street + " " + a.number, "", c == &suche_dialog);
        const bool verified = m.Geprueft() == -1;
        (right ? c->right_total : c->wrong_total)++;
        (right ? c->right_verified : c->wrong_verified) += verified;
        if (!right && m.Plz() == a.plz) ++c->suggested_right;
        if (!right && verified) ADD_FAILURE() << "suche: " << plz << " " << a.street << " " << a.number;
      }
      // noxplz pruefe.
      m.Suche_Plz(plz, "Großstadt", a.street + " " + a.number);
      const bool verified = m.Geprueft() == -1;
      (right ? pruefe.right_total : pruefe.wrong_total)++;
      (right ? pruefe.right_verified : pruefe.wrong_verified) += verified;
      if (!right && m.Plz() == a.plz) ++pruefe.suggested_right;
      if (!right && verified) ADD_FAILURE() << "pruefe: " << plz << " " << a.street << " " << a.number;
    }
  }
  // noxplz ort: every code of the city with its place, and with a place it does not have.
  for (const std::string& plz : city.codes) {
    ++ort_total;
    m.Suche_Ort_original(plz, "Großstadt");
    ort_right += m.Grund().code == "bestaetigt";
    m.Suche_Ort_original(plz, "Kleinstadt");
    ort_wrong_verified += m.Grund().code == "bestaetigt" || m.Grund().code == "ausgewaehlt";
  }

  ASSERT_GT(city.addresses.size(), 5000u);
  for (const Count* c : {&suche, &suche_dialog, &pruefe}) {
    EXPECT_EQ(c->wrong_verified, 0);
    EXPECT_EQ(c->right_verified, c->right_total);
  }
  // Without the dialog, the right code is the suggestion for every wrong one.
  EXPECT_EQ(suche.suggested_right, suche.wrong_total);
  EXPECT_EQ(pruefe.suggested_right, pruefe.wrong_total);
  EXPECT_EQ(ort_right, ort_total);
  EXPECT_EQ(ort_wrong_verified, 0);
  // The confirmation appeared for the right codes only; nothing else was asked.
  EXPECT_EQ(toolkit->confirmations, suche_dialog.right_total);
  session() = Session{};
}

}  // namespace
}  // namespace noxplz
