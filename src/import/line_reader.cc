#include "import/line_reader.h"

#include <algorithm>
#include <cstring>

#include "noxplz/error.h"

namespace noxplz::import {

namespace {
constexpr size_t kBufferSize = 1 << 16;
}

LineReader::LineReader(const std::string& path) : buffer_(kBufferSize) {
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) throw Error(err::kFileNotFound, "Datei nicht gefunden");
}

LineReader::~LineReader() { close(); }

void LineReader::close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

bool LineReader::fill() {
  if (eof_ || !file_) return false;
  pos_ = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  if (end_ == 0) {
    if (std::ferror(file_)) throw Error(57, "Fehler beim Lesen von Gerät (E/A-Fehler)");
    eof_ = true;
    return false;
  }
  return true;
}

bool LineReader::next(std::string& line) {
  line.clear();
  auto keep = [&line](const char* bytes, size_t n) {
    if (line.size() < kMaxLineBytes) line.append(bytes, std::min(n, kMaxLineBytes - line.size()));
  };
  bool any = false;  // something of this line was read (an ending counts)
  for (;;) {
    if (pos_ >= end_ && !fill()) return any;
    const char* start = buffer_.data() + pos_;
    const size_t avail = end_ - pos_;
    const char* stop = nullptr;
    for (size_t i = 0; i < avail; ++i) {
      if (start[i] == '\r' || start[i] == '\n') {
        stop = start + i;
        break;
      }
    }
    if (!stop) {
      keep(start, avail);
      pos_ = end_;
      any = true;
      continue;
    }
    keep(start, static_cast<size_t>(stop - start));
    pos_ += static_cast<size_t>(stop - start) + 1;
    if (*stop == '\r') {
      // A CR followed by LF is one ending, also across a buffer boundary.
      if (pos_ >= end_) fill();
      if (pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
    }
    return true;
  }
}

}  // namespace noxplz::import
