// glimshape — examples
// Purpose: prints the versions of the libraries this build made.
#include <cstdio>

#include "quarl/image.h"
#include "torsk/graph.h"

int main() {
  std::printf("glimshape %s\n", GLIM_VERSION);
  std::printf("libtorsk %s\n", vorn::torskVersion());
  vorn::Image<unsigned char> probe(4, 4, 3);
  std::printf("libquarl %s (a %dx%dx%d image is %s)\n", GLIM_VERSION, probe.getWidth(),
              probe.getHeight(), probe.nchannels, probe.getDataPtr() ? "allocated" : "empty");
  return 0;
}
