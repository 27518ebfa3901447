// Qt's own texts in German: the standard buttons and the file chooser that
// Qt draws itself. The component's own texts need no translation file.
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

#include "noxplz/qt_toolkit.h"
#include "platform/ui/qt/qt_translations.h"
#include "qt_test_support.h"

namespace noxplz {
namespace {

TEST(QtToolkitGerman, QtTranslationLoadsFromQtsFolderOnly) {
  std::unique_ptr<QTranslator> translator = qt::load_german_qt_translator();
  ASSERT_NE(translator, nullptr) << "qtbase_de.qm fehlt (Debian-Paket qt6-translations-l10n)";
  EXPECT_EQ(translator->translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
  EXPECT_EQ(qt::load_german_qt_translator(QStringLiteral("/gibt/es/nicht")), nullptr);
}

TEST(QtToolkitGerman, FileChooserAndStandardButtonsAreGerman) {
  QtToolkit toolkit;
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
  // Installed once per application, however many toolkits there are.
  const int before = QCoreApplication::instance()->findChildren<QTranslator*>().size();
  { QtToolkit second; }
  EXPECT_EQ(QCoreApplication::instance()->findChildren<QTranslator*>().size(), before);

  QStringList buttons;
  QString look_in;
  qt_testing::when_shown<QFileDialog>([&](QFileDialog* d) {
    for (QDialogButtonBox* box : d->findChildren<QDialogButtonBox*>())
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
    if (auto* label = d->findChild<QLabel*>(QStringLiteral("lookInLabel"))) look_in = label->text();
    d->reject();
  });
  FileDialogRequest request;
  request.title = "Datafactory-Datei auswählen";
  EXPECT_FALSE(toolkit.OpenFile(request).has_value());
  EXPECT_TRUE(buttons.contains(QStringLiteral("Ö&ffnen")) || buttons.contains(QStringLiteral("&Öffnen")))
      << buttons.join(QStringLiteral(", ")).toStdString();
  EXPECT_TRUE(buttons.contains(QStringLiteral("Abbrechen"))) << buttons.join(QStringLiteral(", ")).toStdString();
  EXPECT_EQ(look_in, QStringLiteral("Suchen in:"));
}

}  // namespace
}  // namespace noxplz
