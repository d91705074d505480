// glimshape — libquarl
// Purpose: byte-level readers and writers of the native formats (TGA, PPM/PGM, RFI),
// callable on files and on memory buffers.
//
// The members read/save/readTGA/... of vorn::Image<T> open files and call these; tests
// and fuzzers feed memory buffers directly. Every decoder checks a header against the
// bytes the source can still deliver before it allocates, and leaves `out` untouched
// on failure. Diagnostics go to standard output.
#ifndef QUARL_IMPL_IMAGE_CODECS_H
#define QUARL_IMPL_IMAGE_CODECS_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "quarl/image.h"

namespace vorn {
namespace detail {

/// @brief A forward-only source of bytes.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  /// Copies up to n bytes into dst; returns the number copied (less only at the end).
  virtual size_t read(void* dst, size_t n) = 0;
  /// The next byte (0 to 255), or -1 at the end.
  virtual int get() = 0;
  /// Bytes still to come, or -1 when the source cannot tell.
  virtual long long remaining() const = 0;
  /// Name used in diagnostics (the file name, or a label for a buffer).
  const std::string& name() const { return label; }

 protected:
  explicit ByteSource(std::string label) : label(std::move(label)) {}

 private:
  std::string label;
};

/// @brief Bytes of a caller-owned buffer (not copied; must outlive the source).
class MemorySource : public ByteSource {
 public:
  MemorySource(const void* bytes, size_t size, std::string label = "<memory>");
  size_t read(void* dst, size_t n) override;
  int get() override;
  long long remaining() const override;

 private:
  const unsigned char* bytes;
  size_t size;
  size_t pos = 0;
};

/// @brief A file opened for binary reading; closed when the source is destroyed.
class FileSource : public ByteSource {
 public:
  explicit FileSource(const char* filename);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  bool isOpen() const { return file != nullptr; }
  size_t read(void* dst, size_t n) override;
  int get() override;
  long long remaining() const override;

 private:
  FILE* file = nullptr;
  long long left = -1;
};

/// @brief A sink of bytes.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  /// Writes n bytes; false when any could not be written.
  virtual bool write(const void* src, size_t n) = 0;
};

/// @brief Appends to a caller-owned vector.
class MemorySink : public ByteSink {
 public:
  explicit MemorySink(std::vector<unsigned char>& bytes) : bytes(bytes) {}
  bool write(const void* src, size_t n) override;

 private:
  std::vector<unsigned char>& bytes;
};

/// @brief A file opened (truncated) for binary writing.
class FileSink : public ByteSink {
 public:
  explicit FileSink(const char* filename);
  ~FileSink() override;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  bool isOpen() const { return file != nullptr; }
  bool write(const void* src, size_t n) override;
  /// Flushes and closes; false when any write or the close failed.
  bool close();

 private:
  FILE* file = nullptr;
  bool failed = false;
};

/// Reads one line like fgets(buf, size, ·): at most size − 1 characters, stopping after
/// a newline. False at the end of the source with nothing read.
bool readLine(ByteSource& in, char* buf, int size);

/// Reads one decimal integer like fscanf("%d"): leading white space, an optional sign,
/// digits. False when no digits follow.
bool readInt(ByteSource& in, int& value);

/// Number of elements w × h × c, or -1 when a size is negative or the pixel count w × h
/// or the element count exceeds the largest int (the container indexes its buffer with
/// int). The pixel count is checked even when c is 0.
long long elementCount(long long w, long long h, long long c);

/// Native file formats, chosen by the file name's extension.
enum class NativeFormat {
  None,  ///< no native format: the name goes to the I/O plug-ins
  PPM,   ///< ".ppm" or ".pgm"
  TGA,   ///< ".tga" or ".TGA"
  RFI    ///< ".rfi" or ".RFI"
};

/// The native format whose extension ends `name`. Case-sensitive; the first occurrence of
/// the extension must end the name (a.tga.tga is None).
NativeFormat nativeFormatOf(const char* name);

/// @brief Decodes a TGA file (types 2, 3, 10, 11; 8, 16, 24 or 32 bits per pixel).
/// Row 0 of `out` is the top row of the picture; 3 and 4 channels come out as R, G, B(, A).
/// @return true on success; on failure `out` is unchanged.
bool decodeTGA(ByteSource& in, Image<unsigned char>& out);

/// True when the TGA header can describe `image` (sizes up to 65535, 1 to 4 channels) and
/// the image has its pixels (a released image has none); otherwise prints why, naming
/// `what` (the file name), and returns false.
bool canStoreTGA(const Image<unsigned char>& image, const char* what);

/// @brief Encodes `image` as an uncompressed TGA (type 2 for 3 or 4 channels, else 3),
/// top row first.
/// @return bytes written (18 + w × h × c, clamped to the largest int), or 0 on failure.
/// @warning Sizes above 65535 and channel counts other than 1 to 4 cannot be stored and
/// are refused.
int encodeTGA(const Image<unsigned char>& image, ByteSink& out);

/// @brief Decodes a P2, P3, P5 or P6 file with a maximum below 256.
/// @return true on success; on failure `out` is unchanged.
bool decodePPM(ByteSource& in, Image<unsigned char>& out);

/// @brief Encodes P6 (3 channels) or P5 (1 channel), rows last first when flip is
/// non-zero. Other channel counts write nothing and succeed.
/// @return false when a write failed.
bool encodePPM(const unsigned char* data, int width, int height, int channels, int flip,
               ByteSink& out);

/// @brief Decodes an RFI file into a new image (never into out's existing buffer).
/// @return true on success; on failure `out` is unchanged. Channel counts below 1 and
/// sizes whose pixel or element count exceeds the largest int are refused.
bool decodeRFI(ByteSource& in, Image<float>& out);

/// @brief Encodes an RFI file: the 16-byte header and the elements as little-endian floats.
bool encodeRFI(const Image<float>& image, ByteSink& out);

}  // namespace detail
}  // namespace vorn

#endif
