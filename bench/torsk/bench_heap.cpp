// glimshape — bench/torsk
// Purpose: Heap throughput: bulk insert/remove and a decrease-key heavy sequence.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "torsk/heap.h"

namespace {

constexpr int kN = 1000000;

std::vector<double> randomKeys(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> k(n);
  for (double& x : k) x = u(rng);
  return k;
}

// Inserts 1,000,000 random keys, then removes them all; checks the order came out sorted.
void BM_HeapInsertRemove(benchmark::State& state) {
  const auto keys = randomKeys(kN, 1);
  Heap h(kN);
  for (auto _ : state) {
    for (int i = 0; i < kN; ++i) h.insert(i, keys[i]);
    double key = 0, last = -1;
    bool sorted = true;
    for (int i = 0; i < kN; ++i) {
      h.remove(&key);
      sorted &= key >= last;
      last = key;
    }
    if (!sorted) state.SkipWithError("keys came out of order");
  }
  state.SetItemsProcessed(state.iterations() * kN);
}
BENCHMARK(BM_HeapInsertRemove)->Unit(benchmark::kMillisecond);

// 1,000,000 ids, each lowered 8 times on average (as in fast marching), with a removal
// every 8 updates, then the rest removed.
void BM_HeapDecreaseKey(benchmark::State& state) {
  const auto keys = randomKeys(kN, 2);
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> anyId(0, kN - 1);
  std::vector<int> ids(8 * kN);
  for (int& id : ids) id = anyId(rng);
  Heap h(kN);
  for (auto _ : state) {
    for (int i = 0; i < kN; ++i) h.insert(i, 1.0 + keys[i]);
    double key = 0;
    for (size_t j = 0; j < ids.size(); ++j) {
      const int id = ids[j];
      if (h.exists(id)) h.update(id, h.get(id) * 0.9, 0);
      if ((j & 7) == 7) h.remove(&key);
    }
    while (h.remove(&key) != -1) {
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(ids.size()));
}
BENCHMARK(BM_HeapDecreaseKey)->Unit(benchmark::kMillisecond);

}  // namespace
