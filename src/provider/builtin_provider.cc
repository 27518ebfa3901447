#include "provider/builtin_provider.h"

#include <algorithm>
#include <vector>

#include "lookup/db_access.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/error.h"
#include "platform/search/default_provider.h"
#include "platform/text.h"
#include "provider/address_check.h"

namespace noxplz {
namespace {

using lookup::run;

using text::trim;


std::string field(const std::vector<std::string>& f, size_t i) { return i < f.size() ? f[i] : std::string(); }

// A text placed into an answer: a "|" in it would shift the answer's fields.
std::string answer_text(std::string_view s) { return text::replace_all(s, "|", "/"); }

std::string with_reason(const std::string& head, const Reason& grund) {
  return head + "|" + answer_text(grund.code) + "|" + answer_text(grund.hinweis);
}

// --- Suche_Ort ---

std::string suche_ort(const std::vector<std::string>& request) {
  const std::string plz = trim(field(request, 0));
  const std::string ort = trim(field(request, 1));
  std::vector<std::string> names;  // the postal code's place names, trimmed, in table order
  if (!plz.empty()) {
    RecordsetPtr rs = run("SELECT Oname, ALORT FROM Plz_DA WHERE Plz = '" + sql_quote(plz) + "' ORDER BY OName, ALORT");
    for (; !rs->Eof(); rs->MoveNext()) {
      std::string name = trim(rs->Field("Oname").as_text());
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    rs->Close();
  }

  std::string place;
  bool verified = false;
  Reason grund;
  if (!ort.empty()) {
    auto hit = std::find_if(names.begin(), names.end(), [&](const std::string& n) { return text::equals_ci(n, ort); });
    if (hit != names.end()) {
      place = *hit;
      verified = true;
      grund = {"bestaetigt", "Der Ort " + place + " gehört zur Postleitzahl " + plz + "."};
    }
  }
  if (place.empty() && !names.empty()) {
    place = names.front();
    verified = names.size() == 1;
    if (names.size() > 1)
      grund = {"ort_mehrdeutig", "Zur Postleitzahl " + plz + " gehören mehrere Orte, darunter " + place + "."};
    else if (ort.empty())
      grund = {"bestaetigt", "Zur Postleitzahl " + plz + " gehört " + place + "."};
    else
      grund = {"plz_passt_nicht_zum_ort", "Zur Postleitzahl " + plz + " gehört " + place + ", nicht " + ort + "."};
  }
  if (names.empty())
    grund = plz.empty() ? Reason{"eingabe_fehlt", "Geben Sie eine Postleitzahl an."}
                        : Reason{"plz_unbekannt", "Zur Postleitzahl " + plz + " ist kein Ort verzeichnet."};
  return with_reason(field(request, 0) + "|" + answer_text(place) + "||" + (verified ? "1" : "0") + "|" +
                         answer_text(place),
                     grund);
}

// --- Suche_Plz ---

std::string suche_plz(const std::vector<std::string>& request) {
  const AddressCheck c = check_address({field(request, 0), field(request, 1), field(request, 2), field(request, 3)});
  std::string head;
  if (c.outcome == CheckOutcome::Verified || c.outcome == CheckOutcome::Corrected) {
    // The right address in the table's spelling; "1" only when it confirms the input.
    head = answer_text(c.plz) + "|" + answer_text(c.ort) + "|" + answer_text(c.strasse) + "|" +
           answer_text(c.hausnummer) + "|" + (c.outcome == CheckOutcome::Verified ? "1" : "0");
  } else {
    head = field(request, 0) + "|" + field(request, 1) + "|" + field(request, 2) + "|" + field(request, 3) + "|0";
  }
  return with_reason(head, c.grund);
}

}  // namespace

// Method names are matched without regard to case, as a late-bound call does.
std::string BuiltinSearchProvider::Call(std::string_view method, std::string& request) {
  std::vector<std::string> fields = text::split(request, '|');
  if (text::equals_ci(method, "Suche_Ort")) return suche_ort(fields);
  if (text::equals_ci(method, "Suche_Plz")) return suche_plz(fields);
  throw Error(438, "Objekt unterstützt diese Eigenschaft oder Methode nicht");
}

SearchProviderFactory builtin_search_provider_factory() {
  return [] { return std::make_shared<BuiltinSearchProvider>(); };
}

SearchProviderFactory default_search_provider_factory() { return builtin_search_provider_factory(); }

void register_builtin_search_provider() {
  register_search_provider(kSearchProviderClassId, builtin_search_provider_factory());
}

}  // namespace noxplz
