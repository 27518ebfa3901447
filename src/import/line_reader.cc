#include "import/line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "noxplz/error.h"

namespace noxplz::import {

namespace {
constexpr size_t kBufferSize = 1 << 16;
constexpr int32_t kErrDeviceIo = 57;
constexpr int32_t kErrPathAccess = 75;

class FileSource final : public ByteSource {
 public:
  explicit FileSource(int fd) : fd_(fd) {}
  ~FileSource() override { ::close(fd_); }
  size_t Read(char* buffer, size_t n) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, n);
      if (got >= 0) return static_cast<size_t>(got);
      if (errno == EINTR) continue;
      throw Error(kErrDeviceIo, "Fehler beim Lesen von Gerät (E/A-Fehler): " + system_reason(errno));
    }
  }

 private:
  int fd_;
};

std::mutex opener_mutex;
SourceOpener& installed_opener() {
  static SourceOpener opener;
  return opener;
}

}  // namespace

std::string system_reason(int error_number) {
  switch (error_number) {
    case EACCES:
    case EPERM: return "Zugriff verweigert";
    case ENOENT: return "Datei nicht gefunden";
    case EISDIR: return "Es ist ein Verzeichnis";
    case EIO: return "Ein-/Ausgabefehler des Datenträgers";
    case ENOSPC: return "Kein Platz mehr auf dem Datenträger";
    case EMFILE:
    case ENFILE: return "Zu viele geöffnete Dateien";
    case ENOMEM: return "Nicht genügend Arbeitsspeicher";
    case ELOOP: return "Zu viele Ebenen symbolischer Verknüpfungen";
    case ENAMETOOLONG: return "Der Dateiname ist zu lang";
    case ENOTDIR: return "Ein Teil des Pfades ist kein Verzeichnis";
    case ETXTBSY: return "Die Datei ist in Benutzung";
    case ESTALE: return "Die Netzwerkdatei ist nicht mehr gültig";
    default: return std::string("Systemfehler ") + std::to_string(error_number) + " (" + std::strerror(error_number) + ")";
  }
}

std::unique_ptr<ByteSource> open_file_source(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    if (e == ENOENT) throw Error(err::kFileNotFound, "Datei nicht gefunden");
    throw Error(kErrPathAccess, system_reason(e));
  }
  return std::make_unique<FileSource>(fd);
}

void set_source_opener(SourceOpener opener) {
  std::lock_guard lock(opener_mutex);
  installed_opener() = std::move(opener);
}

LineReader::LineReader(const std::string& path) : buffer_(kBufferSize) {
  SourceOpener opener;
  {
    std::lock_guard lock(opener_mutex);
    opener = installed_opener();
  }
  source_ = opener ? opener(path) : open_file_source(path);
  if (!source_) throw Error(err::kFileNotFound, "Datei nicht gefunden");
}

LineReader::~LineReader() { close(); }

void LineReader::close() { source_.reset(); }

bool LineReader::fill() {
  if (eof_ || !source_) return false;
  base_ += end_;
  pos_ = 0;
  end_ = 0;
  end_ = source_->Read(buffer_.data(), buffer_.size());
  if (end_ == 0) {
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
