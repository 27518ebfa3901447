// clsPlzManager: session start (Init, GetConnection), the reset that ends a
// session, and the address properties.
#include "noxplz/plz_manager.h"

#include "manager/session.h"
#include "noxplz/error.h"
#include "noxplz/ui.h"

namespace noxplz {

clsPlzManager::~clsPlzManager() {
  // A static or thread-local manager may end after its thread's session; that
  // session has already released everything.
  if (!session_ended()) Reset();
}

bool clsPlzManager::Init(std::shared_ptr<void> appObj, std::string_view connectionstring,
                         ConnectionPtr connection, bool pMitOrtteiAnzeige) {
  bool result = false;
  try {
    Reset();
    Session& s = session();
    s.MitOrtteiAnzeige = pMitOrtteiAnzeige;
    s.appObj = std::move(appObj);
    s.connection = std::move(connection);
    s.connectionstring = std::string(connectionstring);
    if (!s.connection) {
      s.connection = GetConnection();
      // A connection of our own that could not be opened is no success: the
      // host learns it here instead of at its first lookup.
      if (!s.connection || s.connection->State() != Connection::kStateOpen) return false;
    }
    result = true;
  } catch (const std::exception&) {
    msg_box("Fehler bei clsPlzManager_Init");
  }
  return result;
}

ConnectionPtr clsPlzManager::GetConnection() {
  ConnectionPtr connection;
  try {
    connection = std::make_shared<Connection>();
    connection->ConnectionString(session().connectionstring);
    connection->CursorLocation(Connection::kAdUseClient);
    connection->Open("", "", "", -1);
  } catch (const std::exception&) {
    msg_box("Fehler bei GetConnection");
  }
  return connection;
}

void clsPlzManager::Reset() {
  // Every step runs, whatever the one before did; nothing here can fail but
  // the release of a connection, whose destructor does not throw.
  Session& s = session();
  for (std::string* t : {&s.Such_Plz, &s.Such_Postfach, &s.Such_Strasse, &s.Such_Hausnummer, &s.Such_Ort,
                         &s.Such_OrtsTeil, &s.Such_Gemeinde, &s.Such_GrossEmpfaenge, &s.Plz, &s.Postfach,
                         &s.Strasse, &s.Hausnummer, &s.Ort, &s.OrtsTeil, &s.Gemeinde, &s.GrossEmpfaenge})
    t->clear();
  s.Geprueft = 0;
  s.Grund = Reason{};
  s.connectionstring.clear();
  s.OrtTabelle.reset();
  s.StrTabelle.reset();
  // What was kept of the connection's data goes with it.
  s.check_cache.reset();
  s.kept_lists.reset();
  s.connection.reset();
}

// --- properties: plain reads and writes of the shared state ---

#define NOXPLZ_TEXT_PROPERTY(name)                                              \
  std::string clsPlzManager::name() const { return session().name; }          \
  void clsPlzManager::name(std::string_view value) { session().name = std::string(value); }

NOXPLZ_TEXT_PROPERTY(Such_Plz)
NOXPLZ_TEXT_PROPERTY(Such_Postfach)
NOXPLZ_TEXT_PROPERTY(Such_Strasse)
NOXPLZ_TEXT_PROPERTY(Such_Hausnummer)
NOXPLZ_TEXT_PROPERTY(Such_Ort)
NOXPLZ_TEXT_PROPERTY(Such_OrtsTeil)
NOXPLZ_TEXT_PROPERTY(Such_Gemeinde)
NOXPLZ_TEXT_PROPERTY(Such_GrossEmpfaenge)
NOXPLZ_TEXT_PROPERTY(Plz)
NOXPLZ_TEXT_PROPERTY(Postfach)
NOXPLZ_TEXT_PROPERTY(Strasse)
NOXPLZ_TEXT_PROPERTY(Hausnummer)
NOXPLZ_TEXT_PROPERTY(Ort)
NOXPLZ_TEXT_PROPERTY(OrtsTeil)
NOXPLZ_TEXT_PROPERTY(Gemeinde)
NOXPLZ_TEXT_PROPERTY(GrossEmpfaenge)
#undef NOXPLZ_TEXT_PROPERTY

int32_t clsPlzManager::Geprueft() const { return session().Geprueft; }
Reason clsPlzManager::Grund() const { return session().Grund; }
void clsPlzManager::Geprueft(int32_t value) { session().Geprueft = value; }

std::string clsPlzManager::OkMeldungUnterdrucken() const {
  return session().OkMeldungUnterdrucken ? "True" : "False";
}

void clsPlzManager::OkMeldungUnterdrucken(std::string_view value) {
  session().OkMeldungUnterdrucken = text_to_bool(value);  // raises 13 before storing
}

bool clsPlzManager::MitOrtteiAnzeige() const { return session().MitOrtteiAnzeige; }
void clsPlzManager::MitOrtteiAnzeige(bool value) { session().MitOrtteiAnzeige = value; }

}  // namespace noxplz
