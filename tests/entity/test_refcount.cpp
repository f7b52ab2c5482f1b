// Intrusive reference counting: Pointee counts, RCPtr ownership and
// assignment, and sets of RCPtr ordered by the pointees.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "entity/DesDataInfo.h"
#include "entity/Pointee.h"
#include "entity/RCPtr.h"
#include "entity/pmallocator.h"
#include "tests/entity/MemoryChecks.h"

namespace {

// A named pointee that records its destruction.
class Named : public Pointee {
 public:
  explicit Named(std::string n, int* destroyedCount = nullptr)
      : name(std::move(n)), destroyed(destroyedCount) {}
  Named(const Named& other) : Pointee(other), name(other.name), destroyed(other.destroyed) {}
  Named& operator=(const Named&) = default;
  ~Named() override {
    if (destroyed != nullptr) ++*destroyed;
  }
  bool operator<(const Named& other) const { return name < other.name; }

  std::string name;
  int* destroyed;
};

typedef RCPtr<Named> NamedPtr;

}  // namespace

TEST(RefCount, CountStartsAtZeroAndFollowsTheHandles) {
  int destroyed = 0;
  Named* n = new Named("a", &destroyed);
  EXPECT_EQ(n->GetRefCount(), 0);
  {
    NamedPtr p(n);
    EXPECT_EQ(n->GetRefCount(), 1);
    {
      NamedPtr q(p);
      EXPECT_EQ(n->GetRefCount(), 2);
    }
    EXPECT_EQ(n->GetRefCount(), 1);
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1) << "the last handle deletes the pointee";
}

TEST(RefCount, AssignmentReleasesTheOldPointeeAndSelfAssignmentNothing) {
  int destroyedA = 0, destroyedB = 0;
  NamedPtr p(new Named("a", &destroyedA));
  NamedPtr& alias = p;
  p = alias;
  EXPECT_EQ(destroyedA, 0);
  EXPECT_EQ(p->GetRefCount(), 1);
  NamedPtr q(new Named("b", &destroyedB));
  p = q;
  EXPECT_EQ(destroyedA, 1);
  EXPECT_EQ(q->GetRefCount(), 2);
  q = p;  // another handle of the same object
  EXPECT_EQ(destroyedB, 0);
  p = NamedPtr();
  EXPECT_FALSE(p);
  EXPECT_EQ(q->GetRefCount(), 1);
}

TEST(RefCount, SetOfRCPtrIsOrderedByPointeesAndHoldsReferences) {
  entity_test::HostMemoryMark mark;
  int destroyed = 0;
  {
    pmset<NamedPtr, less_ptr<NamedPtr>> set;
    for (const char* name : {"delta", "alpha", "charlie", "bravo"})
      EXPECT_TRUE(set.insert(NamedPtr(new Named(name, &destroyed))).second);
    EXPECT_EQ(destroyed, 0) << "the set keeps its pointees alive";

    // An equal name is the same key, even as a different object.
    auto duplicate = set.insert(NamedPtr(new Named("bravo", &destroyed)));
    EXPECT_FALSE(duplicate.second);
    EXPECT_EQ(destroyed, 1) << "the rejected duplicate had no other owner";

    std::vector<std::string> order;
    for (const NamedPtr& p : set) {
      order.push_back(p->name);
      EXPECT_EQ(p->GetRefCount(), 1);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"alpha", "bravo", "charlie", "delta"}));

    // Lookup by a probe object with the same name.
    NamedPtr probe(new Named("charlie", &destroyed));
    auto found = set.find(probe);
    ASSERT_NE(found, set.end());
    EXPECT_NE(found->get(), probe.get());
    EXPECT_EQ((*found)->name, "charlie");

    NamedPtr kept = *set.begin();
    set.erase(set.begin());
    EXPECT_EQ(destroyed, 1) << "a handle outside the set still holds alpha";
    EXPECT_EQ(kept->GetRefCount(), 1);
    EXPECT_GT(mark.Growth(), 0) << "set nodes come from the host";
  }
  EXPECT_EQ(destroyed, 6);
  EXPECT_EQ(mark.Growth(), 0);
}

class PooledRefCount : public entity_test::DataPoolsTest {};

TEST_F(PooledRefCount, LastReleaseReturnsAPooledPointeeToItsPool) {
  DesDataInfo* raw = new DesDataInfo(3);
  {
    RCPtr<DesDataInfo> p(raw);
    RCPtr<DesDataInfo> q(p);
    EXPECT_EQ(raw->GetRefCount(), 2);
  }
  // The slot was pushed on the pool's free list: it is served next.
  DesDataInfo* next = new DesDataInfo(2);
  EXPECT_EQ(next, raw);
  RCPtr<DesDataInfo> own(next);
  EXPECT_EQ(own->GetWidth(), 2);
}

