// Typo tolerance for places and streets: where the exact search finds
// nothing, the names of the postal tables that a user most likely meant.
// Names compare in their folded form (fuzzy/folding.h): "Müchen" finds
// München, "Kurfürstendam" Kurfürstendamm, "Karl Marx Str" Karl-Marx-Straße.
//
// Only the command line, the list check and the public lookups use this; the
// searches and dialogs of the component keep their exact behaviour.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace noxplz {

struct SimilarPlace {
  std::string name;      // ONAME, trimmed
  std::string addition;  // OZUSATZ, trimmed
  std::string alort;     // place key, trimmed
  int distance = 0;      // edits between the folded names; 0: same folded name
};

struct SimilarStreet {
  std::string name;  // Name46, trimmed, the table's spelling
  int distance = 0;
};

// Holds the names it read from the postal tables, so a list of many addresses
// reads each place's streets once. Safe to share between threads; every
// thread reads through its own session's connection.
class SimilarNames {
 public:
  SimilarNames();
  ~SimilarNames();

  // Current places whose folded name lies within the tolerance of `name`,
  // nearest first (then by name); at most `limit`. With `plz`, only the
  // places of that postal code count. Several entries may share a name
  // (places of the same name in different regions).
  std::vector<SimilarPlace> places(std::string_view name, std::string_view plz = {}, size_t limit = 10);
  // Street names of a place within the tolerance of `street`, nearest first.
  std::vector<SimilarStreet> streets(std::string_view alort, std::string_view street, size_t limit = 10);

 private:
  struct Data;
  std::unique_ptr<Data> data_;
};

// The same on the calling thread's session, reading the tables afresh.
std::vector<SimilarPlace> similar_places(std::string_view name, std::string_view plz = {}, size_t limit = 10);
std::vector<SimilarStreet> similar_streets(std::string_view alort, std::string_view street, size_t limit = 10);

}  // namespace noxplz
