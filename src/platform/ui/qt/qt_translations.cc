#include "platform/ui/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace noxplz::qt {

namespace {
// Marks an application whose German translator is in place.
constexpr char kInstalledProperty[] = "noxplz_qt_translation_de";
}  // namespace

std::unique_ptr<QTranslator> load_german_qt_translator(const QString& directory) {
  const QString dir = directory.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : directory;
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                        dir))
    return nullptr;
  return translator;
}

bool install_german_qt_translations() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  if (app->property(kInstalledProperty).toBool()) return true;
  std::unique_ptr<QTranslator> translator = load_german_qt_translator();
  if (!translator) return false;
  translator->setParent(app);  // lives as long as the application
  QCoreApplication::installTranslator(translator.release());
  app->setProperty(kInstalledProperty, true);
  return true;
}

}  // namespace noxplz::qt
