// glimshape — libquarl
// Purpose: member definitions of vorn::Image<T> (filters); compiled in quarl/image.cpp only.
#ifndef QUARL_IMPL_IMAGE_FILTERS_H
#define QUARL_IMPL_IMAGE_FILTERS_H

#include "quarl/image.h"

namespace vorn {}  // namespace vorn

#endif
