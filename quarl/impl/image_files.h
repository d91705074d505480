// glimshape — libquarl
// Purpose: member definitions of vorn::Image<T> (files); compiled in quarl/image.cpp only.
#ifndef QUARL_IMPL_IMAGE_FILES_H
#define QUARL_IMPL_IMAGE_FILES_H

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <type_traits>

#include "quarl/image.h"
#include "quarl/imageio.h"
#include "quarl/impl/image_codecs.h"
#include "quarl/impl/image_container.h"

namespace vorn {
namespace detail {

// The one place where names that no native format claims enter the I/O plug-ins.
template <class T>
int readThroughPlugins(const char* name, Image<T>& image) {
  return readImage(name, image) ? 1 : 0;
}

template <class T>
int writeThroughPlugins(const char* name, const Image<T>& image) {
  Image<T> shared(image);  // the plug-in interface takes a non-const image; this shares it
  return writeImage(name, shared) ? 1 : 0;
}

// Plug-ins report failures by throwing text; the host must never see the exception.
template <class Call>
int catchingPluginErrors(Call call) {
  try {
    return call();
  } catch (const char* text) {
    std::fprintf(stderr, "ImageIO error:%s\n", text ? text : "");
  } catch (const std::string& text) {
    std::fprintf(stderr, "ImageIO error:%s\n", text.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ImageIO error:%s\n", e.what());
  }
  return 0;
}

// A released image keeps its sizes but has no pixels; converted, it would pass for an
// empty image and be written as one. Every native writer refuses it before the file is
// created, as the plug-ins do.
template <class T>
bool refuseReleased(const Image<T>& image, const char* format, const char* name) {
  if (!isReleased(image)) return false;
  std::printf("%s %s: the %dx%d image has no pixels (its buffer was released)\n", format,
              name ? name : "(null)", image.width, image.height);
  return true;
}

// The unsigned char form the TGA and PPM writers store: shared, or converted.
template <class T>
Image<unsigned char> asBytes(const Image<T>& image) {
  if constexpr (std::is_same_v<T, unsigned char>) {
    return image;
  } else {
    Image<unsigned char> bytes;
    bytes = image;
    return bytes;
  }
}

}  // namespace detail

template <class T>
int Image<T>::read(const char* name) {
  if (!name) return 0;
  switch (detail::nativeFormatOf(name)) {
    case detail::NativeFormat::PPM:
      return readPPM(name);
    case detail::NativeFormat::TGA:
      return readTGA(name);
    case detail::NativeFormat::RFI:
      return readRFI(name);
    case detail::NativeFormat::None:
      break;
  }
  return detail::catchingPluginErrors([&] { return detail::readThroughPlugins(name, *this); });
}

template <class T>
int Image<T>::save(const char* name) const {
  if (!name) return 0;
  switch (detail::nativeFormatOf(name)) {
    case detail::NativeFormat::PPM:
      return writePPM(name);
    case detail::NativeFormat::TGA:
      return writeTGA(name);
    case detail::NativeFormat::RFI:
      return writeRFI(name);
    case detail::NativeFormat::None:
      break;
  }
  return detail::catchingPluginErrors([&] { return detail::writeThroughPlugins(name, *this); });
}

template <class T>
int Image<T>::readTGA(const char* name) {
  detail::FileSource in(name);
  if (!in.isOpen()) return 0;
  Image<unsigned char> image;
  if (!detail::decodeTGA(in, image)) return 0;
  *this = image;
  return 1;
}

template <class T>
int Image<T>::writeTGA(const char* name) const {
  if (detail::refuseReleased(*this, "TGA", name)) return 0;
  const Image<unsigned char> bytes = detail::asBytes(*this);
  // Refuse before the file is created, so a failed save leaves no empty file behind.
  if (!detail::canStoreTGA(bytes, name)) return 0;
  detail::FileSink out(name);
  if (!out.isOpen()) return 0;
  const int written = detail::encodeTGA(bytes, out);
  return out.close() ? written : 0;
}

template <class T>
int Image<T>::readPPM(const char* name) {
  detail::FileSource in(name);
  if (!in.isOpen()) {
    std::printf("Error opening %s\n", name ? name : "(null)");
    return 0;
  }
  Image<unsigned char> image;
  if (!detail::decodePPM(in, image)) return 0;
  *this = image;
  return 1;
}

template <class T>
int Image<T>::writePPM(const char* name) const {
  if (detail::refuseReleased(*this, "PPM", name)) return 0;
  const Image<unsigned char> bytes = detail::asBytes(*this);
  return vorn::writePPM(bytes.data, bytes.width, bytes.height, name, bytes.nchannels, 0);
}

template <class T>
int Image<T>::readRFI(const char* name) {
  if constexpr (std::is_same_v<T, float>) {
    detail::FileSource in(name);
    if (!in.isOpen()) return 0;
    Image<float> image;
    if (!detail::decodeRFI(in, image)) return 0;
    // Same sizes: the values go into the existing buffer, so images sharing it see them.
    if (data && image.width == width && image.height == height &&
        image.nchannels == nchannels) {
      std::copy(image.data, image.data + size_t(width) * size_t(height) * size_t(nchannels),
                data);
    } else {
      *this = image;
    }
    return 1;
  } else {
    Image<float> image;
    if (!image.readRFI(name)) return 0;
    *this = image;
    return 1;
  }
}

template <class T>
int Image<T>::writeRFI(const char* name) const {
  if (detail::refuseReleased(*this, "RFI", name)) return 0;
  Image<float> values;
  values = *this;
  detail::FileSink out(name);
  if (!out.isOpen()) return 0;
  const bool ok = detail::encodeRFI(values, out);
  return out.close() && ok ? 1 : 0;
}

}  // namespace vorn

#endif
