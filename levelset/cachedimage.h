// glimshape — levelset
// Purpose: CachedImage, a window onto a float image file, re-read when a sample misses it.
#ifndef LEVELSET_CACHEDIMAGE_H
#define LEVELSET_CACHEDIMAGE_H

#include <string>

#include "quarl/image.h"

/// @brief A window onto a width × height float image kept in a file (RFI for the shapes'
/// stiffness images).
///
/// The window covers columns x0 … x1 − 1 and rows y0 … y1 − 1 of the full image and holds
/// their pixels with the full image's channel count. A sample inside the window is a plain
/// array read; a sample outside it extends the window by the margin beyond the sample,
/// re-reads the whole file and keeps the new window's pixels. The shapes cache the whole
/// image, so their samples never re-read.
///
/// Sampling is `const` because the speed functions receive the image read-only, yet it
/// changes the window: one object must not be sampled from two threads at once.
class CachedImage {
 public:
  /// Stiffness images extend their window by this many pixels beyond a missed sample.
  static constexpr int defaultMargin = 3;
  /// The sample where the image has no value to give: an image without channels (the
  /// stiffness of a noise type other than "perlin" and "perlin_hard"), no image at all, or a
  /// file that could not be read.
  static constexpr double missingSample = 1.0;

  /// No file and no image: window (0, 0)–(1, 1) without pixels, every sample 1.0.
  CachedImage();

  /// @brief Caches the whole image; the window is (0, 0)–(width, height).
  /// @param fileName the file the image is re-read from (it should hold the same image).
  /// @param margin pixels added beyond a missed sample (negative counts as 0).
  /// @param image the full image; its pixels are copied.
  CachedImage(std::string fileName, int margin, const vorn::Image<float>& image);

  /// @brief Caches a window of a width × height image.
  /// @param x0, y0, x1, y1 the window, half-open, in full-image pixels; clipped to the image.
  /// @param window the window's pixels (copied); pixels it lacks sample as 1.0.
  CachedImage(std::string fileName, int margin, int width, int height, int x0, int y0, int x1,
              int y1, const vorn::Image<float>& window);

  /// @brief Channel 0 of the full image at (x, y), through the window.
  ///
  /// A sample outside the window moves its sides past the sample by the margin (clipped to
  /// the image), re-reads the file and crops the new window from it.
  /// @param x, y full-image pixel; coordinates beyond the image are clamped to its border.
  /// @return the sample, or 1.0 when the image has no channels, nothing is cached there, or
  ///         the file could not be read.
  /// @warning A file that cannot be read (missing, short, corrupt) prints one line on
  ///          standard error per failed re-read and leaves the window as it was.
  double sample(int x, int y) const;

  const std::string& getFileName() const { return fileName; }
  int getMargin() const { return margin; }
  /// Size of the full image (pixels).
  int getWidth() const { return width; }
  int getHeight() const { return height; }
  /// The window, half-open, in full-image pixels.
  int getX0() const { return x0; }
  int getY0() const { return y0; }
  int getX1() const { return x1; }
  int getY1() const { return y1; }
  /// The window's pixels.
  const vorn::Image<float>& getWindow() const { return window; }

 private:
  bool inWindow(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
  double lookUp(int x, int y) const;
  void extendAndReread(int x, int y) const;

  std::string fileName;
  int margin = defaultMargin;
  int width = 0;
  int height = 0;
  mutable int x0 = 0;
  mutable int y0 = 0;
  mutable int x1 = 1;
  mutable int y1 = 1;
  mutable vorn::Image<float> window;
};

#endif
