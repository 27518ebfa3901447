// noxplz-gui: a small host application for NoxPlz. It opens (or creates) an
// embedded postal database and offers what a business application would: an
// address with Plz, Ort, Straße and Nr, the search dialog, the check of the
// address with its questions, and the import of a Datafactory file.
//
// It uses the library exactly as a host does: the public headers, one
// clsPlzManager, Init before every call (the search dialog ends the session),
// and the Qt toolkit installed for the dialogs.
//
//   noxplz-gui [DATENBANK]      (default: noxplz.db in the current directory)
#include <QApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "noxplz/db.h"
#include "noxplz/error.h"
#include "noxplz/plz_manager.h"
#include "noxplz/qt_toolkit.h"
#include "noxplz/schema.h"

namespace {

using noxplz::clsPlzManager;

QString q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string s(const QString& q) { return q.toUtf8().toStdString(); }

class HostWindow : public QWidget {
 public:
  HostWindow(std::string path, noxplz::ConnectionPtr connection)
      : path_(std::move(path)), connection_(std::move(connection)) {
    setWindowTitle(QStringLiteral("NoxPlz – Adressen prüfen"));

    auto* address = new QGroupBox(QStringLiteral("Adresse"));
    auto* form = new QFormLayout(address);
    plz_ = new QLineEdit;
    ort_ = new QLineEdit;
    strasse_ = new QLineEdit;
    nr_ = new QLineEdit;
    plz_->setMaxLength(5);
    form->addRow(QStringLiteral("&Plz:"), plz_);
    form->addRow(QStringLiteral("&Ort:"), ort_);
    form->addRow(QStringLiteral("St&raße:"), strasse_);
    form->addRow(QStringLiteral("&Nr:"), nr_);

    auto* search = new QPushButton(QStringLiteral("&Suchdialog…"));
    auto* check = new QPushButton(QStringLiteral("Prü&fen"));
    auto* import = new QPushButton(QStringLiteral("&Import…"));
    search->setObjectName("suchdialog");
    check->setObjectName("pruefen");
    import->setObjectName("import");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(search);
    buttons->addWidget(check);
    buttons->addStretch();
    buttons->addWidget(import);

    auto* result = new QGroupBox(QStringLiteral("Ergebnis"));
    auto* grid = new QFormLayout(result);
    for (QLabel** l : {&r_plz_, &r_ort_, &r_strasse_, &r_nr_, &r_geprueft_}) {
      *l = new QLabel(QStringLiteral("–"));
      (*l)->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    grid->addRow(QStringLiteral("Plz:"), r_plz_);
    grid->addRow(QStringLiteral("Ort:"), r_ort_);
    grid->addRow(QStringLiteral("Straße:"), r_strasse_);
    grid->addRow(QStringLiteral("Hausnummer:"), r_nr_);
    grid->addRow(QStringLiteral("Geprueft:"), r_geprueft_);

    status_ = new QLabel;
    status_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(address);
    layout->addLayout(buttons);
    layout->addWidget(result);
    layout->addWidget(status_);
    resize(460, 0);

    connect(search, &QPushButton::clicked, this, [this] { search_dialog(); });
    connect(check, &QPushButton::clicked, this, [this] { check_address(); });
    connect(import, &QPushButton::clicked, this, [this] { import_file(); });
    show_database();
  }

 private:
  // Every call starts a session: the search dialog ends the one it ran in.
  bool init() {
    if (manager_.Init(nullptr, noxplz::sqlite_connection_string(path_), connection_)) return true;
    status_->setText(QStringLiteral("Die Datenbank %1 kann nicht benutzt werden.").arg(q(path_)));
    return false;
  }

  void search_dialog() {
    if (!init()) return;
    std::string plz = s(plz_->text()), ort = s(ort_->text()), strasse = s(strasse_->text()), nr = s(nr_->text());
    manager_.PlzSuchenDialog(plz, ort, strasse, nr);
    const int32_t geprueft = manager_.Geprueft();
    if (geprueft == -1) {  // "Übernehmen": the dialog's texts become the address
      plz_->setText(q(plz));
      ort_->setText(q(ort));
      strasse_->setText(q(strasse));
      nr_->setText(q(nr));
    }
    show_result(plz, ort, strasse, nr, geprueft);
    status_->setText(geprueft == -1 ? QStringLiteral("Suchdialog: übernommen.") : QStringLiteral("Suchdialog: abgebrochen."));
  }

  void check_address() {
    if (!init()) return;
    std::string plz = s(plz_->text()), ort = s(ort_->text()), strasse = s(strasse_->text());
    manager_.Suche_Plz_Original(plz, ort, strasse, s(nr_->text()), true);
    show_result(manager_.Plz(), manager_.Ort(), manager_.Strasse(), manager_.Hausnummer(), manager_.Geprueft());
    status_->setText(manager_.Geprueft() == -1 ? QStringLiteral("Die Adresse ist geprüft.")
                                               : QStringLiteral("Die Adresse ist nicht geprüft."));
  }

  void import_file() {
    if (!init()) return;
    manager_.PlzImportieren();
    show_database();
  }

  void show_result(const std::string& plz, const std::string& ort, const std::string& strasse,
                   const std::string& nr, int32_t geprueft) {
    r_plz_->setText(q(plz));
    r_ort_->setText(q(ort));
    r_strasse_->setText(q(strasse));
    r_nr_->setText(q(nr));
    r_geprueft_->setText(geprueft == -1 ? QStringLiteral("-1 (ja)") : QStringLiteral("%1 (nein)").arg(geprueft));
  }

  void show_database() {
    QString text = QStringLiteral("Datenbank: %1").arg(q(path_));
    try {
      auto rs = connection_->Execute("SELECT COUNT(*) AS Anzahl FROM ORT_DA");
      const int32_t orte = rs->Eof() ? 0 : rs->Field("Anzahl").as_long();
      rs->Close();
      text += orte > 0 ? QStringLiteral(" – %1 Orte").arg(orte)
                       : QStringLiteral(" – noch keine Postdaten: bitte zuerst „Import…“");
    } catch (const noxplz::Error& e) {
      text += QStringLiteral(" – %1").arg(q(noxplz::format_error_number(e)));
    }
    status_->setText(text);
  }

  std::string path_;
  noxplz::ConnectionPtr connection_;
  clsPlzManager manager_;
  QLineEdit *plz_, *ort_, *strasse_, *nr_;
  QLabel *r_plz_, *r_ort_, *r_strasse_, *r_nr_, *r_geprueft_, *status_;
};

}  // namespace

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
  const std::string path = args.size() == 2 ? s(args[1]) : std::string("noxplz.db");

  noxplz::ConnectionPtr connection;
  try {
    connection = noxplz::create_postal_database(path);
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("NoxPlz"),
                          QStringLiteral("Die Datenbank %1 kann nicht geöffnet werden.\n%2")
                              .arg(q(path), q(noxplz::format_error_number(noxplz::to_error(e)))));
    return 1;
  }

  HostWindow window(path, connection);
  auto toolkit = std::make_shared<noxplz::QtToolkit>();
  toolkit->host_window = &window;
  noxplz::ScopedToolkit use(toolkit);
  window.show();
  return app.exec();
}
