// Pure address-text helpers: the street/house-number splitter, the
// street-name normalisation and the house-number comparison.
#include "lookup/global.h"
#include "platform/text.h"

namespace noxplz {

void split_house_number(std::string& strasse, std::string& hausnummer) {
  strasse = text::trim(strasse);
  if (strasse.empty()) return;
  const std::string street = strasse;
  const std::string former_number = text::trim(hausnummer);

  // Only the second half of the text is searched, so digits early in a name
  // ("A 5 Nord 7") stay part of the street.
  size_t length = text::length(street);
  size_t half = length / 2;
  if (half > 0) {
    std::string tail = text::trim(text::mid(street, half));
    size_t digit = tail.find_first_of("0123456789");
    if (digit != std::string::npos) {
      std::string number = text::trim(std::string_view(tail).substr(digit));
      strasse = text::trim(text::left(street, length - text::length(number)));
      hausnummer = number;
      return;
    }
  }
  strasse = street;
  hausnummer = former_number;
}

std::string normalize_street_name(std::string_view strasse) { return text::normalize_street_name(strasse); }

int compare_house_numbers(std::string_view a, std::string_view b, bool& ok) {
  auto na = text::leading_number(a);
  auto nb = text::leading_number(b);
  if (!na || !nb) {
    ok = false;
    return 0;
  }
  ok = true;
  int c = text::compare_digit_strings(na->digits, nb->digits);
  if (c != 0) return c;
  std::string rest_a = text::lower(text::trim(a.substr(na->end)));
  std::string rest_b = text::lower(text::trim(b.substr(nb->end)));
  int r = rest_a.compare(rest_b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace noxplz
