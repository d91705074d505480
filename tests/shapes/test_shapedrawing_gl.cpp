// glimshape — tests
// Purpose: drawing shapes with OpenGL (Mesa under Xvfb) into a frame-buffer object: the
// even-odd fill, the stiffness overlay of a selected shape and the texture fallback.
#include "shapes/shapedrawing.h"

#include <GL/gl.h>
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "gl_target.h"
#include "shape_fixtures.h"

namespace {

using shapetest::makeShape;
using shapetest::ringMask;

constexpr int Canvas = 128;
constexpr int View = 256;  // two frame-buffer pixels per canvas pixel

// The canvas cell under frame-buffer pixel p: the pixel's centre lies at canvas (p + 0.5) / 2,
// in the square of cell p / 2 (a cell holds the pixel from (x, y) to (x + 1, y + 1)).
int canvasCell(int p) { return std::min(Canvas - 1, p / 2); }

const unsigned char* pixel(const std::vector<unsigned char>& rgb, int px, int py) {
  return &rgb[(py * View + px) * 3];
}

template <class L>
void style(ZazizEvozu<L>& s) {
  s.fillColor[0] = 0.2f;
  s.fillColor[1] = 0.6f;
  s.fillColor[2] = 1.0f;
  for (int c = 0; c < 3; ++c) s.lineColor[c] = 1.0f;
  s.lineWidth = -1.0;  // no outline
}

void savePng(const std::vector<unsigned char>& rgb, const std::string& path) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, View, View);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < View; ++y)
    for (int x = 0; x < View; ++x) {
      // Rows read bottom-up; canvas row 0 is shown at the top, as the view flips it.
      const unsigned char* p = pixel(rgb, x, y);
      unsigned char* q = data + y * stride + 4 * x;
      q[0] = p[2];
      q[1] = p[1];
      q[2] = p[0];
      q[3] = 255;
    }
  cairo_surface_mark_dirty(surface);
  cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
}

}  // namespace

class ShapeGL : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!target.isReady()) GTEST_SKIP() << "no GLX context with a frame-buffer object";
    shapetest::useQuickModel("original", 0.5, 3.0);
    GlimShapeSettings::instance().distributions[0].noiseType = "perlin";
  }
  GLTarget target{View};
};

// The ring is filled in its fill colour at 0.9 alpha over black, its hole and the outside
// stay black (even-odd through the stencil buffer), for every kind.
TEST_F(ShapeGL, EvenOddFillLeavesTheHoleOpen) {
  const auto mask = ringMask(Canvas, Canvas, 64, 64, 18, 44);
  auto reference = makeShape<FullLevelSet>(mask);
  std::vector<std::unique_ptr<ZazizEvozuBase>> shapes;
  shapes.push_back(makeShape<FullLevelSet>(mask));
  shapes.push_back(makeShape<RectLevelSet>(mask));
  shapes.push_back(makeShape<SparseLevelSet2D>(mask));
  const unsigned char fill[3] = {46, 138, 230};  // 0.9 × (0.2, 0.6, 1.0) × 255
  for (auto& shape : shapes) {
    style(static_cast<ZazizEvozu<FullLevelSet>&>(*shapes[0]));
    shape->copyStyle(*shapes[0]);
    target.clear();
    shape->drawGL();
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    ASSERT_EQ(shape->polygons.size(), 2u);
    const auto rgb = target.read();
    long filled = 0;
    for (int py = 0; py < View; ++py)
      for (int px = 0; px < View; ++px) {
        const double v = reference->get(canvasCell(px), canvasCell(py));
        const unsigned char* p = pixel(rgb, px, py);
        if (std::fabs(v) < 0.5) continue;  // the outline's neighbourhood
        for (int c = 0; c < 3; ++c)
          ASSERT_NEAR(p[c], v < 0 ? fill[c] : 0, 1) << px << "," << py << " value " << v;
        filled += v < 0;
      }
    EXPECT_GT(filled, 4 * 4000);
  }
}

// A selected shape overlays its stiffness: white at half the sample's alpha where the
// sample exceeds the stiffness, nothing elsewhere. The outline grows 5 pixels wider.
TEST_F(ShapeGL, SelectedShapeShowsTheOverlay) {
  auto shape = makeShape<RectLevelSet>(ringMask(Canvas, Canvas, 64, 64, 18, 44));
  style(*shape);
  target.clear();
  shape->drawGL();
  const auto plain = target.read();

  // A stiffness near the field's median, so the overlay covers part of the canvas.
  std::vector<float> samples;
  for (int y = 0; y < Canvas; ++y)
    for (int x = 0; x < Canvas; ++x) samples.push_back(shape->stiffImage.getWindow()(x, y, 0));
  std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
  shape->stiffness = samples[samples.size() / 2];
  shape->selected = true;
  target.clear();
  shape->drawGL();
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const auto selected = target.read();
  long agree = 0, decided = 0;
  for (int py = 0; py < View; ++py)
    for (int px = 0; px < View; ++px) {
      const double s = shape->stiffImage.getWindow()(canvasCell(px), canvasCell(py), 0);
      if (std::fabs(s - shape->stiffness) < 0.05) continue;  // filtered texture edges
      const unsigned char* a = pixel(plain, px, py);
      const unsigned char* b = pixel(selected, px, py);
      const bool changed = a[0] != b[0] || a[1] != b[1] || a[2] != b[2];
      ++decided;
      agree += changed == (s > shape->stiffness);
      if (changed) {
        EXPECT_GT(b[0], a[0]);  // towards white
      }
    }
  EXPECT_GT(decided, View * View / 2);
  EXPECT_GT(agree, decided * 98 / 100);

  // Outline: one pixel wide at line width 1.9, six when selected.
  auto lineCount = [&](bool isSelected) {
    shape->selected = isSelected;
    shape->lineWidth = 1.9;
    shape->stiffness = 10.0;  // keeps the overlay out of the count
    target.clear();
    shape->drawGL();
    const auto rgb = target.read();
    long n = 0;
    for (int i = 0; i < View * View; ++i)
      n += rgb[3 * i] > 200 && rgb[3 * i + 1] > 200 && rgb[3 * i + 2] > 200;
    return n;
  };
  const long thin = lineCount(false), wide = lineCount(true);
  EXPECT_GT(thin, 500);
  EXPECT_GT(wide, 4 * thin);
  // Frozen polygons without edges (as space occupation leaves them) are outlined along
  // their loops, about as many pixels as the edges gave.
  shape->polygonsFrozen = true;
  shape->edges.clear();
  const long loops = lineCount(false);
  EXPECT_GT(loops, thin * 8 / 10);
  EXPECT_LT(loops, thin * 12 / 10);
  shape->polygonsFrozen = false;

  // The artefact to look at: the selected ring with its outline and overlay.
  shape->selected = true;
  shape->lineWidth = 2.0;
  shape->stiffness = samples[samples.size() / 2];
  target.clear();
  shape->drawGL();
  savePng(target.read(), std::string(GLIM_BINARY_DIR) + "/tests/shapes/drawgl_selected.png");
}

// A shape without polygons is drawn from its level set as a texture: exactly the cells
// with negative values, in the fill colour, through a texture name of its own; a texture
// the caller owns under name 1 keeps its contents.
TEST_F(ShapeGL, FallbackTextureDrawsTheInsideAndLeavesOtherTexturesAlone) {
  GLuint own = 0;
  glGenTextures(1, &own);
  glBindTexture(GL_TEXTURE_2D, own);
  const unsigned char texels[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);

  auto shape = makeShape<RectLevelSet>(ringMask(Canvas, Canvas, 50, 70, 0, 30));
  auto reference = makeShape<FullLevelSet>(ringMask(Canvas, Canvas, 50, 70, 0, 30));
  style(*shape);
  shape->polygons.clear();
  shape->points.clear();
  shape->edges.clear();
  shape->polygonsFrozen = true;
  shape->selected = true;  // the overlay takes a texture name too
  shape->stiffness = 10.0;  // … but passes no fragment
  target.clear();
  shape->drawGL();
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const auto rgb = target.read();
  const unsigned char fill[3] = {51, 153, 255};  // no blending in the fallback
  long inside = 0;
  for (int py = 0; py < View; ++py)
    for (int px = 0; px < View; ++px) {
      const double v = reference->get(canvasCell(px), canvasCell(py));
      if (std::fabs(v) < 1.5) continue;
      const unsigned char* p = pixel(rgb, px, py);
      for (int c = 0; c < 3; ++c) ASSERT_NEAR(p[c], v < 0 ? fill[c] : 0, 1) << px << "," << py;
      inside += v < 0;
    }
  EXPECT_GT(inside, 4 * 2000);

  unsigned char back[16] = {};
  glBindTexture(GL_TEXTURE_2D, own);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(back[i], texels[i]);
  GLint width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 2);
  glDeleteTextures(1, &own);
}
