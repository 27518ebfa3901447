#include "noxplz/variant.h"

#include <gtest/gtest.h>

#include "noxplz/error.h"

namespace noxplz {
namespace {

int error_number(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.number;
  }
  return 0;
}

TEST(VariantTest, TextFormsAndConversions) {
  EXPECT_EQ(Variant().as_text(), "");
  EXPECT_EQ(Variant::Null().as_text(), "");
  EXPECT_EQ(Variant(int32_t{-42}).as_text(), "-42");
  EXPECT_EQ(Variant(true).as_text(), "True");
  EXPECT_EQ(Variant("12").as_long(), 12);
  EXPECT_EQ(Variant(" 7 ").as_long(), 7);
  EXPECT_EQ(error_number([] { Variant("12a").as_long(); }), err::kTypeMismatch);
  EXPECT_EQ(error_number([] { Variant("99999999999").as_long(); }), err::kOverflow);
  EXPECT_NE(Variant("a"), Variant("A"));
  EXPECT_TRUE(Variant().is_empty());
  EXPECT_TRUE(Variant::Null().is_null());
}

TEST(VariantTest, TextToBoolAcceptsWordsAndNumbersOnly) {
  EXPECT_TRUE(text_to_bool("True"));
  EXPECT_TRUE(text_to_bool("tRUE"));
  EXPECT_FALSE(text_to_bool(" false "));
  EXPECT_TRUE(text_to_bool("-1"));
  EXPECT_TRUE(text_to_bool("1"));
  EXPECT_TRUE(text_to_bool("2.5"));
  EXPECT_FALSE(text_to_bool("0"));
  EXPECT_EQ(error_number([] { text_to_bool("ja"); }), err::kTypeMismatch);
  EXPECT_EQ(error_number([] { text_to_bool(""); }), err::kTypeMismatch);
}

TEST(VariantTableTest, LookupResultConventionRowsThenOneEmptyRow) {
  VariantTable t;
  t.ReDim(0, 0, 0, 3);
  const char* names[] = {"Berlin", "Bonn", "Bremen"};
  for (const char* name : names) {
    int32_t row = t.UpperBound(1);
    t.Set(row, 0, name);
    t.Set(row, 3, "10115");
    t.AppendRows(1);
  }
  EXPECT_EQ(t.UpperBound(1), 3);  // n rows found => upper bound n
  EXPECT_EQ(t.UpperBound(2), 3);
  EXPECT_EQ(t.Text(1, 0), "Bonn");
  EXPECT_EQ(t.Text(2, 3), "10115");
  EXPECT_TRUE(t.Get(3, 0).is_empty());  // row n is empty
  EXPECT_TRUE(t.Get(0, 1).is_empty());  // never written
}

TEST(VariantTableTest, OutOfRangeRaisesError9) {
  VariantTable t;
  EXPECT_EQ(error_number([&] { t.Get(0, 0); }), err::kSubscriptOutOfRange);  // new table has no cells
  t.ReDim(0, 1, 0, 5);
  EXPECT_EQ(error_number([&] { t.Get(2, 0); }), 9);
  EXPECT_EQ(error_number([&] { t.Set(0, 6, "x"); }), 9);
  EXPECT_EQ(error_number([&] { t.Get(-1, 0); }), 9);
  EXPECT_EQ(error_number([&] { t.UpperBound(3); }), 9);
  t.Set(1, 5, "ok");
  t.ReDim(0, 0, 0, 5);  // re-dimension empties every cell
  EXPECT_TRUE(t.Get(0, 5).is_empty());
}

TEST(VariantTableTest, FindIsExactAndCaseSensitiveFromStartRow) {
  VariantTable t;
  t.ReDim(0, 3, 0, 1);
  t.Set(0, 0, "Hamm");
  t.Set(1, 0, "hamm");
  t.Set(2, 0, "Hamm");
  EXPECT_EQ(t.Find(0, 0, "Hamm", 0, 1, 0), 0);
  EXPECT_EQ(t.Find(1, 0, "Hamm"), 2);
  EXPECT_EQ(t.Find(0, 0, "hamm"), 1);
  EXPECT_EQ(t.Find(0, 0, "Ham"), -1);
  EXPECT_EQ(t.Find(0, 0, "HAMM"), -1);
  EXPECT_EQ(error_number([&] { t.Find(0, 2, "x"); }), 9);
}

}  // namespace
}  // namespace noxplz
