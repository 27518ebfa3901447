// Text conversion of one field of a Datafactory record: the file is single-
// byte text whose German letters come in the DOS code page.
#pragma once

#include <string>
#include <string_view>

namespace noxplz {

// Converts the raw bytes of one field to UTF-8: the apostrophe becomes the
// grave accent (so no value can end its SQL literal early), the DOS bytes
// 0x81 0x84 0x94 0xE1 0x8E 0x99 0x9A become ü ä ö ß Ä Ö Ü, every other byte
// keeps its Windows-1252 meaning (undefined bytes map to the control
// character of the same code).
std::string Konvertiere_Text(std::string_view field);

// Appends the converted field to `out` (the same conversion without a new string).
void append_converted(std::string& out, std::string_view field);

}  // namespace noxplz
