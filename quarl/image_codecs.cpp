// glimshape — libquarl
// Purpose: byte-level readers and writers of TGA, PPM/PGM and RFI over files and buffers.
#include "quarl/impl/image_codecs.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>

namespace vorn {
namespace detail {

namespace {

bool hostIsLittleEndian() {
  const uint16_t probe = 1;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

int32_t int32LE(const unsigned char* p) {
  const uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                     uint32_t(p[3]) << 24;
  int32_t v;
  std::memcpy(&v, &u, 4);
  return v;
}

void putInt32LE(unsigned char* p, int32_t v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

void swapBytes4(void* bytes, size_t count) {
  auto* p = static_cast<unsigned char*>(bytes);
  for (size_t i = 0; i < count; ++i, p += 4) {
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
  }
}

// A file that ends before its pixels should be refused before a buffer of the size its
// header claims is allocated; `needed` is a lower bound on the bytes still to come.
bool sourceCanHold(const ByteSource& in, long long needed) {
  const long long left = in.remaining();
  return left < 0 || left >= needed;
}

// True when only white space is left (a zero-sized image carries no samples).
bool onlySpaceLeft(ByteSource& in) {
  for (int ch = in.get(); ch >= 0; ch = in.get())
    if (!std::isspace(ch)) return false;
  return true;
}

}  // namespace

// ---- Sources and sinks ------------------------------------------------------------------

MemorySource::MemorySource(const void* bytes, size_t size, std::string label)
    : ByteSource(std::move(label)), bytes(static_cast<const unsigned char*>(bytes)),
      size(size) {}

size_t MemorySource::read(void* dst, size_t n) {
  const size_t count = std::min(n, size - pos);
  if (count) std::memcpy(dst, bytes + pos, count);
  pos += count;
  return count;
}

int MemorySource::get() { return pos < size ? bytes[pos++] : -1; }

long long MemorySource::remaining() const { return static_cast<long long>(size - pos); }

FileSource::FileSource(const char* filename)
    : ByteSource(filename ? filename : ""), file(filename ? std::fopen(filename, "rb") : nullptr) {
  if (!file) return;
  // Pipes and other unseekable files report no size; the decoders then trust the header.
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end >= 0 && std::fseek(file, 0, SEEK_SET) == 0) left = end;
  }
  if (left < 0) std::rewind(file);
}

FileSource::~FileSource() {
  if (file) std::fclose(file);
}

size_t FileSource::read(void* dst, size_t n) {
  const size_t count = std::fread(dst, 1, n, file);
  if (left >= 0) left = std::max(0LL, left - static_cast<long long>(count));
  return count;
}

int FileSource::get() {
  const int ch = std::fgetc(file);
  if (ch != EOF && left > 0) --left;
  return ch == EOF ? -1 : ch;
}

long long FileSource::remaining() const { return left; }

bool MemorySink::write(const void* src, size_t n) {
  const auto* p = static_cast<const unsigned char*>(src);
  bytes.insert(bytes.end(), p, p + n);
  return true;
}

FileSink::FileSink(const char* filename) : file(filename ? std::fopen(filename, "wb") : nullptr) {}

FileSink::~FileSink() { close(); }

bool FileSink::write(const void* src, size_t n) {
  if (!file) return false;
  if (n && std::fwrite(src, 1, n, file) != n) failed = true;
  return !failed;
}

bool FileSink::close() {
  if (!file) return false;
  if (std::fclose(file) != 0) failed = true;
  file = nullptr;
  return !failed;
}

// ---- Text helpers ------------------------------------------------------------------------

bool readLine(ByteSource& in, char* buf, int size) {
  if (size <= 0) return false;
  int n = 0;
  while (n < size - 1) {
    const int ch = in.get();
    if (ch < 0) break;
    buf[n++] = static_cast<char>(ch);
    if (ch == '\n') break;
  }
  buf[n] = '\0';
  return n > 0;
}

bool readInt(ByteSource& in, int& value) {
  int ch = in.get();
  while (ch >= 0 && std::isspace(ch)) ch = in.get();
  bool negative = false;
  if (ch == '+' || ch == '-') {
    negative = ch == '-';
    ch = in.get();
  }
  if (ch < 0 || !std::isdigit(ch)) return false;
  long long v = 0;
  for (; ch >= 0 && std::isdigit(ch); ch = in.get())
    v = std::min(v * 10 + (ch - '0'), static_cast<long long>(INT_MAX) + 1);
  if (negative) v = -v;
  value = static_cast<int>(std::clamp(v, static_cast<long long>(INT_MIN),
                                      static_cast<long long>(INT_MAX)));
  return true;
}

long long elementCount(long long w, long long h, long long c) {
  if (w < 0 || h < 0 || c < 0) return -1;
  // The pixel count is bounded whatever the channel count: an image of no channels still
  // has its width × height pixels to address and resize.
  if (w > INT_MAX || h > INT_MAX) return -1;
  const long long wh = w * h;
  if (wh > INT_MAX) return -1;
  if (c != 0 && wh > INT_MAX / c) return -1;
  return wh * c;
}

NativeFormat nativeFormatOf(const char* name) {
  // The first occurrence of the extension must end the name, so a.tga.tga is not a TGA.
  const auto endsWith = [name](const char* ext) {
    const char* p = std::strstr(name, ext);
    return p && p[std::strlen(ext)] == '\0';
  };
  if (!name) return NativeFormat::None;
  if (endsWith(".ppm") || endsWith(".pgm")) return NativeFormat::PPM;
  if (endsWith(".tga") || endsWith(".TGA")) return NativeFormat::TGA;
  if (endsWith(".rfi") || endsWith(".RFI")) return NativeFormat::RFI;
  return NativeFormat::None;
}

// ---- TGA ---------------------------------------------------------------------------------

bool canStoreTGA(const Image<unsigned char>& image, const char* what) {
  if (image.width < 0 || image.height < 0 || image.width > 65535 || image.height > 65535) {
    std::printf("TGA %s: %dx%d does not fit the 16-bit size fields\n", what, image.width,
                image.height);
    return false;
  }
  if (image.nchannels < 1 || image.nchannels > 4) {
    std::printf("TGA %s: %d channels cannot be stored (1 to 4)\n", what, image.nchannels);
    return false;
  }
  if (image.width > 0 && image.height > 0 && !image.data) {
    std::printf("TGA %s: the %dx%d image has no pixels (its buffer was released)\n", what,
                image.width, image.height);
    return false;
  }
  return true;
}

bool decodeTGA(ByteSource& in, Image<unsigned char>& out) {
  const char* name = in.name().c_str();
  unsigned char h[18];
  if (in.read(h, sizeof h) != sizeof h) {
    std::printf("can not read TGA\n");
    return false;
  }
  const int idLength = h[0], colorMapType = h[1], type = h[2];
  const int xOrigin = h[8] | h[9] << 8, yOrigin = h[10] | h[11] << 8;
  const int width = h[12] | h[13] << 8, height = h[14] | h[15] << 8;
  const int depth = h[16], descriptor = h[17];

  if (xOrigin || yOrigin) std::printf("ignoring non-zero origin\n");
  if (idLength) {
    std::printf("don't know how to read in the header\n");
    std::printf("can not read TGA\n");
    return false;
  }
  if (colorMapType) {
    std::printf("don't know how to read in color mapped images\n");
    std::printf("can not read TGA\n");
    return false;
  }
  if (type != 2 && type != 3 && type != 10 && type != 11) {
    std::printf("unknown image type\n");
    std::printf("can not read tga\n");
    return false;
  }
  if (depth != 8 && depth != 16 && depth != 24 && depth != 32) {
    std::printf("TGA %s: pixel depth of %d bits is not supported (8, 16, 24 or 32)\n", name,
                depth);
    return false;
  }
  const int channels = depth / 8;
  const bool rle = type >= 10;
  const long long elements = elementCount(width, height, channels);
  const long long pixels = static_cast<long long>(width) * height;
  if (elements < 0) {
    std::printf("TGA %s: %dx%d pixels of %d bytes are too many\n", name, width, height,
                channels);
    return false;
  }
  if (elements == 0 && in.remaining() > 0) {
    std::printf("TGA %s: size %dx%d holds no pixels but pixel data follows\n", name, width,
                height);
    return false;
  }
  if (elements == 0) {
    out = Image<unsigned char>(width, height, channels);
    return true;
  }
  // A run-length packet costs at least a header byte and one pixel and covers at most
  // 128 pixels.
  const long long needed = rle ? (pixels + 127) / 128 * (1 + channels) : elements;
  if (!sourceCanHold(in, needed)) {
    std::printf("TGA %s: %dx%d pixels of %d bytes need %s%lld bytes of pixel data, the file "
                "holds %lld\n",
                name, width, height, channels, rle ? "at least " : "", needed, in.remaining());
    return false;
  }

  Image<unsigned char> image(width, height, channels);
  unsigned char* data = image.data;
  if (!rle) {
    if (in.read(data, static_cast<size_t>(elements)) != static_cast<size_t>(elements)) {
      std::printf("TGA %s: the file ends inside the pixel data\n", name);
      return false;
    }
  } else {
    std::printf("got RLE image %dx%d\n", width, height);
    int col = 0, row = 0;
    unsigned char pixel[4];
    while (row < height) {
      const int header = in.get();
      if (header < 0) {
        std::printf("TGA %s: the file ends before row %d of %d\n", name, row, height);
        return false;
      }
      const int count = (header & 0x7F) + 1;
      const long long pos = static_cast<long long>(row) * width + col;
      // A run packet is cut at the end of its row (with a warning) in every row, the last
      // one included; a raw packet brings its pixels with it and must fit.
      if (!(header & 0x80) && pos + count > pixels) {
        std::printf("TGA %s: RLE packet of %d pixels at %d %d runs past the last pixel\n", name,
                    count, col, row);
        return false;
      }
      if (header & 0x80) {
        if (in.read(pixel, channels) != static_cast<size_t>(channels)) {
          std::printf("problem reading in RLE tga at %d %d\n", col, row);
          return false;
        }
        for (int j = 0; j < count; ++j) {
          std::memcpy(data + (static_cast<size_t>(row) * width + col) * channels, pixel,
                      channels);
          if (++col == width) {
            col = 0;
            ++row;
            if (j < count - 1) {
              std::printf("j=%d, rep=%d\n", j, count);
              std::printf("warning: RLE packets are not supposed to carry over scanlines\n");
              break;
            }
          }
        }
      } else {
        const size_t bytes = static_cast<size_t>(count) * channels;
        const size_t got = in.read(data + static_cast<size_t>(pos) * channels, bytes);
        if (got != bytes) {
          std::printf("problem reading in RLE tga at %dx%d\n", col, row);
          std::printf("read %d, should have read %d\n", static_cast<int>(got / channels), count);
          return false;
        }
        // A raw packet may span several rows when the image is narrower than the packet.
        col += count;
        row += col / width;
        col %= width;
      }
    }
  }

  if (channels >= 3)
    for (long long i = 0; i < pixels; ++i) std::swap(data[i * channels], data[i * channels + 2]);

  if (!(descriptor & 0x20)) {
    std::printf("flipping y\n");
    const size_t rowBytes = static_cast<size_t>(width) * channels;
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
      std::swap_ranges(data + top * rowBytes, data + (top + 1) * rowBytes,
                       data + bottom * rowBytes);
  }
  out = image;
  return true;
}

int encodeTGA(const Image<unsigned char>& image, ByteSink& out) {
  if (!canStoreTGA(image, "image")) return 0;
  const int width = image.width, height = image.height, channels = image.nchannels;
  unsigned char h[18] = {};
  h[2] = (channels == 3 || channels == 4) ? 2 : 3;
  h[12] = width & 0xFF;
  h[13] = width >> 8;
  h[14] = height & 0xFF;
  h[15] = height >> 8;
  h[16] = static_cast<unsigned char>(channels * 8);
  h[17] = channels == 4 ? 0x28 : 0x20;
  if (!out.write(h, sizeof h)) return 0;

  const long long elements = elementCount(width, height, channels);
  if (elements > 0) {
    const size_t rowBytes = static_cast<size_t>(width) * channels;
    std::vector<unsigned char> row(rowBytes);
    for (int y = 0; y < height; ++y) {
      const unsigned char* src = image.data + y * rowBytes;
      std::copy(src, src + rowBytes, row.begin());
      if (channels >= 3)
        for (size_t i = 0; i < rowBytes; i += channels) std::swap(row[i], row[i + 2]);
      if (!out.write(row.data(), rowBytes)) return 0;
    }
  }
  return static_cast<int>(std::min<long long>(elements + 18, INT_MAX));
}

// ---- PPM / PGM ---------------------------------------------------------------------------

bool decodePPM(ByteSource& in, Image<unsigned char>& out) {
  const char* name = in.name().c_str();
  char line[512];
  if (!readLine(in, line, sizeof line) || line[0] != 'P' ||
      !std::isdigit(static_cast<unsigned char>(line[1]))) {
    std::printf("PPM %s: no magic number (P and a digit) on the first line\n", name);
    return false;
  }
  const int magic = line[1] - '0';
  do {
    if (!readLine(in, line, sizeof line)) {
      std::printf("PPM %s: the file ends before the size line\n", name);
      return false;
    }
  } while (line[0] == '#');
  int width = 0, height = 0;
  if (std::sscanf(line, "%d %d", &width, &height) != 2) {
    std::printf("PPM %s: no width and height on the size line\n", name);
    return false;
  }
  if (!readLine(in, line, sizeof line)) {
    std::printf("PPM %s: the file ends before the maximum value\n", name);
    return false;
  }
  int maxValue = 1;
  if (magic != 1) {
    if (std::sscanf(line, "%d", &maxValue) != 1) {
      std::printf("PPM %s: no maximum value\n", name);
      return false;
    }
    if (maxValue > 65535) {
      std::printf("PPM %s: maximum value %d is above 65535\n", name, maxValue);
      return false;
    }
    if (maxValue >= 256) {
      std::printf("ppm with max>255 not handled\n");
      return false;
    }
  }
  std::printf("reading image P%d, max=%d,width=%d,height=%d\n", magic, maxValue, width, height);

  int channels = 0;
  switch (magic) {
    case 1:
      std::printf("not handled yet\n");
      return false;
    case 2:
    case 5:
      channels = 1;
      break;
    case 3:
    case 6:
      channels = 3;
      break;
    default:
      std::printf("unknown magic number %d", magic);
      return false;
  }
  const bool ascii = magic == 2 || magic == 3;
  const long long elements = elementCount(width, height, channels);
  if (elements < 0) {
    std::printf("PPM %s: size %dx%d with %d channels is negative or too large\n", name, width,
                height, channels);
    return false;
  }
  if (elements == 0) {
    if (ascii ? !onlySpaceLeft(in) : in.remaining() > 0) {
      std::printf("PPM %s: size %dx%d holds no pixels but samples follow\n", name, width,
                  height);
      return false;
    }
    out = Image<unsigned char>(width, height, channels);
    return true;
  }
  if (!ascii && !sourceCanHold(in, elements)) {
    std::printf("unexpected EOF %d!=%d\n", static_cast<int>(in.remaining()),
                static_cast<int>(elements));
    return false;
  }
  // Each ASCII sample takes at least a digit and a separator.
  if (ascii && !sourceCanHold(in, 2 * elements - 1)) {
    std::printf("PPM %s: %lld samples need at least %lld bytes, the file holds %lld\n", name,
                elements, 2 * elements - 1, in.remaining());
    return false;
  }

  Image<unsigned char> image(width, height, channels);
  if (ascii) {
    for (long long i = 0; i < elements; ++i) {
      int v;
      if (!readInt(in, v)) {
        std::printf("PPM %s: sample %lld of %lld is missing or not a number\n", name, i + 1,
                    elements);
        return false;
      }
      image.data[i] = static_cast<unsigned char>(v);
    }
    if (magic == 2) std::printf("[%d]\n", image.data[0]);
  } else {
    const size_t got = in.read(image.data, static_cast<size_t>(elements));
    if (got != static_cast<size_t>(elements)) {
      std::printf("unexpected EOF %d!=%d\n", static_cast<int>(got), static_cast<int>(elements));
      return false;
    }
  }
  out = image;
  return true;
}

bool encodePPM(const unsigned char* data, int width, int height, int channels, int flip,
               ByteSink& out) {
  if (channels != 1 && channels != 3) return true;
  const long long elements = elementCount(width, height, channels);
  if (elements < 0 || (elements > 0 && !data)) return false;
  char header[64];
  const int n = std::snprintf(header, sizeof header, channels == 3 ? "P6\n%d %d\n%d\n"
                                                                   : "P5\n%d %d\n%d\n",
                              width, height, 255);
  if (!out.write(header, static_cast<size_t>(n))) return false;
  const size_t rowBytes = static_cast<size_t>(width) * channels;
  for (int i = 0; i < height && elements > 0; ++i) {
    const int y = flip ? height - 1 - i : i;
    if (!out.write(data + y * rowBytes, rowBytes)) return false;
  }
  return true;
}

// ---- RFI ---------------------------------------------------------------------------------

bool decodeRFI(ByteSource& in, Image<float>& out) {
  const char* name = in.name().c_str();
  unsigned char h[16];
  if (in.read(h, sizeof h) != sizeof h) {
    std::printf("RFI %s: the file ends inside the 16-byte header\n", name);
    return false;
  }
  const int width = int32LE(h), height = int32LE(h + 4), channels = int32LE(h + 8);
  // An image of no channels holds no elements, so every pixel read from it would lie
  // outside its buffer.
  if (channels < 1) {
    std::printf("RFI %s: %d channels, at least 1 is needed\n", name, channels);
    return false;
  }
  const long long elements = elementCount(width, height, channels);
  if (elements < 0) {
    std::printf("RFI %s: size %dx%dx%d is negative or too large\n", name, width, height,
                channels);
    return false;
  }
  if (elements == 0 && in.remaining() > 0) {
    std::printf("RFI %s: size %dx%dx%d holds no elements but data follows\n", name, width,
                height, channels);
    return false;
  }
  if (!sourceCanHold(in, 4 * elements)) {
    std::printf("RFI %s: %dx%dx%d needs %lld bytes of elements, the file holds %lld\n", name,
                width, height, channels, 4 * elements, in.remaining());
    return false;
  }
  Image<float> image(width, height, channels);
  if (elements > 0) {
    const size_t bytes = static_cast<size_t>(elements) * 4;
    if (in.read(image.data, bytes) != bytes) {
      std::printf("RFI %s: the file ends inside the elements\n", name);
      return false;
    }
    if (!hostIsLittleEndian()) swapBytes4(image.data, static_cast<size_t>(elements));
  }
  out = image;
  return true;
}

bool encodeRFI(const Image<float>& image, ByteSink& out) {
  const long long elements = elementCount(image.width, image.height, image.nchannels);
  if (elements < 0 || (elements > 0 && !image.data)) return false;
  unsigned char h[16];
  putInt32LE(h, image.width);
  putInt32LE(h + 4, image.height);
  putInt32LE(h + 8, image.nchannels);
  putInt32LE(h + 12, 0);
  if (!out.write(h, sizeof h)) return false;
  if (elements == 0) return true;
  if (hostIsLittleEndian()) return out.write(image.data, static_cast<size_t>(elements) * 4);
  std::vector<float> swapped(image.data, image.data + elements);
  swapBytes4(swapped.data(), swapped.size());
  return out.write(swapped.data(), swapped.size() * 4);
}

}  // namespace detail
}  // namespace vorn

namespace vorn {

int writePPM(unsigned char* data, int width, int height, const char* name, int channels,
             int flip) {
  detail::FileSink out(name);
  if (!out.isOpen()) return 0;
  const bool ok = detail::encodePPM(data, width, height, channels, flip, out);
  return out.close() && ok ? 1 : 0;
}

}  // namespace vorn
