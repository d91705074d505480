// glimshape — libquarl
// Purpose: the image I/O plug-in interface: vorn::ImagePointer and the symbols a plug-in exports.
//
// A loadable plug-in is a shared library whose file name contains "lib" and ends in ".so"
// or ".dll", placed in the plug-in directory. It exports, with C linkage:
//
//   const char*  readPluginGetName();            reader name            (reader)
//   const char** readExtensions();               null-terminated list   (reader)
//   bool         readImage(const char*, vorn::ImagePointer&);           (reader)
//   const char*  read_api_version();             optional, printed with the name
//   const char*  read_plugin_version();          optional
//   const char*  writePluginGetName();           writer name            (writer)
//   const char** writeExtensions();              null-terminated list   (writer)
//   bool         writeImage(const char*, vorn::ImagePointer&);          (writer)
//
// Extensions are given without the dot and compared case-sensitively. A reader delivers
// its image with `ImagePointer::assign`, a writer takes the image with
// `ImagePointer::copyInto`. The functions must not let an exception escape: wrap their
// bodies in `vorn::pluginGuard`.
#ifndef QUARL_IMAGEPLUGIN_H
#define QUARL_IMAGEPLUGIN_H

#include <cstdint>
#include <cstdio>
#include <exception>

#include "quarl/image.h"

namespace vorn {

/// @brief A type tag and a pointer to a caller-owned `Image<T>` of any of the five element types.
///
/// Plug-ins see images only through this handle, so one reader or writer serves every
/// element type; conversions follow the element conversion rules of `Image`.
class ImagePointer {
 public:
  /// Element-type tags.
  enum Tag : int32_t {
    UnsignedChar = 1,   ///< Image<unsigned char>
    UnsignedShort = 2,  ///< Image<unsigned short>
    UnsignedInt = 3,    ///< Image<unsigned int>
    Float = 4,          ///< Image<float>
    Double = 5          ///< Image<double>
  };

  ImagePointer(Image<unsigned char>& image) : type(UnsignedChar), ptr(&image) {}
  ImagePointer(Image<unsigned short>& image) : type(UnsignedShort), ptr(&image) {}
  ImagePointer(Image<unsigned int>& image) : type(UnsignedInt), ptr(&image) {}
  ImagePointer(Image<float>& image) : type(Float), ptr(&image) {}
  ImagePointer(Image<double>& image) : type(Double), ptr(&image) {}

  /// @brief The pointed-to image becomes src: shared when the element types agree,
  /// a converted copy otherwise.
  /// @throws const char* "ImagePointerCastError" when the tag is not 1 to 5.
  template <class U>
  void assign(Image<U>& src);

  /// @brief dst becomes the pointed-to image: shared when the element types agree,
  /// a converted copy otherwise.
  /// @throws const char* "ImagePointerCastError" when the tag is not 1 to 5.
  template <class U>
  void copyInto(Image<U>& dst);

  int32_t type;  ///< One of the tags above.
  void* ptr;     ///< The caller's image; never owned.
};

extern template void ImagePointer::assign(Image<unsigned char>&);
extern template void ImagePointer::assign(Image<unsigned short>&);
extern template void ImagePointer::assign(Image<unsigned int>&);
extern template void ImagePointer::assign(Image<float>&);
extern template void ImagePointer::assign(Image<double>&);
extern template void ImagePointer::copyInto(Image<unsigned char>&);
extern template void ImagePointer::copyInto(Image<unsigned short>&);
extern template void ImagePointer::copyInto(Image<unsigned int>&);
extern template void ImagePointer::copyInto(Image<float>&);
extern template void ImagePointer::copyInto(Image<double>&);

/// Plug-in entry points, as looked up in a plug-in library.
using PluginNameFunc = const char* (*)();
using PluginExtensionsFunc = const char** (*)();
using PluginVersionFunc = const char* (*)();
using PluginImageFunc = bool (*)(const char* filename, ImagePointer& image);

/// @brief Runs a plug-in body and turns any exception into a message on standard error
/// and a false result, so that nothing unwinds across the library boundary.
/// @param pluginName used in the message only.
template <class Body>
bool pluginGuard(const char* pluginName, const char* filename, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s: %s\n", pluginName, filename ? filename : "(null)", e.what());
  } catch (const char* text) {
    std::fprintf(stderr, "%s: %s: %s\n", pluginName, filename ? filename : "(null)", text);
  } catch (...) {
    std::fprintf(stderr, "%s: %s: unknown exception\n", pluginName, filename ? filename : "(null)");
  }
  return false;
}

}  // namespace vorn

#endif
