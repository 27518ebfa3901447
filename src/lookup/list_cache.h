// Lists the lookups made, kept per session for as long as the connection's
// data stamp stays the same (Connection::DataStamp): the lists of all streets
// of the last places, and the place lists of the last name prefixes. A
// backend that cannot tell whether the data changed keeps nothing.
#pragma once

#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "noxplz/db.h"
#include "noxplz/variant.h"

namespace noxplz {

struct StreetListCache {
  struct Entry {
    std::string key;
    std::shared_ptr<const VariantTable> table;
    std::shared_ptr<const std::vector<std::string>> lines;  // the list's lines, once a dialog made them
  };
  std::optional<DataStamp> stamp;
  std::list<Entry> entries;       // all streets of a place | district display; most recent first
  std::list<Entry> place_lists;   // Ermittle_Orte by the name as given; most recent first
};

namespace lookup {

// The session's kept lists, emptied when the data changed; nullptr when
// nothing may be kept.
StreetListCache* kept_lists();

// Copies the kept table of `key` into `tabelle` and makes it the most recent;
// false when none is kept.
bool take_kept(std::list<StreetListCache::Entry>& lists, const std::string& key, VariantTable& tabelle);

// Keeps a copy of `tabelle` under `key`, at most `limit` lists.
void keep(std::list<StreetListCache::Entry>& lists, const std::string& key, const VariantTable& tabelle,
          size_t limit);

// The kept list that `tabelle` is an unchanged copy of, or nullptr.
StreetListCache::Entry* kept_entry_of(std::list<StreetListCache::Entry>& lists, const VariantTable& tabelle);

}  // namespace lookup
}  // namespace noxplz
