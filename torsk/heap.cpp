// glimshape — libtorsk
// Purpose: the indexed binary min-heap.
#include "torsk/heap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>

namespace {
// The label of the last check that passed, reported when a later one fails. Kept per
// thread so that heaps on different threads cannot race on it.
thread_local std::string previousCheckLabel;
}  // namespace

Heap::Heap(int capacity_) {
  if (capacity_ < 0)
    throw std::invalid_argument("Heap: negative capacity " + std::to_string(capacity_));
  capacity = capacity_;
  pos.reset(new int[capacity > 0 ? capacity : 1]);
  std::fill(pos.get(), pos.get() + capacity, -1);
  // calloc: large blocks come zeroed from the system and are only touched as the heap
  // grows, which keeps a short-lived heap over many ids (one per Dijkstra call) cheap.
  nodes.reset(static_cast<Node*>(std::calloc(capacity > 0 ? capacity : 1, sizeof(Node))));
  if (!nodes) throw std::bad_alloc();
  count = 0;
}

Heap::~Heap() {
  count = 0;
  capacity = 0;
}

void Heap::removeAll() {
  std::fill(pos.get(), pos.get() + capacity, -1);
  std::memset(static_cast<void*>(nodes.get()), 0, sizeof(Node) * capacity);
  count = 0;
}

int Heap::insert(int id, double key) {
  if (id < 0 || id >= capacity) {
    std::printf("problem in insert, id %d outside [0,%d)\n", id, capacity);
    return 1;
  }
  if (pos[id] != -1) {
    std::printf("its already in heap\n");
    return 1;
  }
  // Unreachable while ids are unique and in range; kept as a cheap guard on the arrays.
  if (count >= capacity) {
    std::printf("problem in insert, heap full (%d)\n", capacity);
    return 1;
  }
  nodes[count] = Node{id, key};
  pos[id] = count;
  ++count;
  siftup(count - 1);
  return 0;
}

int Heap::remove(double* key) {
  if (key) *key = -1.0;
  if (count <= 0) return -1;
  const int id = nodes[0].id;
  if (key) *key = nodes[0].key;
  pos[id] = -1;
  if (count > 1) siftDown(0);
  --count;
  return id;
}

int Heap::peek() const { return count > 0 ? nodes[0].id : -1; }

bool Heap::exists(int id) const { return id >= 0 && id < capacity && pos[id] != -1; }

double Heap::get(int id) const {
  if (!exists(id)) {
    std::printf("problem in get, no node for %d\n", id);
    return std::numeric_limits<double>::quiet_NaN();
  }
  return nodes[pos[id]].key;
}

void Heap::update(int id, double key, int keepLower) {
  if (id < 0 || id >= capacity) {
    std::printf("problem in update, id %d outside [0,%d)\n", id, capacity);
    return;
  }
  const int i = pos[id];
  // Re-keying an id that was never inserted means the caller's bookkeeping is broken;
  // like the check functions this ends the process, with a status that says it failed.
  if (i == -1) {
    std::printf("problem in update, -1 index for %d,%f", id, key);
    std::fflush(stdout);
    std::exit(1);
  }
  if (i >= count) {
    std::printf("problem in update, node=(%d,%f), %d>=%d\n", id, key, i, count);
    return;
  }
  if (nodes[i].id != id) {
    std::printf("error in update %d!=%d", nodes[i].id, id);
    return;
  }
  const double old = nodes[i].key;
  if (key < old && keepLower) return;
  nodes[i].key = key;
  if (key < old)
    siftup(i);
  else
    siftDown2(i);
}

namespace {

// Places moving at or below the hole i of the first n nodes: children smaller than it move
// up one level each, then it fills the last hole. The one descent of both removal (moving
// is the last node) and an increased key (moving is node i itself).
template <class NodeT>
void sinkFrom(NodeT* const nd, int* const ps, const int n, int i, const NodeT moving) {
  for (;;) {
    int child = 2 * i + 1;
    if (child >= n) break;
    if (child + 1 < n && nd[child].key > nd[child + 1].key) ++child;
    if (!(moving.key > nd[child].key)) break;
    nd[i] = nd[child];
    ps[nd[i].id] = i;
    i = child;
  }
  nd[i] = moving;
  ps[moving.id] = i;
}

}  // namespace

// The sifts work on local copies of the array pointers and the count: stores into pos
// would otherwise force the compiler to reload them at every level. The child choice
// stays a branch: in a heap larger than the cache, speculating past it starts the next
// level's loads early, which a branch-free choice (a data dependence) would forbid.
void Heap::siftup(int i) {
  if (i < 0 || i >= count) return;
  Node* const nd = nodes.get();
  int* const ps = pos.get();
  const Node moving = nd[i];
  while (i > 0) {
    const int parent = (i - 1) / 2;
    if (!(nd[parent].key > moving.key)) break;
    nd[i] = nd[parent];
    ps[nd[i].id] = i;
    i = parent;
  }
  nd[i] = moving;
  ps[moving.id] = i;
}

void Heap::siftDown(int i) {
  if (i < 0 || i >= count) return;
  sinkFrom(nodes.get(), pos.get(), count, i, nodes[count - 1]);
}

void Heap::siftDown2(int i) {
  if (i < 0 || i >= count) return;
  // Swapping at every level leaves the same arrays as moving the node once at the end.
  sinkFrom(nodes.get(), pos.get(), count, i, nodes[i]);
}

void Heap::checkHeapProperty(const char* label) const {
  bool bad = false;
  for (int i = 0; i < count; ++i) {
    for (int child = 2 * i + 1; child <= 2 * i + 2 && child < count; ++child) {
      if (nodes[child].key < nodes[i].key) {
        std::printf("-----------------------\n");
        std::printf("heap property is not valid (%d,%f) < (%d,%f)\n", child, nodes[child].key,
                    i, nodes[i].key);
        bad = true;
      }
    }
  }
  if (bad) {
    // The label is printed as text: a caller's '%' must not be read as a conversion.
    std::fputs(label ? label : "", stdout);
    std::fflush(stdout);
    std::exit(1);
  }
}

void Heap::check(const char* label) const {
  const char* text = label ? label : "";
  bool bad = false;
  for (int i = 0; i < count; ++i) {
    const int id = nodes[i].id;
    const int stored = (id >= 0 && id < capacity) ? pos[id] : -1;
    if (stored != i) {
      std::fputs(text, stdout);
      std::printf("[%d]=%d thinks its at %d not %d\n", i, id, stored, i);
      bad = true;
    }
  }
  if (bad) {
    std::printf("happened at: %s\n", text);
    std::printf("prevopis:%s\n", previousCheckLabel.c_str());
    std::fflush(stdout);
    std::exit(1);
  }
  previousCheckLabel = text;
}

void Heap::print() const {
  for (int i = 0; i < count; ++i) std::printf("(%d,%2.0f),", nodes[i].id, nodes[i].key);
  std::printf("\n");
}
