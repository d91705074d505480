// glimshape — libtorsk
// Purpose: the indexed binary min-heap.
#include "torsk/heap.h"

Heap::Heap(int) {}
Heap::~Heap() {}
