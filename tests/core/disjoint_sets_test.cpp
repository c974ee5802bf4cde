// Labels joined into pieces: every label's root after a sequence of joins.
#include "core/base/disjoint_sets.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "support/row_name.h"

namespace qv::test {
namespace {

struct JoinCase {
  const char* comment;
  int labels;
  std::vector<std::pair<int, int>> joins;
  std::vector<int> roots;  // of labels 0.. after the joins
};
void PrintTo(const JoinCase& c, std::ostream* os) { *os << c.comment; }

class DisjointSetsTest : public ::testing::TestWithParam<JoinCase> {};

TEST_P(DisjointSetsTest, EveryLabelFindsTheLowestLabelOfItsPiece) {
  const JoinCase& c = GetParam();
  DisjointSets sets;
  for (int i = 0; i < c.labels; ++i) EXPECT_EQ(sets.Add(), i);
  for (const auto& [a, b] : c.joins) sets.Join(a, b);
  ASSERT_EQ(sets.Size(), c.roots.size());
  std::vector<int> roots;
  roots.reserve(c.roots.size());
  for (int i = 0; i < c.labels; ++i) roots.push_back(sets.Find(i));
  EXPECT_EQ(roots, c.roots);
  // Clearing starts the numbering again, as each block row of a pass does.
  sets.Clear();
  EXPECT_EQ(sets.Size(), 0U);
  EXPECT_EQ(sets.Add(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DisjointSetsTest,
    ::testing::Values(
        // Nothing joined: each label is its own piece.
        JoinCase{"no joins", 3, {}, {0, 1, 2}},
        // The higher root goes under the lower whichever side it is passed on.
        JoinCase{"higher label first", 2, {{1, 0}}, {0, 0}},
        // A label joined to itself, or twice to the same piece, changes nothing.
        JoinCase{"repeated joins", 3, {{2, 2}, {1, 2}, {2, 1}}, {0, 1, 1}},
        // Two pieces built apart, then joined through members that are not their roots.
        JoinCase{"pieces joined through inner labels",
                 6,
                 {{4, 5}, {3, 4}, {1, 2}, {5, 2}},
                 {0, 1, 1, 1, 1, 1}},
        // A long chain from the top down: every label finds the bottom of it.
        JoinCase{"chain of twelve",
                 12,
                 {{11, 10},
                  {10, 9},
                  {9, 8},
                  {8, 7},
                  {7, 6},
                  {6, 5},
                  {5, 4},
                  {4, 3},
                  {3, 2},
                  {2, 1},
                  {1, 0}},
                 {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // Interleaved pieces keep apart: evens with evens, odds with odds.
        JoinCase{"interleaved pieces", 6, {{0, 2}, {4, 2}, {5, 3}, {1, 5}}, {0, 1, 0, 1, 0, 1}}),
    RowName);

}  // namespace
}  // namespace qv::test
