// glimshape — tests/app
// Purpose: what the program's window tests share: the example drawing, waiting on the event
// loop, the view's mapping from canvas pixels to widget pixels, and a scratch directory.
#ifndef TESTS_APP_APP_TESTING_H
#define TESTS_APP_APP_TESTING_H

#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QTest>
#include <cmath>
#include <functional>
#include <vector>

#include <ostream>

/// Lets GoogleTest print QStrings as text in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace glimtest {

/// The drawing shipped in examples/: six shapes on a 256 × 256 document.
inline QString exampleDrawing() {
  return QStringLiteral(GLIM_SOURCE_DIR "/examples/drawing.svg");
}

/// @brief The fill colours of the example drawing's `path` and `polygon` elements, in
/// document order, read from the file's text (one shape per element).
inline std::vector<QColor> exampleColours() {
  QFile file(exampleDrawing());
  if (!file.open(QFile::ReadOnly)) return {};
  const QString text = QString::fromUtf8(file.readAll());
  std::vector<QColor> colours;
  const QRegularExpression element(QStringLiteral("<(path|polygon)\\b[^>]*fill=\"(#[0-9a-fA-F]{6})\""));
  for (auto it = element.globalMatch(text); it.hasNext();) colours.emplace_back(it.next().captured(2));
  return colours;
}

/// @brief Runs the event loop until `done` holds or `limitMs` passed.
/// @return whether `done` held.
inline bool waitUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QTest::qWait(20);
  }
  return true;
}

/// @brief The widget pixel at which the view shows canvas point (x, y), worked out from
/// the view's stated geometry: the canvas fills −1 … 1 along its longer side with its
/// first row at the top, as in the drawing; the view shows x in −w/h … w/h and y in
/// −1 … 1 (upward) at zoom 1, shifted by the centre.
inline QPoint canvasToWidget(double x, double y, int canvasW, int canvasH, int viewW, int viewH,
                             double zoom = 1.0, double cx = 0.0, double cy = 0.0) {
  const double m = std::max(canvasW, canvasH);
  const double wx = (x - canvasW / 2.0) * 2.0 / m;
  const double wy = -(y - canvasH / 2.0) * 2.0 / m;
  const double aspect = double(viewW) / viewH;
  const double nx = zoom * (wx - cx) / aspect;
  const double ny = zoom * (wy - cy);
  return QPoint(int(std::floor((nx + 1.0) / 2.0 * viewW)), int(std::floor((1.0 - ny) / 2.0 * viewH)));
}

/// Whether two colours agree within `tolerance` per channel (0 … 255).
inline bool nearColour(const QColor& a, const QColor& b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

/// The colour a fill of `colour` at alpha 0.9 gives over the black background.
inline QColor overBlack(const QColor& colour) {
  return QColor(int(colour.red() * 0.9 + 0.5), int(colour.green() * 0.9 + 0.5),
                int(colour.blue() * 0.9 + 0.5));
}

/// A scratch directory of the test program, emptied at the start of each use.
QString scratchDir(const QString& name);

/// Writes `text` to a file; returns whether it was written.
bool writeFile(const QString& path, const QByteArray& text);

}  // namespace glimtest

#endif
