// Folded text for typo-tolerant comparison of place and street names: what a
// user may write differently without meaning another name compares equal.
#pragma once

#include <string>
#include <string_view>

namespace noxplz::fuzzy {

// Lower case; ä ö ü as ae oe ue, ß as ss; accented Latin letters (é, à, ç, …)
// as their base letter. Other characters stay as they are.
std::string fold_letters(std::string_view text);

// The comparison form of a name: fold_letters, then "strasse" (so also
// "Straße") as "str", and everything but letters and digits dropped, so
// "Karl Marx Str", "Karl-Marx-Str." and "Karl-Marx-Straße" all fold to
// "karlmarxstr".
std::string fold_name(std::string_view name);

// Edit distance between two folded names (insertions, deletions,
// substitutions and swaps of neighbours each cost 1), or `limit` + 1 as soon
// as it exceeds `limit`.
int edit_distance(std::string_view a, std::string_view b, int limit);

// How many edits a folded name of this length may carry and still be taken
// for a known name: none up to 3 characters, then 1 up to 6, 2 up to 12, 3.
int tolerance(size_t folded_length);

}  // namespace noxplz::fuzzy
