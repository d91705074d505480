// glimshape — tests
// Purpose: counting drand48() draws by replaying the generator from a known state.
#ifndef GLIM_TESTS_NOISE_DRAW_COUNTER_H
#define GLIM_TESTS_NOISE_DRAW_COUNTER_H

#include <cstdlib>

namespace testing_draws {

/// Puts drand48() into the state given by three 16-bit words.
inline void setState(unsigned short a, unsigned short b, unsigned short c) {
  unsigned short state[3] = {a, b, c};
  seed48(state);
}

/// Runs f from the state (a, b, c) and returns how many drand48() values it consumed:
/// the value drawn right after f is looked up in a replay of the same sequence. Returns
/// -1 when it is not found within `limit` draws.
template <class F>
long countDraws(F&& f, long limit = 100000, unsigned short a = 0x330e,
                unsigned short b = 0x1234, unsigned short c = 0xabcd) {
  setState(a, b, c);
  f();
  const double next = drand48();
  setState(a, b, c);
  for (long n = 0; n <= limit; ++n)
    if (drand48() == next) return n;
  return -1;
}

}  // namespace testing_draws

#endif
