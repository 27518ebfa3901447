// Conversions between the form models and Qt: text, colours, key codes,
// geometry and file filters. Pure functions, shared by the renderer and the
// tests.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace noxplz::qt {

inline QString to_qstring(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string to_std(const QString& s) { return s.toUtf8().toStdString(); }

// A colour of the models (0x00BBGGRR, or 0x80000000 + system colour index)
// as a QColor; system colours are taken from `palette`.
QColor to_qcolor(int32_t color, const QPalette& palette);

// The classic virtual-key code of a Qt key (arrows 37..40, Delete 46, letters
// 65..90 ...); 0 for keys that have none.
int virtual_key(int qt_key);

// Shift argument of KeyDown: 1 Shift, 2 Ctrl, 4 Alt.
int shift_state(Qt::KeyboardModifiers modifiers);

// The character code a KeyPress handler sees for a typed character: the
// Windows-1252 code (ä = 228, € = 128), '?' for characters it cannot hold.
// Returns -1 for text that is not exactly one character.
int key_ascii(const QString& typed);

// The character a KeyPress handler asked for by replacing the code.
QString key_ascii_text(int key_ascii);

// "Description:pattern" filters as QFileDialog name filters. The pattern
// after the colon decides what is listed: "*.*" lists every file and
// "*.a;*.b" becomes "*.a *.b"; the description keeps its wording, with the
// patterns in its trailing parentheses replaced by the real ones.
QStringList name_filters(const std::vector<std::string>& filters);

// Design twips as screen pixels: twips / 15, times the screen scale.
inline int px(int32_t twips, double scale) {
  return static_cast<int>(static_cast<double>(twips) / 15.0 * scale + 0.5);
}

}  // namespace noxplz::qt
