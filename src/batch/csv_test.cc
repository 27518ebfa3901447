#include "batch/csv.h"

#include <gtest/gtest.h>

#include <sstream>

namespace noxplz::batch {
namespace {

using Fields = std::vector<std::string>;

std::vector<CsvRecord> read_all(const std::string& bytes, CsvReaderOptions options = {}, CsvReader** keep = nullptr) {
  static std::istringstream in;
  in = std::istringstream(bytes);
  static std::unique_ptr<CsvReader> reader;
  reader = std::make_unique<CsvReader>(in, options);
  std::vector<CsvRecord> records;
  CsvRecord r;
  while (reader->next(r)) records.push_back(r);
  if (keep) *keep = reader.get();
  return records;
}

TEST(CsvSplit, FieldsAsSpreadsheetsWriteThem) {
  struct Case {
    const char* line;
    char sep;
    Fields fields;
    bool closed;
  };
  const Case cases[] = {
      {"a;b;c", ';', {"a", "b", "c"}, true},
      {"", ';', {""}, true},
      {";;", ';', {"", "", ""}, true},
      {"\"Müller; Meier\";12", ';', {"Müller; Meier", "12"}, true},
      {"\"Er sagte \"\"Hallo\"\"\";x", ';', {"Er sagte \"Hallo\"", "x"}, true},
      {"a,\"b,c\",d", ',', {"a", "b,c", "d"}, true},
      {"a\tb\t\"c\td\"", '\t', {"a", "b", "c\td"}, true},
      {"Zum \"Anker\";5", ';', {"Zum \"Anker\"", "5"}, true},  // quote inside an unquoted field stays
      {"x; \"y;z\"", ';', {"x", "y;z"}, true},                   // blank before the opening quote
      {"\"offen;weiter", ';', {"offen;weiter"}, false},
  };
  for (const Case& c : cases) {
    Fields f;
    EXPECT_EQ(split_fields(c.line, c.sep, f), c.closed) << c.line;
    EXPECT_EQ(f, c.fields) << c.line;
  }
}

TEST(CsvDetect, SeparatorAndEncoding) {
  EXPECT_EQ(detect_separator("PLZ;Ort;Straße"), ';');
  EXPECT_EQ(detect_separator("PLZ,Ort,Straße"), ',');
  EXPECT_EQ(detect_separator("PLZ\tOrt\tStraße"), '\t');
  EXPECT_EQ(detect_separator("\"Name, Vorname\";Ort"), ';');  // commas inside quotes do not count
  EXPECT_EQ(detect_separator("Adresse"), ';');
  EXPECT_EQ(detect_separator("a;b,c"), ';');  // tie: semicolon

  EXPECT_TRUE(detect_encoding("\xEF\xBB\xBFPLZ").bom);
  EXPECT_EQ(detect_encoding("\xEF\xBB\xBFPLZ").encoding, Encoding::Utf8);
  EXPECT_EQ(detect_encoding("Ort\nM\xC3\xBCnchen\n").encoding, Encoding::Utf8);
  EXPECT_EQ(detect_encoding("Ort\nM\xFCnchen\n").encoding, Encoding::Windows1252);
  EXPECT_EQ(detect_encoding("Ort\nMuenchen\n").encoding, Encoding::Utf8);
  EXPECT_EQ(detect_encoding("Ort\nM\xC3").encoding, Encoding::Utf8);  // cut by the end of the block
  EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));                         // a surrogate
  EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));                             // overlong
  EXPECT_TRUE(is_valid_utf8("Stra\xC3\x9F" "e \xE2\x82\xAC"));

  EXPECT_EQ(parse_encoding("UTF-8"), Encoding::Utf8);
  EXPECT_EQ(parse_encoding("cp1252"), Encoding::Windows1252);
  EXPECT_EQ(parse_encoding("Windows-1252"), Encoding::Windows1252);
  EXPECT_EQ(parse_encoding("latin1"), Encoding::Windows1252);
  EXPECT_FALSE(parse_encoding("ebcdic"));
}

TEST(CsvReader, BomLineEndsAndWindows1252) {
  CsvReader* reader = nullptr;
  auto records = read_all("\xEF\xBB\xBFPLZ;Ort\r\n10115;Berlin\r\n80331;M\xC3\xBCnchen\r\n", {}, &reader);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].fields, (Fields{"PLZ", "Ort"}));  // no BOM in the first field
  EXPECT_EQ(records[2].fields, (Fields{"80331", "München"}));
  EXPECT_EQ(records[2].line, 3);
  EXPECT_TRUE(reader->bom());
  EXPECT_EQ(reader->line_end(), "\r\n");

  records = read_all("PLZ;Ort\r80331;M\xFCnchen\r01067;Dresden", {}, &reader);  // lone CR, Windows-1252
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].fields, (Fields{"80331", "München"}));
  EXPECT_EQ(records[2].fields, (Fields{"01067", "Dresden"}));
  EXPECT_EQ(reader->encoding(), Encoding::Windows1252);
  EXPECT_FALSE(reader->bom());

  // A UTF-8 file with one line in Windows-1252: that line is read as Windows-1252.
  records = read_all("Ort\nM\xC3\xBCnchen\nK\xF6ln\n", {}, &reader);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].fields[0], "München");
  EXPECT_EQ(records[2].fields[0], "Köln");
  EXPECT_EQ(reader->lines_read_as_windows1252(), 0);  // the first block already says Windows-1252
  std::string long_utf8 = "Ort\n";
  while (long_utf8.size() < 70000) long_utf8 += "M\xC3\xBCnchen\n";
  records = read_all(long_utf8 + "K\xF6ln\n", {}, &reader);
  EXPECT_EQ(reader->encoding(), Encoding::Utf8);
  EXPECT_EQ(records.back().fields[0], "Köln");
  EXPECT_EQ(reader->lines_read_as_windows1252(), 1);
  EXPECT_EQ(reader->line_end(), "\n");

  // Forced encoding wins over the guess.
  CsvReaderOptions forced;
  forced.encoding = Encoding::Windows1252;
  records = read_all("Ort\nM\xC3\xBCnchen\n", forced);
  EXPECT_EQ(records[1].fields[0], "MÃ¼nchen");
}

TEST(CsvReader, QuotedLineBreaksAndUnclosedQuotes) {
  auto records = read_all("Name;Ort\n\"Firma\nAbteilung\";Berlin\nX;Y\n");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].fields, (Fields{"Firma\nAbteilung", "Berlin"}));
  EXPECT_EQ(records[1].line, 2);
  EXPECT_EQ(records[1].lines, 2);
  EXPECT_EQ(records[2].line, 4);

  // A quote that never closes: that line is broken, the lines after it are read on their own.
  CsvReaderOptions options;
  options.max_record_lines = 3;
  std::string text = "PLZ;Ort\n\"10115;Berlin\n";
  for (int i = 0; i < 5; ++i) text += "80331;München\n";
  records = read_all(text, options);
  ASSERT_EQ(records.size(), 7u);
  EXPECT_FALSE(records[1].problem.empty());
  EXPECT_EQ(records[1].line, 2);
  EXPECT_EQ(records[1].fields[0], "10115;Berlin");
  for (size_t i = 2; i < records.size(); ++i) {
    EXPECT_TRUE(records[i].problem.empty()) << i;
    EXPECT_EQ(records[i].line, static_cast<int64_t>(i) + 1);
    EXPECT_EQ(records[i].fields, (Fields{"80331", "München"}));
  }
  // ... also when the file ends before the limit.
  records = read_all("PLZ;Ort\n\"10115;Berlin\n80331;München\n");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_FALSE(records[1].problem.empty());
  EXPECT_EQ(records[2].fields, (Fields{"80331", "München"}));
  EXPECT_EQ(records[2].line, 3);

  records = read_all(std::string("a;b\nx\0y;z\n", 10));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(records[1].problem.find("Nullbytes"), std::string::npos);
}

TEST(CsvWriter, QuotesWhereNeededAndEncodings) {
  EXPECT_EQ(quote_field("Berlin", ';'), "Berlin");
  EXPECT_EQ(quote_field("Müller; Meier", ';'), "\"Müller; Meier\"");
  EXPECT_EQ(quote_field("a,b", ';'), "a,b");
  EXPECT_EQ(quote_field("a,b", ','), "\"a,b\"");
  EXPECT_EQ(quote_field("Zum \"Anker\"", ';'), "\"Zum \"\"Anker\"\"\"");
  EXPECT_EQ(quote_field("Zeile\nzwei", ';'), "\"Zeile\nzwei\"");

  std::ostringstream utf8;
  CsvWriter w(utf8, {';', Encoding::Utf8, true, "\r\n"});
  w.write({"Ort", "Straße"});
  w.write({"München", "Am \"Markt\"; 1"});
  EXPECT_EQ(utf8.str(), "\xEF\xBB\xBFOrt;Straße\r\nMünchen;\"Am \"\"Markt\"\"; 1\"\r\n");

  std::ostringstream ansi;
  CsvWriter w2(ansi, {',', Encoding::Windows1252, true, "\n"});
  w2.write({"Köln", "Preis 5 €", "Łódź"});
  EXPECT_EQ(ansi.str(), "K\xF6ln,Preis 5 \x80,?\xF3" "d?\n");  // Ł and ź are no Windows-1252
  EXPECT_EQ(w2.unrepresentable(), 2);
}

TEST(CsvWriter, WhatTheReaderReadsTheWriterWritesBack) {
  const std::vector<Fields> rows = {{"PLZ", "Ort", "Bemerkung"},
                                    {"01067", "Dresden", "Tür \"hinten\"; 2. OG"},
                                    {"", "Köln", "zwei\nZeilen"},
                                    {"80331", "München", ""}};
  for (char sep : {';', ',', '\t'}) {
    std::ostringstream out;
    CsvWriter w(out, {sep, Encoding::Utf8, true, "\r\n"});
    for (const Fields& r : rows) w.write(r);
    auto records = read_all(out.str());
    ASSERT_EQ(records.size(), rows.size()) << sep;
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(records[i].fields, rows[i]) << sep << " " << i;
  }
}

}  // namespace
}  // namespace noxplz::batch
