#include "provider/builtin_provider.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "manager/session.h"
#include "noxplz/error.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::PostalTest;

class BuiltinProviderTest : public PostalTest {
 protected:
  std::string call(std::string_view method, std::string request) {
    return create_search_provider(kSearchProviderClassId)->Call(method, request);
  }
  std::string ort(std::string request) { return call("Suche_Ort", std::move(request)); }
  std::string plz(std::string request) { return call("Suche_Plz", std::move(request)); }
};

TEST_F(BuiltinProviderTest, SucheOrtAnswersThePlaceOfAPostalCode) {
  // The given place in the table's spelling, verified.
  EXPECT_EQ(ort("55555|grossdorf||0||0"), "55555|Großdorf||0|Großdorf");  // ss is not ß: the first place
  EXPECT_EQ(ort("55555|GROßDORF||0||0"), "55555|Großdorf||1|Großdorf");
  EXPECT_EQ(ort("55555| kleinhausen ||0||0"), "55555|Kleinhausen||1|Kleinhausen");
  // Several places and none given: the first, not verified.
  EXPECT_EQ(ort("55555|||0||0"), "55555|Großdorf||0|Großdorf");
  EXPECT_EQ(ort("55555|Berlin||0||0"), "55555|Großdorf||0|Großdorf");
  // One place name (Berlin has three postal-code rows of one place): verified.
  EXPECT_EQ(ort("10117|||0||0"), "10117|Berlin||1|Berlin");
  EXPECT_EQ(ort("10115|Hamburg||0||0"), "10115|Berlin||1|Berlin");
  // Unknown postal code, empty postal code.
  EXPECT_EQ(ort("99999|Berlin||0||0"), "99999|||0|");
  EXPECT_EQ(ort("|Berlin||0||0"), "|||0|");
  EXPECT_EQ(ort("66666|d'orf||0||1"), "66666|D'Orf||1|D'Orf");
}

TEST_F(BuiltinProviderTest, SuchePlzSettlesTheAddressOrEchoesIt) {
  // The section of a divided street.
  EXPECT_EQ(plz("|Berlin|Hauptstraße 5||0|0|0"), "10115|Berlin|Hauptstr.|5|1");
  EXPECT_EQ(plz("|berlin|Hauptstrasse|12|0|0|0"), "10117|Berlin|Hauptstr.|12|1");
  EXPECT_EQ(plz("10115|Berlin|HAUPTSTR. 13|  |1|0|0"), "10119|Berlin|Hauptstr.|13|1");
  // Undivided streets.
  EXPECT_EQ(plz("|Berlin|Bahnhofstraße 7||0|0|0"), "10117|Berlin|Bahnhofstr.|7|1");
  EXPECT_EQ(plz("10999|Berlin|lindenweg||0|0|0"), "10115|Berlin|Lindenweg||1");
  EXPECT_EQ(plz("|Berlin|Rue d'arc 1||0|0|0"), "10115|Berlin|Rue d'Arc|1|1");
  EXPECT_EQ(plz("60311||Zeil 3||0|0|0"), "60313|Frankfurt|Zeil|3|1");
  // No street: the postal code given, or the place's only delivery code.
  EXPECT_EQ(plz("15230|Frankfurt|||0|0|0"), "15230|Frankfurt|||1");
  EXPECT_EQ(plz("|Kleinhausen|||0|0|0"), "55555|Kleinhausen|||1");
  EXPECT_EQ(plz("|altdorf|||0|0|0"), "90518|Altdorf|||1");  // the replaced place does not count
  EXPECT_EQ(plz("|D'Orf|||0|0|0"), "66666|D'Orf|||1");
  // What it cannot settle comes back unverified.
  EXPECT_EQ(plz("|Berlin|Hauptstr 4||0|0|0"), "|Berlin|Hauptstr 4||0");       // 4 in N 1-9 and G 2-20
  EXPECT_EQ(plz("10115|Berlin|Hauptstr.||0|0|0"), "10115|Berlin|Hauptstr.||0");  // divided, no number
  EXPECT_EQ(plz("|Berlin|Hauptstr.|100|0|0|0"), "|Berlin|Hauptstr.|100|0");      // in no section
  EXPECT_EQ(plz("|Berlin|||0|0|0"), "|Berlin|||0");                            // two delivery codes
  EXPECT_EQ(plz("|Frankfurt|Zeil 3||0|0|0"), "|Frankfurt|Zeil 3||0");          // two places of that name
  EXPECT_EQ(plz("55555||||0|0|0"), "55555||||0");                              // two places under one code
  EXPECT_EQ(plz("90517|Altdorf|||0|0|0"), "90517|Altdorf|||0");                // only the replaced place has it
  EXPECT_EQ(plz("10115|Hamburg|||0|0|0"), "10115|Hamburg|||0");                // code and place disagree
  EXPECT_EQ(plz("|Berlin|Gartenweg 3||0|0|0"), "|Berlin|Gartenweg 3||0");
  EXPECT_EQ(plz("||Hauptstr. 5||0|0|0"), "||Hauptstr. 5||0");
  EXPECT_EQ(plz(""), "||||0");
}

TEST_F(BuiltinProviderTest, FailuresAreRaised) {
  using ::testing::Field, ::testing::Throws;
  EXPECT_THAT([&] { call("Suche_Strasse", "x"); }, Throws<Error>(Field(&Error::number, 438)));
  session().connection.reset();
  EXPECT_THAT([&] { ort("10115|||0||0"); }, Throws<Error>(Field(&Error::number, err::kObjectNotSet)));
}

}  // namespace
}  // namespace noxplz
