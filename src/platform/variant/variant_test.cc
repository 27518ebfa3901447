#include "noxplz/variant.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "noxplz/error.h"
#include "testing/error_matchers.h"

namespace noxplz {
namespace {

using noxplz::testing::RaisesError;

TEST(VariantTest, TextFormsAndConversions) {
  EXPECT_TRUE(Variant().is_empty());
  EXPECT_TRUE(Variant::Null().is_null());
  EXPECT_EQ(Variant().as_text(), "");
  EXPECT_EQ(Variant::Null().as_text(), "");
  EXPECT_EQ(Variant(int32_t{-42}).as_text(), "-42");
  EXPECT_EQ(Variant(true).as_text(), "True");
  EXPECT_EQ(Variant(" 7 ").as_long(), 7);
  EXPECT_THAT([] { Variant("12a").as_long(); }, RaisesError(err::kTypeMismatch));
  EXPECT_THAT([] { Variant("99999999999").as_long(); }, RaisesError(err::kOverflow));
  // Words that the number parser would read as NaN or infinity are no numbers.
  for (const char* no_number : {"nan", "inf", "-Infinity"}) {
    EXPECT_THAT([&] { Variant(no_number).as_long(); }, RaisesError(err::kTypeMismatch)) << no_number;
    EXPECT_THAT([&] { text_to_bool(no_number); }, RaisesError(err::kTypeMismatch)) << no_number;
  }
  // Trimming touches blanks of text values only (not tabs), and nothing else.
  for (auto [text, trimmed] : {std::pair{"  Hauptstr. 1  ", "Hauptstr. 1"}, {"    ", ""}, {"\tA\t ", "\tA\t"}}) {
    Variant v(text);
    v.trim_blanks();
    EXPECT_EQ(v, Variant(trimmed)) << text;
  }
  for (Variant v : {Variant(), Variant::Null(), Variant(int32_t{5}), Variant(true)}) {
    const Variant before = v;
    v.trim_blanks();
    EXPECT_EQ(v, before);
  }
}

// A lookup fills rows 0..n-1 of a table that grows by one row each time:
// n rows found give upper bound n with row n empty.
TEST(VariantTableTest, LookupResultConventionAndError9OutOfRange) {
  VariantTable t;
  EXPECT_THAT([&] { t.Get(0, 0); }, RaisesError(err::kSubscriptOutOfRange));  // new table has no cells
  t.ReDim(0, 0, 0, 3);
  for (const char* name : {"Hamm", "hamm", "Hamm"}) {
    int32_t row = t.UpperBound(1);
    t.Set(row, 0, name);
    t.Set(row, 3, "10115");
    t.AppendRows(1);
  }
  EXPECT_EQ(t.UpperBound(1), 3);
  EXPECT_EQ(t.UpperBound(2), 3);
  EXPECT_EQ(t.Text(1, 0), "hamm");
  EXPECT_EQ(t.Text(2, 3), "10115");
  EXPECT_TRUE(t.Get(3, 0).is_empty());  // row n is empty
  EXPECT_TRUE(t.Get(0, 1).is_empty());  // never written
  // Find is exact and case-sensitive, from its start row.
  EXPECT_EQ(t.Find(0, 0, "Hamm", 0, 1, 0), 0);
  EXPECT_EQ(t.Find(1, 0, "Hamm"), 2);
  EXPECT_EQ(t.Find(0, 0, "hamm"), 1);
  EXPECT_EQ(t.Find(0, 0, "Ham"), -1);
  EXPECT_EQ(t.Find(0, 0, "HAMM"), -1);

  for (auto out_of_range : std::initializer_list<std::function<void()>>{
           [&] { t.Get(4, 0); }, [&] { t.Set(0, 4, "x"); }, [&] { t.Get(-1, 0); }, [&] { t.UpperBound(3); },
           [&] { t.Find(0, 4, "x"); }})
    EXPECT_THAT(out_of_range, RaisesError(9));
  t.ReDim(0, 0, 0, 3);  // re-dimension empties every cell
  EXPECT_TRUE(t.Get(0, 0).is_empty());
  // Bounds spanning more rows than a 32-bit count holds overflow instead of
  // wrapping to an empty table that still claims those rows; the table stays.
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();
  EXPECT_THAT([&] { t.ReDim(kMin, kMax, 0, 0); }, RaisesError(err::kOverflow));
  EXPECT_THAT([&] { t.ReDim(0, 0, kMin, kMax); }, RaisesError(err::kOverflow));
  EXPECT_EQ(t.UpperBound(1), 0);
  EXPECT_EQ(t.UpperBound(2), 3);
}

// Copies share their cells until one is written: neither sees the other's
// later change, whichever way it is made.
TEST(VariantTableTest, CopiesAreIndependentThoughTheyShareCellsUntilWritten) {
  VariantTable kept;
  kept.ReDim(0, 0, 0, 1);
  kept.Set(0, 0, "Hauptstr.");
  kept.AppendRows(1);
  VariantTable shown = kept;
  EXPECT_TRUE(shown.SameCells(kept));
  shown.Set(0, 0, "Bahnhofstr.");
  EXPECT_FALSE(shown.SameCells(kept));
  EXPECT_EQ(kept.Text(0, 0), "Hauptstr.");
  VariantTable grown = kept;
  grown.AppendRows(2);
  grown.Set(2, 1, "x");
  EXPECT_EQ(kept.UpperBound(1), 1);
  VariantTable emptied = kept;
  emptied.ReDim(0, 0, 0, 1);
  EXPECT_EQ(kept.Text(0, 0), "Hauptstr.");
  EXPECT_TRUE(emptied.Get(0, 0).is_empty());
  VariantTable none, also_none;
  EXPECT_FALSE(none.SameCells(also_none)) << "two tables without cells share nothing";
  // A text moved out of a value leaves the copy kept in a table untouched.
  Variant v = kept.Get(0, 0);
  EXPECT_EQ(std::move(v).as_text(), "Hauptstr.");
  EXPECT_EQ(kept.Text(0, 0), "Hauptstr.");
}

}  // namespace
}  // namespace noxplz
