#include "import/line_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "noxplz/error.h"
#include "testing/temp_database.h"

namespace noxplz::import {
namespace {

class LineReaderTest : public ::testing::Test {
 protected:
  ~LineReaderTest() override { std::filesystem::remove_all(dir_); }

  std::vector<std::string> read(const std::string& bytes) {
    const std::string path = (dir_ / "datei.dat").string();
    std::ofstream(path, std::ios::binary) << bytes;
    LineReader reader(path);
    std::vector<std::string> lines;
    std::string line;
    while (reader.next(line)) lines.push_back(line);
    return lines;
  }

  std::filesystem::path dir_ = noxplz::testing::make_temp_dir("noxplz-reader");
};

using Lines = std::vector<std::string>;

TEST_F(LineReaderTest, EveryLineEndingEndsALine) {
  EXPECT_EQ(read("a\r\nb\r\nc\r\n"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(read("a\rb\rc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(read("a\nb\nc\n"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(read("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
}

TEST_F(LineReaderTest, EmptyLinesAndTheLastLineWithoutEnding) {
  EXPECT_EQ(read(""), Lines{});
  EXPECT_EQ(read("\r\n"), Lines{""});
  EXPECT_EQ(read("a\r\n\r\nb"), (Lines{"a", "", "b"}));
  // LF CR is two endings (an empty line between).
  EXPECT_EQ(read("a\n\rb"), (Lines{"a", "", "b"}));
}

TEST_F(LineReaderTest, BytesArePassedThroughUnchanged) {
  const std::string raw = std::string("M\x81nchen\x00 \xE1\xFF", 11);
  EXPECT_EQ(read(raw + "\r\n"), Lines{raw});
}

TEST_F(LineReaderTest, LongLinesAndEndingsAcrossTheBufferBoundary) {
  // The reader's buffer holds 64 KiB: put a CR as its last byte and the LF
  // as the first byte of the next fill, and a line longer than the buffer.
  const std::string first(65535, 'a');
  const std::string second(200000, 'b');
  const Lines lines = read(first + "\r\n" + second + "\r\nende");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], first);
  EXPECT_EQ(lines[1], second);
  EXPECT_EQ(lines[2], "ende");
}

TEST_F(LineReaderTest, MissingFileRaisesFileNotFound) {
  try {
    LineReader reader((dir_ / "fehlt.dat").string());
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.number, err::kFileNotFound);
  }
}

}  // namespace
}  // namespace noxplz::import
