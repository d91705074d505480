// glimshape — tests/torsk
// Purpose: tests of Heap: ordering, ties, updates, messages and the position index.
#include "torsk/heap.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

// Reads (and, for the death tests, damages) a heap's arrays.
class HeapInspector {
 public:
  explicit HeapInspector(Heap& h) : h(h) {}
  int count() const { return h.count; }
  int capacity() const { return h.capacity; }
  int pos(int id) const { return h.pos[id]; }
  int nodeId(int i) const { return h.nodes[i].id; }
  double nodeKey(int i) const { return h.nodes[i].key; }
  void setPos(int id, int p) { h.pos[id] = p; }
  void setKey(int i, double k) { h.nodes[i].key = k; }

  // Every invariant of the array heap, as a failure description ("" when all hold).
  std::string invariantFault() const {
    if (count() < 0 || count() > capacity()) return "count out of range";
    std::vector<int> seen(capacity(), -1);
    for (int i = 0; i < count(); ++i) {
      const int id = nodeId(i);
      if (id < 0 || id >= capacity()) return "node id out of range at " + std::to_string(i);
      if (pos(id) != i) return "pos of id " + std::to_string(id) + " is not " + std::to_string(i);
      if (seen[id] != -1) return "id twice: " + std::to_string(id);
      seen[id] = i;
      if (i > 0 && nodeKey((i - 1) / 2) > nodeKey(i))
        return "heap order broken at " + std::to_string(i);
    }
    for (int id = 0; id < capacity(); ++id)
      if (seen[id] == -1 && pos(id) != -1) return "absent id with pos: " + std::to_string(id);
    return "";
  }

 private:
  Heap& h;
};

namespace {

template <class F>
std::string captured(F&& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

TEST(Heap, RemovesInKeyOrderThenReportsEmpty) {
  Heap h(8);
  EXPECT_EQ(h.insert(3, 5.0), 0);
  EXPECT_EQ(h.insert(1, 1.0), 0);
  EXPECT_EQ(h.insert(2, 5.0), 0);
  double key = 0;
  EXPECT_EQ(h.remove(&key), 1);
  EXPECT_EQ(key, 1.0);
  // Equal keys: the last node moved to the root (id 2) stays above id 3.
  EXPECT_EQ(h.remove(&key), 2);
  EXPECT_EQ(key, 5.0);
  EXPECT_EQ(h.remove(&key), 3);
  EXPECT_EQ(key, 5.0);
  key = 7;
  EXPECT_EQ(h.remove(&key), -1);
  EXPECT_EQ(key, -1.0);
  EXPECT_EQ(h.peek(), -1);
  EXPECT_EQ(h.remove(nullptr), -1);
}

TEST(Heap, EqualKeysDoNotMove) {
  Heap h(4);
  h.insert(0, 2.0);
  h.insert(1, 2.0);
  h.insert(2, 2.0);
  HeapInspector in(h);
  EXPECT_EQ(in.nodeId(0), 0);
  EXPECT_EQ(in.nodeId(1), 1);
  EXPECT_EQ(in.nodeId(2), 2);
  h.update(2, 2.0, 0);
  EXPECT_EQ(in.nodeId(2), 2);
}

TEST(Heap, InsertOfPresentIdIsReportedAndIgnored) {
  Heap h(4);
  h.insert(2, 3.0);
  int rc = 0;
  EXPECT_EQ(captured([&] { rc = h.insert(2, 1.0); }), "its already in heap\n");
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(h.get(2), 3.0);
  EXPECT_EQ(HeapInspector(h).count(), 1);
}

TEST(Heap, InsertOutsideCapacityIsRefused) {
  Heap h(2);
  int rc = 0;
  EXPECT_EQ(captured([&] { rc = h.insert(2, 1.0); }), "problem in insert, id 2 outside [0,2)\n");
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(captured([&] { rc = h.insert(-1, 1.0); }), "problem in insert, id -1 outside [0,2)\n");
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(h.peek(), -1);
  EXPECT_FALSE(h.exists(2));
  EXPECT_FALSE(h.exists(-1));
  Heap empty(0);
  EXPECT_EQ(captured([&] { rc = empty.insert(0, 1.0); }), "problem in insert, id 0 outside [0,0)\n");
  EXPECT_EQ(rc, 1);
  EXPECT_THROW(Heap(-1), std::invalid_argument);
}

TEST(Heap, UpdateMovesAndKeepLowerRefusesLowering) {
  Heap h(8);
  for (int id = 0; id < 6; ++id) h.insert(id, 10.0 + id);
  HeapInspector in(h);

  h.update(5, 1.0, 0);  // lowered: to the root
  EXPECT_EQ(h.peek(), 5);
  EXPECT_EQ(h.get(5), 1.0);

  h.update(4, 0.5, 1);  // lowering refused
  EXPECT_EQ(h.get(4), 14.0);
  EXPECT_NE(h.peek(), 4);

  h.update(5, 20.0, 1);  // raising applies even with keepLower
  EXPECT_EQ(h.get(5), 20.0);
  EXPECT_EQ(h.peek(), 0);
  EXPECT_EQ(in.invariantFault(), "");

  double key = 0;
  std::vector<int> order;
  while (h.peek() != -1) order.push_back(h.remove(&key));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST(Heap, UpdateOutsideRangeIsReportedAndChangesNothing) {
  Heap h(4);
  h.insert(0, 1.0);
  EXPECT_EQ(captured([&] { h.update(9, 2.5, 0); }), "problem in update, id 9 outside [0,4)\n");
  EXPECT_EQ(HeapInspector(h).count(), 1);
  EXPECT_EQ(h.get(0), 1.0);
}

// An absent id (never inserted, or already removed) ends the process with status 1 after
// its message; the child's stdout goes to stderr so the death test can read it.
TEST(HeapDeathTest, UpdateOfAbsentIdEndsWithFailureStatus) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Heap h(4);
  h.insert(0, 1.0);
  EXPECT_EXIT(
      {
        dup2(2, 1);
        h.update(3, 2.5, 0);
      },
      testing::ExitedWithCode(1), testing::HasSubstr("problem in update, -1 index for 3,2.500000"));
  double key = 0;
  EXPECT_EQ(h.remove(&key), 0);
  EXPECT_EXIT(
      {
        dup2(2, 1);
        h.update(0, 0.0, 0);
      },
      testing::ExitedWithCode(1), testing::HasSubstr("problem in update, -1 index for 0,0.000000"));
}

TEST(Heap, UpdateInconsistencyMessages) {
  Heap h(4);
  h.insert(0, 1.0);
  h.insert(1, 2.0);
  HeapInspector in(h);
  in.setPos(1, 3);
  EXPECT_EQ(captured([&] { h.update(1, 0.0, 0); }),
            "problem in update, node=(1,0.000000), 3>=2\n");
  in.setPos(1, 0);
  EXPECT_EQ(captured([&] { h.update(1, 0.0, 0); }), "error in update 0!=1");
  EXPECT_EQ(h.get(0), 1.0);
  EXPECT_EQ(in.nodeKey(1), 2.0);
}

TEST(Heap, GetOfAbsentIdIsNaN) {
  Heap h(2);
  double v = 0;
  EXPECT_EQ(captured([&] { v = h.get(1); }), "problem in get, no node for 1\n");
  EXPECT_TRUE(std::isnan(v));
}

TEST(Heap, RemoveAllEmptiesForReuse) {
  Heap h(5);
  for (int id = 0; id < 5; ++id) h.insert(id, 5.0 - id);
  h.removeAll();
  for (int id = 0; id < 5; ++id) EXPECT_FALSE(h.exists(id));
  EXPECT_EQ(h.peek(), -1);
  EXPECT_EQ(h.insert(4, 1.0), 0);
  EXPECT_EQ(h.peek(), 4);
  EXPECT_EQ(HeapInspector(h).invariantFault(), "");
}

TEST(Heap, PrintFormat) {
  Heap h(4);
  h.insert(2, 3.0);
  h.insert(0, 12.4);
  h.insert(1, 1.0);
  EXPECT_EQ(captured([&] { h.print(); }), "(1, 1),(0,12),(2, 3),\n");
  Heap empty(1);
  EXPECT_EQ(captured([&] { empty.print(); }), "\n");
}

TEST(Heap, ChecksPassSilentlyOnAGoodHeap) {
  Heap h(4);
  h.insert(1, 2.0);
  h.insert(0, 1.0);
  EXPECT_EQ(captured([&] {
              h.check("first");
              h.checkHeapProperty("first");
            }),
            "");
}

// The child's stdout is sent to stderr so that the death test can read the messages.
TEST(HeapDeathTest, CheckReportsBadIndexWithPreviousLabel) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Heap h(4);
  h.insert(1, 2.0);
  h.insert(0, 1.0);
  h.check("good %d");
  HeapInspector(h).setPos(0, 1);
  EXPECT_EXIT(
      {
        dup2(2, 1);
        h.check("bad");
      },
      testing::ExitedWithCode(1),
      testing::HasSubstr("bad[0]=0 thinks its at 1 not 0\nhappened at: bad\nprevopis:good %d\n"));
}

TEST(HeapDeathTest, CheckHeapPropertyEndsWithFailureStatus) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Heap h(4);
  h.insert(1, 2.0);
  h.insert(0, 1.0);
  HeapInspector(h).setKey(0, 5.0);
  EXPECT_EXIT(
      {
        dup2(2, 1);
        h.checkHeapProperty("where %s");
      },
      testing::ExitedWithCode(1),
      testing::HasSubstr("-----------------------\n"
                         "heap property is not valid (1,2.000000) < (0,5.000000)\nwhere %s"));
}

// Long random mix of insert/remove/update against a brute-force reference, with every
// invariant checked after every operation.
TEST(Heap, RandomSequenceMatchesBruteForce) {
  const int capacity = 64;
  Heap h(capacity);
  HeapInspector in(h);
  std::map<int, double> ref;  // id → key
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> anyId(0, capacity - 1);
  std::uniform_int_distribution<int> op(0, 9);
  std::uniform_int_distribution<int> smallKey(0, 20);  // many ties

  for (int step = 0; step < 20000; ++step) {
    const int o = op(rng);
    const int id = anyId(rng);
    const double key = smallKey(rng) * 0.5;
    if (o < 4) {
      const bool present = ref.count(id) != 0;
      int rc = 0;
      const std::string out = captured([&] { rc = h.insert(id, key); });
      ASSERT_EQ(rc, present ? 1 : 0);
      ASSERT_EQ(out, present ? "its already in heap\n" : "");
      if (!present) ref[id] = key;
    } else if (o < 7) {
      double got = 0;
      const int removed = h.remove(&got);
      if (ref.empty()) {
        ASSERT_EQ(removed, -1);
        ASSERT_EQ(got, -1.0);
      } else {
        double minKey = 1e300;
        for (const auto& kv : ref) minKey = std::min(minKey, kv.second);
        ASSERT_EQ(got, minKey);
        ASSERT_EQ(ref.count(removed), 1u);
        ASSERT_EQ(ref[removed], minKey);
        ref.erase(removed);
      }
    } else if (!ref.empty()) {
      auto it = ref.begin();
      std::advance(it, anyId(rng) % static_cast<int>(ref.size()));
      const int keepLower = o == 9 ? 1 : 0;
      h.update(it->first, key, keepLower);
      if (!(keepLower && key < it->second)) it->second = key;
    }
    ASSERT_EQ(in.invariantFault(), "") << "after step " << step;
    ASSERT_EQ(in.count(), static_cast<int>(ref.size()));
    for (int i = 0; i < capacity; ++i) {
      ASSERT_EQ(h.exists(i), ref.count(i) != 0);
      if (h.exists(i)) {
        ASSERT_EQ(h.get(i), ref[i]);
      }
    }
  }
}

}  // namespace
