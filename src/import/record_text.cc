#include "import/record_text.h"

#include <array>

#include "platform/text.h"

namespace noxplz {
namespace {

// UTF-8 text of every file byte after the conversion.
struct ByteTable {
  std::array<std::string, 256> utf8;
  ByteTable() {
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      if (b < 0x80) {
        utf8[b] = std::string(1, c);
      } else {
        // Bytes without a Windows-1252 letter come out as the control
        // character of the same code.
        utf8[b] = text::windows1252_to_utf8(std::string(1, c));
      }
    }
    utf8['\''] = "`";
    utf8[0x81] = "ü";
    utf8[0x84] = "ä";
    utf8[0x94] = "ö";
    utf8[0xE1] = "ß";
    utf8[0x8E] = "Ä";
    utf8[0x99] = "Ö";
    utf8[0x9A] = "Ü";
  }
};

const ByteTable& byte_table() {
  static const ByteTable table;
  return table;
}

}  // namespace

void append_converted(std::string& out, std::string_view field) {
  const ByteTable& t = byte_table();
  // Runs of plain ASCII go over in one piece.
  size_t run = 0;
  for (size_t i = 0; i < field.size(); ++i) {
    const auto b = static_cast<unsigned char>(field[i]);
    if (b < 0x80 && b != '\'') continue;
    out.append(field.data() + run, i - run);
    out += t.utf8[b];
    run = i + 1;
  }
  out.append(field.data() + run, field.size() - run);
}

std::string Konvertiere_Text(std::string_view field) {
  std::string out;
  out.reserve(field.size() + 8);
  append_converted(out, field);
  return out;
}

}  // namespace noxplz
