// check_address of noxplz/lookup.h: the provider's address check on the
// connection the host hands in, its answer in the public result types.
#include <memory>
#include <utility>

#include "noxplz/lookup.h"
#include "provider/address_check.h"

namespace noxplz {
namespace {

AddressVerdict verdict_of(CheckOutcome outcome) {
  switch (outcome) {
    case CheckOutcome::Verified: return AddressVerdict::verified;
    case CheckOutcome::Corrected: return AddressVerdict::corrected;
    case CheckOutcome::Ambiguous: return AddressVerdict::ambiguous;
    case CheckOutcome::Unknown: break;
  }
  return AddressVerdict::unknown;
}

HouseNumbers house_numbers_of(const std::string& type) {
  if (type == "G") return HouseNumbers::even;
  if (type == "U") return HouseNumbers::odd;
  return HouseNumbers::all;
}

// The calling thread's store for the public checks, apart from the session's
// (so a host's own searches on this thread keep theirs).
std::shared_ptr<AddressCheckCache>& thread_cache() {
  thread_local std::shared_ptr<AddressCheckCache> cache;
  return cache;
}

}  // namespace

AddressCheckResult check_address(Connection& connection, const PostalAddress& address) {
  AddressCheck c = check_address(connection, thread_cache(),
                                 AddressInput{address.plz, address.place, address.street, address.house_number});
  AddressCheckResult r;
  r.verdict = verdict_of(c.outcome);
  r.reason = std::move(c.grund);
  r.address = {std::move(c.plz), std::move(c.ort), std::move(c.strasse), std::move(c.hausnummer)};
  r.candidates.reserve(c.kandidaten.size());
  for (AddressCandidate& k : c.kandidaten)
    r.candidates.push_back({std::move(k.plz), std::move(k.ort), std::move(k.zusatz), std::move(k.strasse),
                            std::move(k.ortsteil), std::move(k.hnr_von), std::move(k.hnr_bis),
                            house_numbers_of(k.hnr_typ)});
  return r;
}

std::string_view verdict_name(AddressVerdict verdict) {
  switch (verdict) {
    case AddressVerdict::verified: return outcome_name(CheckOutcome::Verified);
    case AddressVerdict::corrected: return outcome_name(CheckOutcome::Corrected);
    case AddressVerdict::ambiguous: return outcome_name(CheckOutcome::Ambiguous);
    case AddressVerdict::unknown: break;
  }
  return outcome_name(CheckOutcome::Unknown);
}

}  // namespace noxplz
