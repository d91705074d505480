// glimshape — libquarl
// Purpose: texture upload of vorn::Image<T> and the library-wide power-of-two mode.
//
// initTexture and channelToGL are defined here, in the header: libquarl does not link
// OpenGL, so a program that uploads textures includes this header and links OpenGL itself.
// The mode and pow2size live in libquarl.
#ifndef QUARL_TEXTURE_H
#define QUARL_TEXTURE_H

#include "quarl/image.h"

namespace vorn {

/// @brief Whether textures must have power-of-two sizes.
enum image_pow2mode_t : int {
  Pow2Undecided = -1,  ///< not decided yet: the first upload asks the OpenGL implementation
  Pow2On = 0,          ///< textures are resized to power-of-two sizes before upload
  Pow2Off = 1          ///< textures are uploaded at their own size
};

/// The library-wide mode; Pow2Undecided when the library is loaded. Not locked: set and
/// read it on the thread that owns the OpenGL context.
extern image_pow2mode_t pow2mode;

/// @brief The current power-of-two mode.
image_pow2mode_t imageGetPow2Mode();
/// @brief Sets the power-of-two mode for every later upload.
void imageSetPow2Mode(image_pow2mode_t mode);

}  // namespace vorn

// libquarl compiles only the part above, so building it needs no OpenGL headers.
#ifndef QUARL_TEXTURE_MODE_ONLY

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <type_traits>

namespace vorn {
namespace detail {

// The pixel type OpenGL reads the element buffer as. Doubles have no OpenGL type and
// are uploaded through a float copy.
template <class T>
constexpr GLenum glPixelType() {
  if constexpr (std::is_same_v<T, unsigned char>) return GL_UNSIGNED_BYTE;
  if constexpr (std::is_same_v<T, unsigned short>) return GL_UNSIGNED_SHORT;
  if constexpr (std::is_same_v<T, unsigned int>) return GL_UNSIGNED_INT;
  return GL_FLOAT;
}

}  // namespace detail

/// @brief GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB or GL_RGBA for 1 to 4 channels;
/// 0 for 0 channels or more than 4.
template <class T>
template <class GL>
int Image<T>::channelToGL() const {
  static const int formats[] = {0, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA};
  return nchannels >= 0 && nchannels <= 4 ? formats[nchannels] : 0;
}

/// @brief Uploads this image as level 0 of the texture bound to GL_TEXTURE_2D.
///
/// Sets wrap mode GL_REPEAT, linear filters, the texture environment mode `envMode` and an
/// unpack alignment of 1. In power-of-two mode "on" an image whose sizes are not powers of
/// two is first resized to the next powers of two. The first upload while the mode is
/// undecided sets it from the extension string ("texture_non_power_of_two" turns it off)
/// and prints a note on standard error.
/// @param envMode texture environment mode, e.g. GL_MODULATE or GL_REPLACE.
/// @warning An image without pixels uploads an 8 × 8 RGB check pattern with GL_MODULATE
/// instead. An image with 0 or more than 4 channels uploads nothing and prints why.
template <class T>
template <class GL>
void Image<T>::initTexture(int envMode) const {
  if (width <= 0 || height <= 0) {
    Image<unsigned char> placeholder(8, 8, 3);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        placeholder(x, y, 0) = static_cast<unsigned char>((x + y) % 2);
        placeholder(x, y, 1) = static_cast<unsigned char>((x + y + 1) % 2);
        placeholder(x, y, 2) = static_cast<unsigned char>(((x * y) % 2 + x) % 2);
      }
    placeholder.initTexture(GL_MODULATE);
    return;
  }
  if (imageGetPow2Mode() == Pow2Undecided) {
    const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const bool npot = extensions && std::strstr(extensions, "texture_non_power_of_two");
    imageSetPow2Mode(npot ? Pow2Off : Pow2On);
    std::fprintf(stderr, "NOTE: image pow2 mode has been set: %s\n", npot ? "off" : "on");
  }
  int w = 0, h = 0;
  if (imageGetPow2Mode() == Pow2On && !pow2size(w, h)) {
    resize(w, h).initTexture(envMode);
    return;
  }
  const int format = channelToGL();
  if (!format) {
    std::printf("initTexture: no texture format for %d channels\n", nchannels);
    return;
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, envMode);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if constexpr (std::is_same_v<T, double>) {
    Image<float> values;
    values = *this;
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, format, GL_FLOAT,
                 values.getDataPtr());
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, format, detail::glPixelType<T>(),
                 getDataPtr());
  }
}

}  // namespace vorn

#endif  // QUARL_TEXTURE_MODE_ONLY
#endif
