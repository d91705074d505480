// glimshape — libquarl
// Purpose: member definitions of vorn::Image<T> (container); compiled in quarl/image.cpp only.
#ifndef QUARL_IMPL_IMAGE_CONTAINER_H
#define QUARL_IMPL_IMAGE_CONTAINER_H

#include "quarl/image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>
#include <sstream>

namespace vorn {
namespace detail {

/// @brief Truncates v toward zero to a 32-bit integer. NaN and values outside the 32-bit
/// range give INT32_MIN (whose low 8 and 16 bits are 0), so the conversion is defined for
/// every input; in-range values wrap when the caller keeps only the low bits.
inline int32_t truncToInt32(float v) {
  return (v >= -2147483648.0f && v < 2147483648.0f) ? static_cast<int32_t>(v) : INT32_MIN;
}
inline int32_t truncToInt32(double v) {
  return (v >= -2147483648.0 && v < 2147483648.0) ? static_cast<int32_t>(v) : INT32_MIN;
}

/// @brief Converts a double to the element type T: floating types round, integer types
/// truncate toward zero and wrap modulo 2^bits; NaN gives 0.
template <class T>
inline T fromDouble(double v) {
  if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(v);
  } else {
    if (!(v == v)) return T(0);
    // Beyond the 64-bit range the low bits are meaningless anyway; pin the value there.
    if (v >= 9.2e18) return static_cast<T>(INT64_MAX);
    if (v <= -9.2e18) return static_cast<T>(INT64_MIN);
    return static_cast<T>(static_cast<int64_t>(v));
  }
}

/// @brief One element converted from element type S to element type D by the library's
/// conversion table (full intensity maps to full intensity; 8- and 16-bit targets wrap).
template <class D, class S>
inline D convertElement(S s) {
  if constexpr (std::is_same_v<D, S>) {
    return s;
  } else if constexpr (std::is_same_v<S, unsigned char>) {
    if constexpr (std::is_same_v<D, unsigned short>) return static_cast<unsigned short>(s << 8);
    if constexpr (std::is_same_v<D, unsigned int>) return static_cast<unsigned int>(s) << 24;
    if constexpr (std::is_same_v<D, float>) return static_cast<float>(s) / 255.0f;
    if constexpr (std::is_same_v<D, double>) return s / 255.0;
  } else if constexpr (std::is_same_v<S, unsigned short>) {
    if constexpr (std::is_same_v<D, unsigned char>)
      return static_cast<unsigned char>(static_cast<int32_t>(s * 255.0 / 65535.0));
    if constexpr (std::is_same_v<D, unsigned int>) return static_cast<unsigned int>(s) << 16;
    // Divides by 65536 (not 65535): full intensity maps just below 1.
    if constexpr (std::is_same_v<D, float>) return static_cast<float>(s) / 65536.0f;
    if constexpr (std::is_same_v<D, double>) return s / 65536.0;
  } else if constexpr (std::is_same_v<S, unsigned int>) {
    if constexpr (std::is_same_v<D, unsigned char>)
      return static_cast<unsigned char>(static_cast<int32_t>(s * 255.0 / 4294967295.0));
    if constexpr (std::is_same_v<D, unsigned short>) return static_cast<unsigned short>(s >> 16);
    if constexpr (std::is_same_v<D, float>) return static_cast<float>(s) / 4294967295.0f;
    if constexpr (std::is_same_v<D, double>) return s / 4294967295.0;
  } else if constexpr (std::is_same_v<S, float>) {
    if constexpr (std::is_same_v<D, unsigned char>)
      return static_cast<unsigned char>(truncToInt32(255.0f * s));
    if constexpr (std::is_same_v<D, unsigned short>)
      return static_cast<unsigned short>(truncToInt32(65535.0f * s));
    if constexpr (std::is_same_v<D, unsigned int>) {
      const float p = 4294967296.0f * s;
      return p > 0.0f ? (p < 4294967296.0f ? static_cast<unsigned int>(p) : 4294967295u) : 0u;
    }
    if constexpr (std::is_same_v<D, double>) return static_cast<double>(s);
  } else if constexpr (std::is_same_v<S, double>) {
    if constexpr (std::is_same_v<D, unsigned char>)
      return static_cast<unsigned char>(truncToInt32(255.0 * s));
    if constexpr (std::is_same_v<D, unsigned short>)
      return static_cast<unsigned short>(truncToInt32(65535.0 * s));
    if constexpr (std::is_same_v<D, unsigned int>) {
      const double p = 4294967295.0 * s;
      return p > 0.0 ? (p < 4294967295.0 ? static_cast<unsigned int>(p) : 4294967295u) : 0u;
    }
    if constexpr (std::is_same_v<D, float>) return static_cast<float>(s);
  }
}

/// @brief Converts n elements; a flat loop over restrict pointers so it vectorises.
template <class D, class S>
void convertElements(const S* __restrict src, D* __restrict dst, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = convertElement<D>(src[i]);
}

inline size_t elementCount(int w, int h, int c) {
  return size_t(w) * size_t(h) * size_t(c);
}

/// @brief True for an image that has pixels by its sizes but no buffer, which is what an
/// explicit `release` leaves behind; operations treat it as having no pixels.
template <class T>
bool isReleased(const Image<T>& im) {
  return !im.data && im.width != 0 && im.height != 0;
}

/// @brief A one-channel image of im's size whose pixel i is f(the channels of im's pixel
/// i); a released image gives a 0 × 0 image.
/// @param f callable T(const T* channels), the pixel's nchannels values in order.
template <class T, class F>
Image<T> perPixel(const Image<T>& im, F f) {
  if (isReleased(im)) return Image<T>(0, 0, 1);
  Image<T> result(im.width, im.height, 1);
  if (!result.data) return result;
  const size_t n = size_t(im.width) * size_t(im.height);
  for (size_t i = 0; i < n; ++i) result.data[i] = f(im.data + i * im.nchannels);
  return result;
}

}  // namespace detail

// ---- Exceptions -----------------------------------------------------------------------

template <class T>
const char* Image<T>::index_error::what() const noexcept {
  return "Index error exception.";
}

template <class T>
Image<T>::size_mismatch::size_mismatch() : text("Dimension mismatch exception.") {}

template <class T>
Image<T>::size_mismatch::size_mismatch(const Image<T>& first, const Image<T>& second)
    : size_mismatch(first.width, first.height, first.nchannels, second.width, second.height,
                    second.nchannels) {}

template <class T>
Image<T>::size_mismatch::size_mismatch(int firstWidth, int firstHeight, int firstChannels,
                                       int secondWidth, int secondHeight, int secondChannels)
    : width1(firstWidth),
      width2(secondWidth),
      height1(firstHeight),
      height2(secondHeight),
      channels1(firstChannels),
      channels2(secondChannels),
      haveSizes(true) {
  // Each object keeps its own text: a buffer shared by the family would let a second
  // exception (or another thread) overwrite the message of the first.
  char buf[128];
  std::snprintf(buf, sizeof buf, "Dimension mismatch exception: %dx%dx%d != %dx%dx%d",
                firstWidth, firstHeight, firstChannels, secondWidth, secondHeight,
                secondChannels);
  text = buf;
}

template <class T>
const char* Image<T>::size_mismatch::what() const noexcept {
  return text.c_str();
}

template <class T>
Image<T>::invalid_operation::invalid_operation(std::string m) : message(std::move(m)) {}

template <class T>
const char* Image<T>::invalid_operation::what() const noexcept {
  return message.c_str();
}

// ---- Construction, assignment and conversion ------------------------------------------

template <class T>
Image<T>::Image() = default;

template <class T>
Image<T>::Image(int w, int h, int nc) {
  // Negative sizes would make w * h * nc meaningless (two negatives multiply to a
  // positive count), so such an image stays empty.
  if (w < 0 || h < 0 || nc < 0) return;
  // Element access indexes with 32-bit integers; a larger buffer could not be addressed.
  // The pixel count is bounded too, so an image of no channels cannot claim more pixels
  // than a resize or a conversion could ever allocate.
  if (detail::elementCount(w, h, nc) > size_t(INT32_MAX) ||
      size_t(w) * size_t(h) > size_t(INT32_MAX))
    throw std::bad_alloc();
  width = w;
  height = h;
  nchannels = nc;
  if (w != 0 && h != 0) {
    std::unique_ptr<T[]> buffer(new T[detail::elementCount(w, h, nc)]);
    refcount = new std::atomic<int32_t>(1);
    data = buffer.release();
  }
}

template <class T>
Image<T>::Image(const char* filename) {
  read(filename);
}

template <class T>
Image<T>::Image(const Image& other)
    : refcount(other.refcount),
      data(other.data),
      width(other.width),
      height(other.height),
      nchannels(other.nchannels) {
  if (refcount) refcount->fetch_add(1, std::memory_order_relaxed);
}

template <class T>
Image<T>::Image(Image&& other) noexcept
    : refcount(other.refcount),
      data(other.data),
      width(other.width),
      height(other.height),
      nchannels(other.nchannels) {
  other.refcount = nullptr;
  other.data = nullptr;
  other.width = other.height = other.nchannels = 0;
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
  // acq_rel: the last sharer must see every write made through the others before freeing.
  if (refcount && refcount->fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete refcount;
    delete[] data;
  }
  refcount = nullptr;
  data = nullptr;
}

template <class T>
Image<T>& Image<T>::operator=(const Image& other) {
  return operatorEquals(other);
}

template <class T>
Image<T>& Image<T>::operatorEquals(const Image& other) {
  if (this == &other) return *this;
  // Take the new share first, so releasing ours cannot free a buffer both use.
  if (other.refcount) other.refcount->fetch_add(1, std::memory_order_relaxed);
  release();
  refcount = other.refcount;
  data = other.data;
  width = other.width;
  height = other.height;
  nchannels = other.nchannels;
  return *this;
}

template <class T>
Image<T>& Image<T>::operator=(Image&& other) noexcept {
  if (this == &other) return *this;
  release();
  refcount = other.refcount;
  data = other.data;
  width = other.width;
  height = other.height;
  nchannels = other.nchannels;
  other.refcount = nullptr;
  other.data = nullptr;
  other.width = other.height = other.nchannels = 0;
  return *this;
}

template <class T>
template <class U>
Image<T>& Image<T>::operator=(const Image<U>& other) {
  if (detail::isReleased(other)) {
    *this = Image<T>(0, 0, other.nchannels);
    return *this;
  }
  *this = Image<T>(other.width, other.height, other.nchannels);
  if (data && other.data)
    detail::convertElements<T, U>(other.data, data,
                                  detail::elementCount(width, height, nchannels));
  return *this;
}

template <class T>
Image<T>& Image<T>::operator=(int v) {
  const T value = static_cast<T>(v);
  std::fill_n(data, data ? detail::elementCount(width, height, nchannels) : 0, value);
  return *this;
}

template <class T>
Image<T>& Image<T>::operator=(double v) {
  const T value = detail::fromDouble<T>(v);
  std::fill_n(data, data ? detail::elementCount(width, height, nchannels) : 0, value);
  return *this;
}

template <class T>
T Image<T>::representationMax() {
  if constexpr (std::is_floating_point_v<T>)
    return T(1);
  else
    return static_cast<T>(~T(0));
}

// ---- Iteration ------------------------------------------------------------------------

template <class T>
Image<T>::iterator::iterator(const Image& im, int x0, int y0) : image(im), x(x0), y(y0) {}

template <class T>
typename Image<T>::iterator& Image<T>::iterator::operator++() {
  if (++x >= image.width) {
    x = 0;
    ++y;
  }
  return *this;
}

template <class T>
T& Image<T>::iterator::operator*() const {
  return image(x, y, 0);
}

template <class T>
T* Image<T>::iterator::operator->() const {
  return &image(x, y, 0);
}

template <class T>
bool Image<T>::iterator::operator==(const iterator& o) const {
  return x == o.x && y == o.y && image.data == o.image.data;
}

template <class T>
typename Image<T>::iterator Image<T>::begin() const {
  // Without pixels begin equals end, so a loop over a 0 × h image never dereferences.
  return iterator(*this, 0, (width > 0 && data) ? 0 : height);
}

template <class T>
typename Image<T>::iterator Image<T>::end() const {
  return iterator(*this, 0, height);
}

// ---- Copies and parts -----------------------------------------------------------------

template <class T>
Image<T> Image<T>::copy() const {
  if (detail::isReleased(*this)) return Image(0, 0, nchannels);
  Image result(width, height, nchannels);
  if (result.data && data)
    std::memcpy(result.data, data, detail::elementCount(width, height, nchannels) * sizeof(T));
  return result;
}

template <class T>
Image<T> Image<T>::subimage(int x, int y, int w, int h) const {
  if (detail::isReleased(*this)) return Image(0, 0, nchannels);
  w = std::max(w, 1);
  h = std::max(h, 1);
  // A region larger than the image is shrunk to it; moving it alone would leave it
  // partly outside the buffer.
  w = std::min(w, width);
  h = std::min(h, height);
  x = std::max(x, 0);
  y = std::max(y, 0);
  y = std::min(y, height - h);
  x = std::min(x, width - w);
  Image result(w, h, nchannels);
  if (!result.data) return result;
  const size_t rowElements = size_t(w) * size_t(nchannels);
  for (int r = 0; r < h; ++r)
    std::memcpy(&result(0, r, 0), &(*this)(x, y + r, 0), rowElements * sizeof(T));
  return result;
}

template <class T>
void Image<T>::setSubimage(int x, int y, Image<T> sub) {
  if (sub.nchannels != nchannels) throw size_mismatch();
  x = std::max(x, 0);
  y = std::max(y, 0);
  if (int64_t(x) + sub.width > width || int64_t(y) + sub.height > height) throw index_error();
  if (!sub.data || !data) return;
  const size_t rowElements = size_t(sub.width) * size_t(nchannels);
  // memmove: sub may share this image's buffer.
  for (int r = 0; r < sub.height; ++r)
    std::memmove(&(*this)(x, y + r, 0), &sub(0, r, 0), rowElements * sizeof(T));
}

// ---- Channels -------------------------------------------------------------------------

template <class T>
Image<T> Image<T>::getChannel(int c) const {
  if (nchannels == 0) return Image();
  if (c < 0 || c >= nchannels) throw index_error();
  return detail::perPixel(*this, [c](const T* p) { return p[c]; });
}

template <class T>
void Image<T>::setChannel(int c, int v) {
  if (nchannels == 0 || !data) return;
  if (c < 0 || c >= nchannels) throw index_error();
  const T value = static_cast<T>(v);
  const size_t n = size_t(width) * size_t(height);
  for (size_t i = 0; i < n; ++i) data[c + i * nchannels] = value;
}

template <class T>
void Image<T>::setChannel(int c, double v) {
  if (nchannels == 0 || !data) return;
  if (c < 0 || c >= nchannels) throw index_error();
  const T value = detail::fromDouble<T>(v);
  const size_t n = size_t(width) * size_t(height);
  for (size_t i = 0; i < n; ++i) data[c + i * nchannels] = value;
}

template <class T>
void Image<T>::setChannel(int c, const Image& src, int srcChannel) {
  if (nchannels == 0 || !data) return;
  if (c < 0 || c >= nchannels || srcChannel < 0 || srcChannel >= src.nchannels)
    throw index_error();
  if (src.width < width || src.height < height || !src.data) throw size_mismatch(*this, src);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) (*this)(x, y, c) = src(x, y, srcChannel);
}

template <class T>
void Image<T>::setToChannel(int c) {
  if (nchannels == 0 || !data) return;
  if (c < 0 || c >= nchannels) throw index_error();
  const size_t n = size_t(width) * size_t(height);
  for (size_t i = 0; i < n; ++i) {
    T* pixel = data + i * nchannels;
    const T v = pixel[c];
    for (int k = 0; k < nchannels; ++k) pixel[k] = v;
  }
}

template <class T>
Image<T> Image<T>::convertToGrayscale() const {
  if (nchannels == 1) return copy();
  if (nchannels != 3 && nchannels != 4) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Cannot convert %d channels to grayscale.\n", nchannels);
    throw invalid_operation(buf);
  }
  return detail::perPixel(*this, [](const T* p) {
    return detail::fromDouble<T>((double(p[0]) + double(p[1]) + double(p[2])) / 3.0);
  });
}

template <class T>
Image<T> Image<T>::convertToRgba() const {
  if (nchannels == 4) return copy();
  if (nchannels != 1 && nchannels != 3) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Cannot add alpha channel to image with %d channels.\n",
                  nchannels);
    throw invalid_operation(buf);
  }
  if (detail::isReleased(*this)) return Image(0, 0, 4);
  Image result(width, height, 4);
  if (!result.data) return result;
  const size_t n = size_t(width) * size_t(height);
  const T alpha = representationMax();
  for (size_t i = 0; i < n; ++i) {
    const T* p = data + i * nchannels;
    T* q = result.data + i * 4;
    if (nchannels == 1) {
      q[0] = q[1] = q[2] = p[0];
    } else {
      q[0] = p[0];
      q[1] = p[1];
      q[2] = p[2];
    }
    q[3] = alpha;
  }
  return result;
}

// ---- Whole-image queries and in-place operations -------------------------------------

template <class T>
void Image<T>::getRange(double& lo, double& hi) const {
  lo = 1e11;
  hi = -1e11;
  const size_t n = data ? detail::elementCount(width, height, nchannels) : 0;
  // Both bounds are checked for every element: with "lower lo, else raise hi", a
  // single element or a falling sequence would never raise hi.
  for (size_t i = 0; i < n; ++i) {
    const double v = double(data[i]);
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
}

template <class T>
Image<float> Image<T>::getNormalizedImage() const {
  Image<float> result;
  double lo, hi;
  if constexpr (std::is_same_v<T, float>) {
    result = copy();
    getRange(lo, hi);
  } else if constexpr (std::is_same_v<T, double>) {
    result = *this;
    getRange(lo, hi);
  } else {
    // Integer images are measured after the conversion, so they too land on [0, 1].
    result = *this;
    result.getRange(lo, hi);
  }
  if (!result.data) return result;
  const size_t n = detail::elementCount(result.width, result.height, result.nchannels);
  float* p = result.data;
  if (!(hi > lo)) {
    // A constant image has no spread to stretch; 1 / (hi - lo) would turn it into NaN.
    std::fill_n(p, n, 0.0f);
    return result;
  }
  const double scale = 1.0 / (hi - lo);
  for (size_t i = 0; i < n; ++i) p[i] = float((double(p[i]) - lo) * scale);
  return result;
}

template <class T>
Image<T> Image<T>::maximum() const {
  const int nc = nchannels;
  return detail::perPixel(*this, [nc](const T* p) {
    T m = T(0);
    for (int k = 0; k < nc; ++k)
      if (p[k] > m) m = p[k];
    return m;
  });
}

template <class T>
Image<T> Image<T>::len() const {
  const int nc = nchannels;
  return detail::perPixel(*this, [nc](const T* p) {
    double sum = 0.0;
    for (int k = 0; k < nc; ++k) sum += double(p[k]) * double(p[k]);
    return detail::fromDouble<T>(std::sqrt(sum));
  });
}

template <class T>
Image<T> Image<T>::threshLess(const double* thresholds) const {
  if (!thresholds && nchannels > 0) throw invalid_operation("threshLess: no thresholds given.");
  const int nc = nchannels;
  return detail::perPixel(*this, [nc, thresholds](const T* p) {
    bool below = true;
    for (int k = 0; k < nc && below; ++k) below = thresholds[k] > double(p[k]);
    return below ? T(1) : T(0);
  });
}

template <class T>
void Image<T>::abs() {
  if constexpr (std::is_same_v<T, unsigned char> || std::is_same_v<T, unsigned short>) {
    return;
  } else {
    const size_t n = data ? detail::elementCount(width, height, nchannels) : 0;
    for (size_t i = 0; i < n; ++i) {
      if constexpr (std::is_same_v<T, unsigned int>) {
        // The element is read as a signed 32-bit value; widening first keeps
        // |INT32_MIN| = 2147483648 representable.
        const int64_t s = static_cast<int32_t>(data[i]);
        data[i] = static_cast<unsigned int>(s < 0 ? -s : s);
      } else {
        // Integer absolute value: the fraction is dropped. trunc keeps values beyond the
        // 32-bit range meaningful instead of relying on an out-of-range conversion.
        data[i] = std::trunc(std::fabs(data[i]));
      }
    }
  }
}

template <class T>
void Image<T>::fabs() {
  if constexpr (std::is_floating_point_v<T>) {
    const size_t n = data ? detail::elementCount(width, height, nchannels) : 0;
    for (size_t i = 0; i < n; ++i) data[i] = std::fabs(data[i]);
  }
}

template <class T>
Image<T> Image<T>::map(const Image<unsigned int>& labels) const {
  if (detail::isReleased(*this)) return Image(0, 0, nchannels);
  Image result(width, height, nchannels);
  if (labels.width != width || labels.height != height) {
    std::printf("Image::map inconsistent sizes for map %dx%d!=%dx%d\n", width, height,
                labels.width, labels.height);
    return result;
  }
  if (!result.data || nchannels == 0) return result;
  if (labels.nchannels < 1 || !labels.data) throw size_mismatch(width, height, nchannels, labels.width,
                                                labels.height, labels.nchannels);
  const size_t npixels = size_t(width) * size_t(height);
  for (size_t i = 0; i < npixels; ++i) {
    const size_t from = labels.data[i];
    // A label naming no pixel of this image would read outside the buffer.
    if (from >= npixels) throw index_error();
    for (int j = 0; j < nchannels; ++j)
      result.data[i * nchannels + j] = data[from * nchannels + j];
  }
  return result;
}

template <class T>
void Image<T>::print(const char* fmt, FILE* stream) const {
  for (int c = 0; c < nchannels; ++c) {
    std::fprintf(stream, "channel %d\n", c);
    if (!data) continue;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const T v = get(x, y, c);
        if constexpr (std::is_floating_point_v<T>)
          std::fprintf(stream, fmt, double(v));
        else if constexpr (std::is_same_v<T, unsigned int>)
          std::fprintf(stream, fmt, v);
        else
          std::fprintf(stream, fmt, int(v));
      }
      std::fprintf(stream, "\n");
    }
  }
}

template <class T>
void Image<T>::print(std::ostream& os) const {
  if (!data) return;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      os << "(";
      for (int c = 0; c < nchannels; ++c) {
        if constexpr (std::is_same_v<T, unsigned char>)
          os << unsigned(get(x, y, c)) << " ";
        else
          os << get(x, y, c) << " ";
      }
      os << ")";
    }
    os << "\n";
  }
}

template <class T>
Image<T>::operator std::string() const {
  std::ostringstream os;
  print(os);
  return os.str();
}

// ---- Region operations (unsigned char only) -------------------------------------------

template <>
int Image<unsigned char>::visit(Image<unsigned char>& visited, int x, int y,
                                int value) const {
  if (!inBounds(x, y, 0) || !data) return 0;
  if (visited.width < width || visited.height < height || visited.nchannels < 1 ||
      !visited.data)
    throw size_mismatch(width, height, nchannels, visited.width, visited.height,
                        visited.nchannels);
  // A position can be queued more than once before it is marked, so the queue grows
  // as needed instead of living in a fixed ring.
  std::vector<std::pair<int, int>> queue;
  queue.emplace_back(x, y);
  int count = 0;
  for (size_t head = 0; head < queue.size(); ++head) {
    const int px = queue[head].first;
    const int py = queue[head].second;
    if (visited(px, py, 0)) continue;
    visited(px, py, 0) = 1;
    ++count;
    const int nx[4] = {px - 1, px, px + 1, px};
    const int ny[4] = {py, py - 1, py, py + 1};
    for (int k = 0; k < 4; ++k) {
      if (nx[k] < 0 || nx[k] >= width || ny[k] < 0 || ny[k] >= height) continue;
      if (get(nx[k], ny[k], 0) == value && !visited(nx[k], ny[k], 0))
        queue.emplace_back(nx[k], ny[k]);
    }
  }
  return count;
}

template <>
void Image<unsigned char>::fill(int x, int y, int from, int to, int depth, int& budget) {
  if (!inBounds(x, y, 0) || !data) return;
  // An explicit stack of frames replaces the recursion (left, up, right, down, with the
  // depth limit and the budget checked on entry), so long regions cannot exhaust the
  // call stack; the order of visits is that of the recursive form.
  struct Frame {
    int x, y, depth, next;
  };
  std::vector<Frame> stack;
  const unsigned char toValue = static_cast<unsigned char>(to);
  auto enter = [&](int px, int py, int d) {
    if (d > width) return;
    unsigned char& p = (*this)(px, py, 0);
    if (p != from) return;
    p = toValue;
    if (--budget <= 0) return;
    stack.push_back({px, py, d, 0});
  };
  enter(x, y, depth);
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next == 4) {
      stack.pop_back();
      continue;
    }
    const int k = f.next++;
    const int nx = f.x + (k == 0 ? -1 : k == 2 ? 1 : 0);
    const int ny = f.y + (k == 1 ? -1 : k == 3 ? 1 : 0);
    const int nd = f.depth + 1;
    if (nx >= 0 && nx < width && ny >= 0 && ny < height) enter(nx, ny, nd);
  }
}

template <>
void Image<unsigned char>::clean(int minSize, int value) {
  if (!data || nchannels < 1) return;
  Image<unsigned char> marks(width, height, 1);
  marks = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (get(x, y, 0) != value || marks(x, y, 0)) continue;
      const int size = visit(marks, x, y, value);
      if (size < minSize) {
        int budget = size;
        fill(x, y, value, !value, 0, budget);
      }
    }
  }
}

}  // namespace vorn

#endif
