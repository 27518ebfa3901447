// Reads a text file line by line without holding it in memory. A line ends
// at CR LF, at a lone CR or at a lone LF (a file copied between systems
// still reads the same); the last line may lack its ending. Lines are
// returned as raw bytes, without the ending. Of a line longer than
// kMaxLineBytes only its beginning is kept (no record is that long), so a
// file without line endings never ends up in memory as a whole.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace noxplz::import {

class LineReader {
 public:
  static constexpr size_t kMaxLineBytes = size_t{1} << 20;

  // Opens `path`; raises error 53 ("Datei nicht gefunden") when it cannot be opened.
  explicit LineReader(const std::string& path);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Reads the next line into `line`; false at the end of the file. Raises
  // error 57 on a read error.
  bool next(std::string& line);
  void close();

 private:
  bool fill();

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool eof_ = false;
};

}  // namespace noxplz::import
