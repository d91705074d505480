// glimshape — libtorsk
// Purpose: graphs with Dijkstra shortest paths.
#ifndef TORSK_GRAPH_H
#define TORSK_GRAPH_H

namespace vorn {
/// The library's version, "major.minor.patch".
const char* torskVersion();
}  // namespace vorn

#endif
