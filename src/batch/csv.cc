#include "batch/csv.h"

#include <algorithm>
#include <array>

#include "platform/text.h"

namespace noxplz::batch {
namespace {

constexpr size_t kBlock = 64 * 1024;
constexpr size_t kMaxLineBytes = 1024 * 1024;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Code points 0x80..0x9F of Windows-1252 (0: undefined, kept as the C1 control).
constexpr std::array<char32_t, 32> k1252High = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E,
    0x0178};

std::string lower_ascii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

// Length of the UTF-8 sequence that starts with `c`, 0 when `c` cannot start one.
size_t sequence_length(unsigned char c) {
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

// Checks UTF-8; `allow_cut_end` accepts a sequence cut off by the end of the text.
bool valid_utf8(std::string_view s, bool allow_cut_end) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = sequence_length(c);
    if (n == 0) return false;
    if (i + n > s.size()) {
      if (!allow_cut_end) return false;
      for (size_t k = i + 1; k < s.size(); ++k)
        if ((static_cast<unsigned char>(s[k]) & 0xC0) != 0x80) return false;
      return true;
    }
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    if (n == 3) {
      const auto d = static_cast<unsigned char>(s[i + 1]);
      if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d >= 0xA0)) return false;  // overlong, surrogate
    } else if (n == 4) {
      const auto d = static_cast<unsigned char>(s[i + 1]);
      if ((c == 0xF0 && d < 0x90) || (c == 0xF4 && d >= 0x90)) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

std::string encoding_name(Encoding encoding) { return encoding == Encoding::Utf8 ? "UTF-8" : "Windows-1252"; }

std::optional<Encoding> parse_encoding(std::string_view name) {
  std::string n = lower_ascii(text::trim(name));
  std::erase(n, '-');
  std::erase(n, '_');
  if (n == "utf8") return Encoding::Utf8;
  if (n == "windows1252" || n == "cp1252" || n == "ansi" || n == "latin1" || n == "iso88591" || n == "win1252")
    return Encoding::Windows1252;
  return std::nullopt;
}

bool is_valid_utf8(std::string_view bytes) { return valid_utf8(bytes, false); }

EncodingGuess detect_encoding(std::string_view prefix) {
  EncodingGuess guess;
  if (prefix.starts_with(kBom)) {
    guess.bom = true;
    return guess;
  }
  guess.encoding = valid_utf8(prefix, true) ? Encoding::Utf8 : Encoding::Windows1252;
  return guess;
}

char detect_separator(std::string_view line) {
  int semicolons = 0, commas = 0, tabs = 0;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == ';') ++semicolons;
    if (c == ',') ++commas;
    if (c == '\t') ++tabs;
  }
  if (tabs > semicolons && tabs > commas) return '\t';
  if (commas > semicolons) return ',';
  return ';';
}

bool split_fields(std::string_view line, char separator, std::vector<std::string>& fields) {
  fields.clear();
  std::string current;
  bool in_quotes = false;
  bool field_start = true;  // nothing but blanks read of this field yet
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (in_quotes) {
      if (c == '"') {
        if (i + 1 < line.size() && line[i + 1] == '"') {
          current += '"';
          ++i;
        } else {
          in_quotes = false;
        }
      } else {
        current += c;
      }
      continue;
    }
    if (c == separator) {
      fields.push_back(std::move(current));
      current.clear();
      field_start = true;
      continue;
    }
    if (c == '"' && field_start) {
      current.clear();  // blanks before the opening quote
      in_quotes = true;
      field_start = false;
      continue;
    }
    current += c;
    if (c != ' ') field_start = false;
  }
  fields.push_back(std::move(current));
  return !in_quotes;
}

// --- reader ---

CsvReader::CsvReader(std::istream& in, CsvReaderOptions options) : in_(in), options_(options) {
  peeked_.resize(kBlock);
  in_.read(peeked_.data(), static_cast<std::streamsize>(peeked_.size()));
  peeked_.resize(static_cast<size_t>(in_.gcount()));
  // The guess looks at whole lines only, so a character cut by the block end does not count.
  std::string_view prefix = peeked_;
  if (peeked_.size() == kBlock) {
    const size_t last = prefix.find_last_of("\r\n");
    if (last != std::string_view::npos) prefix = prefix.substr(0, last);
  }
  EncodingGuess guess = detect_encoding(prefix);
  bom_ = guess.bom;
  encoding_ = options_.encoding.value_or(guess.encoding);
  if (bom_) peeked_pos_ = kBom.size();
  bytes_read_ = peeked_pos_;
  if (options_.separator) {
    separator_ = *options_.separator;
    separator_known_ = true;
  }
}

bool CsvReader::read_physical_line(std::string& line, bool& too_long) {
  line.clear();
  bool any = false;
  too_long = false;
  auto take = [&](char c) {
    if (line.size() < kMaxLineBytes)
      line += c;
    else
      too_long = true;
  };
  for (;;) {
    int ch;
    if (peeked_pos_ < peeked_.size()) {
      ch = static_cast<unsigned char>(peeked_[peeked_pos_++]);
    } else {
      ch = in_.get();
      if (ch == std::char_traits<char>::eof()) break;
    }
    ++bytes_read_;
    any = true;
    if (ch == '\n') {
      if (!line_end_known_) line_end_known_ = true;
      break;
    }
    if (ch == '\r') {
      int following = peeked_pos_ < peeked_.size() ? static_cast<unsigned char>(peeked_[peeked_pos_]) : in_.peek();
      if (following == '\n') {
        if (peeked_pos_ < peeked_.size())
          ++peeked_pos_;
        else
          in_.get();
        ++bytes_read_;
        if (!line_end_known_) line_end_ = "\r\n";
      }
      line_end_known_ = true;
      break;
    }
    take(static_cast<char>(ch));
  }
  return any;
}

// Each line on its own unless the user named the encoding: valid UTF-8 is
// UTF-8, anything else Windows-1252 (Windows-1252 text that happens to be
// valid UTF-8 would need pairs like "Ã¼", which German text does not hold).
std::string CsvReader::decode(std::string raw) {
  if (options_.encoding) return *options_.encoding == Encoding::Utf8 ? raw : text::windows1252_to_utf8(raw);
  if (is_valid_utf8(raw)) return raw;
  if (encoding_ == Encoding::Utf8) ++fallback_lines_;
  return text::windows1252_to_utf8(raw);
}

bool CsvReader::next(CsvRecord& record) {
  struct Physical {
    int64_t number = 0;
    std::string text;
    bool cut = false;
  };
  // Lines read again after a broken record are kept decoded.
  auto fetch = [&](Physical& p) {
    if (!pushed_back_.empty()) {
      p.text = std::move(pushed_back_.back());
      pushed_back_.pop_back();
      p.cut = false;
    } else {
      std::string raw;
      if (!read_physical_line(raw, p.cut)) return false;
      p.text = decode(std::move(raw));
    }
    p.number = next_line_++;
    return true;
  };

  Physical first;
  if (!fetch(first)) return false;
  record = CsvRecord{};
  record.line = first.number;
  if (!separator_known_) {
    separator_ = detect_separator(first.text);
    separator_known_ = true;
  }

  std::string logical = first.text;
  std::vector<Physical> more;
  bool closed = split_fields(logical, separator_, record.fields);
  while (!closed && static_cast<int>(more.size()) + 1 < options_.max_record_lines) {
    Physical p;
    if (!fetch(p)) break;
    logical += '\n';
    logical += p.text;
    more.push_back(std::move(p));
    closed = split_fields(logical, separator_, record.fields);
  }
  if (!closed) {
    // Read the following lines again on their own, and take this one as broken.
    next_line_ = first.number + 1;
    for (auto it = more.rbegin(); it != more.rend(); ++it) pushed_back_.push_back(it->text);
    split_fields(first.text, separator_, record.fields);
    record.problem = "Ein Anführungszeichen wird nicht geschlossen.";
  } else {
    record.lines = 1 + static_cast<int64_t>(more.size());
  }
  if (first.cut) record.problem = "Die Zeile ist länger als 1 MiB (keine Adresszeile).";
  for (const std::string& f : record.fields)
    for (char c : f)
      if (c == '\0') {
        record.problem = "Die Zeile enthält Nullbytes (keine Textzeile).";
        return true;
      }
  return true;
}

// --- writer ---

std::string quote_field(std::string_view field, char separator) {
  const bool needs = field.find_first_of(std::string{separator, '"', '\n', '\r'}) != std::string_view::npos;
  if (!needs) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string utf8_to_windows1252(std::string_view utf8, int64_t* unrepresentable) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    size_t n = sequence_length(c);
    if (n == 0 || i + n > utf8.size()) n = 1;
    char32_t cp = c;
    if (n == 2) cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
    if (n == 3)
      cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
           (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
    if (n == 4) cp = 0x110000;  // beyond Windows-1252 in any case
    i += n;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    if (cp >= 0x80 && cp <= 0x9F && k1252High[cp - 0x80] == 0) {
      out += static_cast<char>(cp);  // the five undefined positions go back as they came
      continue;
    }
    auto hit = std::find(k1252High.begin(), k1252High.end(), cp);
    if (hit != k1252High.end()) {
      out += static_cast<char>(0x80 + (hit - k1252High.begin()));
      continue;
    }
    out += '?';
    if (unrepresentable) ++*unrepresentable;
  }
  return out;
}

CsvWriter::CsvWriter(std::ostream& out, CsvWriterOptions options) : out_(out), options_(std::move(options)) {}

void CsvWriter::write(const std::vector<std::string>& fields) {
  if (!started_) {
    started_ = true;
    if (options_.encoding == Encoding::Utf8 && options_.bom) out_ << kBom;
  }
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += options_.separator;
    line += quote_field(fields[i], options_.separator);
  }
  line += options_.line_end;
  if (options_.encoding == Encoding::Windows1252) line = utf8_to_windows1252(line, &unrepresentable_);
  out_ << line;
}

}  // namespace noxplz::batch
