// glimshape — libquarl
// Purpose: vorn::Image<T>, the one raster type of the system: width × height pixels
// with interleaved channels over a shared, reference-counted buffer.
//
// The member definitions live in quarl/impl/*.h and are compiled once, in
// quarl/image.cpp, for the five element types: unsigned char, unsigned short,
// unsigned int, float and double. Other element types are not supported.
#ifndef QUARL_IMAGE_H
#define QUARL_IMAGE_H

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iosfwd>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace vorn {

/// @brief A width × height image with `nchannels` interleaved channels of element type T.
///
/// Element order: channel fastest, then x, then y; the element of pixel (x, y),
/// channel c is `data[c + (x + y * width) * nchannels]`. Row 0 is the first row in memory.
///
/// Copies and same-type assignments share the buffer (constant time); `copy()` and
/// conversions between element types make new buffers. The reference count is atomic,
/// so images that share a buffer may be copied and destroyed from different threads;
/// the pixels themselves are not guarded.
template <class T>
class Image {
 public:
  using value_type = T;

  // ---- Exceptions -------------------------------------------------------------------

  /// @brief Thrown when a region lies outside the image ("Index error exception.").
  class index_error : public std::exception {
   public:
    const char* what() const noexcept override;
  };

  /// @brief Thrown when two images (or an image and a region) disagree in size.
  ///
  /// Without sizes: "Dimension mismatch exception."; with sizes:
  /// "Dimension mismatch exception: %dx%dx%d != %dx%dx%d" (first w, h, c; second w, h, c).
  /// Every object carries its own text.
  class size_mismatch : public std::exception {
   public:
    size_mismatch();
    size_mismatch(const Image<T>& first, const Image<T>& second);
    size_mismatch(int firstWidth, int firstHeight, int firstChannels, int secondWidth,
                  int secondHeight, int secondChannels);
    const char* what() const noexcept override;

    int width1 = 0, width2 = 0, height1 = 0, height2 = 0, channels1 = 0, channels2 = 0;
    bool haveSizes = false;

   private:
    std::string text;
  };

  /// @brief Thrown by operations that cannot apply to this image; `what()` is the message.
  class invalid_operation : public std::exception {
   public:
    explicit invalid_operation(std::string message);
    const char* what() const noexcept override;

   private:
    std::string message;
  };

  // ---- Construction, assignment and conversion --------------------------------------

  /// An empty image: no buffer, all sizes 0.
  Image();
  /// Allocates w × h × nchannels elements (contents undefined) when w and h are both
  /// non-zero; otherwise stores the sizes without a buffer. Negative sizes give an empty image.
  Image(int w, int h, int nchannels = 1);
  /// Starts empty and reads the file with `read`; an unreadable file leaves a 0 × 0 × 0 image.
  explicit Image(const char* filename);
  /// Shares other's buffer.
  Image(const Image& other);
  Image(Image&& other) noexcept;
  /// Converting constructor (float images only): a new buffer holding other's elements
  /// converted by the element conversion table.
  template <class U, class V = T,
            class = std::enable_if_t<std::is_same_v<V, float> && !std::is_same_v<U, float>>>
  Image(const Image<U>& other) : Image() {
    *this = other;
  }
  virtual ~Image();

  /// The element buffer (null for an empty image).
  virtual T* getDataPtr() const;

  /// Shares other's buffer (after releasing this image's own); self-assignment does nothing.
  Image& operator=(const Image& other);
  Image& operator=(Image&& other) noexcept;
  Image& operatorEquals(const Image& other);
  /// Converting assignment: this image becomes a new, unshared image of other's sizes whose
  /// elements are converted (full intensity maps to full intensity; integer targets wrap).
  template <class U>
  Image& operator=(const Image<U>& other);
  /// Sets every element of every channel to v converted to T (sharers see the change).
  Image& operator=(int v);
  Image& operator=(double v);

  /// Full intensity of the element type: 255, 65535, 4294967295, 1.0, 1.0.
  static T representationMax();

  /// Drops this image's share of the buffer; frees it when this was the last sharer.
  /// The sizes stay; every operation treats the image as one without pixels (saving it
  /// fails, transforms give 0 × 0 images).
  void release();

  // ---- Access -------------------------------------------------------------------------

  int getWidth() const { return width; }
  int getHeight() const { return height; }
  /// Element of pixel (x, y), channel c; no bounds check.
  T& operator()(int x, int y, int c) const { return data[c + (x + y * width) * nchannels]; }
  T get(int x, int y, int c) const { return data[c + (x + y * width) * nchannels]; }
  /// Flat element i; no bounds check.
  T& operator[](int i) const { return data[i]; }
  bool inBounds(int x, int y, int c) const {
    return x >= 0 && x < width && y >= 0 && y < height && c >= 0 && c < nchannels;
  }

  /// Walks the pixels row by row; dereferencing gives channel 0 of the current pixel.
  class iterator {
   public:
    iterator(const Image& image, int x, int y);
    iterator& operator++();
    T& operator*() const;
    T* operator->() const;
    bool operator==(const iterator& o) const;
    bool operator!=(const iterator& o) const { return !(*this == o); }
    int getX() const { return x; }
    int getY() const { return y; }

   private:
    Image image;
    int x, y;
  };
  iterator begin() const;
  iterator end() const;

  // ---- Copies and parts ---------------------------------------------------------------

  /// A new image with its own buffer holding the same elements.
  Image copy() const;
  /// A w × h copy of the region at (x, y), moved and shrunk to lie inside the image.
  Image subimage(int x, int y, int w, int h) const;
  /// Copies sub into place at (x, y) (negative positions become 0).
  /// @throws size_mismatch if the channel counts differ; index_error if sub does not fit.
  void setSubimage(int x, int y, Image<T> sub);

  // ---- Channels -----------------------------------------------------------------------

  /// A new one-channel image holding channel c; 0 × 0 × 0 for an image without channels.
  /// @throws index_error if c is not a channel of this image.
  Image getChannel(int c) const;
  /// Channel c of every pixel becomes v converted to T. @throws index_error for a bad c.
  void setChannel(int c, int v);
  void setChannel(int c, double v);
  /// Channel c takes src's channel srcChannel at the same pixel.
  /// @throws index_error for a bad channel; size_mismatch if src is smaller than this image.
  void setChannel(int c, const Image& src, int srcChannel);
  /// Every channel takes the value of channel c. @throws index_error for a bad c.
  void setToChannel(int c);
  /// (c0 + c1 + c2) / 3 for 3 or 4 channels, a copy for 1. @throws invalid_operation otherwise.
  Image convertToGrayscale() const;
  /// Adds an opaque alpha to 1 or 3 channels, a copy for 4. @throws invalid_operation otherwise.
  Image convertToRgba() const;

  // ---- Whole-image queries and in-place operations -----------------------------------

  /// Smallest and largest element; (1e11, -1e11) for an image without elements.
  void getRange(double& lo, double& hi) const;
  /// The float conversion of this image with its range stretched onto [0, 1]; integer
  /// images are measured after the conversion.
  /// @warning A constant image gives all zeros.
  Image<float> getNormalizedImage() const;
  /// One channel: the largest channel of each pixel, at least 0.
  Image maximum() const;
  /// One channel: the Euclidean length of each pixel's channel vector.
  Image len() const;
  /// One channel: 1 where thresholds[k] > channel k for every k, else 0.
  /// @param thresholds one value per channel.
  Image threshLess(const double* thresholds) const;
  /// Integer absolute value in place (fractions dropped; unsigned int read as signed).
  void abs();
  /// Floating absolute value in place; integer images are unchanged.
  void fabs();
  /// Result pixel i takes all channels of pixel labels[i] of this image.
  /// @warning With labels of another width or height, prints
  /// "Image::map inconsistent sizes for map %dx%d!=%dx%d" and returns an unfilled image.
  /// @throws index_error if a label names no pixel of this image.
  Image map(const Image<unsigned int>& labels) const;
  /// Per channel, "channel %d" and then each row formatted element by element with fmt
  /// (integers passed as integers, floating values as double).
  void print(const char* fmt, FILE* stream = stdout) const;
  /// Each row as "(v v )(v v )" followed by a line end.
  void print(std::ostream& os) const;
  operator std::string() const;

  // ---- Region operations (unsigned char only) ----------------------------------------

  /// Breadth-first marking (1 in channel 0 of visited) of the 4-connected region of
  /// value around (x, y); returns the number of pixels marked (0 for a seed outside).
  /// @throws size_mismatch if visited is smaller than this image.
  int visit(Image<unsigned char>& visited, int x, int y, int value) const;
  /// Depth-first replacement of from by to on channel 0, neighbours in the order left, up,
  /// right, down. A branch ends where depth exceeds the width or the pixel is not from;
  /// each replaced pixel decrements budget, and none spreads further once it is <= 0.
  /// Runs on an explicit stack, so long regions cannot exhaust the call stack.
  void fill(int x, int y, int from, int to, int depth, int& budget);
  /// Regions of value smaller than minSize pixels turn into the other binary value.
  void clean(int minSize, int value);

  // ---- Arithmetic and comparisons ----------------------------------------------------
  //
  // Element by element; forms without "=" return a new image, compound forms change this
  // image (and its sharers). Floating images compute int-scalar and image operations in T
  // and double-scalar ones in double. Unsigned images compute int-scalar and image
  // operations modulo 2^32 and keep the low bits (unsigned char 250 + 10 gives 4);
  // double-scalar results are truncated toward zero, then wrapped the same way (NaN gives
  // 0, infinities the low bits of the largest or smallest 64-bit integer). Comparisons
  // and ! give 0/1 masks of this image's type; NaN compares unequal to everything.
  // Image operands must match this image's width, height and channels (operator* also
  // takes a one-channel image that scales every channel of a pixel), else size_mismatch
  // is thrown with this image's sizes first. operator| on floating images ORs the values
  // read as 32-bit unsigned integers (negative and NaN as 0, large ones as 4294967295).

  Image operator+(int v) const;
  Image operator+(double v) const;
  Image& operator+=(int v);
  Image& operator+=(double v);
  Image operator-(int v) const;
  Image operator-(double v) const;
  Image& operator-=(int v);
  Image& operator-=(double v);
  Image operator*(const int& v) const;
  Image operator*(double v) const;
  Image& operator*=(const int& v);
  Image& operator*=(const double& v);
  Image operator/(double v) const;
  Image& operator/=(const double& v);
  Image operator>(const double& v) const;
  Image operator>=(const double& v) const;
  Image operator<(const double& v) const;
  Image operator<=(const double& v) const;
  Image operator!=(const double& v) const;

  Image operator+(const Image& o) const;
  Image& operator+=(const Image& o);
  Image operator-(const Image& o) const;
  Image& operator-=(const Image& o);
  Image operator*(const Image& o) const;
  Image operator&(const Image& o) const;
  const Image& operator&=(const Image& o) const;
  Image operator|(const Image& o) const;
  Image operator>(const Image& o) const;
  Image operator>=(const Image& o) const;
  Image operator<(const Image& o) const;
  Image operator<=(const Image& o) const;
  Image operator!() const;

  // ---- Files (TGA, PPM/PGM, RFI natively; other names through the plug-ins) ---------

  int read(const char* name);
  int load(const char* name) { return read(name); }
  int save(const char* name) const;
  int write(const char* name) const { return save(name); }
  int readTGA(const char* name);
  int writeTGA(const char* name) const;
  int readPPM(const char* name);
  int writePPM(const char* name) const;
  int readRFI(const char* name);
  int writeRFI(const char* name) const;

  // ---- Resampling and filters ---------------------------------------------------------
  //
  // All return new images; double results are truncated toward zero for integer types.

  /// @brief A w × h copy: area average when no side grows, bilinear with aligned corners
  /// when none shrinks, else the shrinking side first.
  /// @param w, h target size in pixels. @warning Sizes ≤ 0 give an image without pixels
  /// (sizes clamped to 0); an image without pixels resizes to zeros.
  Image resize(int w, int h) const;
  /// @brief Bilinear samples of channels 0 … n − 1 (all for n < 0) at pixel position
  /// (x, y), clamped to the image (NaN counts as 0). @warning Channels past the image's,
  /// and every channel of an image without pixels, are written as 0.
  void bilinear(double x, double y, T* out, int n = -1) const;
  /// @brief The bilinear sample of channel c; 0 for a channel the image lacks.
  T bilinear(double x, double y, int c) const;
  /// @brief Mean over the (2r + 1) × (2r + 1) window clipped to the image, as a horizontal
  /// then a vertical pass, each stored in T. @param r radius in pixels.
  /// @warning Windows clip on both sides when the image is smaller than 2r + 1; a negative
  /// radius acts as 0.
  Image boxFilter(int r) const;
  /// @brief x and y derivatives of channel c (channels 0 and 1): central differences
  /// halved inside, one-sided at the borders. @warning A side of length 1 has derivative 0
  /// along it; a channel the image lacks gives zeros.
  Image<float> gradient(int c) const;
  /// @brief Correlation with a one-channel filter (float images only), 0 within half a
  /// filter of the borders. @warning A filter with both sides even prints
  /// "filter is not proper dimension %d %d" and gives zeros.
  Image convolve(const Image<float>& filter) const;
  /// @brief Harris corners (Harris & Stephens 1988) of the byte image, strongest first,
  /// at most maxCorners; non-zero subpixel refines each by a quadratic fit and drops those
  /// whose peak lies a pixel or more away (or has no peak). Other element types print a
  /// warning and work on the converted byte image.
  std::vector<std::pair<float, float>> harris(int maxCorners, int subpixel) const;
  Image rotateCW() const;
  Image rotateCCW() const;
  Image rotate180() const;
  Image flip() const;
  Image flop() const;

  // ---- Distance transforms (unsigned char only) --------------------------------------

  /// @brief Distance from each non-zero pixel of channel c to the nearest boundary point
  /// (a non-zero pixel with a zero 4-neighbour, collected over 2 ≤ x ≤ w − 3,
  /// 2 ≤ y ≤ h − 3), searched among candidates gathered per 8 × 8 block.
  /// @return 3 channels: distance (pixels), then the unit vector towards that point;
  ///   −1 in all three for zero pixels and the outermost rows and columns, (0, 0, 0) on
  ///   boundary points. Prints "There are %d boundary points" and the largest candidate
  ///   list on stdout.
  /// @warning The block candidates are a heuristic: a pixel may get a boundary point a
  ///   few pixels farther than the nearest. Without any boundary point, pixels of marked
  ///   blocks get 1e8 and (0, 0). A pixel whose block holds no scanned non-zero pixel is
  ///   reported on stderr ("Fatal error, no pot for (x,y)") and searched against every
  ///   boundary point (−1 when there is none). A released image gives a 0 × 0 image. A
  ///   channel outside the image throws index_error.
  Image<float> edt(int c) const;
  /// @brief Signed distance to the boundary points of channel c (collected over
  /// 1 ≤ x ≤ w − 2, 1 ≤ y ≤ h − 2) by the 8-point sequential Euclidean method
  /// (Danielsson 1980): two raster passes propagating offset vectors.
  /// @return one channel: +d on non-zero pixels, −d on zero pixels, d in pixels.
  /// @warning Not exact where boundary points compete (errors below about 0.1 pixel on
  ///   random masks). The outermost rows and columns, and every pixel when there is no
  ///   boundary point, hold ±√(w² + h²). A released image gives a 0 × 0 image. A channel
  ///   outside the image throws index_error.
  Image<float> edt_8sed(int c) const;

  // ---- Textures -----------------------------------------------------------------------

  /// w and h become the smallest powers of two not below width and height; true when
  /// the image already has those sizes.
  bool pow2size(int& w, int& h) const;
  /// The OpenGL pixel format for this image's channel count (defined in quarl/texture.h).
  /// A member template so that it is instantiated where texture.h is included: libquarl
  /// does not link OpenGL, and the explicit instantiations below do not cover it.
  template <class GL = void>
  int channelToGL() const;
  /// Uploads into the bound 2-D texture (defined in quarl/texture.h, which links OpenGL).
  template <class GL = void>
  void initTexture(int envMode) const;

  // ---- Fields -------------------------------------------------------------------------

  std::atomic<int32_t>* refcount = nullptr;
  T* data = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t nchannels = 0;
};

using ImageUC = Image<unsigned char>;
using ImageUS = Image<unsigned short>;
using ImageUI = Image<unsigned int>;
using ImageF = Image<float>;
using ImageD = Image<double>;

// Members defined for one element type only.
template <> int Image<unsigned char>::visit(Image<unsigned char>&, int, int, int) const;
template <> void Image<unsigned char>::fill(int, int, int, int, int, int&);
template <> void Image<unsigned char>::clean(int, int);
template <> Image<float> Image<float>::convolve(const Image<float>&) const;
template <> Image<float> Image<unsigned char>::edt(int) const;
template <> Image<float> Image<unsigned char>::edt_8sed(int) const;

/// Writes P6 (3 channels) or P5 (1 channel); any other channel count gives an empty file.
/// With flip non-zero the rows are written last first.
int writePPM(unsigned char* data, int width, int height, const char* name, int channels,
             int flip);

extern template class Image<unsigned char>;
extern template class Image<unsigned short>;
extern template class Image<unsigned int>;
extern template class Image<float>;
extern template class Image<double>;

}  // namespace vorn

#endif
