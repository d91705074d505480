// Tests of Heap: ordering, ties, updates and the position index.
#include "torsk/heap.h"

#include <gtest/gtest.h>

TEST(Heap, Constructs) { Heap h(4); }
