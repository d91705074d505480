// glimshape — tests
// Purpose: the shape factory, the parameters a shape draws, its plain-text form and its
// stiffness files.
#include "shapes/zazizevozubase.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "common/images.h"
#include "noise/draw_counter.h"
#include "shape_fixtures.h"
#include "shapes/stiffnessfiles.h"
#include "shapes/zazizevozu.h"

namespace {

using shapetest::makeShape;
using shapetest::useQuickModel;

std::vector<std::string> tokens(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string t; in >> t;) out.push_back(t);
  return out;
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

TEST(ShapeFactory, KindFollowsTheSettingsName) {
  useQuickModel();
  const auto mask = glimtest::discMask(32, 24, 16, 12, 6);
  const struct {
    const char* name;
    int kind;  // 0 dense, 1 rectangle, 2 sparse
  } cases[] = {{"RectLevelSet", 1}, {"SparseLevelSet", 2}, {"FullLevelSet", 0}, {"", 0},
               {"rectlevelset", 0}, {"SparseLevelSet2D", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GlimShapeSettings::instance().levelSetType = c.name;
    std::unique_ptr<ZazizEvozuBase> shape;
    {
      glimtest::QuietStdout quiet;
      shape = ZazizEvozuBase::create(Polygon(), mask);
    }
    ASSERT_TRUE(shape);
    EXPECT_EQ(dynamic_cast<ZazizEvozu<FullLevelSet>*>(shape.get()) != nullptr, c.kind == 0);
    EXPECT_EQ(dynamic_cast<ZazizEvozu<RectLevelSet>*>(shape.get()) != nullptr, c.kind == 1);
    EXPECT_EQ(dynamic_cast<ZazizEvozu<SparseLevelSet2D>*>(shape.get()) != nullptr, c.kind == 2);
    // Every kind answers in canvas coordinates.
    EXPECT_EQ(shape->getWidth(), 32);
    EXPECT_EQ(shape->getHeight(), 24);
    EXPECT_LT(shape->get(16, 8), 0.0);  // within the sparse band too
    EXPECT_TRUE(shape->have(16, 8));
  }
  GlimShapeSettings::instance().levelSetType = "RectLevelSet";
}

TEST(ShapeFactory, MethodNameChoosesTheKernel) {
  useQuickModel();
  auto shape = makeShape<RectLevelSet>(glimtest::discMask(20, 20, 10, 10, 4));
  const auto original = &move<RectLevelSet, CachedImage>;
  const auto speedBased = &move_speed_based<RectLevelSet, CachedImage>;
  EXPECT_EQ(shape->kernel, original);  // the model's method
  for (const char* name : {"speed-based", "Original", "", "original ", "anything"}) {
    shape->setEvolutionMethod(name);
    EXPECT_EQ(shape->kernel, speedBased) << name;
    EXPECT_EQ(shape->evolutionMethod, name);
  }
  shape->setEvolutionMethod("original");
  EXPECT_EQ(shape->kernel, original);
}

// The draws of a construction, in order: blue, green, red, line width, the model pick,
// the stiffness image (none for this noise type), stiffness, speed.
TEST(ShapeParameters, ConstructionDrawsInTheStatedOrder) {
  EvolutionDistribution d;
  d.noiseType = "none";
  d.method = "speed-based";
  d.stiffMin = 0.1;
  d.stiffMax = 0.5;
  d.speedMin = 2.0;
  d.speedMax = 12.0;
  GlimShapeSettings::instance().distributions = {d};
  const auto mask = glimtest::discMask(24, 24, 12, 12, 5);

  testing_draws::setState(0x330e, 0x0101, 0x0042);
  std::vector<double> v;
  for (int i = 0; i < 8; ++i) v.push_back(drand48());
  testing_draws::setState(0x330e, 0x0101, 0x0042);
  auto shape = makeShape<FullLevelSet>(mask);
  EXPECT_EQ(drand48(), v[7]) << "a construction takes exactly seven draws here";
  EXPECT_FLOAT_EQ(shape->fillColor[0], static_cast<float>(v[2]));
  EXPECT_FLOAT_EQ(shape->fillColor[1], static_cast<float>(v[1]));
  EXPECT_FLOAT_EQ(shape->fillColor[2], static_cast<float>(v[0]));
  for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(shape->lineColor[c], shape->fillColor[c] * 1.15f);
  EXPECT_DOUBLE_EQ(shape->lineWidth, 1.0 + 2.0 * v[3]);
  EXPECT_DOUBLE_EQ(shape->stiffness, 0.1 + 0.4 * v[5]);
  EXPECT_DOUBLE_EQ(shape->speed, 2.0 + 10.0 * v[6]);
  EXPECT_EQ(shape->evolutionMethod, "speed-based");
  EXPECT_EQ(shape->noiseType, "none");
  EXPECT_FALSE(shape->polygonsFrozen);
  EXPECT_FALSE(shape->selected);
  EXPECT_EQ(ZazizEvozuBase::s_zazizEvozuIndex.load(), shape->index + 1);

  // A "perlin" model adds the stiffness field's 5606 draws between pick and stiffness.
  GlimShapeSettings::instance().distributions[0].noiseType = "perlin";
  const long draws = testing_draws::countDraws([&] { makeShape<RectLevelSet>(mask); });
  EXPECT_EQ(draws, 4 + 1 + 5606 + 2);
}

TEST(ShapeParameters, EmptyListUsesTheFallbackModel) {
  GlimShapeSettings::instance().distributions.clear();
  const auto mask = glimtest::discMask(16, 16, 8, 8, 4);
  for (int i = 0; i < 4; ++i) {
    auto shape = makeShape<SparseLevelSet2D>(mask);
    EXPECT_GE(shape->stiffness, 0.1);
    EXPECT_LT(shape->stiffness, 0.3);
    EXPECT_GE(shape->speed, 4.0);
    EXPECT_LT(shape->speed, 10.0);
    EXPECT_EQ(shape->evolutionMethod, "original");
    EXPECT_EQ(shape->noiseType, "perlin");
    EXPECT_EQ(shape->stiffImage.getWindow().nchannels, 1);
  }
}

TEST(ShapeText, TriangleColoursAndLineWidth) {
  useQuickModel();
  auto shape = makeShape<FullLevelSet>(glimtest::discMask(16, 16, 8, 8, 4));
  shape->points = {{0, 0}, {10, 0}, {0, 10}};
  shape->polygons = {{0, 1, 2}};
  shape->fillColor[0] = 1.0f;
  shape->fillColor[1] = shape->fillColor[2] = 0.0f;
  for (int c = 0; c < 3; ++c) shape->lineColor[c] = shape->fillColor[c] * 1.15f;
  shape->lineWidth = 2.5;

  const std::string text = shape->getSimpleTextRepresentation();
  const std::vector<std::string> expected = {
      "poly", "3",  "0", "2", "0", "0", "2", "0",   // vertex (0, 0)
      "8",    "0",  "10", "0", "8", "2",             // vertex (10, 0)
      "2",    "8",  "0", "10", "0", "8",             // vertex (0, 10)
      "color:", "#0000ff",
      // 1.15 × 255 truncates to 293 = 0x125: the line colour is not clamped.
      "lineColor:", "#000125", "line:", "2.5"};
  EXPECT_EQ(tokens(text), expected);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), ' ');
  EXPECT_EQ(text.find("  "), std::string::npos);

  // Blue ends in the highest byte; two loops follow each other.
  shape->fillColor[0] = 0.0f;
  shape->fillColor[2] = 0.5f;
  shape->polygons = {{0, 1, 2}, {2, 1, 0}};
  const auto t = tokens(shape->getSimpleTextRepresentation());
  ASSERT_EQ(t.size(), 2 * 20u + 6u);
  EXPECT_EQ(t[20], "poly");
  EXPECT_EQ(t[22], "0");  // 0.8 × (0, 10) + 0.2 × (0, 0)
  EXPECT_EQ(t[23], "8");
  EXPECT_EQ(t[41], "#7f0000");
}

// The stiffness image is written to a file of the stated name inside a directory of this
// process under the temporary path, and the file holds the image the shape samples.
TEST(StiffnessFiles, WrittenIntoAPrivateDirectory) {
  GlimShapeSettings::instance().temporaryPath = "./temp-stiffness";
  useQuickModel();
  GlimShapeSettings::instance().distributions[0].noiseType = "perlin";
  auto shape = makeShape<FullLevelSet>(glimtest::discMask(40, 30, 20, 15, 6));
  const std::string dir = stiffnessfiles::directory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.rfind("./temp-stiffness/", 0), 0u) << dir;
  char name[64];
  std::snprintf(name, sizeof name, "/perlin-%d-40x30.rfi", shape->index);
  EXPECT_EQ(shape->stiffImage.getFileName(), dir + name);
  vorn::Image<float> file;
  ASSERT_TRUE(file.read(shape->stiffImage.getFileName().c_str()));
  EXPECT_TRUE(glimtest::sameImage(file, shape->stiffImage.getWindow()));
  EXPECT_EQ(shape->stiffImage.getX1(), 40);
  EXPECT_EQ(shape->stiffImage.getY1(), 30);
  EXPECT_EQ(shape->stiffImage.getMargin(), 3);

  // A destroyed shape takes its file with it.
  const std::string path = shape->stiffImage.getFileName();
  shape.reset();
  EXPECT_FALSE(exists(path));
}

TEST(StiffnessFiles, MissingDirectoryKeepsTheImageInMemory) {
  // A temporary path below a regular file can never be a directory.
  std::FILE* f = std::fopen("not-a-directory", "w");
  ASSERT_TRUE(f);
  std::fclose(f);
  GlimShapeSettings::instance().temporaryPath = "not-a-directory/temp";
  useQuickModel();
  GlimShapeSettings::instance().distributions[0].noiseType = "perlin_hard";
  testing::internal::CaptureStderr();
  auto shape = makeShape<SparseLevelSet2D>(glimtest::discMask(32, 32, 16, 16, 6));
  auto second = makeShape<SparseLevelSet2D>(glimtest::discMask(32, 32, 16, 16, 6));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_EQ(shape->stiffImage.getFileName(), "");
  EXPECT_EQ(shape->stiffImage.getWindow().getWidth(), 32);
  // Samples come from memory.
  const vorn::Image<float>& window = shape->stiffImage.getWindow();
  for (int y = 0; y < 32; y += 5)
    for (int x = 0; x < 32; x += 5) EXPECT_EQ(shape->stiffImage.sample(x, y), window(x, y, 0));
  // Motion works without the file.
  FullLevelSet2D obstacles(32, 32);
  for (double& v : obstacles.values) v = 1e10;
  vorn::Image<unsigned char> free(32, 32, 1);
  free = 1;
  glimtest::QuietStdout quiet;
  shape->move(free, obstacles, 2, 1);
  EXPECT_LT(shape->get(16, 10), 0.0);
}

// Two processes that start with the same generator state in one working directory make
// shapes with the same index and size; each must re-read its own stiffness image, and each
// directory must be gone after its process ends normally.
TEST(StiffnessFiles, TwoProcessesDoNotShareFiles) {
  GlimShapeSettings::instance().temporaryPath = "./temp-processes";
  useQuickModel();
  GlimShapeSettings::instance().distributions[0].noiseType = "perlin";
  const auto mask = glimtest::discMask(24, 24, 12, 12, 5);

  struct Report {
    char dir[512];
    char file[512];
    int index;
    int matchesOwnImage;
  };
  std::vector<pid_t> children;
  std::vector<int> reports, gos;
  for (int child = 0; child < 2; ++child) {
    int report[2], go[2];
    ASSERT_EQ(pipe(report), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(report[0]);
      close(go[1]);
      // Different fields per process, same index.
      if (child == 1) drand48();
      Report r{};
      {
        glimtest::QuietStdout quiet;
        ZazizEvozu<FullLevelSet> shape(Polygon(), mask);
        std::snprintf(r.dir, sizeof r.dir, "%s", stiffnessfiles::directory().c_str());
        std::snprintf(r.file, sizeof r.file, "%s", shape.stiffImage.getFileName().c_str());
        r.index = shape.index;
        if (write(report[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) std::_Exit(3);
        // Re-read only once both processes have written their files.
        char byte = 0;
        if (read(go[0], &byte, 1) != 1) std::_Exit(4);
        vorn::Image<float> back;
        r.matchesOwnImage =
            back.read(r.file) && static_cast<bool>(glimtest::sameImage(back, shape.stiffImage.getWindow()));
      }
      if (write(report[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) std::_Exit(3);
      std::exit(0);  // a normal end: the directory goes
    }
    close(report[1]);
    close(go[0]);
    children.push_back(pid);
    reports.push_back(report[0]);
    gos.push_back(go[1]);
  }
  std::vector<Report> first(2), last(2);
  for (int i = 0; i < 2; ++i)
    ASSERT_EQ(read(reports[i], &first[i], sizeof(Report)), static_cast<ssize_t>(sizeof(Report)));
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(write(gos[i], "g", 1), 1);
    close(gos[i]);
  }
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(read(reports[i], &last[i], sizeof(Report)), static_cast<ssize_t>(sizeof(Report)));
    close(reports[i]);
    int status = 0;
    ASSERT_EQ(waitpid(children[i], &status, 0), children[i]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(first[0].index, first[1].index);
  EXPECT_STRNE(first[0].dir, first[1].dir);
  EXPECT_STRNE(first[0].file, first[1].file);
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(last[i].matchesOwnImage) << "process " << i;
    EXPECT_FALSE(exists(first[i].file));
    EXPECT_FALSE(exists(first[i].dir));
  }
}
