#include "batch/columns.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace noxplz::batch {
namespace {

TEST(Columns, FoundByHeaderNameWhateverTheSpelling) {
  ColumnMap m = find_columns({"Kundennr", "Name", "Postleitzahl", "STADT", "Straße", "Haus-Nr."});
  EXPECT_EQ(m.plz, 2u);
  EXPECT_EQ(m.ort, 3u);
  EXPECT_EQ(m.strasse, 4u);
  EXPECT_EQ(m.hausnummer, 5u);
  EXPECT_FALSE(m.street_with_number);

  m = find_columns({"plz", "ort", "Str."});
  EXPECT_EQ(m.strasse, 2u);
  EXPECT_FALSE(m.hausnummer);

  m = find_columns({"Name", "Straße mit Hausnummer", "PLZ Ort"});
  EXPECT_EQ(m.strasse, 1u);
  EXPECT_TRUE(m.street_with_number);
  EXPECT_EQ(m.plz_ort, 2u);
  EXPECT_FALSE(m.plz);

  // Result columns of an earlier run are no address columns.
  m = find_columns({"PLZ", "Ort", "Strasse", "Status", "PLZ_neu", "Ort_neu", "Strasse_neu"});
  EXPECT_EQ(m.plz, 0u);
  EXPECT_EQ(m.strasse, 2u);

  EXPECT_FALSE(find_columns({"Name", "Telefon"}).any());
}

TEST(Columns, MappingByNameOrNumber) {
  const std::vector<std::string> header = {"Zip", "City", "Street", "No"};
  ColumnMap m = find_columns(header, "plz=Zip, ort=city ,strasse=3,hausnummer=No");
  EXPECT_EQ(m.plz, 0u);
  EXPECT_EQ(m.ort, 1u);
  EXPECT_EQ(m.strasse, 2u);
  EXPECT_EQ(m.hausnummer, 3u);

  m = find_columns({"PLZ", "Adresse"}, "strasse+hausnummer=Adresse");
  EXPECT_EQ(m.strasse, 1u);
  EXPECT_TRUE(m.street_with_number);

  for (const char* bad : {"plz", "land=City", "plz=Postcode", "plz=0", "plz=9"})
    EXPECT_THAT([&] { find_columns(header, bad); },
                ::testing::Throws<std::invalid_argument>(::testing::Property(&std::exception::what, ::testing::StrNe(""))))
        << bad;
}

TEST(Columns, AddressOfALine) {
  ColumnMap m = find_columns({"PLZ", "Ort", "Straße", "Nr"});
  ListAddress a = m.address({" 10115 ", "Berlin", "Hauptstr. 5", ""});
  EXPECT_EQ(a.plz, "10115");
  EXPECT_EQ(a.strasse, "Hauptstr.");  // the number from the street, the own column being empty
  EXPECT_EQ(a.hausnummer, "5");
  a = m.address({"10115", "Berlin", "Hauptstr.", "7a"});
  EXPECT_EQ(a.hausnummer, "7a");
  a = m.address({"10115"});  // a short line: the missing fields are empty
  EXPECT_EQ(a.ort, "");

  m = find_columns({"PLZ/Ort", "Anschrift"}, "strasse+hausnummer=2");
  a = m.address({"80331 München", "Karl-Marx-Straße 12a"});
  EXPECT_EQ(a.plz, "80331");
  EXPECT_EQ(a.ort, "München");
  EXPECT_EQ(a.strasse, "Karl-Marx-Straße");
  EXPECT_EQ(a.hausnummer, "12a");
}

TEST(Columns, ResultColumnsOfAnEarlierRunAreDropped) {
  std::vector<std::string> header = {"PLZ", "Ort", "Status", "PLZ_neu", "Ort_neu", "Strasse_neu", "Hausnummer_neu",
                                     "Grund", "Vorschlaege"};
  EXPECT_EQ(strip_result_columns(header), 7u);
  EXPECT_EQ(header, (std::vector<std::string>{"PLZ", "Ort"}));
  EXPECT_EQ(strip_result_columns(header), 0u);
}

}  // namespace
}  // namespace noxplz::batch
