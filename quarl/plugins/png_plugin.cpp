// glimshape — libquarl
// Purpose: the built-in PNG reader and writer over libpng 1.6.
//
// libpng reports errors by longjmp to the setjmp of png_jmpbuf. Every function that calls
// into libpng under a setjmp keeps only trivially destructible locals, so the jump never
// skips a destructor; images and row tables are allocated by the callers.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "quarl/plugins/builtin_plugins.h"

namespace vorn {

namespace {

// Widest and tallest image libpng is allowed to accept (its own guard); the pixel count
// is checked separately against kMaxDecodedPixels.
constexpr png_uint_32 kMaxPngSide = 1u << 20;

struct PngContext {
  const char* role;
  const char* name;
  const unsigned char* bytes;  // reading only
  size_t size;
  size_t pos;
};

void pngError(png_structp p, png_const_charp message) {
  auto* ctx = static_cast<PngContext*>(png_get_error_ptr(p));
  std::fprintf(stderr, "%s: %s: %s\n", ctx->role, ctx->name, message);
  png_longjmp(p, 1);
}

void pngWarning(png_structp p, png_const_charp message) {
  auto* ctx = static_cast<PngContext*>(png_get_error_ptr(p));
  std::fprintf(stderr, "%s: %s: warning: %s\n", ctx->role, ctx->name, message);
}

void pngReadMemory(png_structp p, png_bytep out, png_size_t n) {
  auto* ctx = static_cast<PngContext*>(png_get_io_ptr(p));
  if (n > ctx->size - ctx->pos) png_error(p, "file ends inside the image");
  std::memcpy(out, ctx->bytes + ctx->pos, n);
  ctx->pos += n;
}

bool isLittleEndianHost() {
  const uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

struct PngLayout {
  png_uint_32 width, height;
  int channels;   // samples per pixel after the transformations
  int bitDepth;   // 8 or 16 after the transformations
  size_t rowBytes;
};

// Reads the header and sets up the transformations; false on a libpng error or a refused size.
bool pngReadHeader(png_structp p, png_infop info, PngContext* ctx, PngLayout* out) {
  if (setjmp(png_jmpbuf(p))) return false;
  png_set_user_limits(p, kMaxPngSide, kMaxPngSide);
  png_set_read_fn(p, ctx, pngReadMemory);
  png_set_sig_bytes(p, 8);
  png_read_info(p, info);

  png_uint_32 width, height;
  int bitDepth, colorType;
  png_get_IHDR(p, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
  if (static_cast<long long>(width) * height > kMaxDecodedPixels) {
    std::fprintf(stderr, "%s: %s: image of %ux%u pixels is too large\n", ctx->role, ctx->name,
                 width, height);
    return false;
  }
  if (colorType == PNG_COLOR_TYPE_PALETTE && bitDepth <= 8) png_set_palette_to_rgb(p);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(p);
  if (png_get_valid(p, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(p);
  if (bitDepth == 16) {
    std::printf("%% reading 16 bit image (used to strip it)\n");
    if (isLittleEndianHost()) png_set_swap(p);
  }
  if (bitDepth < 8) png_set_packing(p);
  png_set_interlace_handling(p);
  png_read_update_info(p, info);

  out->width = width;
  out->height = height;
  out->channels = png_get_channels(p, info);
  out->bitDepth = png_get_bit_depth(p, info);
  out->rowBytes = png_get_rowbytes(p, info);
  return true;
}

bool pngReadRows(png_structp p, png_infop endInfo, png_bytepp rows) {
  if (setjmp(png_jmpbuf(p))) return false;
  png_read_image(p, rows);
  png_read_end(p, endInfo);
  return true;
}

template <class T>
bool pngReadInto(png_structp p, png_infop endInfo, const PngLayout& layout, const char* name,
                 ImagePointer& image) {
  int w = static_cast<int>(layout.width), h = static_cast<int>(layout.height);
  if (layout.rowBytes != size_t(w) * size_t(layout.channels) * sizeof(T)) {
    std::fprintf(stderr, "png_read: %s: unexpected row layout\n", name);
    return false;
  }
  Image<T> result(w, h, layout.channels);
  std::vector<png_bytep> rows(static_cast<size_t>(h));
  for (int y = 0; y < h; ++y)
    rows[size_t(y)] = reinterpret_cast<png_bytep>(result.data + size_t(y) * size_t(w) * size_t(layout.channels));
  if (!pngReadRows(p, endInfo, rows.data())) return false;
  image.assign(result);
  return true;
}

bool pngWrite(png_structp p, png_infop info, std::FILE* f, int width, int height, int colorType,
              png_bytepp rows) {
  if (setjmp(png_jmpbuf(p))) return false;
  png_init_io(p, f);
  png_set_compression_level(p, 9);
  png_set_IHDR(p, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(p, info);
  png_write_image(p, rows);
  png_write_end(p, nullptr);
  return true;
}

const char* pngReadExtensionList[] = {"png", nullptr};
const char* pngWriteExtensionList[] = {"png", nullptr};

}  // namespace

const char* png_readPluginGetName() { return "png_read"; }
const char** png_readExtensions() { return pngReadExtensionList; }
const char* png_read_api_version() { return "0.0.3"; }
const char* png_read_plugin_version() { return "0.1"; }

const char* png_writePluginGetName() { return "png_write"; }
const char** png_writeExtensions() { return pngWriteExtensionList; }
const char* png_write_api_version() { return "0.0.3"; }
const char* png_write_plugin_version() { return "0.1"; }

bool png_readMemory(const unsigned char* bytes, size_t n, const char* name, ImagePointer& image) {
  if (n < 8 || png_sig_cmp(bytes, 0, 8) != 0) return false;
  PngContext ctx{"png_read", name, bytes, n, 8};
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, pngError, pngWarning);
  if (!p) return false;
  png_infop info = png_create_info_struct(p);
  png_infop endInfo = info ? png_create_info_struct(p) : nullptr;
  bool ok = false;
  std::exception_ptr pending;
  if (info && endInfo) {
    try {
      PngLayout layout;
      if (pngReadHeader(p, info, &ctx, &layout)) {
        ok = layout.bitDepth == 16 ? pngReadInto<unsigned short>(p, endInfo, layout, name, image)
                                   : pngReadInto<unsigned char>(p, endInfo, layout, name, image);
      }
    } catch (const std::bad_alloc&) {
      std::fprintf(stderr, "png_read: %s: out of memory\n", name);
      ok = false;
    } catch (...) {
      // A cast error from the target: clean up, then let the caller report it.
      pending = std::current_exception();
    }
  }
  png_destroy_read_struct(&p, info ? &info : nullptr, endInfo ? &endInfo : nullptr);
  if (pending) std::rethrow_exception(pending);
  return ok;
}

bool png_readImage(const char* filename, ImagePointer& image) {
  std::vector<unsigned char> bytes;
  try {
    if (!detail::readWholeFile(filename, bytes)) return false;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "png_read: %s: out of memory\n", filename);
    return false;
  }
  return png_readMemory(bytes.data(), bytes.size(), filename, image);
}

bool png_writeImage(const char* filename, ImagePointer& image) {
  Image<unsigned char> src;
  std::vector<png_bytep> rows;
  try {
    image.copyInto(src);
    if (src.data) {
      rows.resize(size_t(src.height));
      for (int y = 0; y < src.height; ++y)
        rows[size_t(y)] = src.data + size_t(y) * size_t(src.width) * size_t(src.nchannels);
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "png_write: %s: out of memory\n", filename);
    return false;
  }
  int colorType;
  switch (src.nchannels) {
    case 1: colorType = PNG_COLOR_TYPE_GRAY; break;
    case 2: colorType = PNG_COLOR_TYPE_GRAY_ALPHA; break;
    case 3: colorType = PNG_COLOR_TYPE_RGB; break;
    case 4: colorType = PNG_COLOR_TYPE_RGB_ALPHA; break;
    default:
      std::fprintf(stderr, "png_write: %s: cannot write an image with %d channels\n", filename,
                   src.nchannels);
      return false;
  }
  if (!src.data || src.width <= 0 || src.height <= 0) {
    std::fprintf(stderr, "png_write: %s: cannot write an empty image\n", filename);
    return false;
  }
  std::FILE* f = std::fopen(filename, "wb");
  if (!f) return false;
  PngContext ctx{"png_write", filename, nullptr, 0, 0};
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, pngError, pngWarning);
  png_infop info = p ? png_create_info_struct(p) : nullptr;
  bool ok = p && info && pngWrite(p, info, f, src.width, src.height, colorType, rows.data());
  if (p) png_destroy_write_struct(&p, info ? &info : nullptr);
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

}  // namespace vorn
