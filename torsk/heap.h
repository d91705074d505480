// glimshape — libtorsk
// Purpose: Heap, an indexed binary min-heap of (id, key) pairs with a fixed capacity.
#ifndef TORSK_HEAP_H
#define TORSK_HEAP_H

#include <cstdlib>
#include <memory>

/// @brief Binary min-heap of (id, key) pairs over the ids 0 … capacity − 1, with an index
/// from each id to its node so that a key can be read, lowered or raised in O(log n).
///
/// Only strict comparisons move nodes: equal keys keep their places and a tie between two
/// children goes to the left one. Nothing after construction allocates except `check`
/// (which remembers its label). A heap belongs to one thread; copies are not allowed.
class Heap {
 public:
  /// @brief An empty heap for the ids 0 … capacity − 1.
  /// @param capacity number of ids (and the most nodes held at once).
  /// @warning A negative capacity throws std::invalid_argument.
  explicit Heap(int capacity);
  ~Heap();
  Heap(const Heap&) = delete;
  Heap& operator=(const Heap&) = delete;

  /// @brief Empties the heap for reuse; the capacity stays.
  void removeAll();

  /// @brief Adds id with key.
  /// @return 0 on success; 1 when the id is already present ("its already in heap"),
  ///   lies outside [0, capacity) or the heap is full (each with a message on stdout).
  int insert(int id, double key);

  /// @brief Takes out the node with the smallest key.
  /// @param key receives the removed key, or −1.0 when the heap is empty (may be null).
  /// @return the removed id, or −1 when the heap is empty.
  int remove(double* key);

  /// @brief The id with the smallest key, or −1 when the heap is empty.
  int peek() const;

  /// @brief Whether id is in the heap (false for ids outside [0, capacity)).
  bool exists(int id) const;

  /// @brief The key stored for id.
  /// @warning For an absent id a message is printed and NaN returned.
  double get(int id) const;

  /// @brief Changes the key of a present id.
  /// @param keepLower when non-zero, a key lower than the stored one is refused.
  /// @warning An id that is not in the heap is reported on stdout and ends the process
  ///   with status 1 (a broken caller); an id outside [0, capacity) or an inconsistent
  ///   index is reported and the heap is left unchanged.
  void update(int id, double key, int keepLower);

  /// @brief Moves node i up while its parent's key is strictly greater.
  void siftup(int i);
  /// @brief Removal's sift: moves the last node (index count − 1, count not yet
  ///   decremented) down from index i, copying children up in one pass.
  void siftDown(int i);
  /// @brief Moves node i itself down by swapping with its smaller child.
  void siftDown2(int i);

  /// @brief Debugging aid: reports every child whose key is below its parent's; when
  ///   any is found prints label and ends the process with status 1.
  void checkHeapProperty(const char* label) const;
  /// @brief Debugging aid: reports every node whose id's index is wrong; when any is
  ///   found prints where it happened and the previous good check's label and ends the
  ///   process with status 1. The previous label is kept per thread.
  void check(const char* label) const;
  /// @brief Prints every node in array order as "(id,key),".
  void print() const;

 private:
  friend class HeapInspector;  // read-only access for the invariant tests

  struct Node {
    int id;
    double key;
  };

  struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
  };

  std::unique_ptr<int[]> pos;                  // id → node index, −1 when absent
  std::unique_ptr<Node[], FreeDeleter> nodes;  // the heap in array form
  int count = 0;
  int capacity = 0;
};

#endif
