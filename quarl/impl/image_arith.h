// glimshape — libquarl
// Purpose: member definitions of vorn::Image<T> (arith); compiled in quarl/image.cpp only.
#ifndef QUARL_IMPL_IMAGE_ARITH_H
#define QUARL_IMPL_IMAGE_ARITH_H

#include "quarl/image.h"

namespace vorn {}  // namespace vorn

#endif
