// glimshape — libtorsk
// Purpose: Heap, an indexed binary min-heap of (id, key) pairs with a fixed capacity.
#ifndef TORSK_HEAP_H
#define TORSK_HEAP_H

class Heap {
 public:
  explicit Heap(int capacity);
  ~Heap();
};

#endif
