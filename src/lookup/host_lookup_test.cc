#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/session.h"
#include "noxplz/error.h"
#include "testing/error_matchers.h"
#include "noxplz/lookup.h"
#include "testing/host_api_fixture.h"

namespace noxplz {
namespace {

std::vector<std::string> lines(const std::vector<Place>& places) {
  std::vector<std::string> out;
  for (const Place& p : places) out.push_back(p.name + "|" + p.addition + "|" + p.key + "|" + p.plz);
  return out;
}

std::vector<std::string> lines(const std::vector<Street>& streets) {
  std::vector<std::string> out;
  for (const Street& s : streets)
    out.push_back(s.name + "|" + s.plz + "|" + s.house_from + "-" + s.house_to + "|" + testing::house_numbers_code(s.house_numbers) + "|" +
                  s.district + "|" + s.place_key);
  return out;
}
using Lines = std::vector<std::string>;

// The fixture database on a connection of the test's own, with no session:
// the host API needs no Init. Any dialog fails the test, and the thread's
// session must stay as it was.
class HostLookupTest : public testing::HostApiTest {
 protected:
  HostLookupTest() : HostApiTest("the host lookups") {
    session().Geprueft = -1;
    session().Plz = "99999";
  }
  ~HostLookupTest() override {
    EXPECT_EQ(session().connection, nullptr);
    EXPECT_EQ(session().Geprueft, -1);
    EXPECT_EQ(session().Plz, "99999");
  }
};

TEST_F(HostLookupTest, PlacesByNamePrefix) {
  struct Case {
    std::string prefix;
    Lines expected;
  };
  const Case cases[] = {
      // Ordered by name, addition, key; "(Oder)" before "am Main"; the first postal code of each.
      {"Fr", {"Frankfurt|(Oder)|12000000|15230", "Frankfurt|am Main|06000000|60311"}},
      // Letter case and umlauts as the tables compare them; trimmed texts.
      {"großD", {"Großdorf||07000001|55555"}},
      {"kLEINh", {"Kleinhausen||07000000|55555"}},
      // The replaced place (successor key) is left out; a blank successor counts as current.
      {"Altdorf", {"Altdorf|b Nürnberg|09000002|90518"}},
      {"D'O", {"D'Orf||08000000|66666"}},
      {"x' OR '1'='1", {}},
      {"Xanten", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(lines(find_places(db(), c.prefix)), c.expected) << c.prefix;
  // Every current place for an empty prefix.
  EXPECT_EQ(find_places(db(), "").size(), 7u);
  EXPECT_EQ(db_.count("ORT_DA"), 8);
}

TEST_F(HostLookupTest, PlacesOfAPostalCode) {
  // Two places share 55555: ordered by name.
  EXPECT_EQ(lines(places_of_postal_code(db(), "55555")), (Lines{"Großdorf||07000001|55555", "Kleinhausen||07000000|55555"}));
  EXPECT_EQ(lines(places_of_postal_code(db(), "10117")), Lines{"Berlin||11000000|10117"});
  // A place stored twice for one code is listed once.
  db_.insert("PLZ_DA", {{"PLZ", "10117"}, {"ALORT", "11000000 "}, {"ART_Auslieferung", "2"}, {"OName", "Berlin"}});
  EXPECT_EQ(lines(places_of_postal_code(db(), "10117")), Lines{"Berlin||11000000|10117"});
  EXPECT_EQ(places_of_postal_code(db(), "00000").size(), 0u);
  EXPECT_EQ(places_of_postal_code(db(), "' OR ''='").size(), 0u);
  EXPECT_EQ(places_of_postal_code(db(), "").size(), 0u);
}

TEST_F(HostLookupTest, StreetsOfAPlaceByKeyOrName) {
  const Lines berlin = {"Bahnhofstr.|10117|-|N||11000000",      "Hauptstr.|10115|0001-0009|N||11000000",
                        "Hauptstr.|10117|0002-0020|G||11000000", "Hauptstr.|10119|0011-0099|U||11000000",
                        "Lindenweg|10115|-|N||11000000",        "Rue d'Arc|10115|-|N||11000000"};
  EXPECT_EQ(lines(find_streets(db(), PlaceKey{"11000000"})), berlin);
  EXPECT_EQ(lines(find_streets(db(), PlaceName{"berlin"})), berlin);

  struct Case {
    std::string prefix;
    size_t count;
  };
  // The prefix is written as the component writes street names: "straße" and
  // "strasse" become "str", full stops go; letter case does not matter.
  const Case cases[] = {{"Haupt", 3},       {"hauptstraße", 3}, {"Hauptstrasse", 3}, {"Hauptstr.", 3},
                        {"  Linden  ", 1}, {"Rue d'", 1},      {"Zeil", 0},         {"x' OR '1'='1", 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(find_streets(db(), PlaceKey{"11000000"}, c.prefix).size(), c.count) << c.prefix;
    EXPECT_EQ(find_streets(db(), PlaceName{"Berlin"}, c.prefix).size(), c.count) << c.prefix;
  }

  // A name shared by two places: the streets of both (here only one has any).
  EXPECT_EQ(lines(find_streets(db(), PlaceName{"Frankfurt"})), Lines{"Zeil|60313|-|N||06000000"});
  // Unknown place, place without streets, a name prefix is no place name.
  EXPECT_TRUE(find_streets(db(), PlaceKey{"99999999"}).empty());
  EXPECT_TRUE(find_streets(db(), PlaceName{"Kleinhausen"}).empty());
  EXPECT_TRUE(find_streets(db(), PlaceName{"Berl"}).empty());
}

TEST_F(HostLookupTest, StreetDistrictsOnlyWhenAskedFor) {
  std::vector<Street> streets = find_streets(db(), PlaceKey{"11000000"}, "Haupt", StreetOptions{.with_districts = true});
  ASSERT_EQ(streets.size(), 3u);
  EXPECT_EQ(streets[0].district, "Mitte");
  EXPECT_EQ(streets[1].district, "Tiergarten");
  EXPECT_EQ(streets[2].district, "Tiergarten");
  // A section without a district key has none.
  EXPECT_EQ(find_streets(db(), PlaceName{"Berlin"}, "Bahnhof", {.with_districts = true}).at(0).district, "");
  EXPECT_EQ(find_streets(db(), PlaceKey{"11000000"}, "Haupt").at(0).district, "");
}

TEST_F(HostLookupTest, DatabaseFailuresAreThrownNotShown) {
  // A database without the postal tables.
  testing::TempDatabase other;
  other.exec("DROP TABLE ORT_DA");
  other.exec("DROP TABLE STR_DA");
  EXPECT_THROW(find_places(*other.connection(), "A"), Error);
  EXPECT_THROW(find_streets(*other.connection(), PlaceKey{"11000000"}), Error);
  // A closed connection: the seam's error 3709.
  db().Close();
  EXPECT_THAT([&] { places_of_postal_code(db(), "10115"); }, testing::RaisesError(err::kDbConnectionClosed));
}

}  // namespace
}  // namespace noxplz
