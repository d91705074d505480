// glimshape — shapes
// Purpose: OpenGL and cairo drawing of shapes, and the shapes' texture names per GL context.
#include "shapes/shapedrawing.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <cairo.h>
#include <dlfcn.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "quarl/texture.h"

namespace shapedrawing {
namespace {

// The context current on this thread. A Qt view may sit on GLX or on EGL; libEGL is only
// asked when the process has loaded it, so the library needs no EGL of its own.
const void* currentContext() {
  if (const void* glx = glXGetCurrentContext()) return glx;
  using EglGetCurrentContext = void* (*)();
  static const auto eglCurrent =
      reinterpret_cast<EglGetCurrentContext>(dlsym(RTLD_DEFAULT, "eglGetCurrentContext"));
  return eglCurrent ? eglCurrent() : nullptr;
}

std::mutex texturesMutex;
std::map<std::pair<const void*, int>, GLuint> textures;

// A texture name of our own in the current context, generated on first use there. A fixed
// name would risk uploading into a texture that belongs to someone else (a Qt 6 widget keeps
// its frame-buffer texture under a low name) and corrupting the view.
GLuint textureFor(TextureSlot slot) {
  const std::lock_guard<std::mutex> lock(texturesMutex);
  GLuint& name = textures[{currentContext(), slot}];
  if (name == 0) glGenTextures(1, &name);
  return name;
}

bool validIndex(int i, std::size_t n) { return i >= 0 && static_cast<std::size_t>(i) < n; }

// Maps canvas coordinates onto the view's world and puts the outline where the saved file
// draws it: a level-set cell sits on the point (x, y) and holds pixel (x, y) of the mask,
// the square from (x, y) to (x + 1, y + 1), so its outline lies half a pixel right of and
// below its cell coordinates (see drawCairo). The view then shows a shape over the pixels
// that picking finds inside it.
void pushOutlineFrame(int w, int h, double m) {
  glScaled(2.0 / m, 2.0 / m, 1.0);
  glTranslated(-w / 2.0 + 0.5, -h / 2.0 + 0.5, 0.0);
}

void drawTextureFallback(ZazizEvozuBase& shape, int w, int h, double m) {
  const vorn::Image<float> image = shape.getTextureImage();
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, textureFor(FallbackTexture));
  image.initTexture(GL_MODULATE);
  glColor4f(shape.fillColor[0], shape.fillColor[1], shape.fillColor[2], 0.9f);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  glPushMatrix();
  glScaled(w / m, h / m, 1.0);
  glTranslated(-0.5 / std::max(image.getWidth(), 1), -0.5 / std::max(image.getHeight(), 1), 0.0);
  glBegin(GL_QUADS);
  glTexCoord2d(0, 0);
  glVertex2d(-1, -1);
  glTexCoord2d(1, 0);
  glVertex2d(1, -1);
  glTexCoord2d(1, 1);
  glVertex2d(1, 1);
  glTexCoord2d(0, 1);
  glVertex2d(-1, 1);
  glEnd();
  glPopMatrix();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_ALPHA_TEST);
}

// Every loop toggles the stencil's low bit where it covers; a pixel is filled when an odd
// number of loops covers it, so holes stay open.
void fillEvenOdd(ZazizEvozuBase& shape, int w, int h, double m) {
  glPushMatrix();
  pushOutlineFrame(w, h, m);
  glClearStencil(0);
  glClear(GL_STENCIL_BUFFER_BIT);
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_ALWAYS, 0, 0);
  glStencilOp(GL_INCR_WRAP, GL_INCR_WRAP, GL_INCR_WRAP);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_2D);
  shape.drawPolygonsGL(GL_POLYGON, shape.points, shape.polygons);
  glPopMatrix();

  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(shape.fillColor[0], shape.fillColor[1], shape.fillColor[2], 0.9f);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glStencilFunc(GL_EQUAL, 1, 1);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glBegin(GL_QUADS);
  glVertex2d(-1, -1);
  glVertex2d(1, -1);
  glVertex2d(1, 1);
  glVertex2d(-1, 1);
  glEnd();
  glDisable(GL_STENCIL_TEST);
}

void drawOutline(const ZazizEvozuBase& shape, int w, int h, double m) {
  glColor4f(shape.lineColor[0], shape.lineColor[1], shape.lineColor[2], 0.9f);
  glPushMatrix();
  pushOutlineFrame(w, h, m);
  glLineWidth(static_cast<GLfloat>(static_cast<int>(shape.lineWidth) + (shape.selected ? 5 : 0)));
  const std::size_t n = shape.points.size();
  glBegin(GL_LINES);
  for (const auto& e : shape.edges) {
    if (!validIndex(e.first, n) || !validIndex(e.second, n)) continue;
    glVertex2d(shape.points[e.first].x, shape.points[e.first].y);
    glVertex2d(shape.points[e.second].x, shape.points[e.second].y);
  }
  glEnd();
  // Space occupation replaces the polygons and empties the edges; the outline then follows
  // the polygons' loops, as the saved file strokes them, instead of vanishing from the view.
  if (shape.edges.empty()) {
    for (const auto& loop : shape.polygons) {
      glBegin(GL_LINE_LOOP);
      for (int k : loop)
        if (validIndex(k, n)) glVertex2d(shape.points[k].x, shape.points[k].y);
      glEnd();
    }
  }
  glPopMatrix();
  glLineWidth(1.0f);
}

void drawStiffnessOverlay(const ZazizEvozuBase& shape, TextureSlot slot, int w, int h,
                          double m) {
  // The whole image is cached with the shape, so the overlay reads it from memory rather
  // than from the file; samples the image lacks (no channels) read 1.0.
  const CachedImage& stiff = shape.stiffImage;
  const int iw = stiff.getWidth(), ih = stiff.getHeight();
  vorn::Image<float> overlay(iw, ih, 4);
  for (int y = 0; y < ih; ++y)
    for (int x = 0; x < iw; ++x) {
      overlay(x, y, 0) = overlay(x, y, 1) = overlay(x, y, 2) = 255.0f;
      overlay(x, y, 3) = static_cast<float>(stiff.sample(x, y));
    }
  glBindTexture(GL_TEXTURE_2D, textureFor(slot));
  if (iw < 2 || ih < 2) return;
  overlay.initTexture(GL_MODULATE);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, static_cast<GLfloat>(shape.stiffness * 0.5));
  glPushMatrix();
  glScaled(2.0 / m, 2.0 / m, 1.0);
  glTranslated(-w / 2.0, -h / 2.0, 0.1);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
  glBegin(GL_QUADS);
  glTexCoord2d(0, 0);
  glVertex2d(0, 0);
  glTexCoord2d(1, 0);
  glVertex2d(w, 0);
  glTexCoord2d(1, 1);
  glVertex2d(w, h);
  glTexCoord2d(0, 1);
  glVertex2d(0, h);
  glEnd();
  glPopMatrix();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_ALPHA_TEST);
}

}  // namespace

void drawPolygonsGL(unsigned int mode, const std::vector<vorn::Vec2<double>>& points,
                    const std::vector<std::vector<int>>& loops) {
  for (const std::vector<int>& loop : loops) {
    glBegin(mode);
    for (int i : loop)
      if (validIndex(i, points.size())) glVertex2d(points[i].x, points[i].y);
    glEnd();
  }
}

void drawPointsGL(const ZazizEvozuBase& shape) {
  const int w = shape.getWidth(), h = shape.getHeight();
  if (w < 1 || h < 1) return;
  glPushMatrix();
  glTranslated(-1.0, -1.0, 0.0);
  glScaled(2.0 / w, 2.0 / h, 1.0);
  glBegin(GL_POINTS);
  for (const auto& p : shape.points) glVertex2d(p.x, p.y);
  glEnd();
  glPopMatrix();
}

void drawGL(ZazizEvozuBase& shape, TextureSlot overlaySlot) {
  const int w = shape.getWidth(), h = shape.getHeight();
  // An empty canvas has nothing to show and no scale to map it with.
  if (w < 1 || h < 1) return;
  const double m = std::max(w, h);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  if (shape.polygons.empty())
    drawTextureFallback(shape, w, h, m);
  else
    fillEvenOdd(shape, w, h, m);
  if (shape.lineWidth >= 0) drawOutline(shape, w, h, m);
  if (shape.selected) drawStiffnessOverlay(shape, overlaySlot, w, h, m);
}

void drawCairo(const ZazizEvozuBase& shape, cairo_t* cr) {
  if (!cr) return;
  // All loops make one path filled by the even-odd rule, as the view fills them: a loop
  // around a hole leaves the hole open, whichever way it runs, and what sits in the hole
  // stays visible. The saved file then holds one element per shape, which reads back as
  // one shape.
  const auto& pts = shape.points;
  cairo_save(cr);
  // A level-set cell sits on the point (x, y) and holds what pixel (x, y) of the mask the
  // shape was made from covers, the square from (x, y) to (x + 1, y + 1): the outline lies
  // half a pixel right of and below its cell coordinates. Without this shift every save
  // and reload moved the drawing half a pixel up and left.
  cairo_translate(cr, 0.5, 0.5);
  cairo_new_path(cr);
  bool any = false;
  for (const std::vector<int>& loop : shape.polygons) {
    bool first = true;
    for (int i : loop) {
      if (!validIndex(i, pts.size())) continue;
      if (first)
        cairo_move_to(cr, pts[i].x, pts[i].y);
      else
        cairo_line_to(cr, pts[i].x, pts[i].y);
      first = false;
    }
    if (first) continue;
    cairo_close_path(cr);
    any = true;
  }
  if (!any) {
    cairo_restore(cr);
    return;
  }
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_set_source_rgb(cr, shape.fillColor[0], shape.fillColor[1], shape.fillColor[2]);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, shape.lineColor[0], shape.lineColor[1], shape.lineColor[2]);
  cairo_set_line_width(cr, shape.lineWidth);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void releaseTextures() {
  const void* context = currentContext();
  const std::lock_guard<std::mutex> lock(texturesMutex);
  for (auto it = textures.begin(); it != textures.end();) {
    if (it->first.first == context) {
      glDeleteTextures(1, &it->second);
      it = textures.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace shapedrawing
