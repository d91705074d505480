// glimshape — tests/torsk
// Purpose: tests of vorn::Graph and the Graph_T function interface: hand-computed paths,
// print formats, refusals, and Dijkstra against Bellman–Ford on random graphs.
#include "torsk/graph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Edge = std::tuple<int, int, double>;
const double inf = std::numeric_limits<double>::infinity();

template <class F>
std::string captured(F&& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

// Plain Bellman–Ford over the undirected edge list; unreached nodes stay at +∞.
std::vector<double> bellmanFord(int n, const std::vector<Edge>& edges, int source) {
  std::vector<double> d(n, inf);
  d[source] = 0;
  for (int round = 0; round < n; ++round) {
    bool changed = false;
    for (const auto& [a, b, w] : edges) {
      if (d[a] + w < d[b]) d[b] = d[a] + w, changed = true;
      if (d[b] + w < d[a]) d[a] = d[b] + w, changed = true;
    }
    if (!changed) break;
  }
  return d;
}

// Random graph with a few isolated nodes (never used as edge ends) and parallel edges.
std::vector<Edge> randomEdges(std::mt19937& rng, int n, int m, int isolated) {
  std::uniform_int_distribution<int> node(0, n - 1 - isolated);
  std::uniform_int_distribution<int> weight(0, 9);
  std::vector<Edge> edges;
  for (int i = 0; i < m; ++i) edges.emplace_back(node(rng), node(rng), weight(rng) * 0.5);
  return edges;
}

Graph_T* smallFunctionGraph() {
  Graph_T* g = allocGraph(4);
  graphAddEdge(g, 0, 1, 1);
  graphAddEdge(g, 1, 2, 2);
  graphAddEdge(g, 0, 2, 5);
  return g;
}

TEST(Graph, FourNodeShortestPaths) {
  vorn::Graph g(4);
  g.addEdge(0, 1, 1);
  g.addEdge(1, 2, 2);
  g.addEdge(0, 2, 5);
  std::vector<vorn::Graph::pred_dist_t> out;
  g.dij(0, out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0].dist, 0);
  EXPECT_EQ(out[1].dist, 1);
  EXPECT_EQ(out[2].dist, 3);
  EXPECT_EQ(out[3].dist, inf);
  EXPECT_EQ(out[0].pred, -1);
  EXPECT_EQ(out[1].pred, 0);
  EXPECT_EQ(out[2].pred, 1);
  EXPECT_EQ(out[3].pred, -1);

  // A vector of the right size is reused and fully reset; a wrong size is replaced.
  g.dij(3, out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[3].dist, 0);
  EXPECT_EQ(out[0].dist, inf);
  EXPECT_EQ(out[1].pred, -1);
  out.resize(9);
  g.dij(2, out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0].dist, 3);
  EXPECT_EQ(out[0].pred, 1);
}

TEST(Graph, FunctionInterfaceFourNodeShortestPaths) {
  Graph_T* g = smallFunctionGraph();
  allocSingleSource(g);
  ASSERT_EQ(dij(g, 0), 0);
  double* d = getDistances();
  int* p = getPred();
  EXPECT_EQ(std::vector<double>(d, d + 4), (std::vector<double>{0, 1, 3, 1e9}));
  EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{-1, 0, 1, -1}));
  std::free(d);
  std::free(p);

  std::vector<double> d2(4);
  std::vector<int> p2(4);
  EXPECT_EQ(getDistancesParam(d2.data()), d2.data());
  EXPECT_EQ(getPredParam(p2.data()), p2.data());
  EXPECT_EQ(d2, (std::vector<double>{0, 1, 3, 1e9}));
  EXPECT_EQ(p2, (std::vector<int>{-1, 0, 1, -1}));
  freeSingleSource();
  EXPECT_EQ(getDistances(), nullptr);
  freeGraph(g);
}

// Ties: equally short paths and zero-weight edges, in both interfaces. A relaxation that
// also took equal distances would put nodes back into the heap across zero-weight edges
// without end; the diamond's predecessor shows it before the zero-weight part can hang.
TEST(Graph, EqualPathsAndZeroWeightEdges) {
  const std::vector<Edge> diamond = {{0, 1, 1}, {1, 3, 2}, {0, 2, 2}, {2, 3, 1}};
  const std::vector<Edge> zeroTail = {{3, 4, 0}, {4, 5, 0}, {3, 5, 0}, {5, 6, 1}};
  const std::vector<double> expected = {0, 1, 2, 3, 3, 3, 4, inf};
  // Every reached node but the source names a neighbour one edge shorter.
  auto expectShortestPredecessors = [&](const std::vector<double>& dist, const std::vector<int>& pred) {
    for (int v = 1; v < 8; ++v) {
      if (dist[v] == inf) {
        EXPECT_EQ(pred[v], -1);
        continue;
      }
      double w = inf;
      for (const auto& [a, b, weight] : diamond)
        if ((a == v && b == pred[v]) || (b == v && a == pred[v])) w = weight;
      for (const auto& [a, b, weight] : zeroTail)
        if ((a == v && b == pred[v]) || (b == v && a == pred[v])) w = weight;
      EXPECT_EQ(dist[pred[v]] + w, dist[v]) << "node " << v;
    }
  };
  {
    vorn::Graph c(8);
    for (const auto& [a, b, w] : diamond) c.addEdge(a, b, w);
    std::vector<vorn::Graph::pred_dist_t> out;
    c.dij(0, out);
    ASSERT_EQ(out[3].dist, 3);
    // Node 1 (at 1) offers 3 before node 2 (at 2) offers 3 again: the first one keeps it.
    ASSERT_EQ(out[3].pred, 1);
    for (const auto& [a, b, w] : zeroTail) c.addEdge(a, b, w);
    c.dij(0, out);
    std::vector<double> dist;
    std::vector<int> pred;
    for (const auto& r : out) dist.push_back(r.dist), pred.push_back(r.pred);
    EXPECT_EQ(dist, expected);
    expectShortestPredecessors(dist, pred);
  }
  {
    Graph_T* g = allocGraph(8);
    for (const auto& [a, b, w] : diamond) graphAddEdge(g, a, b, w);
    allocSingleSource(g);
    ASSERT_EQ(dij(g, 0), 0);
    int* first = getPred();
    const int pred3 = first[3];
    std::free(first);
    ASSERT_EQ(pred3, 1);
    for (const auto& [a, b, w] : zeroTail) graphAddEdge(g, a, b, w);
    ASSERT_EQ(dij(g, 0), 0);
    std::vector<double> dist(8);
    std::vector<int> pred(8);
    getDistancesParam(dist.data());
    getPredParam(pred.data());
    dist[7] = dist[7] == 1e9 ? inf : dist[7];
    EXPECT_EQ(dist, expected);
    expectShortestPredecessors(dist, pred);
    freeSingleSource();
    freeGraph(g);
  }
}

TEST(Graph, InitSingleSourceStartsEveryNodeFar) {
  Graph_T* g = smallFunctionGraph();
  allocSingleSource(g);
  ASSERT_EQ(dij(g, 0), 0);
  ASSERT_EQ(initSingleSource(2, 4), 0);
  std::vector<double> d(4);
  std::vector<int> p(4);
  getDistancesParam(d.data());
  getPredParam(p.data());
  EXPECT_EQ(d, (std::vector<double>{1e9, 1e9, 0, 1e9}));
  EXPECT_EQ(p, (std::vector<int>{-1, -1, -1, -1}));
  // A search after a reset by hand starts from a clean heap.
  ASSERT_EQ(dij(g, 2), 0);
  getDistancesParam(d.data());
  EXPECT_EQ(d, (std::vector<double>{3, 2, 0, 1e9}));
  freeSingleSource();
  freeGraph(g);
}

TEST(Graph, RepeatedEdges) {
  Graph_T* g = allocGraph(2);
  graphAddEdge(g, 0, 1, 1);
  graphAddEdge(g, 1, 0, 7);
  ASSERT_NE(g->lists[0], nullptr);
  EXPECT_EQ(g->lists[0]->weight, 1);
  EXPECT_EQ(g->lists[0]->next, nullptr);
  EXPECT_EQ(g->lists[1]->weight, 1);
  EXPECT_EQ(g->lists[1]->next, nullptr);
  graphAddEdge(nullptr, 0, 1, 1);
  freeGraph(g);
  freeGraph(nullptr);

  vorn::Graph c(2);
  c.addEdge(0, 1, 1);
  c.addEdge(0, 1, 7);
  ASSERT_EQ(c.getEdges(0).size(), 2u);
  EXPECT_EQ(c.getEdges(0)[1].weight, 7);
  ASSERT_EQ(c.getEdges(1).size(), 2u);
  EXPECT_EQ(c.getEdges(1)[0].to, 0);
}

TEST(Graph, FunctionListsPutNewRecordsFirst) {
  Graph_T* g = allocGraph(3);
  graphAddEdge(g, 0, 1, 1);
  graphAddEdge(g, 0, 2, 2);
  EXPECT_EQ(captured([&] { printGraph(g); }),
            "0 :[2,2.000000] [1,1.000000] \n1 :[0,1.000000] \n2 :[0,2.000000] \n");
  EXPECT_EQ(captured([&] { printGraph(nullptr); }), "");
  freeGraph(g);
}

TEST(Graph, PrintFormats) {
  vorn::Graph c(2);
  c.addEdge(0, 1, 2.5);
  std::ostringstream os;
  os << c;
  EXPECT_EQ(os.str(), "0: [1,2.5]\n1: [0,2.5]\n");

  Graph_T* g = allocGraph(2);
  graphAddEdge(g, 0, 1, 2.5);
  EXPECT_EQ(captured([&] { printGraph(g); }), "0 :[1,2.500000] \n1 :[0,2.500000] \n");
  freeGraph(g);
}

TEST(Graph, BadInputIsRefused) {
  EXPECT_THROW(vorn::Graph(-1), std::invalid_argument);
  vorn::Graph c(3);
  EXPECT_THROW(c.init(-2), std::invalid_argument);
  EXPECT_EQ(c.getNodeCount(), 0);
  c.init(3);
  EXPECT_THROW(c.addEdge(0, 3, 1), std::out_of_range);
  std::vector<vorn::Graph::pred_dist_t> out;
  EXPECT_THROW(c.dij(3, out), std::out_of_range);
  c.addEdge(0, 1, 1);
  c.addEdge(1, 2, -1);
  EXPECT_THROW(c.dij(0, out), std::invalid_argument);
  c.init(3);
  c.addEdge(1, 2, std::nan(""));
  EXPECT_THROW(c.dij(0, out), std::invalid_argument);
  c.release();
  EXPECT_EQ(c.getNodeCount(), 0);

  EXPECT_EQ(captured([&] { EXPECT_EQ(allocGraph(-1), nullptr); }),
            "allocGraph: negative node count -1\n");
  Graph_T* g = smallFunctionGraph();
  EXPECT_EQ(captured([&] { graphAddEdge(g, 0, 4, 1); }),
            "graphAddEdge: edge 0-4 outside the 4 nodes\n");
  EXPECT_EQ(captured([&] { EXPECT_EQ(dij(g, 0), -1); }),
            "dij: the single-source state holds 0 nodes, the graph 4\n");
  allocSingleSource(g);
  EXPECT_EQ(captured([&] { EXPECT_EQ(dij(nullptr, 0), -1); }), "dij: no graph\n");
  EXPECT_EQ(captured([&] { EXPECT_EQ(dij(g, 4), -1); }),
            "dij: source 4 outside the 4 nodes\n");
  EXPECT_EQ(captured([&] { EXPECT_EQ(initSingleSource(4, 4), -1); }),
            "initSingleSource: source 4 of 4 nodes does not fit the prepared 4\n");
  graphAddEdge(g, 2, 3, -0.5);
  EXPECT_EQ(captured([&] { EXPECT_EQ(dij(g, 0), -1); }),
            "dij: refused, edge 2-3 has the negative weight -0.500000\n");
  freeSingleSource();
  freeGraph(g);
}

// Dijkstra in both forms against Bellman–Ford, with parallel edges, zero weights and
// unreachable nodes; predecessors must lie on a shortest path.
TEST(Graph, RandomGraphsMatchBellmanFord) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 30; ++trial) {
    const int n = 5 + trial * 3;
    const auto edges = randomEdges(rng, n, n + trial * 4, trial % 3);
    const int source = trial % (n - 2);
    const auto ref = bellmanFord(n, edges, source);

    vorn::Graph c(n);
    Graph_T* g = allocGraph(n);
    for (const auto& [a, b, w] : edges) {
      c.addEdge(a, b, w);
      graphAddEdge(g, a, b, w);
    }
    std::vector<vorn::Graph::pred_dist_t> out;
    c.dij(source, out);
    allocSingleSource(g);
    ASSERT_EQ(dij(g, source), 0);
    std::vector<double> fd(n);
    std::vector<int> fp(n);
    getDistancesParam(fd.data());
    getPredParam(fp.data());

    // graphAddEdge keeps one weight per pair, the first added: its reference differs
    // from the parallel-edge one, so build it from the lists themselves.
    std::vector<Edge> kept;
    for (int i = 0; i < n; ++i)
      for (const Edge_T* e = g->lists[i]; e; e = e->next) kept.emplace_back(i, e->to, e->weight);
    const auto refKept = bellmanFord(n, kept, source);

    for (int v = 0; v < n; ++v) {
      SCOPED_TRACE("trial " + std::to_string(trial) + " node " + std::to_string(v));
      EXPECT_DOUBLE_EQ(out[v].dist, ref[v]);
      if (v == source || ref[v] == inf) {
        EXPECT_EQ(out[v].pred, -1);
      } else {
        const int u = out[v].pred;
        ASSERT_GE(u, 0);
        double best = inf;
        for (const auto& e : c.getEdges(u))
          if (e.to == v) best = std::min(best, e.weight);
        EXPECT_DOUBLE_EQ(ref[u] + best, ref[v]);
      }
      if (refKept[v] == inf) {
        EXPECT_EQ(fd[v], 1e9);
        EXPECT_EQ(fp[v], -1);
      } else {
        EXPECT_DOUBLE_EQ(fd[v], refKept[v]);
        if (v == source) {
          EXPECT_EQ(fp[v], -1);
        } else {
          const int u = fp[v];
          ASSERT_GE(u, 0);
          double w = inf;
          for (const Edge_T* e = g->lists[u]; e; e = e->next)
            if (e->to == v) w = e->weight;
          EXPECT_DOUBLE_EQ(refKept[u] + w, refKept[v]);
        }
      }
    }
    freeSingleSource();
    freeGraph(g);
  }
}

}  // namespace
