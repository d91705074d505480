// glimshape — levelset
// Purpose: PointHash<T>, a bucketed hash map from integer grid points to values.
#ifndef LEVELSET_POINTHASH_H
#define LEVELSET_POINTHASH_H

#include <cstddef>
#include <memory>
#include <utility>

/// @brief A growable array with an explicit capacity, count and growth increment.
///
/// It grows when an item arrives while capacity ≤ 2 × count + 1, to
/// capacity + increment + count + 1 items, moving the existing items over. Keeping it at
/// most about half full trades memory for few reallocations on short arrays.
template <class T>
class GrowArray {
 public:
  /// @param capacity initial number of item slots (negative counts as 0).
  /// @param increment extra slots added at every growth (negative counts as 0).
  /// The slots are allocated when the first item arrives, so that a table of many empty
  /// buckets costs one allocation.
  explicit GrowArray(int capacity = 4, int increment = 4)
      : capacity(capacity > 0 ? capacity : 0), increment(increment > 0 ? increment : 0) {}

  GrowArray(GrowArray&&) noexcept = default;
  GrowArray& operator=(GrowArray&&) noexcept = default;
  GrowArray(const GrowArray&) = delete;
  GrowArray& operator=(const GrowArray&) = delete;

  /// @brief Appends an item, growing first when the array is about half full.
  /// @return a reference to the stored item (valid until the next growth).
  T& push(T item) {
    if (!items && capacity > 2 * count + 1)
      items.reset(new T[static_cast<std::size_t>(capacity)]());
    else if (capacity <= 2 * count + 1)
      grow();
    items[static_cast<std::size_t>(count)] = std::move(item);
    return items[static_cast<std::size_t>(count++)];
  }

  /// @brief Forgets every item but keeps the slots, so refilling allocates nothing until
  /// the array outgrows its capacity.
  void clear() { count = 0; }

  int size() const { return count; }
  int getCapacity() const { return capacity; }
  int getIncrement() const { return increment; }
  T& operator[](int i) { return items[static_cast<std::size_t>(i)]; }
  const T& operator[](int i) const { return items[static_cast<std::size_t>(i)]; }
  T* begin() { return items.get(); }
  T* end() { return items.get() + count; }
  const T* begin() const { return items.get(); }
  const T* end() const { return items.get() + count; }

 private:
  void grow() {
    const int next = capacity + increment + count + 1;
    std::unique_ptr<T[]> bigger(new T[static_cast<std::size_t>(next)]());
    for (int i = 0; i < count; ++i)
      bigger[static_cast<std::size_t>(i)] = std::move(items[static_cast<std::size_t>(i)]);
    items = std::move(bigger);
    capacity = next;
  }

  int capacity;
  int count = 0;
  int increment;
  std::unique_ptr<T[]> items;
};

/// @brief A hash map from integer points (x, y) to values of type T, with a bucket count
/// fixed at construction.
///
/// A point lives in bucket (y × 1024 + x) mod n, computed on unsigned integers so that
/// negative coordinates hash too. Buckets are short arrays scanned in insertion order; the
/// bucket count should be chosen from the expected number of points to keep them short.
/// The bucket list starts with capacity 32 and increment 32, every bucket with capacity 4
/// and increment 4 (growth rule of GrowArray).
template <class T>
class PointHash {
 public:
  /// One stored point and its value.
  struct Entry {
    int x = 0;
    int y = 0;
    T value{};
  };

  /// @brief An empty map.
  /// @param buckets number of buckets n.
  /// @warning A bucket count below 1 is taken as 1.
  explicit PointHash(int buckets) : nbuckets(buckets > 0 ? buckets : 1), table(32, 32) {
    for (int i = 0; i < nbuckets; ++i) table.push(GrowArray<Entry>(4, 4));
  }

  /// @brief The value of (x, y), inserted with a zero value at the end of its bucket when
  /// absent. The reference stays valid until the next insertion into the same bucket.
  T& operator()(int x, int y) {
    GrowArray<Entry>& b = table[bucketOf(x, y)];
    for (Entry& e : b)
      if (e.x == x && e.y == y) return e.value;
    ++count;
    Entry fresh;
    fresh.x = x;
    fresh.y = y;
    return b.push(fresh).value;
  }

  /// @brief The value of (x, y), or null when absent; never inserts.
  T* find(int x, int y) {
    for (Entry& e : table[bucketOf(x, y)])
      if (e.x == x && e.y == y) return &e.value;
    return nullptr;
  }
  const T* find(int x, int y) const {
    for (const Entry& e : table[bucketOf(x, y)])
      if (e.x == x && e.y == y) return &e.value;
    return nullptr;
  }

  bool contains(int x, int y) const { return find(x, y) != nullptr; }

  /// @brief Forgets every point but keeps the buckets' storage for the next filling.
  void clear() {
    for (GrowArray<Entry>& b : table) b.clear();
    count = 0;
  }

  /// Number of stored points.
  int size() const { return count; }
  /// Number of buckets.
  int bucketCount() const { return nbuckets; }
  /// @brief The bucket that holds (x, y): (y × 1024 + x) mod n on unsigned integers.
  int bucketOf(int x, int y) const {
    const unsigned key = static_cast<unsigned>(y) * 1024u + static_cast<unsigned>(x);
    return static_cast<int>(key % static_cast<unsigned>(nbuckets));
  }
  /// The entries of bucket i in insertion order.
  const GrowArray<Entry>& bucket(int i) const { return table[i]; }

  /// @brief Calls f(x, y, value) for every stored point, bucket by bucket.
  template <class F>
  void forEach(F&& f) const {
    for (const GrowArray<Entry>& b : table)
      for (const Entry& e : b) f(e.x, e.y, e.value);
  }

 private:
  int nbuckets;
  int count = 0;
  GrowArray<GrowArray<Entry>> table;
};

#endif
