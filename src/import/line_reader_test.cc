#include "import/line_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "noxplz/error.h"
#include "testing/error_matchers.h"
#include "testing/temp_database.h"

namespace noxplz::import {
namespace {

using Lines = std::vector<std::string>;

class LineReaderTest : public ::testing::Test {
 protected:
  ~LineReaderTest() override { std::filesystem::remove_all(dir_); }

  Lines read(const std::string& bytes) {
    LineReader reader(noxplz::testing::write_file(dir_, "datei.dat", bytes));
    Lines lines;
    for (std::string line; reader.next(line);) lines.push_back(line);
    return lines;
  }

  std::filesystem::path dir_ = noxplz::testing::make_temp_dir("noxplz-reader");
};

TEST_F(LineReaderTest, LineEndingsEmptyLinesAndRawBytes) {
  const std::string raw("M\x81nchen\x00 \xE1\xFF", 11);
  // The buffer holds 64 KiB: a CR as its last byte with the LF in the next
  // fill, then a line longer than the buffer.
  const std::string first(65535, 'a'), second(200000, 'b');
  const struct {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},  // files of one line ending each: tests/import_scenarios_test.cc
      {"", {}},
      {"\r\n", {""}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF CR is two endings
      {raw + "\r\n", {raw}},
      {first + "\r\n" + second + "\r\nende", {first, second, "ende"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.substr(0, 20));
    EXPECT_EQ(read(c.bytes), c.lines);
  }
}

// A file without line endings (a wrong file chosen) is not read into memory whole.
TEST_F(LineReaderTest, AnOverlongLineKeepsOnlyItsBeginning) {
  const Lines lines = read("GE" + std::string(3 * LineReader::kMaxLineBytes, '\0') + "\nende");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), LineReader::kMaxLineBytes);
  EXPECT_EQ(lines[0].substr(0, 3), std::string("GE\0", 3));
  EXPECT_EQ(lines[1], "ende");
}

TEST_F(LineReaderTest, MissingFileRaisesFileNotFound) {
  EXPECT_THAT([&] { LineReader reader((dir_ / "fehlt.dat").string()); }, testing::RaisesError(err::kFileNotFound));
}

}  // namespace
}  // namespace noxplz::import
