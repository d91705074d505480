// glimshape — app
// Purpose: ShapeFrame, the OpenGL view that owns the evolver, repaints the evolving shapes
// and lets the user pan, zoom, pick a shape and drag the drawing out as text.
#ifndef GLIM_APP_SHAPEFRAME_H
#define GLIM_APP_SHAPEFRAME_H

#include <QOpenGLWidget>
#include <QPoint>
#include <QSize>
#include <memory>

#include "quarl/vec2.h"

QT_FORWARD_DECLARE_CLASS(QMimeData)
QT_FORWARD_DECLARE_CLASS(QTimer)
class SelectedShapeWidget;
class ZazizEvozuEvolver;

/// @brief The live view of the drawing, in the centre of the main window.
///
/// World coordinates: at zoom 1 and centre (0, 0) the view spans x from −w/h to w/h and
/// y from −1 (bottom) to 1 (top), w and h being the widget size in pixels; the canvas
/// fills −1 … 1 along its longer side, its first row at the top as in the drawing's file
/// (the shapes themselves draw row 0 at y = −1, so the view mirrors them). Painting holds the evolver's mutex while the
/// shapes draw, so it never sees a shape half-way through a worker step.
class ShapeFrame : public QOpenGLWidget {
  Q_OBJECT

 public:
  /// Interval of the repaint timer (milliseconds); the view redraws whether or not
  /// anything changed.
  static constexpr int kRepaintInterval = 150;

  /// @brief Creates the evolver and starts the repaint timer.
  explicit ShapeFrame(QWidget* parent = nullptr);
  /// Stops the worker before the evolver goes.
  ~ShapeFrame() override;

  /// @brief Loads the identity into the current matrix and applies the orthographic
  /// projection −w/h … w/h by −1 … 1 (near −1, far 1).
  void setupProjection();
  /// @brief Loads the identity and applies the zoom, then the shift by −`center`, then
  /// the mirror that puts the canvas's first row at the top.
  void setupModelview();

  /// @brief The world point under a widget pixel (see the class comment).
  /// @param pixel position in widget pixels, y downward.
  vorn::Vec2<double> toWorld(const QPoint& pixel) const;

  /// @brief Picks the first shape in list order under a widget pixel: it alone is marked
  /// selected and handed to the current-shape panel; nothing under the pixel clears the
  /// panel and every mark.
  /// @return the shape's index, or −1.
  int pick(const QPoint& pixel);

  /// @brief The drag data of a left press: the drawing's text form as plain text.
  QMimeData* createDragData();

  /// Part of the view the fitted canvas spans along its tighter direction.
  static constexpr double kFitMargin = 0.95;
  /// Zoom factor of one "Zoom In" step ("Zoom Out" divides by it).
  static constexpr float kZoomStep = 1.25f;
  /// @brief The zoom at which the whole canvas (the drawing's, or the settings' without
  /// shapes) just fits the view.
  float fitZoom() const;
  /// @brief Centres the canvas and zooms it to fit; the view keeps it fitted when resized
  /// until the user zooms or pans.
  void zoomToFit();
  /// @brief Centres the canvas at one canvas pixel per screen pixel.
  void zoomToActualSize();
  /// @brief Multiplies the zoom by `factor` about the view centre.
  void zoomBy(float factor);
  /// Whether the view refits the canvas when it is resized.
  bool isFitting() const { return fitting; }

  /// View centre (world units).
  vorn::Vec2<float> center{0.0f, 0.0f};
  /// Scale factor of the view.
  float zoom = 1.0f;
  /// Mouse position at the last press or move (widget pixels).
  QPoint lastMouse;
  /// Buttons held at the last press.
  Qt::MouseButtons mouseButtons;
  /// The one evolver of the program; the view owns it.
  std::unique_ptr<ZazizEvozuEvolver> evolver;
  /// The current-shape panel to update on a pick (set by the main window, not owned).
  SelectedShapeWidget* selectedShapeWidget = nullptr;

 protected:
  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  /// The canvas size (pixels) the view shows.
  QSize canvasSize() const;
  /// Outlines the canvas in grey.
  void drawCanvasFrame();

  QTimer* repaintTimer = nullptr;
  bool fitting = true;
};

#endif
