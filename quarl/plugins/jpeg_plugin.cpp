// glimshape — libquarl
// Purpose: the built-in JPEG reader and writer over libjpeg (API 62).
//
// libjpeg reports fatal errors through error_exit, whose standard version ends the
// process; ours formats the message and longjmps back. Every function that calls into
// libjpeg under a setjmp keeps only trivially destructible locals, so the jump never
// skips a destructor; images are allocated by the callers, outside those frames.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "quarl/plugins/builtin_plugins.h"

namespace vorn {

namespace {

struct JpegErrorManager {
  jpeg_error_mgr pub;  // first, so libjpeg's pointer converts to ours
  std::jmp_buf jump;
  // Set by a warning that means the data ended early or is damaged: libjpeg would go on
  // and fill the rest of the picture with grey, which must not pass for a good read.
  bool dataFault;
  const char* role;
  const char* name;
};

void printJpegMessage(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  std::fprintf(stderr, "%s: %s: %s\n", err->role, err->name, text);
}

void jpegErrorExit(j_common_ptr cinfo) {
  printJpegMessage(cinfo);
  std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

void jpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace output
  auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  ++cinfo->err->num_warnings;
  int code = cinfo->err->msg_code;
  if ((code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE) &&
      !err->dataFault) {
    err->dataFault = true;
    printJpegMessage(cinfo);
  }
}

void initErrorManager(JpegErrorManager& err, const char* role, const char* name) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = jpegErrorExit;
  err.pub.emit_message = jpegEmitMessage;
  err.dataFault = false;
  err.role = role;
  err.name = name;
}

// The objects are created under the jump point too: creation reports a library version
// mismatch or a failed allocation through error_exit, which must not jump before a jump
// point exists. The structure is zeroed first, so that destroying one whose creation
// failed finds no memory manager and frees nothing.
bool jpegCreateDecompress(jpeg_decompress_struct* d, JpegErrorManager* err) {
  std::memset(static_cast<void*>(d), 0, sizeof *d);
  d->err = &err->pub;
  if (setjmp(err->jump)) return false;
  jpeg_create_decompress(d);
  return true;
}

bool jpegCreateCompress(jpeg_compress_struct* c, JpegErrorManager* err) {
  std::memset(static_cast<void*>(c), 0, sizeof *c);
  c->err = &err->pub;
  if (setjmp(err->jump)) return false;
  jpeg_create_compress(c);
  return true;
}

// Reads the header and starts decompression; false on a libjpeg error.
bool jpegStart(jpeg_decompress_struct* d, JpegErrorManager* err, const unsigned char* bytes,
               size_t n) {
  if (setjmp(err->jump)) return false;
  jpeg_mem_src(d, bytes, static_cast<unsigned long>(n));
  if (jpeg_read_header(d, TRUE) != JPEG_HEADER_OK) return false;
  // Refuse absurd sizes before libjpeg allocates its own buffers for them.
  if (static_cast<long long>(d->image_width) * d->image_height > kMaxDecodedPixels) {
    std::fprintf(stderr, "%s: %s: image of %ux%u pixels is too large\n", err->role, err->name,
                 d->image_width, d->image_height);
    return false;
  }
  jpeg_start_decompress(d);
  return !err->dataFault;
}

// Reads every scanline into rows of rowBytes bytes starting at pixels.
bool jpegReadRows(jpeg_decompress_struct* d, JpegErrorManager* err, unsigned char* pixels,
                  size_t rowBytes) {
  if (setjmp(err->jump)) return false;
  while (d->output_scanline < d->output_height) {
    JSAMPROW row = pixels + size_t(d->output_scanline) * rowBytes;
    if (jpeg_read_scanlines(d, &row, 1) != 1) {
      std::fprintf(stderr, "Error reading scanlines\n");
      return false;
    }
    if (err->dataFault) return false;
  }
  // Every row is in; trouble after the last one (a missing end marker) spoils nothing.
  jpeg_finish_decompress(d);
  return true;
}

bool jpegCompress(jpeg_compress_struct* c, JpegErrorManager* err, std::FILE* f,
                  const unsigned char* pixels, int width, int height, int channels) {
  if (setjmp(err->jump)) return false;
  jpeg_stdio_dest(c, f);
  c->image_width = static_cast<JDIMENSION>(width);
  c->image_height = static_cast<JDIMENSION>(height);
  c->input_components = channels;
  c->in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(c);
  jpeg_set_quality(c, 95, TRUE);
  jpeg_start_compress(c, TRUE);
  size_t rowBytes = size_t(width) * size_t(channels);
  while (c->next_scanline < c->image_height) {
    JSAMPROW row = const_cast<unsigned char*>(pixels) + size_t(c->next_scanline) * rowBytes;
    if (jpeg_write_scanlines(c, &row, 1) != 1) {
      std::fprintf(stderr, "Error writing scanlines\n");
      return false;
    }
  }
  jpeg_finish_compress(c);
  return true;
}

const char* jpegReadExtensionList[] = {"jpg", nullptr};
const char* jpegWriteExtensionList[] = {"jpg", nullptr};

}  // namespace

const char* jpeg_readPluginGetName() { return "jpeg_read"; }
const char** jpeg_readExtensions() { return jpegReadExtensionList; }
const char* jpeg_read_api_version() { return "0.0.3"; }
const char* jpeg_read_plugin_version() { return "0.1"; }

const char* jpeg_writePluginGetName() { return "jpeg_write"; }
const char** jpeg_writeExtensions() { return jpegWriteExtensionList; }
const char* jpeg_write_api_version() { return "0.0.3"; }
const char* jpeg_write_plugin_version() { return "0.1"; }

bool jpeg_readMemory(const unsigned char* bytes, size_t n, const char* name,
                     ImagePointer& image) {
  JpegErrorManager err;
  initErrorManager(err, "jpeg_read", name);
  jpeg_decompress_struct d;
  if (!jpegCreateDecompress(&d, &err)) {
    jpeg_destroy_decompress(&d);
    return false;
  }
  bool ok = false;
  std::exception_ptr pending;
  try {
    if (jpegStart(&d, &err, bytes, n)) {
      int w = static_cast<int>(d.output_width);
      int h = static_cast<int>(d.output_height);
      int c = d.output_components;
      Image<unsigned char> result(w, h, c);
      if (jpegReadRows(&d, &err, result.data, size_t(w) * size_t(c))) {
        image.assign(result);
        ok = true;
      }
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "jpeg_read: %s: out of memory\n", name);
  } catch (...) {
    // A cast error from the target: clean up, then let the caller report it.
    pending = std::current_exception();
  }
  jpeg_destroy_decompress(&d);
  if (pending) std::rethrow_exception(pending);
  return ok;
}

bool jpeg_readImage(const char* filename, ImagePointer& image) {
  std::vector<unsigned char> bytes;
  try {
    if (!detail::readWholeFile(filename, bytes)) return false;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "jpeg_read: %s: out of memory\n", filename);
    return false;
  }
  return jpeg_readMemory(bytes.data(), bytes.size(), filename, image);
}

bool jpeg_writeImage(const char* filename, ImagePointer& image) {
  Image<unsigned char> src;
  try {
    image.copyInto(src);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "jpeg_write: %s: out of memory\n", filename);
    return false;
  }
  // A released image keeps its sizes but has no pixels to compress.
  if (!src.data || src.width <= 0 || src.height <= 0) {
    std::fprintf(stderr, "jpeg_write: %s: cannot write an empty image\n", filename);
    return false;
  }
  std::FILE* f = std::fopen(filename, "wb");
  if (!f) return false;
  if (src.nchannels == 4) {
    std::printf("FIXME: unable to write jpeg with alpha (should just throw out alpha)\n");
    std::fclose(f);
    return false;
  }
  if (src.nchannels != 1 && src.nchannels != 3) {
    std::printf("unable to write jpeg\n");
    std::fclose(f);
    return false;
  }
  JpegErrorManager err;
  initErrorManager(err, "jpeg_write", filename);
  jpeg_compress_struct c;
  bool ok = jpegCreateCompress(&c, &err) &&
            jpegCompress(&c, &err, f, src.data, src.width, src.height, src.nchannels);
  jpeg_destroy_compress(&c);
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

namespace detail {

bool readWholeFile(const char* filename, std::vector<unsigned char>& bytes) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(filename ? std::fopen(filename, "rb") : nullptr,
                                                    std::fclose);
  if (!f) return false;
  bytes.clear();
  if (std::fseek(f.get(), 0, SEEK_END) == 0) {
    long size = std::ftell(f.get());
    if (size > 0) bytes.reserve(static_cast<size_t>(size));
    std::rewind(f.get());
  }
  unsigned char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f.get())) > 0)
    bytes.insert(bytes.end(), chunk, chunk + got);
  return !std::ferror(f.get());
}

}  // namespace detail

}  // namespace vorn
