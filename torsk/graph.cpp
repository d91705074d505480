// glimshape — libtorsk
// Purpose: graphs with Dijkstra shortest paths.
#include "torsk/graph.h"

namespace vorn {
const char* torskVersion() { return "0.1.0"; }
}  // namespace vorn
