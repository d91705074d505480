// glimshape — tests
// Purpose: a GL context for drawing tests: an unmapped GLX window and a frame-buffer object.
#ifndef GLIM_TESTS_SHAPES_GL_TARGET_H
#define GLIM_TESTS_SHAPES_GL_TARGET_H

#include <memory>
#include <vector>

/// @brief A compatibility GL context made current on a small unmapped window of the X
/// display, rendering into a size × size frame-buffer object with RGBA colour and a
/// depth-stencil buffer. The X headers stay in the source: their macros clash with
/// GoogleTest.
class GLTarget {
 public:
  explicit GLTarget(int size);
  ~GLTarget();
  GLTarget(const GLTarget&) = delete;
  GLTarget& operator=(const GLTarget&) = delete;

  /// Whether the context and the frame buffer are ready.
  bool isReady() const;
  /// Clears colour (black) and stencil, and resets the matrices, blending, alpha test and
  /// texturing as the view would before drawing shapes.
  void clear();
  /// The frame buffer as RGB bytes, rows from the bottom.
  std::vector<unsigned char> read() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

#endif
