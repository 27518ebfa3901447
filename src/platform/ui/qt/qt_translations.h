// Qt's own texts in German (Debian package qt6-translations-l10n, qtbase_de.qm):
// standard buttons, the file chooser, the context menus of text fields.
#pragma once

#include <QString>
#include <QTranslator>
#include <memory>

namespace noxplz::qt {

// The German translation of Qt's own texts from `directory` (empty: Qt's
// translations folder), or nullptr when it is not there.
std::unique_ptr<QTranslator> load_german_qt_translator(const QString& directory = {});

// Installs that translation into the running application, once per
// application. Returns whether it is installed. Without it the component's
// own dialog texts are German all the same; only Qt's built-in texts stay English.
bool install_german_qt_translations();

}  // namespace noxplz::qt
