// Lists the lookups made, kept per session for as long as the connection's
// data stamp stays the same (Connection::DataStamp): the lists of all streets
// of the last places, and the place lists of the last name prefixes. A
// backend that cannot tell whether the data changed keeps nothing.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "noxplz/db.h"
#include "noxplz/ui.h"
#include "noxplz/variant.h"

namespace noxplz {

// Texts of one column as the database returned them (untrimmed), one after
// another; null values included.
class RawTexts {
 public:
  void Add(const Variant& v);
  size_t size() const { return null_.size(); }
  bool is_null(size_t i) const { return null_[i]; }
  std::string_view at(size_t i) const {
    const uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(chars_).substr(begin, ends_[i] - begin);
  }

 private:
  std::string chars_;
  std::vector<uint32_t> ends_;
  std::vector<bool> null_;
};

// Every place in the order of the place lists (OName, OZusatz, ALORT), each
// with the cells Ermittle_Orte writes for it: the place lists of all names
// are narrowed from it with the database's own LIKE.
struct PlaceDirectory {
  struct Place {
    Variant oname, ozusatz;  // trimmed (null stays null)
    std::string alort, plz;  // the key as read, the first postal code trimmed
    bool replaced = false;   // has a successor (ALORT_Neu): in no list
  };
  std::vector<Place> places;
  RawTexts onames;  // OName as the database holds it, place by place
};

// What a session keeps of the lists it read, under the data stamp rule.
struct KeptLists {
  struct Entry {
    std::string key;
    std::shared_ptr<const VariantTable> table;
    std::shared_ptr<const std::vector<std::string>> lines;  // a place list's lines, once a dialog made them
    std::shared_ptr<const ListLines> street_lines;           // a street list's lines, once a dialog showed them
    bool narrowable = false;  // a list of all streets that typed names may narrow (see street_lookup.cc)
    // The last name it was narrowed for, and the rows that matched: the next
    // letter typed narrows those rows only.
    std::string narrowed_for;
    std::vector<int32_t> narrowed_rows;
  };
  std::optional<DataStamp> stamp;
  std::list<Entry> entries;       // all streets of a place | district display; most recent first
  std::list<Entry> place_lists;   // Ermittle_Orte by the name as given; most recent first
  std::shared_ptr<const PlaceDirectory> places;  // once read since the last change
  bool places_unreadable = false;               // the directory could not be read: not tried again
};

namespace lookup {

// The session's kept lists, emptied when the data changed; nullptr when
// nothing may be kept.
KeptLists* kept_lists();

// Copies the kept table of `key` into `tabelle` and makes it the most recent;
// false when none is kept.
bool take_kept(std::list<KeptLists::Entry>& lists, const std::string& key, VariantTable& tabelle);

// Keeps a copy of `tabelle` under `key`, at most `limit` lists.
void keep(std::list<KeptLists::Entry>& lists, const std::string& key, const VariantTable& tabelle,
          size_t limit, bool narrowable = false);

// The session's place directory, read on first use; nullptr when it cannot
// be read (the caller then asks the database as always).
const PlaceDirectory* place_directory(KeptLists& cache);

// The current places `OName like 'name%'` of the session's place directory,
// in list order; nullopt when nothing may be kept, the backend offers no
// LIKE test or the directory cannot be read.
std::optional<std::vector<const PlaceDirectory::Place*>> places_named_like(const std::string& name);

// The database's LIKE test for `pattern` on the thread's connection (empty
// when the backend offers none).
DbBackend::LikeTest like_test(const std::string& pattern);

// The kept list that `tabelle` is an unchanged copy of, or nullptr.
KeptLists::Entry* kept_entry_of(std::list<KeptLists::Entry>& lists, const VariantTable& tabelle);

}  // namespace lookup
}  // namespace noxplz
