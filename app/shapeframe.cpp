// glimshape — app
// Purpose: ShapeFrame painting, picking, panning, zooming and the text drag.
#include "app/shapeframe.h"

#include <GL/gl.h>

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <mutex>

#include "evolver/evolver.h"
#include "settings/glimshapesettings.h"
#include "app/panels/selectedshapewidget.h"

ShapeFrame::ShapeFrame(QWidget* parent)
    : QOpenGLWidget(parent), evolver(std::make_unique<ZazizEvozuEvolver>()) {
  repaintTimer = new QTimer(this);
  repaintTimer->setSingleShot(false);
  repaintTimer->setInterval(kRepaintInterval);
  connect(repaintTimer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
  repaintTimer->start();
  // Keys such as Space (Evolve) reach the view once it is clicked or tabbed to.
  setFocusPolicy(Qt::StrongFocus);
}

ShapeFrame::~ShapeFrame() {
  // The worker steps shapes whose drawing state lives in this view's context; it must be
  // gone before the context and the evolver are.
  evolver->stop();
}

void ShapeFrame::setupProjection() {
  const double aspect = double(width()) / double(std::max(1, height()));
  glLoadIdentity();
  glOrtho(-aspect, aspect, -1.0, 1.0, -1.0, 1.0);
}

void ShapeFrame::setupModelview() {
  glLoadIdentity();
  glScalef(zoom, zoom, 1.0f);
  glTranslatef(-center.x, -center.y, 0.0f);
  // The shapes draw canvas row 0 at the bottom; the drawing's file has it at the top.
  glScalef(1.0f, -1.0f, 1.0f);
}

vorn::Vec2<double> ShapeFrame::toWorld(const QPoint& pixel) const {
  const double w = std::max(1, width());
  const double h = std::max(1, height());
  const double aspect = w / h;
  return vorn::Vec2<double>(center.x + ((pixel.x() / w - 0.5) * 2.0 * aspect) / zoom,
                            center.y + ((0.5 - pixel.y() / h) * 2.0) / zoom);
}

int ShapeFrame::pick(const QPoint& pixel) {
  const vorn::Vec2<double> world = toWorld(pixel);
  // The canvas is shown upside up (see setupModelview): the shapes' y runs the other way.
  const int index = evolver->hit(world.x, -world.y);
  std::shared_ptr<ZazizEvozuBase> picked;
  {
    std::lock_guard<std::mutex> lock(evolver->mutex);
    for (const std::shared_ptr<ZazizEvozuBase>& shape : evolver->shapes) shape->selected = false;
    if (index >= 0 && size_t(index) < evolver->shapes.size()) {
      picked = evolver->shapes[size_t(index)];
      picked->selected = true;
    }
  }
  if (selectedShapeWidget) selectedShapeWidget->setShape(picked);
  return picked ? index : -1;
}

QMimeData* ShapeFrame::createDragData() {
  const std::string text = evolver->getSimpleTextRepresentation();
  auto* data = new QMimeData;
  data->setText(QString::fromLocal8Bit(text.data(), int(text.size())));
  return data;
}

QSize ShapeFrame::canvasSize() const {
  {
    std::lock_guard<std::mutex> lock(evolver->mutex);
    if (!evolver->shapes.empty())
      return QSize(evolver->shapes.front()->getWidth(), evolver->shapes.front()->getHeight());
  }
  const GlimShapeSettings& settings = GlimShapeSettings::instance();
  return QSize(settings.width, settings.height);
}

float ShapeFrame::fitZoom() const {
  const QSize canvas = canvasSize();
  const double m = std::max(1, std::max(canvas.width(), canvas.height()));
  const double aspect = double(std::max(1, width())) / double(std::max(1, height()));
  // The canvas spans 2·cw/m by 2·ch/m world units; the view 2·aspect by 2 at zoom 1.
  // A narrow border keeps the canvas's frame and outermost shapes clear of the view's edge.
  return float(kFitMargin *
               std::min(aspect * m / std::max(1, canvas.width()), m / std::max(1, canvas.height())));
}

void ShapeFrame::zoomToFit() {
  center = vorn::Vec2<float>(0.0f, 0.0f);
  zoom = fitZoom();
  fitting = true;
  update();
}

void ShapeFrame::zoomToActualSize() {
  const QSize canvas = canvasSize();
  center = vorn::Vec2<float>(0.0f, 0.0f);
  // At zoom 1 the longer canvas side m spans the view's height.
  zoom = float(double(std::max(1, std::max(canvas.width(), canvas.height()))) /
               double(std::max(1, height())));
  fitting = false;
  update();
}

void ShapeFrame::zoomBy(float factor) {
  zoom *= factor;
  fitting = false;
  update();
}

void ShapeFrame::initializeGL() {
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void ShapeFrame::resizeGL(int w, int h) {
  if (fitting) zoom = fitZoom();
  const qreal ratio = devicePixelRatioF();
  glViewport(0, 0, GLsizei(std::lround(w * ratio)), GLsizei(std::lround(h * ratio)));
}

void ShapeFrame::paintGL() {
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  // The widget composes its frame buffer with alpha: translucent fills would make the
  // window show through, so alpha stays 1 whatever the shapes blend.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);

  glMatrixMode(GL_PROJECTION);
  setupProjection();
  glMatrixMode(GL_MODELVIEW);
  setupModelview();
  drawCanvasFrame();
  evolver->drawGL();

  // The shapes unmask every channel for their fills; put the alpha back to opaque.
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glClear(GL_COLOR_BUFFER_BIT);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void ShapeFrame::drawCanvasFrame() {
  // The canvas's edge, so that the user sees where the shapes can grow; the shapes cover it.
  const QSize canvas = canvasSize();
  const double m = std::max(1, std::max(canvas.width(), canvas.height()));
  const double x = canvas.width() / m, y = canvas.height() / m;
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glColor4f(0.3f, 0.3f, 0.3f, 1.0f);
  glLineWidth(1.0f);
  glBegin(GL_LINE_LOOP);
  glVertex2d(-x, -y);
  glVertex2d(x, -y);
  glVertex2d(x, y);
  glVertex2d(-x, y);
  glEnd();
}

void ShapeFrame::mousePressEvent(QMouseEvent* event) {
  lastMouse = event->position().toPoint();
  mouseButtons = event->buttons();
  if (mouseButtons & Qt::LeftButton) {
    auto* drag = new QDrag(this);
    drag->setMimeData(createDragData());
    drag->exec(Qt::CopyAction);
  } else if (mouseButtons & Qt::RightButton) {
    pick(lastMouse);
  }
}

void ShapeFrame::mouseMoveEvent(QMouseEvent* event) {
  const QPoint position = event->position().toPoint();
  if (mouseButtons & Qt::MiddleButton) {
    const float h = float(std::max(1, height()));
    const QPoint delta = position - lastMouse;
    center.x -= (2.0f * float(delta.x()) / h) / zoom;
    center.y += (2.0f * float(delta.y()) / h) / zoom;
    fitting = false;
  }
  lastMouse = position;
  update();
}

void ShapeFrame::mouseReleaseEvent(QMouseEvent*) {}

void ShapeFrame::wheelEvent(QWheelEvent* event) {
  // One notch (120) scales by 0.99^−6; smooth-scrolling devices send fractions of that.
  zoom *= float(std::pow(0.99, -double(event->angleDelta().y()) / 20.0));
  fitting = false;
  update();
}
