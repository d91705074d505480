// glimshape — tests/lomvet
// Purpose: the progress-line switch silences every progress line the libraries print while
// shapes evolve, and only those; it is on at start-up.
#include "lomvet/progress.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "common/levelset_shapes.h"
#include "levelset/sparselevelset2d.h"
#include "settings/glimshapesettings.h"

namespace {

// Everything the sparse kind and the distribution pick print for one construction, one
// motion step and one re-initialisation.
std::string evolveSparseAndPick() {
  testing::internal::CaptureStdout();
  std::unique_ptr<SparseLevelSet2D> ls(
      createLevelSetFromImage<SparseLevelSet2D>(glimtest::discMask(24, 24, 12, 12, 5)));
  ls->moveWithCurvature([](LevelSet2D*, int, int, double* step) {
    *step = 1.0;
    return 0.0;
  });
  ls->ensureSignedDistanceFMM();
  GlimShapeSettings::instance().getDistribution();
  return testing::internal::GetCapturedStdout();
}

void expectAllLines(const std::string& out) {
  for (const char* line : {"Added:", "move with curvature.\n", "done curvature.\n",
                           "doing FMM.\n", "step fmm: ", "0, 0.000000, 1.000000\n"})
    EXPECT_NE(out.find(line), std::string::npos) << "missing " << line << " in\n" << out;
}

TEST(ProgressLines, OnByDefaultAndSilencedProcessWide) {
  EXPECT_TRUE(progressLinesEnabled());
  expectAllLines(evolveSparseAndPick());

  // Turned off from another thread, it holds for this one too.
  std::thread([] { setProgressLines(false); }).join();
  EXPECT_FALSE(progressLinesEnabled());
  EXPECT_EQ(evolveSparseAndPick(), "");

  setProgressLines(true);
  expectAllLines(evolveSparseAndPick());
}

}  // namespace
