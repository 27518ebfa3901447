#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

#include "lookup/global.h"
#include "noxplz/variant.h"

namespace noxplz {
namespace {

// Blanks are trimmed as the plain definition trims them, however long the
// padding (it is skipped eight bytes at a time): texts of blanks, letters
// and tabs with 0-2 blanks before and 0-17 after, against the definition.
TEST(TextTrimTest, AgreesWithThePlainDefinitionForEveryPadding) {
  const std::string letters = "a\tb ";
  size_t compared = 0;
  for (size_t lead = 0; lead <= 2; ++lead)
    for (size_t pattern = 0; pattern < 64; ++pattern)
      for (size_t pad = 0; pad <= 17; ++pad) {
        std::string s(lead, ' ');
        for (size_t i = 0; i < 6; ++i) s += (pattern >> i) & 1 ? letters[(i + pattern) % 4] : ' ';
        s.append(pad, ' ');
        const size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
        const std::string expected = b == std::string::npos ? "" : s.substr(b, e - b + 1);
        ASSERT_EQ(text::trim(s), expected) << '"' << s << '"';
        ASSERT_EQ(text::trim_view(s), expected) << '"' << s << '"';
        ASSERT_EQ(text::trim_right(s), e == std::string::npos ? "" : s.substr(0, e + 1)) << '"' << s << '"';
        Variant v(s);
        v.trim_blanks();
        ASSERT_EQ(v.as_text(), expected) << '"' << s << '"';
        ++compared;
      }
  EXPECT_EQ(compared, 3u * 64u * 18u);
}

TEST(TextUtf8Test, ValidityAndFirstBadByte) {
  const struct {
    std::string s;
    size_t first_bad;  // npos: valid
  } cases[] = {
      {"", std::string::npos},
      {"Großdorf Mühlweg €", std::string::npos},
      {"\xF0\x9F\x8F\xA0 Haus", std::string::npos},  // four bytes
      {"Gro\xc3 5", 3},                               // cut two-byte sequence
      {"Gro\xc3", 3},                                 // cut at the end
      {"H\xe1u5", 1},                                 // Latin-1 á
      {"\x80", 0},                                    // stray continuation byte
      {"\xc0\xaf", 0},                                // overlong "/"
      {"\xe0\x80\xaf", 0},                            // overlong, three bytes
      {"\xed\xa0\x80", 0},                            // surrogate
      {"\xf4\x90\x80\x80", 0},                        // beyond U+10FFFF
      {"ok\xff", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(text::printable(c.s));
    EXPECT_EQ(text::first_invalid_utf8(c.s), c.first_bad);
    EXPECT_EQ(text::is_valid_utf8(c.s), c.first_bad == std::string::npos);
    const std::string repaired = text::to_valid_utf8(c.s);
    EXPECT_TRUE(text::is_valid_utf8(repaired));
    if (c.first_bad == std::string::npos) {
      EXPECT_EQ(repaired, c.s);
    }
  }
  EXPECT_EQ(text::to_valid_utf8("Gro\xc3 5"), "Gro\xEF\xBF\xBD 5");
  EXPECT_EQ(text::to_valid_utf8("\xc0\xaf"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextUtf8Test, CountingNeverSkipsABadByte) {
  // Each byte that starts no sequence is a character of its own.
  EXPECT_EQ(text::length("H\xe1u5"), 4u);
  EXPECT_EQ(text::length("Gro\xc3"), 4u);
  EXPECT_EQ(text::left("H\xe1u5", 3), "H\xe1u");
  EXPECT_EQ(text::mid("H\xe1u5", 3), "u5");
  EXPECT_EQ(text::right("\xe1u5", 2), "u5");
  std::string joined;
  for (const std::string& cp : text::code_points("a\xe1\x80z\xc3\xa4")) joined += cp + "|";
  EXPECT_EQ(joined, "a|\xe1|\x80|z|\xc3\xa4|");
  EXPECT_EQ(text::upper("\xc3 \xc3\xa4"), "\xc3 \xc3\x84");  // the lone lead byte stays
}

TEST(TextUtf8Test, TheSplitterKeepsEveryByte) {
  const struct {
    const char *in, *street, *number;
  } cases[] = {
      {"Hauptstrasse H\xe1u5", "Hauptstrasse H\xe1u", "5"},
      {"Gro\xc3 5", "Gro\xc3", "5"},
      {"\xff\xfe\xfd 12", "\xff\xfe\xfd", "12"},
      {"Stra\xdf" "e 7a", "Stra\xdf" "e", "7a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(text::printable(c.in));
    std::string strasse = c.in, hnr;
    split_house_number(strasse, hnr);
    EXPECT_EQ(strasse, c.street);
    EXPECT_EQ(hnr, c.number);
  }
}

TEST(TextUtf8Test, PrintableEscapesWhatCouldDriveATerminal) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"Mühlweg 3", "Mühlweg 3"},
      {"\x1b[2J\x1b]0;x\x07Weg", "\\x1B[2J\\x1B]0;x\\x07Weg"},  // clear screen, window title, bell
      {"a\tb\r\nc\x7f", "a\\x09b\\x0D\\x0Ac\\x7F"},
      {"\xc2\x9b" "31m", "\\u009B31m"},  // CSI as one C1 character
      {"Gro\xc3 5", "Gro\\xC3 5"},
      {"C:\\Pfad", "C:\\\\Pfad"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text::printable(c.in), c.out);
    EXPECT_TRUE(text::is_valid_utf8(text::printable(c.in)));
  }
}

}  // namespace
}  // namespace noxplz
