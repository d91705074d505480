// glimshape — tests/levelset
// Purpose: PointHash and GrowArray: bucket choice, growth rule, lookup without insertion.
#include "levelset/pointhash.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>

TEST(GrowArray, GrowsWhenAboutHalfFullByTheStatedRule) {
  GrowArray<int> a(4, 4);
  std::vector<int> capacities;
  for (int i = 0; i < 40; ++i) {
    a.push(i);
    capacities.push_back(a.getCapacity());
  }
  // By hand: 4 holds two items; the third arrives at 4 ≤ 2·2 + 1 and grows to
  // 4 + 4 + 2 + 1 = 11; 11 holds up to 5 items; the sixth grows to 11 + 4 + 5 + 1 = 21;
  // the eleventh to 21 + 4 + 10 + 1 = 36; the nineteenth to 36 + 4 + 18 + 1 = 59.
  EXPECT_EQ(capacities[0], 4);
  EXPECT_EQ(capacities[1], 4);
  EXPECT_EQ(capacities[2], 11);
  EXPECT_EQ(capacities[4], 11);
  EXPECT_EQ(capacities[5], 21);
  EXPECT_EQ(capacities[9], 21);
  EXPECT_EQ(capacities[10], 36);
  EXPECT_EQ(capacities[17], 36);
  EXPECT_EQ(capacities[18], 59);
  ASSERT_EQ(a.size(), 40);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(a[i], i);
}

TEST(GrowArray, ZeroCapacityAndIncrementStillGrow) {
  GrowArray<int> a(0, 0);
  for (int i = 0; i < 10; ++i) a.push(i * 3);
  ASSERT_EQ(a.size(), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(a[i], i * 3);
}

TEST(PointHash, BucketIsYTimes1024PlusXModN) {
  PointHash<double> h(1001);
  EXPECT_EQ(h.bucketCount(), 1001);
  EXPECT_EQ(h.bucketOf(0, 0), 0);
  EXPECT_EQ(h.bucketOf(5, 0), 5);
  EXPECT_EQ(h.bucketOf(0, 1), 1024 % 1001);
  EXPECT_EQ(h.bucketOf(17, 3), (3 * 1024 + 17) % 1001);
  // Negative coordinates wrap as unsigned arithmetic does.
  EXPECT_EQ(h.bucketOf(-1, 0), static_cast<int>(0xFFFFFFFFu % 1001u));
  EXPECT_EQ(h.bucketOf(-1, 2), static_cast<int>((2u * 1024u - 1u) % 1001u));
  EXPECT_EQ(PointHash<char>(0).bucketCount(), 1);

  h(7, 9) = 2.5;
  const int b = h.bucketOf(7, 9);
  ASSERT_EQ(h.bucket(b).size(), 1);
  EXPECT_EQ(h.bucket(b)[0].x, 7);
  EXPECT_EQ(h.bucket(b)[0].y, 9);
  EXPECT_EQ(h.bucket(b)[0].value, 2.5);
}

TEST(PointHash, CollidingPointsKeepInsertionOrderInTheirBucket) {
  PointHash<char> h(7);
  // (0, 0), (7, 0) and (14, 0) all fall into bucket 0 of 7.
  h(0, 0) = 1;
  h(7, 0) = 2;
  h(14, 0) = 3;
  const auto& b = h.bucket(0);
  ASSERT_EQ(b.size(), 3);
  EXPECT_EQ(b[0].x, 0);
  EXPECT_EQ(b[1].x, 7);
  EXPECT_EQ(b[2].x, 14);
  EXPECT_EQ(b[2].value, 3);
  EXPECT_EQ(h(7, 0), 2);  // found again, not appended
  EXPECT_EQ(h.size(), 3);
}

TEST(PointHash, FindNeverInsertsAndOperatorInsertsZero) {
  PointHash<double> h(11);
  EXPECT_EQ(h.find(3, 4), nullptr);
  EXPECT_FALSE(h.contains(3, 4));
  EXPECT_EQ(h.size(), 0);
  EXPECT_EQ(h(3, 4), 0.0);
  EXPECT_EQ(h.size(), 1);
  ASSERT_NE(h.find(3, 4), nullptr);
  EXPECT_EQ(*h.find(3, 4), 0.0);
}

TEST(PointHash, AgreesWithStdMapOnRandomPoints) {
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> coord(-50, 300);
  PointHash<double> h(101);
  std::map<std::pair<int, int>, double> ref;
  for (int i = 0; i < 5000; ++i) {
    const int x = coord(rng), y = coord(rng);
    const double v = i * 0.5;
    h(x, y) += v;
    ref[{x, y}] += v;
  }
  EXPECT_EQ(h.size(), static_cast<int>(ref.size()));
  int seen = 0;
  h.forEach([&](int x, int y, double v) {
    ++seen;
    const auto it = ref.find({x, y});
    ASSERT_NE(it, ref.end());
    EXPECT_EQ(v, it->second);
  });
  EXPECT_EQ(seen, static_cast<int>(ref.size()));
  for (const auto& kv : ref) {
    const double* v = h.find(kv.first.first, kv.first.second);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(*v, kv.second);
  }
}
