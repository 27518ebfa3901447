#include "fuzzy/similar_names.h"

#include <gtest/gtest.h>

#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::PostalTest;

std::vector<std::string> names(const std::vector<SimilarPlace>& places) {
  std::vector<std::string> out;
  for (const SimilarPlace& p : places) out.push_back(p.name + "/" + p.alort + "/" + std::to_string(p.distance));
  return out;
}
std::vector<std::string> names(const std::vector<SimilarStreet>& streets) {
  std::vector<std::string> out;
  for (const SimilarStreet& s : streets) out.push_back(s.name + "/" + std::to_string(s.distance));
  return out;
}
using Names = std::vector<std::string>;

class SimilarNamesTest : public PostalTest {
 protected:
  void SetUp() override {
    db_.insert("ORT_DA", {{"ALORT", "05000000"}, {"ONAME", testing::padded("München", 40)}, {"STATUS", "0"}});
    db_.insert("ORT_DA", {{"ALORT", "05000001"}, {"ONAME", "Mülheim"}, {"STATUS", "0"}});
    db_.insert("PLZ_DA", {{"PLZ", "80331"}, {"ALORT", "05000000"}, {"ART_Auslieferung", "6"}, {"OName", "München"}});
    for (const char* street : {"Kurfürstendamm", "Karl-Marx-Straße", "Kurfürstenstraße", "Am Markt"})
      db_.insert("STR_DA", {{"ALORT", "05000000"}, {"NAME46", testing::padded(street, 46)}, {"PLZ", "80331"}});
  }
};

TEST_F(SimilarNamesTest, PlacesByFoldedName) {
  EXPECT_EQ(names(similar_places("Müchen")), (Names{"München/05000000/1"}));
  EXPECT_EQ(names(similar_places("MUENCHEN")), (Names{"München/05000000/0"}));
  EXPECT_EQ(names(similar_places("Berln")), (Names{"Berlin/11000000/1"}));
  // Places of the same name come each with their key; a replaced place never.
  EXPECT_EQ(names(similar_places("Frankfurd")), (Names{"Frankfurt/06000000/1", "Frankfurt/12000000/1"}));
  EXPECT_EQ(names(similar_places("Altdorff")), (Names{"Altdorf/09000002/1"}));
  // Too far, or too short to guess at.
  EXPECT_TRUE(similar_places("Hamburg").empty());
  EXPECT_TRUE(similar_places("Bex").empty());
  EXPECT_TRUE(similar_places("").empty());
  // With a postal code only its places count.
  EXPECT_EQ(names(similar_places("Klenhausen", "55555")), (Names{"Kleinhausen/07000000/1"}));
  EXPECT_TRUE(similar_places("Berln", "55555").empty());
  EXPECT_EQ(names(similar_places("Mülhem")), (Names{"Mülheim/05000001/1"}));
  EXPECT_EQ(similar_places("Frankfurd", {}, 1).size(), 1u);  // the limit holds
}

TEST_F(SimilarNamesTest, StreetsOfAPlace) {
  // Nearest first.
  EXPECT_EQ(names(similar_streets("05000000", "Kurfürstendam")), (Names{"Kurfürstendamm/1", "Kurfürstenstraße/3"}));
  EXPECT_EQ(names(similar_streets("05000000", "Karl Marx Str")), (Names{"Karl-Marx-Straße/0"}));
  EXPECT_EQ(names(similar_streets("05000000", "karl-marx-strasse")), (Names{"Karl-Marx-Straße/0"}));
  EXPECT_TRUE(similar_streets("05000000", "Lindenweg").empty());
  EXPECT_TRUE(similar_streets("99999999", "Kurfürstendamm").empty());
}

TEST_F(SimilarNamesTest, ASharedIndexReadsEachPlaceOnce) {
  SimilarNames shared;
  EXPECT_EQ(names(shared.streets("05000000", "Am Markd")), (Names{"Am Markt/1"}));
  // Streets added later are not seen by the index that has read the place ...
  db_.insert("STR_DA", {{"ALORT", "05000000"}, {"NAME46", "Am Marktplatz"}, {"PLZ", "80331"}});
  EXPECT_EQ(names(shared.streets("05000000", "Am Marktplat")), (Names{}));
  // ... a fresh one sees them.
  EXPECT_EQ(names(similar_streets("05000000", "Am Marktplat")), (Names{"Am Marktplatz/1"}));
}

}  // namespace
}  // namespace noxplz
