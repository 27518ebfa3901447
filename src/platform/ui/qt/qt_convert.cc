#include "platform/ui/qt/qt_convert.h"

#include <QRegularExpression>

namespace noxplz::qt {
namespace {

// Unicode of the Windows-1252 codes 0x80..0x9F (0 where the code page has none).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

QColor to_qcolor(int32_t color, const QPalette& palette) {
  auto value = static_cast<uint32_t>(color);
  if (value & 0x80000000u) {
    switch (value & 0xFFu) {
      case 5: return palette.color(QPalette::Base);              // window background
      case 8: return palette.color(QPalette::WindowText);        // window text
      case 13: return palette.color(QPalette::Highlight);
      case 14: return palette.color(QPalette::HighlightedText);
      case 15: return palette.color(QPalette::Button);           // button face
      case 16: return palette.color(QPalette::Mid);              // button shadow
      case 17: return palette.color(QPalette::Disabled, QPalette::Text);  // grey text
      case 18: return palette.color(QPalette::ButtonText);
      case 20: return palette.color(QPalette::Light);
      case 23: return palette.color(QPalette::ToolTipText);
      case 24: return palette.color(QPalette::ToolTipBase);
      default: return palette.color(QPalette::Window);
    }
  }
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

int virtual_key(int qt_key) {
  if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return 65 + (qt_key - Qt::Key_A);
  if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return 48 + (qt_key - Qt::Key_0);
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return 112 + (qt_key - Qt::Key_F1);
  switch (qt_key) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default: return 0;
  }
}

int shift_state(Qt::KeyboardModifiers modifiers) {
  int shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= 1;
  if (modifiers & Qt::ControlModifier) shift |= 2;
  if (modifiers & Qt::AltModifier) shift |= 4;
  return shift;
}

int key_ascii(const QString& typed) {
  const QList<uint> ucs = typed.toUcs4();
  if (ucs.size() != 1) return -1;
  uint c = ucs.front();
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] != 0 && kCp1252High[i] == c) return 0x80 + i;
  return '?';
}

QString key_ascii_text(int code) {
  if (code <= 0 || code > 0xFF) return {};
  if (code >= 0x80 && code < 0xA0) {
    char16_t u = kCp1252High[code - 0x80];
    return u ? QString(QChar(u)) : QString();
  }
  return QString(QChar(static_cast<char16_t>(code)));
}

QStringList name_filters(const std::vector<std::string>& filters) {
  static const QRegularExpression trailing_patterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  QStringList result;
  for (const std::string& entry : filters) {
    QString text = to_qstring(entry);
    qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    QString description = colon >= 0 ? text.left(colon) : text;
    QString pattern = colon >= 0 ? text.mid(colon + 1).trimmed() : QString();
    QStringList patterns;
    for (const QString& p : pattern.split(QRegularExpression(QStringLiteral("[;,\\s]+")), Qt::SkipEmptyParts))
      patterns << (p == QStringLiteral("*.*") ? QStringLiteral("*") : p);
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    description = description.trimmed();
    description.remove(trailing_patterns);
    if (description.isEmpty()) description = pattern;
    result << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(")");
  }
  return result;
}

}  // namespace noxplz::qt
