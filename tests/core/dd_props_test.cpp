// The material container: library order, newest-first lookup, ids and stable references.
#include "core/library/dd_props.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/material_library.h"

namespace qv::test {
namespace {

std::vector<int> Ids(const TPROPClass& c) {
  std::vector<int> ids;
  for (const TPROPRec& e : c) ids.push_back(e.id);
  return ids;
}

TEST(TPROPClassTest, NewEntriesStartFromDefaults) {
  TPROPRec e;
  e.id = 7;
  e.inUse = true;
  e.prop.E = 5;
  e.prop.xmin = 3;
  e.prop.name = "x";
  TPROPClass::InitEntry(e);
  EXPECT_EQ(e.id, 0);
  EXPECT_FALSE(e.inUse);
  EXPECT_EQ(e.prop.E, 1);
  EXPECT_EQ(e.prop.rho, 1);
  EXPECT_EQ(e.prop.xmin, -1);
  EXPECT_EQ(e.prop.ymax, -1);
  EXPECT_TRUE(e.prop.name.empty());
  EXPECT_TRUE(e.prop.colorlabel.empty());
}

TEST(TPROPClassTest, WalksOldestFirstAndFindsNewestFirst) {
  TPROPClass c;
  EXPECT_EQ(c.MaxId(), 0);
  AddMaterial(c, {"clRed"});
  AddMaterial(c, {"clBlue"});
  AddMaterial(c, {"clRed"});
  EXPECT_EQ(Ids(c), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(c.FindByLabel("clRed")->id, 3);  // the later of two equal labels wins
  EXPECT_EQ(c.FindByLabel("clred"), nullptr);
  EXPECT_EQ(c.FindById(2)->prop.colorlabel, "clBlue");
  EXPECT_EQ(c.FindById(4), nullptr);
}

TEST(TPROPClassTest, IdsAreReusedOnlyAfterDeletingTheHighest) {
  TPROPClass c;
  for (int i = 0; i < 3; ++i) AddMaterial(c, {"clRed"});
  c.Delete(2);
  EXPECT_EQ(c.MaxId(), 3);
  c.Delete(3);
  EXPECT_EQ(c.MaxId(), 1);
  AddMaterial(c, {"clLime"});
  EXPECT_EQ(Ids(c), (std::vector<int>{1, 2}));
  c.Delete(99);  // absent: nothing happens
  EXPECT_EQ(c.Count(), 2);
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.MaxId(), 0);
  EXPECT_EQ(c.Newest(), nullptr);
  EXPECT_EQ(c.Oldest(), nullptr);
}

TEST(TPROPClassTest, DeletingEitherEndKeepsTheChain) {
  TPROPClass c;
  for (int i = 0; i < 4; ++i) AddMaterial(c, {"c" + std::to_string(i)});
  c.Delete(1);
  c.Delete(4);
  EXPECT_EQ(Ids(c), (std::vector<int>{2, 3}));
  EXPECT_EQ(c.Oldest()->id, 2);
  EXPECT_EQ(c.Newest()->id, 3);
  c.Delete(2);
  c.Delete(3);
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.Oldest(), nullptr);
}

TEST(TPROPClassTest, ReferencesSurviveOtherChanges) {
  TPROPClass c;
  AddMaterial(c, {.label = "clRed", .inUse = false});
  TPROPRec* red = c.FindByLabel("clRed");
  for (int i = 0; i < 100; ++i) AddMaterial(c, {"clBlue"});
  c.Delete(50);
  red->prop.E = 210000;
  red->inUse = true;
  EXPECT_EQ(c.FindById(1)->prop.E, 210000);
  EXPECT_TRUE(c.FindById(1)->inUse);
}

}  // namespace
}  // namespace qv::test
