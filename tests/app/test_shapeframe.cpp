// glimshape — tests/app
// Purpose: the view: what it shows, picking into the current-shape panel, zoom, pan and the
// text a drag carries.
#include "app/shapeframe.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QWheelEvent>
#include <cmath>
#include <memory>

#include "app/mainwindow.h"
#include "app_testing.h"
#include "evolver/evolver.h"
#include "app/panels/selectedshapewidget.h"

namespace {

using glimtest::canvasToWidget;

class ShapeFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    view = window->shapeFrame;
  }

  ZazizEvozuEvolver& evolver() { return *view->evolver; }

  /// A canvas pixel whose 5 × 5 neighbourhood lies inside shape `index` and outside every
  /// other shape (so neither an outline nor a neighbour covers it); (−1, −1) if there is none.
  QPoint deepInside(int index) {
    const auto& shapes = evolver().shapes;
    std::vector<vorn::Image<unsigned char>> inside;
    for (const auto& shape : shapes) inside.push_back(shape->getBinaryImage());
    const int w = inside[0].width, h = inside[0].height;
    for (int y = 2; y < h - 2; ++y)
      for (int x = 2; x < w - 2; ++x) {
        bool ok = true;
        for (int dy = -2; dy <= 2 && ok; ++dy)
          for (int dx = -2; dx <= 2 && ok; ++dx)
            for (size_t s = 0; s < inside.size() && ok; ++s)
              ok = (inside[s](x + dx, y + dy, 0) != 0) == (int(s) == index);
        if (ok) return QPoint(x, y);
      }
    return QPoint(-1, -1);
  }

  QPoint toWidget(const QPoint& canvas) {
    return canvasToWidget(canvas.x(), canvas.y(), evolver().shapes[0]->getWidth(),
                          evolver().shapes[0]->getHeight(), view->width(), view->height(),
                          view->zoom, view->center.x, view->center.y);
  }

  void rightClick(const QPoint& pixel) {
    QTest::mouseClick(view, Qt::RightButton, Qt::NoModifier, pixel);
  }

  void wheel(int delta) {
    const QPointF at(view->width() / 2.0, view->height() / 2.0);
    QWheelEvent event(at, view->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &event);
  }

  std::unique_ptr<MainWindow> window;
  ShapeFrame* view = nullptr;
};

TEST_F(ShapeFrameTest, StartsWithAnEmptyBlackCanvas) {
  EXPECT_TRUE(window->currentFile.isEmpty());
  EXPECT_TRUE(evolver().shapes.empty());
  const QImage picture = view->grabFramebuffer();
  ASSERT_FALSE(picture.isNull());
  // Black, but for the canvas's grey frame.
  int other = 0, frame = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const QColor c = picture.pixelColor(x, y);
      frame += glimtest::nearColour(c, QColor(77, 77, 77), 1);
      other += c != QColor(0, 0, 0) && !glimtest::nearColour(c, QColor(77, 77, 77), 1);
    }
  EXPECT_EQ(other, 0);
  EXPECT_GT(frame, 4 * 0.9 * std::min(picture.width(), picture.height()));
  EXPECT_EQ(std::unique_ptr<QMimeData>(view->createDragData())->text(), QString());
}

TEST_F(ShapeFrameTest, ShowsEveryShapeInItsFillColourOverTheBackground) {
  ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
  const std::vector<QColor> colours = glimtest::exampleColours();
  ASSERT_EQ(evolver().shapes.size(), colours.size());
  const QImage picture = view->grabFramebuffer();
  ASSERT_EQ(picture.size(), view->size() * view->devicePixelRatio());

  int shown = 0;
  for (size_t i = 0; i < colours.size(); ++i) {
    SCOPED_TRACE(i);
    const QPoint canvas = deepInside(int(i));
    if (canvas.x() < 0) continue;  // too thin for a pixel clear of every outline
    ++shown;
    const QColor colour = picture.pixelColor(toWidget(canvas));
    EXPECT_TRUE(glimtest::nearColour(colour, glimtest::overBlack(colours[i]), 6))
        << colour.name().toStdString() << " at canvas " << canvas.x() << "," << canvas.y()
        << ", drawn from " << colours[i].name().toStdString();
  }
  EXPECT_GE(shown, int(colours.size()) - 2);

  // Canvas pixels well away from every shape, and the view outside the canvas, stay black.
  std::vector<vorn::Image<unsigned char>> inside;
  for (const auto& shape : evolver().shapes) inside.push_back(shape->getBinaryImage());
  int checked = 0, wrong = 0;
  for (int y = 6; y < 122; y += 5)
    for (int x = 6; x < 122; x += 5) {
      bool clear = true;
      for (const auto& im : inside)
        for (int dy = -5; dy <= 5 && clear; ++dy)
          for (int dx = -5; dx <= 5 && clear; ++dx) clear = im(x + dx, y + dy, 0) == 0;
      if (!clear) continue;
      ++checked;
      if (!glimtest::nearColour(picture.pixelColor(toWidget(QPoint(x, y))), Qt::black, 2)) ++wrong;
    }
  EXPECT_GT(checked, 20);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(picture.pixelColor(2, 2), QColor(Qt::black));
  // Opaque: the frame buffer's alpha must not let the window show through.
  EXPECT_EQ(picture.pixelColor(toWidget(deepInside(0))).alpha(), 255);
}

TEST_F(ShapeFrameTest, RightClickPicksIntoThePanelAndClearsOnEmptyCanvas) {
  ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
  auto& shapes = evolver().shapes;
  SelectedShapeWidget* panel = window->selectedShapeWidget;

  const double speedBefore = shapes[2]->speed;
  const double stiffBefore = shapes[2]->stiffness;
  rightClick(toWidget(deepInside(2)));
  ASSERT_EQ(panel->getShape(), shapes[2]);
  for (size_t i = 0; i < shapes.size(); ++i) EXPECT_EQ(shapes[i]->selected, i == 2) << i;
  // The panel shows the values to two decimals, and that is what the shape keeps.
  EXPECT_NEAR(panel->speedSpin->value(), speedBefore, 0.005 + 1e-12);
  EXPECT_NEAR(panel->stiffSpin->value(), stiffBefore, 0.005 + 1e-12);
  EXPECT_EQ(panel->noiseTypeCombo->currentText().toStdString(), shapes[2]->noiseType);
  EXPECT_EQ(panel->motionTypeCombo->currentText().toStdString(), shapes[2]->evolutionMethod);

  // Another shape takes the selection over.
  rightClick(toWidget(deepInside(4)));
  EXPECT_EQ(panel->getShape(), shapes[4]);
  EXPECT_FALSE(shapes[2]->selected);
  EXPECT_TRUE(shapes[4]->selected);

  // Empty canvas: no shape in the panel, none selected.
  rightClick(QPoint(2, 2));
  EXPECT_EQ(panel->getShape(), nullptr);
  for (const auto& shape : shapes) EXPECT_FALSE(shape->selected);
}

TEST_F(ShapeFrameTest, OverlappingShapesPickTheFirstInTheList) {
  const QString path = glimtest::scratchDir("overlap") + "/overlap.svg";
  ASSERT_TRUE(glimtest::writeFile(path,
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\">"
      "<path d=\"M 40 40 L 160 40 L 160 160 L 40 160 Z\" fill=\"#ff0000\"/>"
      "<path d=\"M 100 100 L 220 100 L 220 220 L 100 220 Z\" fill=\"#0000ff\"/>"
      "</svg>"));
  ASSERT_TRUE(window->openFile(path));
  ASSERT_EQ(evolver().shapes.size(), 2u);
  // Canvas 128 × 128: the squares cover 20 … 80 and 50 … 110; both cover 65, 65.
  rightClick(toWidget(QPoint(65, 65)));
  EXPECT_EQ(window->selectedShapeWidget->getShape(), evolver().shapes[0]);
  rightClick(toWidget(QPoint(100, 100)));
  EXPECT_EQ(window->selectedShapeWidget->getShape(), evolver().shapes[1]);
  rightClick(toWidget(QPoint(30, 30)));
  EXPECT_EQ(window->selectedShapeWidget->getShape(), evolver().shapes[0]);
}

TEST_F(ShapeFrameTest, TheDrawingIsShownTheRightWayUp) {
  const QString path = glimtest::scratchDir("orientation") + "/corners.svg";
  // Red in the top left corner of the page, blue in the bottom right one.
  ASSERT_TRUE(glimtest::writeFile(path,
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\">"
      "<path d=\"M 20 20 L 100 20 L 100 100 L 20 100 Z\" fill=\"#ff0000\"/>"
      "<path d=\"M 156 156 L 236 156 L 236 236 L 156 236 Z\" fill=\"#0000ff\"/>"
      "</svg>"));
  ASSERT_TRUE(window->openFile(path));
  const QImage picture = view->grabFramebuffer();
  const int w = picture.width(), h = picture.height();
  // The canvas is the square in the middle of the view, as high as the view.
  const QColor topLeft = picture.pixelColor(w / 2 - h * 3 / 10, h * 2 / 10);
  const QColor bottomRight = picture.pixelColor(w / 2 + h * 3 / 10, h * 8 / 10);
  EXPECT_TRUE(glimtest::nearColour(topLeft, glimtest::overBlack(Qt::red), 6)) << topLeft.name().toStdString();
  EXPECT_TRUE(glimtest::nearColour(bottomRight, glimtest::overBlack(Qt::blue), 6))
      << bottomRight.name().toStdString();
  rightClick(QPoint(w / 2 - h * 3 / 10, h * 2 / 10));
  EXPECT_EQ(window->selectedShapeWidget->getShape(), evolver().shapes[0]);
}

TEST_F(ShapeFrameTest, WheelZoomsAndMiddleDragPansByTheMouseMotion) {
  const float fitted = view->zoom;
  for (int i = 0; i < 10; ++i) wheel(120);
  EXPECT_NEAR(view->zoom / fitted, std::pow(0.99, -60.0), 1e-4);
  EXPECT_NEAR(view->zoom / fitted, 1.83, 0.005);
  wheel(-120);
  EXPECT_NEAR(view->zoom / fitted, std::pow(0.99, -54.0), 1e-4);
  wheel(120);

  const float zoom = view->zoom;
  const int h = view->height();
  QTest::mousePress(view, Qt::MiddleButton, Qt::NoModifier, QPoint(10, 0));
  QTest::mouseMove(view, QPoint(10, h));
  QTest::mouseRelease(view, Qt::MiddleButton, Qt::NoModifier, QPoint(10, h));
  EXPECT_NEAR(view->center.y, 2.0 / zoom, 1e-5);
  EXPECT_NEAR(view->center.x, 0.0, 1e-6);

  // Sideways by the height as well: the centre moves the other way, the drawing follows.
  QTest::mousePress(view, Qt::MiddleButton, Qt::NoModifier, QPoint(h / 2 + 10, 5));
  QTest::mouseMove(view, QPoint(10, 5));
  QTest::mouseRelease(view, Qt::MiddleButton, Qt::NoModifier, QPoint(10, 5));
  EXPECT_NEAR(view->center.x, 1.0 / zoom, 1e-5);

  // A move without the middle button leaves the centre alone.
  const float cx = view->center.x;
  QTest::mouseMove(view, QPoint(100, 100));
  EXPECT_EQ(view->center.x, cx);
}

TEST_F(ShapeFrameTest, ZoomedAndPannedViewStillPicksTheShapeUnderTheMouse) {
  ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
  for (int i = 0; i < 7; ++i) wheel(120);
  view->center = vorn::Vec2<float>(0.2f, -0.15f);
  const QPoint canvas = deepInside(7);
  ASSERT_GE(canvas.x(), 0);
  // The widget pixel that shows the shape in its colour is the one that picks it.
  const QColor shown = view->grabFramebuffer().pixelColor(toWidget(canvas));
  EXPECT_TRUE(glimtest::nearColour(shown, glimtest::overBlack(glimtest::exampleColours()[7]), 6))
      << shown.name().toStdString();
  rightClick(toWidget(canvas));
  EXPECT_EQ(window->selectedShapeWidget->getShape(), evolver().shapes[7]);
}

TEST_F(ShapeFrameTest, DragCarriesTheDrawingsTextForm) {
  ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
  // The outlines are traced when the shapes are first drawn.
  view->grabFramebuffer();
  const QString text = std::unique_ptr<QMimeData>(view->createDragData())->text();
  const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), int(evolver().shapes.size()) + 1);
  EXPECT_EQ(lines[0], QStringLiteral("properties 128 128"));
  for (int i = 1; i < lines.size(); ++i) {
    EXPECT_TRUE(lines[i].startsWith("poly ")) << lines[i].toStdString();
    // The colour is written with red in the lowest byte: #bbggrr.
    const QRegularExpressionMatch colour =
        QRegularExpression(" color: #([0-9a-f]{6}) ").match(lines[i]);
    ASSERT_TRUE(colour.hasMatch()) << i;
    const int value = colour.captured(1).toInt(nullptr, 16);
    const QColor written(value & 255, (value >> 8) & 255, value >> 16);
    EXPECT_TRUE(glimtest::nearColour(written, glimtest::exampleColours()[size_t(i - 1)], 1))
        << i << " " << colour.captured(1).toStdString();
  }
  EXPECT_EQ(text.toStdString(), evolver().getSimpleTextRepresentation());
}

}  // namespace
