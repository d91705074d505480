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

// Member templates are not instantiated with their class: the twenty converting
// assignments between the element types.
template Image<unsigned char>& Image<unsigned char>::operator=(const Image<unsigned short>&);
template Image<unsigned char>& Image<unsigned char>::operator=(const Image<unsigned int>&);
template Image<unsigned char>& Image<unsigned char>::operator=(const Image<float>&);
template Image<unsigned char>& Image<unsigned char>::operator=(const Image<double>&);
template Image<unsigned short>& Image<unsigned short>::operator=(const Image<unsigned char>&);
template Image<unsigned short>& Image<unsigned short>::operator=(const Image<unsigned int>&);
template Image<unsigned short>& Image<unsigned short>::operator=(const Image<float>&);
template Image<unsigned short>& Image<unsigned short>::operator=(const Image<double>&);
template Image<unsigned int>& Image<unsigned int>::operator=(const Image<unsigned char>&);
template Image<unsigned int>& Image<unsigned int>::operator=(const Image<unsigned short>&);
template Image<unsigned int>& Image<unsigned int>::operator=(const Image<float>&);
template Image<unsigned int>& Image<unsigned int>::operator=(const Image<double>&);
template Image<float>& Image<float>::operator=(const Image<unsigned char>&);
template Image<float>& Image<float>::operator=(const Image<unsigned short>&);
template Image<float>& Image<float>::operator=(const Image<unsigned int>&);
template Image<float>& Image<float>::operator=(const Image<double>&);
template Image<double>& Image<double>::operator=(const Image<unsigned char>&);
template Image<double>& Image<double>::operator=(const Image<unsigned short>&);
template Image<double>& Image<double>::operator=(const Image<unsigned int>&);
template Image<double>& Image<double>::operator=(const Image<float>&);

}  // namespace vorn
