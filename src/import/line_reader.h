// Reads a text file line by line without holding it in memory. A line ends
// at CR LF, at a lone CR or at a lone LF (a file copied between systems
// still reads the same); the last line may lack its ending. Lines are
// returned as raw bytes, without the ending. Of a line longer than
// kMaxLineBytes only its beginning is kept (no record is that long), so a
// file without line endings never ends up in memory as a whole.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace noxplz::import {

// Where the bytes come from: a file, or in tests a source that fails.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `n` bytes; 0 at the end. Raises noxplz::Error (57) on a read error.
  virtual size_t Read(char* buffer, size_t n) = 0;
};

// Opens a file for reading. Raises error 53 ("Datei nicht gefunden") when
// it does not exist, else error 75 with the system's reason in German.
std::unique_ptr<ByteSource> open_file_source(const std::string& path);

// How LineReader opens a path; tests install one that injects failures.
// An empty function restores open_file_source.
using SourceOpener = std::function<std::unique_ptr<ByteSource>(const std::string&)>;
void set_source_opener(SourceOpener opener);

// The German text of a system error number ("Zugriff verweigert").
std::string system_reason(int error_number);

class LineReader {
 public:
  static constexpr size_t kMaxLineBytes = size_t{1} << 20;

  // Opens `path` through the installed opener (see open_file_source).
  explicit LineReader(const std::string& path);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Reads the next line into `line`; false at the end of the file. Raises
  // error 57 on a read error.
  bool next(std::string& line);
  void close();
  // Bytes of the file consumed so far (lines and their endings).
  uint64_t bytes_read() const { return base_ + pos_; }

 private:
  bool fill();

  std::unique_ptr<ByteSource> source_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  uint64_t base_ = 0;  // bytes before the buffer
  bool eof_ = false;
};

}  // namespace noxplz::import
