// glimshape — libquarl
// Purpose: element-wise arithmetic, comparison and logical operators of vorn::Image<T>;
// compiled in quarl/image.cpp only.
//
// Arithmetic types: floating images compute int-scalar and image operations in T and
// double-scalar operations in double (rounded to T). Unsigned images compute int-scalar and
// image operations in 32-bit unsigned arithmetic and keep the low bits, so an unsigned char
// 250 + 10 gives 4; double-scalar results are truncated toward zero and wrapped the same way.
#ifndef QUARL_IMPL_IMAGE_ARITH_H
#define QUARL_IMPL_IMAGE_ARITH_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "quarl/image.h"
#include "quarl/impl/image_container.h"

namespace vorn {
namespace detail {

template <class T>
inline constexpr bool isFloatElement = std::is_floating_point_v<T>;

/// Number of elements an image really holds (0 without a buffer, whatever the sizes say).
template <class T>
inline std::size_t elementCount(const Image<T>& im) {
  if (!im.data) return 0;
  return std::size_t(im.width) * std::size_t(im.height) * std::size_t(im.nchannels);
}

/// The result of a double-scalar operation stored in T: rounded for floating elements;
/// truncated toward zero and wrapped to the element's range for unsigned ones.
template <class T>
inline T storeDouble(double v) {
  return fromDouble<T>(v);
}

/// A floating element read as a 32-bit unsigned integer without scaling, for operator|:
/// at or above 4294967295 gives 4294967295; negative values and NaN give 0.
template <class T>
inline std::uint32_t floatToBits(T v) {
  if (!(v > T(0))) return 0u;
  if (double(v) >= 4294967295.0) return 4294967295u;
  return std::uint32_t(v);
}

/// A new image of src's sizes whose element k is f(src[k]).
template <class T, class F>
Image<T> mapElements(const Image<T>& src, F f) {
  Image<T> out(src.width, src.height, src.nchannels);
  const std::size_t n = elementCount(src);
  const T* s = src.data;
  T* d = out.data;
  for (std::size_t k = 0; k < n; ++k) d[k] = f(s[k]);
  return out;
}

/// Replaces every element of im (and of its sharers) by f(element).
template <class T, class F>
void mapInPlace(const Image<T>& im, F f) {
  const std::size_t n = elementCount(im);
  T* d = im.data;
  for (std::size_t k = 0; k < n; ++k) d[k] = f(d[k]);
}

/// A new image of a's sizes whose element k is f(a[k], b[k]); b must hold as many elements.
template <class T, class F>
Image<T> zipElements(const Image<T>& a, const Image<T>& b, F f) {
  Image<T> out(a.width, a.height, a.nchannels);
  const std::size_t n = elementCount(a) < elementCount(b) ? elementCount(a) : elementCount(b);
  const T* s = a.data;
  const T* o = b.data;
  T* d = out.data;
  for (std::size_t k = 0; k < n; ++k) d[k] = f(s[k], o[k]);
  return out;
}

template <class T, class F>
void zipInPlace(const Image<T>& a, const Image<T>& b, F f) {
  const std::size_t n = elementCount(a) < elementCount(b) ? elementCount(a) : elementCount(b);
  T* d = a.data;
  const T* o = b.data;
  for (std::size_t k = 0; k < n; ++k) d[k] = f(d[k], o[k]);
}

// Integer-scalar and image arithmetic: in T for floating elements, in 32-bit unsigned
// arithmetic (wrapping, never undefined) for the unsigned ones.
template <class T>
struct ElementOps {
  static T add(T a, T b) {
    if constexpr (isFloatElement<T>) return a + b;
    else return T(std::uint32_t(a) + std::uint32_t(b));
  }
  static T sub(T a, T b) {
    if constexpr (isFloatElement<T>) return a - b;
    else return T(std::uint32_t(a) - std::uint32_t(b));
  }
  static T mul(T a, T b) {
    if constexpr (isFloatElement<T>) return a * b;
    else return T(std::uint32_t(a) * std::uint32_t(b));
  }
  /// An int scalar in the arithmetic type of the element.
  static T fromInt(int v) {
    if constexpr (isFloatElement<T>) return T(v);
    else return T(std::uint32_t(v));
  }
};

template <class T>
inline void requireSameSizes(const Image<T>& a, const Image<T>& b) {
  if (a.width != b.width || a.height != b.height || a.nchannels != b.nchannels)
    throw typename Image<T>::size_mismatch(a, b);
}

}  // namespace detail

// ---- Scalar operators ---------------------------------------------------------------
//
// The unsigned forms keep an int scalar as a 32-bit unsigned value: adding it and keeping
// the low bits equals the integer sum modulo the element's range.

template <class T>
Image<T> Image<T>::operator+(int v) const {
  const T s = detail::ElementOps<T>::fromInt(v);
  return detail::mapElements(*this, [s](T e) { return detail::ElementOps<T>::add(e, s); });
}

template <class T>
Image<T> Image<T>::operator+(double v) const {
  return detail::mapElements(*this, [v](T e) { return detail::storeDouble<T>(double(e) + v); });
}

template <class T>
Image<T>& Image<T>::operator+=(int v) {
  const T s = detail::ElementOps<T>::fromInt(v);
  detail::mapInPlace(*this, [s](T e) { return detail::ElementOps<T>::add(e, s); });
  return *this;
}

template <class T>
Image<T>& Image<T>::operator+=(double v) {
  detail::mapInPlace(*this, [v](T e) { return detail::storeDouble<T>(double(e) + v); });
  return *this;
}

template <class T>
Image<T> Image<T>::operator-(int v) const {
  const T s = detail::ElementOps<T>::fromInt(v);
  return detail::mapElements(*this, [s](T e) { return detail::ElementOps<T>::sub(e, s); });
}

template <class T>
Image<T> Image<T>::operator-(double v) const {
  return detail::mapElements(*this, [v](T e) { return detail::storeDouble<T>(double(e) - v); });
}

template <class T>
Image<T>& Image<T>::operator-=(int v) {
  const T s = detail::ElementOps<T>::fromInt(v);
  detail::mapInPlace(*this, [s](T e) { return detail::ElementOps<T>::sub(e, s); });
  return *this;
}

template <class T>
Image<T>& Image<T>::operator-=(double v) {
  detail::mapInPlace(*this, [v](T e) { return detail::storeDouble<T>(double(e) - v); });
  return *this;
}

template <class T>
Image<T> Image<T>::operator*(const int& v) const {
  const T s = detail::ElementOps<T>::fromInt(v);
  return detail::mapElements(*this, [s](T e) { return detail::ElementOps<T>::mul(s, e); });
}

template <class T>
Image<T> Image<T>::operator*(double v) const {
  return detail::mapElements(*this, [v](T e) { return detail::storeDouble<T>(v * double(e)); });
}

template <class T>
Image<T>& Image<T>::operator*=(const int& v) {
  const T s = detail::ElementOps<T>::fromInt(v);
  detail::mapInPlace(*this, [s](T e) { return detail::ElementOps<T>::mul(s, e); });
  return *this;
}

template <class T>
Image<T>& Image<T>::operator*=(const double& v) {
  const double s = v;
  detail::mapInPlace(*this, [s](T e) { return detail::storeDouble<T>(s * double(e)); });
  return *this;
}

template <class T>
Image<T> Image<T>::operator/(double v) const {
  return detail::mapElements(*this, [v](T e) { return detail::storeDouble<T>(double(e) / v); });
}

template <class T>
Image<T>& Image<T>::operator/=(const double& v) {
  const double s = v;
  detail::mapInPlace(*this, [s](T e) { return detail::storeDouble<T>(double(e) / s); });
  return *this;
}

// Comparisons run in double; NaN elements compare false except under !=, as in IEEE.
template <class T>
Image<T> Image<T>::operator>(const double& v) const {
  const double s = v;
  return detail::mapElements(*this, [s](T e) { return T(double(e) > s ? 1 : 0); });
}

template <class T>
Image<T> Image<T>::operator>=(const double& v) const {
  const double s = v;
  return detail::mapElements(*this, [s](T e) { return T(double(e) >= s ? 1 : 0); });
}

template <class T>
Image<T> Image<T>::operator<(const double& v) const {
  const double s = v;
  return detail::mapElements(*this, [s](T e) { return T(double(e) < s ? 1 : 0); });
}

template <class T>
Image<T> Image<T>::operator<=(const double& v) const {
  const double s = v;
  return detail::mapElements(*this, [s](T e) { return T(double(e) <= s ? 1 : 0); });
}

template <class T>
Image<T> Image<T>::operator!=(const double& v) const {
  const double s = v;
  return detail::mapElements(*this, [s](T e) { return T(double(e) != s ? 1 : 0); });
}

// ---- Image operators ----------------------------------------------------------------

template <class T>
Image<T> Image<T>::operator+(const Image& o) const {
  detail::requireSameSizes(*this, o);
  return detail::zipElements(*this, o, [](T a, T b) { return detail::ElementOps<T>::add(a, b); });
}

template <class T>
Image<T>& Image<T>::operator+=(const Image& o) {
  detail::requireSameSizes(*this, o);
  detail::zipInPlace(*this, o, [](T a, T b) { return detail::ElementOps<T>::add(a, b); });
  return *this;
}

template <class T>
Image<T> Image<T>::operator-(const Image& o) const {
  detail::requireSameSizes(*this, o);
  return detail::zipElements(*this, o, [](T a, T b) { return detail::ElementOps<T>::sub(a, b); });
}

template <class T>
Image<T>& Image<T>::operator-=(const Image& o) {
  detail::requireSameSizes(*this, o);
  detail::zipInPlace(*this, o, [](T a, T b) { return detail::ElementOps<T>::sub(a, b); });
  return *this;
}

// A channel count that is neither 1 nor this image's would pair elements of different
// pixels (and read past the other buffer), so it is refused like a size difference.
template <class T>
Image<T> Image<T>::operator*(const Image& o) const {
  if (width != o.width || height != o.height || (o.nchannels != 1 && o.nchannels != nchannels))
    throw size_mismatch(*this, o);
  if (o.nchannels == nchannels)
    return detail::zipElements(*this, o,
                               [](T a, T b) { return detail::ElementOps<T>::mul(a, b); });
  Image<T> out(width, height, nchannels);
  if (!data || !o.data) return out;
  const std::size_t pixels = std::size_t(width) * std::size_t(height);
  const int nc = nchannels;
  for (std::size_t p = 0; p < pixels; ++p) {
    const T s = o.data[p];
    const T* src = data + p * nc;
    T* dst = out.data + p * nc;
    for (int c = 0; c < nc; ++c) dst[c] = detail::ElementOps<T>::mul(src[c], s);
  }
  return out;
}

template <class T>
Image<T> Image<T>::operator&(const Image& o) const {
  detail::requireSameSizes(*this, o);
  return detail::zipElements(*this, o,
                             [](T a, T b) { return T(a != T(0) && b != T(0) ? 1 : 0); });
}

template <class T>
const Image<T>& Image<T>::operator&=(const Image& o) const {
  detail::requireSameSizes(*this, o);
  detail::zipInPlace(*this, o, [](T a, T b) { return T(a != T(0) && b != T(0) ? 1 : 0); });
  return *this;
}

template <class T>
Image<T> Image<T>::operator|(const Image& o) const {
  detail::requireSameSizes(*this, o);
  if constexpr (detail::isFloatElement<T>) {
    return detail::zipElements(*this, o, [](T a, T b) {
      return T(detail::floatToBits(a) | detail::floatToBits(b));
    });
  } else {
    return detail::zipElements(*this, o, [](T a, T b) { return T(a | b); });
  }
}

// The image comparisons check sizes like operator+: without the check a smaller other
// image would be read past its end.
template <class T>
Image<T> Image<T>::operator>(const Image& o) const {
  detail::requireSameSizes(*this, o);
  return detail::zipElements(*this, o, [](T a, T b) { return T(a > b ? 1 : 0); });
}

template <class T>
Image<T> Image<T>::operator>=(const Image& o) const {
  detail::requireSameSizes(*this, o);
  return detail::zipElements(*this, o, [](T a, T b) { return T(a >= b ? 1 : 0); });
}

template <class T>
Image<T> Image<T>::operator<(const Image& o) const {
  detail::requireSameSizes(*this, o);
  return detail::zipElements(*this, o, [](T a, T b) { return T(a < b ? 1 : 0); });
}

template <class T>
Image<T> Image<T>::operator<=(const Image& o) const {
  detail::requireSameSizes(*this, o);
  return detail::zipElements(*this, o, [](T a, T b) { return T(a <= b ? 1 : 0); });
}

template <class T>
Image<T> Image<T>::operator!() const {
  return detail::mapElements(*this, [](T e) { return T(e == T(0) ? 1 : 0); });
}

}  // namespace vorn

#endif
