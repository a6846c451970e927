#include "tam/ref_count.h"

#include <gtest/gtest.h>

namespace {

// A shared object that reports its destruction and may hold a handle to another one.
class Counted : public ref_count {
 public:
  explicit Counted(bool* destroyed) : destroyed_(destroyed) {}
  ref_count_ptr<Counted> next;

 private:
  ~Counted() override { *destroyed_ = true; }
  bool* destroyed_;
};

TEST(RefCountTest, LastHandleDeletesAndGlobalCountFollows) {
  ref_count_ptr<Counted> null1, null2(nullptr), null3(null1);  // null handles touch no count
  null1 = null2;
  null2 = null2;
  EXPECT_TRUE(null1.isNull() && !null3);
  const int32_t live = ref_count::liveObjects();
  bool destroyed = false;
  Counted* raw = new Counted(&destroyed);
  EXPECT_EQ(ref_count::liveObjects(), live + 1);
  EXPECT_EQ(raw->referenceCount(), 0);
  {
    ref_count_ptr<Counted> first(raw);
    ref_count_ptr<Counted> copy(first);
    ref_count_ptr<Counted> fromPlain(raw);  // shares the one intrusive count
    ref_count_ptr<Counted>& alias = first;
    first = alias;
    first = copy;
    EXPECT_EQ(raw->referenceCount(), 3);
    EXPECT_TRUE(copy == fromPlain);
  }
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(ref_count::liveObjects(), live);
}

// The old object holds the last other handle to the new one: the new one must survive.
TEST(RefCountTest, AssignmentSecuresNewObjectBeforeReleasingOld) {
  bool firstGone = false, secondGone = false;
  ref_count_ptr<Counted> head(new Counted(&firstGone));
  head->next = new Counted(&secondGone);
  head = head->next;
  EXPECT_TRUE(firstGone);
  EXPECT_FALSE(secondGone);
  EXPECT_EQ(head->referenceCount(), 1);
  head = nullptr;
  EXPECT_TRUE(secondGone);
}

}  // namespace
