// glimshape — libquarl
// Purpose: member definitions of vorn::Image<T> (container); compiled in quarl/image.cpp only.
#ifndef QUARL_IMPL_IMAGE_CONTAINER_H
#define QUARL_IMPL_IMAGE_CONTAINER_H

#include "quarl/image.h"

namespace vorn {

template <class T>
Image<T>::Image() = default;

template <class T>
Image<T>::Image(int w, int h, int nc) : width(w), height(h), nchannels(nc) {
  if (w > 0 && h > 0 && nc > 0) {
    refcount = new std::atomic<int32_t>(1);
    data = new T[size_t(w) * size_t(h) * size_t(nc)];
  }
}

template <class T>
Image<T>::~Image() {
  release();
  width = height = nchannels = 0;
}

template <class T>
T* Image<T>::getDataPtr() const {
  return data;
}

template <class T>
void Image<T>::release() {
  if (refcount && --*refcount == 0) {
    delete refcount;
    delete[] data;
  }
  refcount = nullptr;
  data = nullptr;
}

template <class T>
const char* Image<T>::index_error::what() const noexcept {
  return "Index error exception.";
}

template <class T>
const char* Image<T>::size_mismatch::what() const noexcept {
  return text.c_str();
}

template <class T>
const char* Image<T>::invalid_operation::what() const noexcept {
  return message.c_str();
}

template <class T>
bool Image<T>::iterator::operator==(const iterator& o) const {
  return x == o.x && y == o.y && image.data == o.image.data;
}

}  // namespace vorn

#endif
