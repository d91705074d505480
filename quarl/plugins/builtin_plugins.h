// glimshape — libquarl
// Purpose: the four built-in image I/O plug-ins (JPEG and PNG, reader and writer).
//
// Each has the entry points of a loadable plug-in, with the format name as prefix. The
// readers also work on bytes in memory, which is how the file readers use them and how
// tests feed them damaged data.
#ifndef QUARL_PLUGINS_BUILTIN_PLUGINS_H
#define QUARL_PLUGINS_BUILTIN_PLUGINS_H

#include <cstddef>
#include <vector>

#include "quarl/imageplugin.h"

namespace vorn {

/// Largest number of pixels a reader accepts (2^28); larger headers are refused before
/// any pixel buffer is allocated.
constexpr long long kMaxDecodedPixels = 1LL << 28;

const char* jpeg_readPluginGetName();
const char** jpeg_readExtensions();
const char* jpeg_read_api_version();
const char* jpeg_read_plugin_version();
/// @brief Reads a JPEG file into 1 (grey) or 3 (colour) channels, row 0 at the top.
/// @return false, with libjpeg's message on standard error, for unreadable or damaged files.
bool jpeg_readImage(const char* filename, ImagePointer& image);
/// @brief As jpeg_readImage, from n bytes in memory; name is used in messages only.
bool jpeg_readMemory(const unsigned char* bytes, size_t n, const char* name, ImagePointer& image);

const char* jpeg_writePluginGetName();
const char** jpeg_writeExtensions();
const char* jpeg_write_api_version();
const char* jpeg_write_plugin_version();
/// @brief Writes a 1- or 3-channel image as a quality-95 baseline JPEG.
/// @warning Other channel counts are refused after the file was created (it stays empty).
bool jpeg_writeImage(const char* filename, ImagePointer& image);

const char* png_readPluginGetName();
const char** png_readExtensions();
const char* png_read_api_version();
const char* png_read_plugin_version();
/// @brief Reads a PNG file; 16-bit files arrive as unsigned short samples, all others as
/// bytes, with as many channels as libpng delivers after expanding palettes and
/// transparency (1 grey, 2 grey + alpha, 3 RGB, 4 RGBA).
bool png_readImage(const char* filename, ImagePointer& image);
/// @brief As png_readImage, from n bytes in memory; name is used in messages only.
bool png_readMemory(const unsigned char* bytes, size_t n, const char* name, ImagePointer& image);

const char* png_writePluginGetName();
const char** png_writeExtensions();
const char* png_write_api_version();
const char* png_write_plugin_version();
/// @brief Writes an 8-bit PNG: 1 channel grey, 2 grey + alpha, 3 RGB, 4 RGBA.
/// @warning Other channel counts and empty images are refused (false).
bool png_writeImage(const char* filename, ImagePointer& image);

namespace detail {
/// Reads a whole file into memory; false when it cannot be opened or read.
bool readWholeFile(const char* filename, std::vector<unsigned char>& bytes);
}  // namespace detail

}  // namespace vorn

#endif
