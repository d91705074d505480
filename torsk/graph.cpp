// glimshape — libtorsk
// Purpose: graphs with Dijkstra shortest paths.
#include "torsk/graph.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include "torsk/heap.h"

namespace vorn {

const char* torskVersion() { return "0.1.0"; }

Graph::Graph(int nnodes_) { init(nnodes_); }

Graph::~Graph() { release(); }

void Graph::init(int nnodes_) {
  release();
  if (nnodes_ < 0)
    throw std::invalid_argument("vorn::Graph: negative node count " + std::to_string(nnodes_) +
                                " [hint: nnodes>=0]");
  adj.resize(nnodes_);
  nnodes = nnodes_;
}

void Graph::release() {
  adj.clear();
  adj.shrink_to_fit();
  nnodes = 0;
  negativeWeights = 0;
}

void Graph::addEdge(int a, int b, double w) {
  if (a < 0 || a >= nnodes || b < 0 || b >= nnodes)
    throw std::out_of_range("vorn::Graph::addEdge: edge " + std::to_string(a) + "-" +
                            std::to_string(b) + " outside the " + std::to_string(nnodes) +
                            " nodes");
  if (!(w >= 0.0)) ++negativeWeights;
  adj[a].emplace_back(b, w);
  adj[b].emplace_back(a, w);
}

void Graph::dij(int source, std::vector<pred_dist_t>& out) const {
  // A node already taken from the heap could be improved through a negative edge; the
  // heap cannot take it back, so such graphs are refused rather than answered wrongly.
  if (negativeWeights > 0)
    throw std::invalid_argument("vorn::Graph::dij: the graph has " +
                                std::to_string(negativeWeights) +
                                " edge(s) with a negative weight");
  if (source < 0 || source >= nnodes)
    throw std::out_of_range("vorn::Graph::dij: source " + std::to_string(source) +
                            " outside the " + std::to_string(nnodes) + " nodes");

  Heap heap(nnodes);
  if (static_cast<int>(out.size()) != nnodes) {
    out.clear();
    out.resize(nnodes);
  }
  for (auto& e : out) {
    e.dist = std::numeric_limits<double>::infinity();
    e.pred = -1;
  }
  heap.insert(source, 0.0);
  out[source].dist = 0.0;

  double d = 0.0;
  while (heap.peek() != -1) {
    const int u = heap.remove(&d);
    const int next = heap.peek();
    if (next >= 0) __builtin_prefetch(adj[next].data());
    for (const edge_t& e : adj[u]) {
      const double nd = d + e.weight;
      pred_dist_t& r = out[e.to];
      if (r.dist > nd) {
        r.dist = nd;
        r.pred = u;
        if (heap.exists(e.to))
          heap.update(e.to, nd, 0);
        else
          heap.insert(e.to, nd);
      }
    }
  }
}

void Graph::print(std::ostream& os) const {
  for (int i = 0; i < nnodes; ++i) {
    os << i << ": ";
    for (const edge_t& e : adj[i]) os << "[" << e.to << "," << e.weight << "]";
    os << "\n";
  }
}

std::ostream& operator<<(std::ostream& os, const Graph& g) {
  g.print(os);
  return os;
}

}  // namespace vorn

// ---- Function interface -------------------------------------------------------------

namespace {

struct SingleSource {
  int nvert = 0;
  std::unique_ptr<Heap> heap;
  std::vector<double> curd;
  std::vector<int> prev;
};

SingleSource state;

// What allocGraph really allocates: the public record first, so that a Graph_T* from
// allocGraph can be turned back into its store.
struct GraphStore {
  Graph_T graph;
  int* counts;           // records in each node's list
  long negativeWeights;  // records whose weight is not >= 0
};

GraphStore* storeOf(Graph_T* g) { return reinterpret_cast<GraphStore*>(g); }

// Each node's records live in one block of their own, oldest first, each linked to the
// one before it, so a list is walked through consecutive memory: with one malloc per
// record the lists of a large graph are scattered and Dijkstra waits on cache misses.
// The block doubles when full (from 4 records), and its links are rebuilt after moving.
int blockCapacity(int count) {
  if (count == 0) return 0;
  int cap = 4;
  while (cap < count) cap *= 2;
  return cap;
}

bool hasEdge(const Edge_T* list, int to) {
  for (; list; list = list->next)
    if (list->to == to) return true;
  return false;
}

bool pushEdge(GraphStore* s, int a, int to, double w) {
  Edge_T*& head = s->graph.lists[a];
  int& count = s->counts[a];
  Edge_T* block = count > 0 ? head - (count - 1) : nullptr;
  if (count == blockCapacity(count)) {
    const int cap = count == 0 ? 4 : 2 * count;
    Edge_T* grown = static_cast<Edge_T*>(std::realloc(block, sizeof(Edge_T) * cap));
    if (!grown) return false;
    block = grown;
    for (int i = 0; i < count; ++i) block[i].next = i > 0 ? &block[i - 1] : nullptr;
  }
  block[count] = Edge_T{to, w, count > 0 ? &block[count - 1] : nullptr};
  head = &block[count];
  ++count;
  if (!(w >= 0.0)) ++s->negativeWeights;
  return true;
}

}  // namespace

Graph_T* allocGraph(int n) {
  if (n < 0) {
    std::printf("allocGraph: negative node count %d\n", n);
    return nullptr;
  }
  GraphStore* s = static_cast<GraphStore*>(std::malloc(sizeof(GraphStore)));
  if (!s) return nullptr;
  s->graph.nnodes = n;
  s->graph.lists = static_cast<Edge_T**>(std::calloc(n > 0 ? n : 1, sizeof(Edge_T*)));
  s->counts = static_cast<int*>(std::calloc(n > 0 ? n : 1, sizeof(int)));
  s->negativeWeights = 0;
  if (!s->graph.lists || !s->counts) {
    std::free(s->graph.lists);
    std::free(s->counts);
    std::free(s);
    return nullptr;
  }
  return &s->graph;
}

void graphAddEdge(Graph_T* g, int a, int b, double w) {
  if (!g) return;
  if (a < 0 || a >= g->nnodes || b < 0 || b >= g->nnodes) {
    std::printf("graphAddEdge: edge %d-%d outside the %d nodes\n", a, b, g->nnodes);
    return;
  }
  GraphStore* s = storeOf(g);
  bool ok = true;
  if (!hasEdge(g->lists[a], b)) ok = pushEdge(s, a, b, w);
  if (ok && !hasEdge(g->lists[b], a)) ok = pushEdge(s, b, a, w);
  if (!ok) std::printf("graphAddEdge: out of memory for edge %d-%d\n", a, b);
}

void printGraph(Graph_T* g) {
  if (!g) return;
  for (int i = 0; i < g->nnodes; ++i) {
    std::printf("%d :", i);
    for (const Edge_T* e = g->lists[i]; e; e = e->next) std::printf("[%d,%f] ", e->to, e->weight);
    std::printf("\n");
  }
}

void freeGraph(Graph_T* g) {
  if (!g) return;
  GraphStore* s = storeOf(g);
  for (int i = 0; i < g->nnodes; ++i)
    if (s->counts[i] > 0) std::free(g->lists[i] - (s->counts[i] - 1));
  std::free(g->lists);
  std::free(s->counts);
  std::free(s);
}

void allocSingleSource(Graph_T* g) {
  freeSingleSource();
  if (!g) return;
  state.nvert = g->nnodes;
  state.heap = std::make_unique<Heap>(state.nvert);
  state.curd.assign(state.nvert, 0.0);
  state.prev.assign(state.nvert, -1);
}

int initSingleSource(int source, int n) {
  if (!state.heap || n < 0 || n > state.nvert || source < 0 || source >= n) {
    std::printf("initSingleSource: source %d of %d nodes does not fit the prepared %d\n",
                source, n, state.nvert);
    return -1;
  }
  state.heap->removeAll();
  for (int i = 0; i < n; ++i) {
    state.prev[i] = -1;
    state.curd[i] = i == source ? 0.0 : 1e9;
  }
  for (int i = 0; i < n; ++i) state.heap->insert(i, state.curd[i]);
  return 0;
}

int dij(Graph_T* g, int source) {
  if (!g) {
    std::printf("dij: no graph\n");
    return -1;
  }
  if (g->nnodes != state.nvert || !state.heap) {
    std::printf("dij: the single-source state holds %d nodes, the graph %d\n", state.nvert,
                g->nnodes);
    return -1;
  }
  // Dijkstra cannot revisit a node already taken from the heap, which a negative edge
  // would require; refuse such graphs instead of returning wrong distances.
  if (storeOf(g)->negativeWeights > 0) {
    for (int i = 0; i < g->nnodes; ++i)
      for (const Edge_T* e = g->lists[i]; e; e = e->next)
        if (!(e->weight >= 0.0)) {
          std::printf("dij: refused, edge %d-%d has the negative weight %f\n", i, e->to,
                      e->weight);
          return -1;
        }
  }
  if (source < 0 || source >= g->nnodes) {
    std::printf("dij: source %d outside the %d nodes\n", source, g->nnodes);
    return -1;
  }

  // Nodes enter the heap when first reached rather than all at the start with 1e9: the
  // distances and the unreached nodes (1e9, -1) come out the same, and a heap of the
  // frontier only is several times cheaper on large graphs.
  Heap& heap = *state.heap;
  if (heap.peek() != -1) heap.removeAll();
  double* curd = state.curd.data();
  int* prev = state.prev.data();
  std::fill(curd, curd + g->nnodes, 1e9);
  std::fill(prev, prev + g->nnodes, -1);
  curd[source] = 0.0;
  heap.insert(source, 0.0);
  double d = 0.0;
  while (heap.peek() != -1) {
    const int u = heap.remove(&d);
    const double du = curd[u];
    // The next node's records are most likely far away in memory; ask for them while
    // this node's edges are relaxed.
    const int next = heap.peek();
    if (next >= 0) __builtin_prefetch(g->lists[next]);
    for (const Edge_T* e = g->lists[u]; e; e = e->next) {
      const int v = e->to;
      const double nd = e->weight + du;
      if (curd[v] > nd) {
        curd[v] = nd;
        if (heap.exists(v))
          heap.update(v, nd, 0);
        else
          heap.insert(v, nd);
        prev[v] = u;
      }
    }
  }
  return 0;
}

int* getPred() {
  if (state.nvert <= 0) return nullptr;
  int* out = static_cast<int*>(std::malloc(sizeof(int) * state.nvert));
  return out ? getPredParam(out) : nullptr;
}

int* getPredParam(int* out) {
  if (out && state.nvert > 0) std::memcpy(out, state.prev.data(), sizeof(int) * state.nvert);
  return out;
}

double* getDistances() {
  if (state.nvert <= 0) return nullptr;
  double* out = static_cast<double*>(std::malloc(sizeof(double) * state.nvert));
  return out ? getDistancesParam(out) : nullptr;
}

double* getDistancesParam(double* out) {
  if (out && state.nvert > 0)
    std::memcpy(out, state.curd.data(), sizeof(double) * state.nvert);
  return out;
}

void freeSingleSource() {
  state.heap.reset();
  state.curd.clear();
  state.curd.shrink_to_fit();
  state.prev.clear();
  state.prev.shrink_to_fit();
  state.nvert = 0;
}
