// glimshape — libquarl
// Purpose: the one translation unit that compiles vorn::Image<T> for its five element types.
#include "quarl/image.h"

#include "quarl/impl/image_container.h"
#include "quarl/impl/image_arith.h"
#include "quarl/impl/image_files.h"
#include "quarl/impl/image_filters.h"

namespace vorn {

template class Image<unsigned char>;
template class Image<unsigned short>;
template class Image<unsigned int>;
template class Image<float>;
template class Image<double>;

}  // namespace vorn
