// glimshape — libtorsk
// Purpose: undirected weighted graphs with Dijkstra shortest paths, as a class and as a
// plain function interface.
#ifndef TORSK_GRAPH_H
#define TORSK_GRAPH_H

#include <iosfwd>
#include <vector>

namespace vorn {

/// The library's version, "major.minor.patch".
const char* torskVersion();

/// @brief Undirected weighted graph over the nodes 0 … nnodes − 1, kept as one vector of
/// edges per node in insertion order; parallel edges are allowed.
class Graph {
 public:
  /// @brief One edge leaving a node.
  struct edge_t {
    edge_t(int to, double weight) : to(to), weight(weight) {}
    int to;         ///< the node reached
    double weight;  ///< the edge's length
  };

  /// @brief One node's shortest-path result.
  struct pred_dist_t {
    double dist;  ///< distance from the source, +∞ when unreachable
    int pred;     ///< previous node on a shortest path, −1 for the source and unreached nodes
  };

  /// @brief A graph of nnodes nodes and no edges.
  /// @warning A negative nnodes throws std::invalid_argument.
  explicit Graph(int nnodes = 0);
  ~Graph();

  /// @brief Drops every edge and makes nnodes edgeless nodes.
  /// @warning A negative nnodes throws std::invalid_argument (the graph is then empty).
  void init(int nnodes);
  /// @brief Drops every node and edge.
  void release();

  /// @brief Adds the undirected edge a–b of weight w (to both nodes' vectors); a repeated
  ///   pair adds a parallel edge.
  /// @warning Node ids outside [0, nnodes) throw std::out_of_range.
  void addEdge(int a, int b, double w);

  /// @brief Single-source shortest paths by Dijkstra's method.
  /// @param source the start node.
  /// @param out receives nnodes entries (reused when it already has exactly nnodes).
  /// @warning A graph with a negative (or NaN) edge weight throws std::invalid_argument,
  ///   as does a source outside [0, nnodes).
  void dij(int source, std::vector<pred_dist_t>& out) const;

  /// @brief One line per node: "id: [to,weight][to,weight]…".
  void print(std::ostream& os) const;

  int getNodeCount() const { return nnodes; }
  /// @brief The edges leaving node a, in insertion order.
  const std::vector<edge_t>& getEdges(int a) const { return adj.at(a); }

 private:
  std::vector<std::vector<edge_t>> adj;
  int nnodes = 0;
  int negativeWeights = 0;  // edges whose weight is not >= 0; Dijkstra refuses them
};

std::ostream& operator<<(std::ostream& os, const Graph& g);

}  // namespace vorn

/// @brief An edge record of the function interface's adjacency lists.
struct Edge_T {
  int to;
  double weight;
  Edge_T* next;  ///< the next record of the same node, null at the end
};

/// @brief Undirected graph of the function interface: one singly linked list per node,
/// newest record first, at most one record per neighbour.
///
/// Graphs are made by allocGraph and changed only through graphAddEdge (the lists may be
/// read freely); adding an edge may move a node's records, so pointers to records are
/// valid only until the next graphAddEdge on the same graph.
struct Graph_T {
  Edge_T** lists;
  int nnodes;
};

/// @brief A new graph with n nodes and no edges; null (with a message) when n is negative.
Graph_T* allocGraph(int n);
/// @brief Adds a–b with weight w to each side that lacks it; an existing edge keeps its
///   first weight. Nothing for a null graph; ids outside the graph are reported and ignored.
void graphAddEdge(Graph_T* g, int a, int b, double w);
/// @brief Prints "id :[to,weight] …" per node on stdout; nothing for a null graph.
void printGraph(Graph_T* g);
/// @brief Frees every record, the lists and the graph (made by allocGraph); nothing for null.
void freeGraph(Graph_T* g);

// Single-source state shared by the whole library: one computation at a time per
// process, not thread-safe.

/// @brief Prepares the single-source state (heap, distances, predecessors) for g's size.
void allocSingleSource(Graph_T* g);
/// @brief Resets the state for a search from source over n nodes: all in the heap,
///   the source at 0 and the others at 1e9.
/// @return 0, or −1 (with a message) when the state is smaller than n or source is outside.
int initSingleSource(int source, int n);
/// @brief Dijkstra from source into the single-source state; unreached nodes keep
///   distance 1e9 and predecessor −1. Nodes enter the heap as they are first reached;
///   among equally short paths the node taken from the heap first supplies the
///   predecessor (only a strictly shorter path replaces it).
/// @return 0, or −1 with a printed refusal when g is null, source is out of range, the
///   state was not prepared for g's size, or g has a negative (or NaN) weight.
int dij(Graph_T* g, int source);
/// @brief A malloc'd copy of the predecessors (release with free); null when unprepared.
int* getPred();
/// @brief Copies the predecessors into out (room for the prepared node count); returns out.
int* getPredParam(int* out);
/// @brief A malloc'd copy of the distances (release with free); null when unprepared.
double* getDistances();
/// @brief Copies the distances into out (room for the prepared node count); returns out.
double* getDistancesParam(double* out);
/// @brief Releases the single-source state.
void freeSingleSource();

#endif
