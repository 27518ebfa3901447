// noxplz-gui: a small host application for NoxPlz. It opens (or creates) an
// embedded postal database and offers what a business application would: an
// address with Plz, Ort, Straße and Nr, the search dialog, the check of the
// address with its questions, and the import of a Datafactory file.
//
//   noxplz-gui [DATENBANK]      (default: noxplz.db in the current directory)
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <memory>
#include <string>

#include "host_window.h"
#include "noxplz/error.h"
#include "noxplz/qt_toolkit.h"
#include "noxplz/schema.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("noxplz-gui"));
  const QStringList args = QApplication::arguments();
  if (args.size() > 2 || (args.size() == 2 && (args[1] == "--help" || args[1] == "-h"))) {
    std::printf("Aufruf: noxplz-gui [DATENBANK]\n"
                "Öffnet die eingebettete Postdatenbank DATENBANK (Vorgabe: noxplz.db);\n"
                "eine neue Datei wird mit den Posttabellen angelegt.\n");
    return args.size() > 2 ? 2 : 0;
  }
  const std::string path = args.size() == 2 ? args[1].toUtf8().toStdString() : std::string("noxplz.db");

  noxplz::ConnectionPtr connection;
  try {
    connection = noxplz::create_postal_database(path);
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("NoxPlz"),
                          QStringLiteral("Die Datenbank %1 kann nicht geöffnet werden.\n%2")
                              .arg(args.size() == 2 ? args[1] : QStringLiteral("noxplz.db"),
                                   QString::fromStdString(noxplz::format_error_number(noxplz::to_error(e)))));
    return 1;
  }

  noxplz::gui::HostWindow window(path, connection);
  auto toolkit = std::make_shared<noxplz::QtToolkit>();
  toolkit->host_window = &window;
  noxplz::ScopedToolkit use(toolkit);
  window.show();
  return app.exec();
}
