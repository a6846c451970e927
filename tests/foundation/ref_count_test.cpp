#include "tam/ref_count.h"

#include <gtest/gtest.h>

namespace {

// A shared object that reports its destruction and may hold a handle to another one.
class Counted : public ref_count {
 public:
  explicit Counted(bool* destroyed = nullptr) : destroyed_(destroyed) {}
  ref_count_ptr<Counted> next;

 private:
  ~Counted() override {
    if (destroyed_) *destroyed_ = true;
  }
  bool* destroyed_;
};

TEST(RefCountTest, NullHandlesTouchNoCount) {
  const int32_t live = ref_count::liveObjects();
  ref_count_ptr<Counted> a;
  ref_count_ptr<Counted> b(nullptr);
  ref_count_ptr<Counted> c(a);
  a = b;
  b = b;
  EXPECT_TRUE(a.isNull());
  EXPECT_FALSE(c);
  EXPECT_EQ(ref_count::liveObjects(), live);
}

TEST(RefCountTest, LastHandleDeletesAndGlobalCountFollows) {
  const int32_t live = ref_count::liveObjects();
  bool destroyed = false;
  Counted* raw = new Counted(&destroyed);
  EXPECT_EQ(ref_count::liveObjects(), live + 1);
  EXPECT_EQ(raw->referenceCount(), 0);
  {
    ref_count_ptr<Counted> first(raw);
    EXPECT_EQ(raw->referenceCount(), 1);
    {
      ref_count_ptr<Counted> copy(first);
      ref_count_ptr<Counted> fromPlain(raw);  // shares the one intrusive count
      EXPECT_EQ(raw->referenceCount(), 3);
      EXPECT_TRUE(copy == fromPlain);
    }
    EXPECT_EQ(raw->referenceCount(), 1);
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(ref_count::liveObjects(), live);
}

TEST(RefCountTest, AssignmentToSelfOrSameObjectKeepsCount) {
  bool destroyed = false;
  ref_count_ptr<Counted> a(new Counted(&destroyed));
  ref_count_ptr<Counted> b(a);
  ref_count_ptr<Counted>& alias = a;
  a = alias;
  a = b;
  EXPECT_EQ(a->referenceCount(), 2);
  EXPECT_FALSE(destroyed);

  ref_count_ptr<Counted> other(new Counted);
  b = other;
  EXPECT_EQ(a->referenceCount(), 1);
  EXPECT_EQ(other->referenceCount(), 2);
  a = ref_count_ptr<Counted>();
  EXPECT_TRUE(destroyed);
}

// The old object holds the last other handle to the new one: the new one must survive.
TEST(RefCountTest, AssignmentSecuresNewObjectBeforeReleasingOld) {
  const int32_t live = ref_count::liveObjects();
  bool firstGone = false;
  bool secondGone = false;
  ref_count_ptr<Counted> head(new Counted(&firstGone));
  head->next = new Counted(&secondGone);
  head = head->next;
  EXPECT_TRUE(firstGone);
  EXPECT_FALSE(secondGone);
  EXPECT_EQ(head->referenceCount(), 1);
  head = nullptr;
  EXPECT_TRUE(secondGone);
  EXPECT_EQ(ref_count::liveObjects(), live);
}

}  // namespace
