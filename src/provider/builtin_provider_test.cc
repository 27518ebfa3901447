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
  // The answer without its last field (the German sentence, which must be there).
  std::string without_hinweis(std::string answer) {
    const size_t bar = answer.rfind('|');
    EXPECT_NE(bar, std::string::npos);
    EXPECT_LT(bar + 1, answer.size()) << "no hinweis: " << answer;
    return answer.substr(0, bar);
  }
  std::string ort(std::string request) { return without_hinweis(call("Suche_Ort", std::move(request))); }
  std::string plz(std::string request) { return without_hinweis(call("Suche_Plz", std::move(request))); }
};

TEST_F(BuiltinProviderTest, SucheOrtAnswersThePlaceOfAPostalCode) {
  // The given place in the table's spelling, verified.
  EXPECT_EQ(ort("55555|grossdorf||0||0"), "55555|Großdorf||0|Großdorf|ort_mehrdeutig");  // ss is not ß: the first place
  EXPECT_EQ(ort("55555|GROßDORF||0||0"), "55555|Großdorf||1|Großdorf|bestaetigt");
  EXPECT_EQ(ort("55555| kleinhausen ||0||0"), "55555|Kleinhausen||1|Kleinhausen|bestaetigt");
  // Several places and none given: the first, not verified.
  EXPECT_EQ(ort("55555|||0||0"), "55555|Großdorf||0|Großdorf|ort_mehrdeutig");
  EXPECT_EQ(ort("55555|Berlin||0||0"), "55555|Großdorf||0|Großdorf|ort_mehrdeutig");
  // One place name (Berlin has three postal-code rows of one place): verified.
  EXPECT_EQ(ort("10117|||0||0"), "10117|Berlin||1|Berlin|bestaetigt");
  EXPECT_EQ(ort("10115|Hamburg||0||0"), "10115|Berlin||1|Berlin|plz_passt_nicht_zum_ort");
  // Unknown postal code, empty postal code.
  EXPECT_EQ(ort("99999|Berlin||0||0"), "99999|||0||plz_unbekannt");
  EXPECT_EQ(ort("|Berlin||0||0"), "|||0||eingabe_fehlt");
  EXPECT_EQ(ort("66666|d'orf||0||1"), "66666|D'Orf||1|D'Orf|bestaetigt");
}

TEST_F(BuiltinProviderTest, SuchePlzSettlesTheAddressOrEchoesIt) {
  // The section of a divided street.
  EXPECT_EQ(plz("|Berlin|Hauptstraße 5||0|0|0"), "10115|Berlin|Hauptstr.|5|1|bestaetigt");
  EXPECT_EQ(plz("|berlin|Hauptstrasse|12|0|0|0"), "10117|Berlin|Hauptstr.|12|1|bestaetigt");
  EXPECT_EQ(plz("10119|Berlin|HAUPTSTR. 13|  |1|0|0"), "10119|Berlin|Hauptstr.|13|1|bestaetigt");
  // Without a house number every section counts.
  EXPECT_EQ(plz("10115|Berlin|Hauptstr.||0|0|0"), "10115|Berlin|Hauptstr.||1|bestaetigt");
  // Undivided streets.
  EXPECT_EQ(plz("|Berlin|Bahnhofstraße 7||0|0|0"), "10117|Berlin|Bahnhofstr.|7|1|bestaetigt");
  EXPECT_EQ(plz("|Berlin|Rue d'arc 1||0|0|0"), "10115|Berlin|Rue d'Arc|1|1|bestaetigt");
  // The street picks the one of two places of that name.
  EXPECT_EQ(plz("|Frankfurt|Zeil 3||0|0|0"), "60313|Frankfurt|Zeil|3|1|bestaetigt");
  // No street: the postal code given, or the place's only delivery code.
  EXPECT_EQ(plz("15230|Frankfurt|||0|0|0"), "15230|Frankfurt|||1|bestaetigt");
  EXPECT_EQ(plz("|Kleinhausen|||0|0|0"), "55555|Kleinhausen|||1|bestaetigt");
  EXPECT_EQ(plz("|altdorf|||0|0|0"), "90518|Altdorf|||1|bestaetigt");  // the replaced place does not count
  EXPECT_EQ(plz("|D'Orf|||0|0|0"), "66666|D'Orf|||1|bestaetigt");
  // A given postal code that is not the section's is corrected, never verified.
  EXPECT_EQ(plz("10115|Berlin|HAUPTSTR. 13|  |1|0|0"), "10119|Berlin|Hauptstr.|13|0|plz_passt_nicht_zur_strasse");
  EXPECT_EQ(plz("10999|Berlin|lindenweg||0|0|0"), "10115|Berlin|Lindenweg||0|plz_passt_nicht_zur_strasse");
  EXPECT_EQ(plz("60311||Zeil 3||0|0|0"), "60313|Frankfurt|Zeil|3|0|plz_passt_nicht_zur_strasse");
  EXPECT_EQ(plz("90517|Altdorf|||0|0|0"), "90518|Altdorf|||0|plz_passt_nicht_zum_ort");  // only the replaced place has it
  EXPECT_EQ(plz("10115|Hamburg|||0|0|0"), "10115|Berlin|||0|ort_unbekannt");             // the code's place
  // What it cannot settle comes back unverified, as asked.
  EXPECT_EQ(plz("|Berlin|Hauptstr 4||0|0|0"), "|Berlin|Hauptstr 4||0|plz_mehrdeutig");  // 4 in N 1-9 and G 2-20
  EXPECT_EQ(plz("|Berlin|Hauptstr.||0|0|0"), "|Berlin|Hauptstr.||0|hausnummer_fehlt");
  EXPECT_EQ(plz("|Berlin|Hauptstr.|100|0|0|0"), "|Berlin|Hauptstr.|100|0|hausnummer_ausserhalb");
  EXPECT_EQ(plz("|Berlin|||0|0|0"), "|Berlin|||0|strasse_fehlt");  // two delivery codes
  EXPECT_EQ(plz("55555||||0|0|0"), "55555||||0|ort_mehrdeutig");   // two places under one code
  EXPECT_EQ(plz("|Berlin|Gartenweg 3||0|0|0"), "|Berlin|Gartenweg 3||0|strasse_unbekannt");
  EXPECT_EQ(plz("||Hauptstr. 5||0|0|0"), "||Hauptstr. 5||0|eingabe_fehlt");
  EXPECT_EQ(plz(""), "||||0|eingabe_fehlt");
  // A "|" from the data never shifts the answer's fields.
  db_.insert("PLZ_DA", {{"PLZ", "44444"}, {"ALORT", "15000000"}, {"ART_Auslieferung", "6"}, {"OName", "Ort|Stadt"}});
  EXPECT_EQ(ort("44444|||0||0"), "44444|Ort/Stadt||1|Ort/Stadt|bestaetigt");
}

TEST_F(BuiltinProviderTest, FailuresAreRaised) {
  using ::testing::Field, ::testing::Throws;
  EXPECT_THAT([&] { call("Suche_Strasse", "x"); }, Throws<Error>(Field(&Error::number, 438)));
  session().connection.reset();
  EXPECT_THAT([&] { ort("10115|||0||0"); }, Throws<Error>(Field(&Error::number, err::kObjectNotSet)));
}

}  // namespace
}  // namespace noxplz
