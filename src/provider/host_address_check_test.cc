#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "manager/session.h"
#include "noxplz/error.h"
#include "testing/error_matchers.h"
#include "noxplz/lookup.h"
#include "provider/address_check.h"
#include "testing/host_api_fixture.h"

namespace noxplz {
namespace {

// verdict|plz|place|street|house number|reason code
std::string line(const AddressCheckResult& r) {
  return std::string(verdict_name(r.verdict)) + "|" + r.address.plz + "|" + r.address.place + "|" + r.address.street +
         "|" + r.address.house_number + "|" + r.reason.code;
}

std::vector<std::string> candidate_lines(const AddressCheckResult& r) {
  std::vector<std::string> out;
  for (const CandidateAddress& c : r.candidates)
    out.push_back(c.plz + "|" + c.place + "|" + c.place_addition + "|" + c.street + "|" + c.district + "|" +
                  c.house_from + "-" + c.house_to + "|" + testing::house_numbers_code(c.house_numbers));
  return out;
}
using Lines = std::vector<std::string>;

// The fixture database on a connection of the test's own. Any dialog fails
// the test.
class HostAddressCheckTest : public testing::HostApiTest {
 protected:
  HostAddressCheckTest() : HostApiTest("the address check") {}
};

TEST_F(HostAddressCheckTest, VerdictReasonAddressAndCandidates) {
  struct Case {
    PostalAddress in;
    std::string want;
    Lines candidates;
  };
  const Case cases[] = {
      // Confirmed, in the tables' spelling, the house number split off the street.
      {{"", "berlin", "Hauptstraße 12", ""}, "verifiziert|10117|Berlin|Hauptstr.|12|bestaetigt", {}},
      {{"10115", "Berlin", "Lindenweg", "3"}, "verifiziert|10115|Berlin|Lindenweg|3|bestaetigt", {}},
      // The code of another section of the same street is corrected, never verified.
      {{"10117", "Berlin", "Hauptstr.", "5"}, "korrigiert|10115|Berlin|Hauptstr.|5|plz_passt_nicht_zur_strasse", {}},
      {{"60311", "Frankfurt", "Zeil 3", ""}, "korrigiert|60313|Frankfurt|Zeil|3|plz_passt_nicht_zur_strasse", {}},
      // Several sections: the candidates carry range, parity and district.
      {{"", "Berlin", "Hauptstr.", ""},
       "mehrdeutig||Berlin|Hauptstr.||hausnummer_fehlt",
       {"10115|Berlin||Hauptstr.|Mitte|0001-0009|N", "10117|Berlin||Hauptstr.|Tiergarten|0002-0020|G",
        "10119|Berlin||Hauptstr.|Tiergarten|0011-0099|U"}},
      // Two places of one name: the candidates tell them apart by their addition.
      {{"", "Frankfurt", "", ""},
       "mehrdeutig||Frankfurt|||ort_mehrdeutig",
       {"15230|Frankfurt|(Oder)|||-|N", "60311|Frankfurt|am Main|||-|N"}},
      // A house number in no section: unknown, with the street's sections.
      {{"", "Berlin", "Hauptstr. 100", ""}, "unbekannt||Berlin|Hauptstr.|100|hausnummer_ausserhalb",
       {"10115|Berlin||Hauptstr.|Mitte|0001-0009|N", "10117|Berlin||Hauptstr.|Tiergarten|0002-0020|G",
        "10119|Berlin||Hauptstr.|Tiergarten|0011-0099|U"}},
      {{"", "Xanten", "", ""}, "unbekannt||Xanten|||ort_unbekannt", {}},
      {{"10115", "Berlin", "Gartenweg 3", ""}, "unbekannt|10115|Berlin|Gartenweg|3|strasse_unbekannt", {}},
      {{"", "", "Hauptstr. 5", ""}, "unbekannt|||Hauptstr.|5|eingabe_fehlt", {}},
      {{"10115", "Gro\xc3", "", ""}, "unbekannt|10115|Gro\xc3|||eingabe_ungueltig", {}},
  };
  // The second pass answers from what the first one kept.
  for (int pass = 0; pass < 2; ++pass)
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(pass) + ": " + c.in.plz + "|" + c.in.place + "|" + c.in.street);
      const AddressCheckResult r = check_address(db(), c.in);
      EXPECT_EQ(line(r), c.want);
      EXPECT_EQ(candidate_lines(r), c.candidates);
      EXPECT_FALSE(r.reason.hinweis.empty());
    }
}

// A candidate's district is the first row of its key with a name; the
// districts of a place are read at once where the keys are numbers, one by
// one otherwise.
TEST_F(HostAddressCheckTest, CandidatesNameTheFirstNamedDistrictOfTheirKey) {
  for (const auto& [alort, schl, name] : testing::FixtureRows<3>{{"11000000", "003", ""},
                                                                 {"11000000", "003", "Moabit"},
                                                                 {"11000000", "003", "Alt-Moabit"},
                                                                 {"06000000", "0A4", ""},
                                                                 {"06000000", "0A4", "Westend"},
                                                                 {"06000000", "0A4", "Westend-Süd"},
                                                                 {"06000000", "001", "Bockenheim"}})
    db_.insert("OTL_DA", {{"ALORT", alort}, {"SCHL", schl}, {"NAME", name}, {"STATUS", "0"}});
  for (const auto& [alort, code, von, bis, otl] : testing::FixtureRows<5>{{"11000000", "10115", "0001", "0009", "003"},
                                                                         {"11000000", "10119", "0011", "0019", "002"},
                                                                         {"06000000", "60313", "0001", "0009", "0A4"},
                                                                         {"06000000", "60311", "0002", "0020", "001"}})
    db_.insert("STR_DA", {{"ALORT", alort}, {"NAME46", "Turmstr."}, {"PLZ", code}, {"HNRVON", von},
                          {"HNRBIS", bis}, {"HNR_TYP", "N"}, {"OTL_SCHL", otl}, {"STATUS", "0"}});
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(candidate_lines(check_address(db(), {"", "Berlin", "Turmstr.", ""})),
              (Lines{"10115|Berlin||Turmstr.|Moabit|0001-0009|N", "10119|Berlin||Turmstr.|Tiergarten|0011-0019|N"}));
    EXPECT_EQ(candidate_lines(check_address(db(), {"", "Frankfurt", "Turmstr.", ""})),
              (Lines{"60311|Frankfurt|am Main|Turmstr.|Bockenheim|0002-0020|N",
                     "60313|Frankfurt|am Main|Turmstr.|Westend|0001-0009|N"}));
  }
}

// Several places of one name: the street's sections are read for all of
// them with one statement. The answers must be those that reading the
// places one by one gives (the sections in the same order: which spelling
// of a street comes first decides the name answered).
TEST_F(HostAddressCheckTest, PlacesOfOneNameReadTogetherAnswerAsReadOneByOne) {
  for (const auto& [alort, zusatz, code] : testing::FixtureRows<3>{{"13000000", "Nord", "60320"},
                                                                   {"14000000", "Süd", "60590"}}) {
    db_.insert("ORT_DA", {{"ALORT", alort}, {"ONAME", testing::padded("Frankfurt", 40)},
                          {"OZUSATZ", testing::padded(zusatz, 30)}, {"STATUS", "0"}});
    db_.insert("PLZ_DA", {{"PLZ", code}, {"ALORT", alort}, {"ART_Auslieferung", "6"}, {"OName", "Frankfurt"}});
  }
  for (const auto& [alort, name, code, von, bis, typ] : testing::FixtureRows<6>{
           {"13000000", "Berger Str.", "60329", "0001", "0019", "U"},
           {"13000000", "BERGER STR.", "60320", "0002", "0040", "G"},
           {"13000000", "Berger Str.", "60320", "0021", "0099", "U"},
           {"14000000", "Zeil.", "60590", "", "", ""}})
    db_.insert("STR_DA", {{"ALORT", alort}, {"NAME46", testing::padded(name, 46)}, {"PLZ", code},
                          {"HNRVON", von}, {"HNRBIS", bis}, {"HNR_TYP", typ}, {"STATUS", "0"}});
  const AddressInput addresses[] = {
      {"", "Frankfurt", "Berger Str. 5", ""}, {"", "Frankfurt", "berger str.", "30"},
      {"", "Frankfurt", "Berger Str.", ""},   {"", "Frankfurt", "Berger Straße", ""},
      {"", "Frankfurt", "Zeil 4", ""},        {"", "Frankfurt", "Zeil.", ""},
      {"", "Frankfurt", "Gartenweg", ""}};
  auto answer = [&](std::shared_ptr<AddressCheckCache>& cache, const AddressInput& in) {
    const AddressCheck r = check_address(db(), cache, in);
    std::string out = std::string(outcome_name(r.outcome)) + "|" + r.plz + "|" + r.ort + "|" + r.strasse + "|" +
                      r.grund.code;
    for (const AddressCandidate& k : r.kandidaten) out += " " + k.plz + "/" + k.zusatz + "/" + k.strasse;
    return out;
  };
  std::shared_ptr<AddressCheckCache> one_by_one;
  for (const AddressInput& a : addresses)
    for (const char* code : {"60311", "15230", "60320", "60590"})  // the code picks a single place
      answer(one_by_one, {code, a.ort, a.strasse, a.hausnummer});
  for (const AddressInput& a : addresses) {
    SCOPED_TRACE(a.strasse + " " + a.hausnummer);
    std::shared_ptr<AddressCheckCache> together;
    EXPECT_EQ(answer(together, a), answer(one_by_one, a));
  }
  std::shared_ptr<AddressCheckCache> fresh;
  const AddressCheck r = check_address(db(), fresh, addresses[0]);
  EXPECT_EQ(outcome_name(r.outcome), "verifiziert");
  EXPECT_EQ(r.plz, "60329");
}

// A street written another way is found by its key (full stops, capitals,
// umlauts, "straße" for "str."), in a single place and when the street picks
// one of two places of the same name; where both have it, neither is picked.
// A database without the key's index (made by an older version) answers the
// same.
TEST_F(HostAddressCheckTest, AStreetWrittenAnotherWayIsFoundByItsKey) {
  for (const auto& [alort, zusatz] : testing::FixtureRows<2>{{"15000000", "West"}, {"16000000", "Ost"}}) {
    db_.insert("ORT_DA", {{"ALORT", alort}, {"ONAME", testing::padded("Musterstadt", 40)},
                          {"OZUSATZ", testing::padded(zusatz, 30)}, {"STATUS", "0"}});
    db_.insert("PLZ_DA", {{"PLZ", std::string_view(alort) == "15000000" ? "39100" : "39200"}, {"ALORT", alort},
                          {"ART_Auslieferung", "6"}, {"OName", "Musterstadt"}});
  }
  for (const auto& [alort, name] : testing::FixtureRows<2>{{"15000000", ".Hauptstraße"},
                                                           {"15000000", "ÄUSSERE STR."},
                                                           {"15000000", "SCHLOSSSTRASSE"},
                                                           {"15000000", "Lindenstr."},
                                                           {"15000000", "Hauptweg"},
                                                           {"16000000", "LINDENSTRASSE"},
                                                           {"16000000", "Zeil"}})
    db_.insert("STR_DA", {{"ALORT", alort}, {"NAME46", testing::padded(name, 46)},
                          {"PLZ", std::string_view(alort) == "15000000" ? "39100" : "39200"}, {"STATUS", "0"}});
  const auto check_all = [&] {
    std::shared_ptr<AddressCheckCache> cache;
    for (const auto& [plz, strasse, answer] :
         testing::FixtureRows<3>{{"39100", "Hauptstr. 3", "verifiziert|.Hauptstraße"},
                                 {"39100", "Äußere Str 3", "unbekannt|Äußere Str"},  // ß is not "ss": another key
                                 {"39100", "Äussere Straße 3", "verifiziert|ÄUSSERE STR."},
                                 {"39100", "Schlossstraße 3", "verifiziert|SCHLOSSSTRASSE"},
                                 {"", "Hauptstraße 3", "verifiziert|.Hauptstraße"},
                                 {"", "äussere str. 3", "verifiziert|ÄUSSERE STR."},
                                 {"", "Schlossstr. 3", "verifiziert|SCHLOSSSTRASSE"},
                                 {"", "Lindenstraße 3", "mehrdeutig|Lindenstraße"},
                                 {"39200", "Lindenstraße 3", "verifiziert|LINDENSTRASSE"}}) {
      SCOPED_TRACE(std::string(plz) + " " + strasse);
      const AddressCheck r = check_address(db(), cache, {plz, "Musterstadt", strasse, ""});
      EXPECT_EQ(std::string(outcome_name(r.outcome)) + "|" + r.strasse, answer) << r.grund.hinweis;
    }
  };
  check_all();
  if (db_.is_postgresql()) return;  // reads every section of a place anyway
  db_.connection()->Execute("DROP INDEX IX_STR_DA_STREET_KEY");
  check_all();
}

// The host's connection is used, not the session's; the session's
// connection and its own store of the checks stay as they were, and what
// one connection's data gave is never answered for another.
TEST_F(HostAddressCheckTest, UsesTheGivenConnectionAndLeavesTheSessionAlone) {
  testing::TempDatabase other;  // the same places, Lindenweg with another postal code
  testing::fill_postal_fixture(other);
  other.exec("UPDATE STR_DA SET PLZ = '10117' WHERE NAME46 = 'Lindenweg'");
  session().connection = other.connection();
  const AddressInput lindenweg{"", "Berlin", "Lindenweg 3", ""};
  EXPECT_EQ(check_address(lindenweg).plz, "10117");  // the session's check fills its store
  const std::shared_ptr<AddressCheckCache> session_cache = session().check_cache;

  const PostalAddress address{"", "Berlin", "Lindenweg 3", ""};
  EXPECT_EQ(line(check_address(db(), address)), "verifiziert|10115|Berlin|Lindenweg|3|bestaetigt");
  EXPECT_EQ(line(check_address(*other.connection(), address)), "verifiziert|10117|Berlin|Lindenweg|3|bestaetigt");
  EXPECT_EQ(line(check_address(db(), address)), "verifiziert|10115|Berlin|Lindenweg|3|bestaetigt");

  EXPECT_EQ(session().connection, other.connection());
  EXPECT_EQ(session().check_cache, session_cache);
  EXPECT_EQ(check_address(lindenweg).plz, "10117");
}

// What the check keeps never outlives the data it came from: a change
// through the same connection or through another one (another workstation
// importing) is seen by the very next check, the session's check included.
TEST_F(HostAddressCheckTest, SeesChangesOfTheData) {
  const PostalAddress lindenweg{"", "Berlin", "Lindenweg", "3"};
  auto both = [&] {
    const std::string host = line(check_address(db(), lindenweg));
    const AddressCheck r = check_address(AddressInput{"", "Berlin", "Lindenweg", "3"});
    EXPECT_EQ(host.substr(0, host.find('|', host.find('|') + 1)), std::string(outcome_name(r.outcome)) + "|" + r.plz);
    return host;
  };
  session().connection = db_.connection();
  EXPECT_EQ(both(), "verifiziert|10115|Berlin|Lindenweg|3|bestaetigt");
  db().Execute("UPDATE STR_DA SET PLZ = '10116' WHERE NAME46 = 'Lindenweg'");
  EXPECT_EQ(both(), "verifiziert|10116|Berlin|Lindenweg|3|bestaetigt");
  ConnectionPtr writer = open_connection(db_.connection_string());
  writer->Execute("UPDATE STR_DA SET PLZ = '10117', NAME46 = 'Linden-Weg' WHERE NAME46 = 'Lindenweg'");
  EXPECT_EQ(both(), "unbekannt||Berlin|Lindenweg|3|strasse_unbekannt");
  writer->Execute("UPDATE STR_DA SET NAME46 = 'Lindenweg.' WHERE NAME46 = 'Linden-Weg'");  // found by its key
  EXPECT_EQ(both(), "verifiziert|10117|Berlin|Lindenweg.|3|bestaetigt");
  writer->Execute("DELETE FROM STR_DA WHERE NAME46 = 'Lindenweg.'");
  EXPECT_EQ(both(), "unbekannt||Berlin|Lindenweg|3|strasse_unbekannt");
}

TEST_F(HostAddressCheckTest, DatabaseFailuresAreThrownNotShown) {
  testing::TempDatabase broken;
  broken.exec("DROP TABLE ORT_DA");
  EXPECT_THROW(check_address(*broken.connection(), {"", "Berlin", "", ""}), Error);
  db().Close();
  EXPECT_THAT([&] { check_address(db(), {"10115", "Berlin", "", ""}); }, testing::RaisesError(err::kDbConnectionClosed));
  // Without a connection the session's check raises error 91, as before.
  EXPECT_THROW(check_address(AddressInput{"10115", "Berlin", "", ""}), Error);
}

}  // namespace
}  // namespace noxplz
