#include "host_window.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "noxplz/error.h"
#include "noxplz/schema.h"

namespace noxplz::gui {
namespace {

QString q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string s(const QString& q) { return q.toUtf8().toStdString(); }

}  // namespace

HostWindow::HostWindow(std::string path, ConnectionPtr connection)
    : path_(std::move(path)), connection_(std::move(connection)) {
  setWindowTitle(QStringLiteral("NoxPlz – Adressen prüfen"));

  auto* address = new QGroupBox(QStringLiteral("Adresse"));
  auto* form = new QFormLayout(address);
  plz = new QLineEdit;
  ort = new QLineEdit;
  strasse = new QLineEdit;
  nr = new QLineEdit;
  plz->setMaxLength(5);
  form->addRow(QStringLiteral("&Plz:"), plz);
  form->addRow(QStringLiteral("&Ort:"), ort);
  form->addRow(QStringLiteral("St&raße:"), strasse);
  form->addRow(QStringLiteral("&Nr:"), nr);

  search_button = new QPushButton(QStringLiteral("&Suchdialog…"));
  check_button = new QPushButton(QStringLiteral("Prü&fen"));
  import_button = new QPushButton(QStringLiteral("&Import…"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(search_button);
  buttons->addWidget(check_button);
  buttons->addStretch();
  buttons->addWidget(import_button);

  auto* result = new QGroupBox(QStringLiteral("Ergebnis"));
  auto* grid = new QFormLayout(result);
  for (QLabel** l : {&r_plz, &r_ort, &r_strasse, &r_nr, &r_geprueft}) {
    *l = new QLabel(QStringLiteral("–"));
    (*l)->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  grid->addRow(QStringLiteral("Plz:"), r_plz);
  grid->addRow(QStringLiteral("Ort:"), r_ort);
  grid->addRow(QStringLiteral("Straße:"), r_strasse);
  grid->addRow(QStringLiteral("Hausnummer:"), r_nr);
  grid->addRow(QStringLiteral("Geprueft:"), r_geprueft);

  status = new QLabel;
  status->setWordWrap(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(address);
  layout->addLayout(buttons);
  layout->addWidget(result);
  layout->addWidget(status);
  resize(460, 0);

  connect(search_button, &QPushButton::clicked, this, [this] { search_dialog(); });
  connect(check_button, &QPushButton::clicked, this, [this] { check_address(); });
  connect(import_button, &QPushButton::clicked, this, [this] { import_file(); });
  show_database();
}

// Every call starts a session: the search dialog ends the one it ran in.
bool HostWindow::init() {
  if (manager_.Init(nullptr, sqlite_connection_string(path_), connection_)) return true;
  status->setText(QStringLiteral("Die Datenbank %1 kann nicht benutzt werden.").arg(q(path_)));
  return false;
}

void HostWindow::search_dialog() {
  if (!init()) return;
  std::string p = s(plz->text()), o = s(ort->text()), st = s(strasse->text()), n = s(nr->text());
  manager_.PlzSuchenDialog(p, o, st, n);
  const int32_t geprueft = manager_.Geprueft();
  if (geprueft == -1) {  // "Übernehmen": the dialog's texts become the address
    plz->setText(q(p));
    ort->setText(q(o));
    strasse->setText(q(st));
    nr->setText(q(n));
  }
  show_result(p, o, st, n, geprueft);
  status->setText(geprueft == -1 ? QStringLiteral("Suchdialog: übernommen.")
                                 : QStringLiteral("Suchdialog: abgebrochen."));
}

void HostWindow::check_address() {
  if (!init()) return;
  std::string p = s(plz->text()), o = s(ort->text()), st = s(strasse->text());
  manager_.Suche_Plz_Original(p, o, st, s(nr->text()), true);
  show_result(manager_.Plz(), manager_.Ort(), manager_.Strasse(), manager_.Hausnummer(), manager_.Geprueft());
  status->setText(manager_.Geprueft() == -1 ? QStringLiteral("Die Adresse ist geprüft.")
                                            : QStringLiteral("Die Adresse ist nicht geprüft."));
}

void HostWindow::import_file() {
  if (!init()) return;
  manager_.PlzImportieren();
  show_database();
}

void HostWindow::show_result(const std::string& p, const std::string& o, const std::string& st,
                             const std::string& n, int32_t geprueft) {
  r_plz->setText(q(p));
  r_ort->setText(q(o));
  r_strasse->setText(q(st));
  r_nr->setText(q(n));
  r_geprueft->setText(geprueft == -1 ? QStringLiteral("-1 (ja)") : QStringLiteral("%1 (nein)").arg(geprueft));
}

void HostWindow::show_database() {
  QString text = QStringLiteral("Datenbank: %1").arg(q(path_));
  try {
    auto rs = connection_->Execute("SELECT COUNT(*) AS Anzahl FROM ORT_DA");
    const int32_t orte = rs->Eof() ? 0 : rs->Field("Anzahl").as_long();
    rs->Close();
    text += orte > 0 ? QStringLiteral(" – %1 Orte").arg(orte)
                     : QStringLiteral(" – noch keine Postdaten: bitte zuerst „Import…“");
  } catch (const std::exception& e) {
    text += QStringLiteral(" – %1").arg(q(format_error_number(to_error(e))));
  }
  status->setText(text);
}

}  // namespace noxplz::gui
