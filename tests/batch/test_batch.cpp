// glimshape — tests/batch
// Purpose: glimshape-batch driven as a program: repeatable seeded output, shards equal to one
// run, numbering that never overwrites, saved drawings that load back, and the refusals.
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "batch/batchrun.h"
#include "batch/progressbar.h"
#include "clip/polygonclipper.h"
#include "common/quiet_stdout.h"
#include "evolver/evolver.h"
#include "lomvet/progress.h"

namespace fs = std::filesystem;

namespace {

const std::string program = GLIM_BATCH_PROGRAM;
const std::string drawing = std::string(GLIM_SOURCE_DIR) + "/examples/drawing.svg";

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// A fresh directory per test, removed afterwards; the program runs with it as working
// directory, so its default output and its temporary files stay inside.
class BatchProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "glimbatch-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code code;
    fs::remove_all(dir, code);
  }

  // `shell` runs first; `arguments` may redirect and go on with more commands.
  Outcome run(const std::string& arguments, const std::string& shell = "") {
    const fs::path out = dir / "stdout.txt";
    const fs::path err = dir / "stderr.txt";
    const std::string command = "cd " + quote(dir.string()) + " && { " + shell + quote(program) +
                                " >" + quote(out.string()) + " 2>" + quote(err.string()) +
                                " </dev/null " + arguments + "; }";
    const int raw = std::system(command.c_str());
    Outcome result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(out);
    result.err = readFile(err);
    fs::remove(out);
    fs::remove(err);
    return result;
  }

  fs::path dir;
};

std::size_t shapesIn(const std::string& file) {
  glimtest::QuietStdout quiet;
  setProgressLines(false);
  ZazizEvozuEvolver evolver;
  if (!evolver.loadSVG(file)) return 0;
  return evolver.shapes.size();
}

// The area (pixels²) of each shape after one seeded iteration of the batch, with or without
// Occupy, as its polygons are saved: the clipper unites the loops, then the shoelace formula.
std::vector<double> batchAreas(bool occupy) {
  glimtest::QuietStdout quiet;
  setProgressLines(false);
  BatchOptions options;
  options.input = drawing;
  options.passes = 15;
  options.occupy = occupy;
  seedRandomSource(7, 0);
  ZazizEvozuEvolver evolver;
  ProgressBar bar(nullptr, 1, false);
  std::vector<double> areas;
  if (!evolveIteration(evolver, options, 0, bar)) return areas;
  for (const auto& shape : evolver.shapes) {
    if (!shape->polygonsFrozen) shape->updatePolygons();
    std::vector<vorn::Vec2<double>> p = shape->points;
    std::vector<std::vector<int>> loops = shape->polygons;
    PolygonClipper::clip(p, loops, {}, {}, PolygonClipper::Union);
    double twice = 0.0;
    for (const auto& loop : loops)
      for (std::size_t k = 0; k < loop.size(); ++k)
        twice += p[loop[k]].x * p[loop[(k + 1) % loop.size()]].y - p[loop[(k + 1) % loop.size()]].x * p[loop[k]].y;
    areas.push_back(twice / 2);
  }
  return areas;
}

// Width and height from a PNG's header chunk.
bool pngSize(const std::string& bytes, unsigned& width, unsigned& height) {
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return false;
  if (bytes.compare(12, 4, "IHDR") != 0) return false;
  auto be32 = [&](std::size_t at) {
    unsigned v = 0;
    for (int k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(bytes[at + k]);
    return v;
  };
  width = be32(16);
  height = be32(20);
  return true;
}

}  // namespace

TEST_F(BatchProgram, HelpAndVersion) {
  const Outcome help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: glimshape-batch [options] [drawing.svg]\n", 0), 0u);
  for (const char* option :
       {"-o, --output DIR", "--prefix TEXT", "-n, --count K", "--first N", "--passes P",
        "--seconds S", "--fill", "--occupy", "--seed S", "--size WxH", "--level-set KIND",
        "--png", "--png-scale K", "--frames DIR", "--frame-every K", "-q, --quiet",
        "-v, --verbose", "-h, --help", "--version"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  EXPECT_EQ(run("-h").out, help.out);
  EXPECT_FALSE(fs::exists(dir / "glimshape-out"));

  const Outcome version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("glimshape-batch [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << version.out;
}

TEST_F(BatchProgram, BadOptionsAreRefusedBeforeAnythingRuns) {
  const char* const cases[] = {
      "--count 0",         "--count -3",        "-n abc",           "-n 1.5",
      "--count 5x",        "--count=",          "--passes 0 --seconds 1", "--passes -2",
      "--seconds 0",       "--seconds -1",      "--seconds abc",    "--seconds inf",
      "--size 0x0",        "--size -5x7",       "--size 100000x100000", "--size 128",
      "--size 128x",       "--size 12.5x10",    "--seed -1",        "--seed 1e3",
      "--level-set Foo",   "--first -1",        "--bogus",          "--output",
      "--size 128x0",      "--size 0x128",      "--first 999999999 -n 2",
      "-q -v",             "--prefix a/b",      "--fill=yes",       "a.svg b.svg",
      "--count 99999999999999999999", "--svg-reader fast", "--png-scale 0", "--png-scale 17",
      "--frames=",         "--frame-every 2",   "--frames f --frame-every 0",
      "--size 2048x64 --png-scale 9"};
  for (const char* arguments : cases) {
    const Outcome r = run(arguments);
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_TRUE(r.out.empty()) << arguments;
    EXPECT_NE(r.err.find("glimshape-batch: "), std::string::npos) << arguments << ": " << r.err;
  }
  // The last file number is accepted.
  EXPECT_EQ(run("--first 999999999 -n 1 --help").status, 0);
  // The message names what was wrong.
  EXPECT_NE(run("--size -5x7").err.find("'-5x7'"), std::string::npos);
  EXPECT_NE(run("--bogus").err.find("--bogus"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "glimshape-out"));
}

TEST_F(BatchProgram, MissingUnreadableAndEmptyDrawingsFail) {
  Outcome r = run("--passes 1 " + quote((dir / "nothere.svg").string()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("nothere.svg does not exist"), std::string::npos) << r.err;

  r = run("--passes 1 " + quote(dir.string()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is a directory"), std::string::npos) << r.err;

  writeFile(dir / "garbage.svg", "this is <not xml");
  r = run("--passes 1 garbage.svg");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read the drawing "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("garbage.svg"), std::string::npos) << r.err;

  writeFile(dir / "empty.svg",
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">"
            "<path d=\"M 500 500 L 600 500 L 600 600 Z\" fill=\"#ff0000\"/>"
            "<rect x=\"-20\" width=\"10\" height=\"10\"/></svg>");
  r = run("--passes 1 empty.svg");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("has no valid shape (2 elements paint nothing"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());

  // What a usable drawing leaves out is a warning, which -q silences.
  writeFile(dir / "faint.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
                               "<rect width=\"5\" height=\"5\"/><rect x=\"5\" width=\"5\" "
                               "height=\"5\" opacity=\"0.1\"/></svg>");
  r = run("--passes 0 -o faint faint.svg");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("faint.svg: 1 shape; 1 faint\n"), std::string::npos) << r.err;
  EXPECT_EQ(run("--passes 0 -q -o faint faint.svg").err, "");
  EXPECT_FALSE(fs::exists(dir / "glimshape-out"));
}

TEST_F(BatchProgram, UnusableOutputDirectoryFails) {
  // A regular file where a directory should be (permissions do not stop a superuser).
  writeFile(dir / "plain", "x");
  Outcome r = run("--passes 1 -o plain/sub " + quote(drawing));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot create the output directory "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("plain/sub"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());

  r = run("--passes 1 -o plain " + quote(drawing));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("plain"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(dir / "plain"), "x");
}

TEST_F(BatchProgram, DefaultOutputAndPngPreview) {
  const Outcome r = run("--passes 2 --png " + quote(drawing));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "glimshape-out/glimout-000000.svg\nglimshape-out/glimout-000000.png\n");
  const std::string svg = readFile(dir / "glimshape-out/glimout-000000.svg");
  const std::string png = readFile(dir / "glimshape-out/glimout-000000.png");
  // The picture covers the SVG page: two pixels per canvas pixel.
  std::smatch page;
  ASSERT_TRUE(std::regex_search(svg, page, std::regex("width=\"([0-9]+)(pt)?\" height=\"([0-9]+)")));
  unsigned width = 0, height = 0;
  ASSERT_TRUE(pngSize(png, width, height));
  EXPECT_EQ(width, std::stoul(page[1].str()));
  EXPECT_EQ(height, std::stoul(page[3].str()));
  // Nothing is left behind but the results, in the output directory or the working one.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir / "glimshape-out"))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names.size(), 2u);
  std::size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(dir)) entries += entry.path() != dir / "glimshape-out";
  EXPECT_EQ(entries, 0u);
}

TEST_F(BatchProgram, SameSeedGivesIdenticalFilesAndShardsEqualOneRun) {
  const std::string common = " --passes 3 --png --seed 4711 " + quote(drawing);
  const Outcome whole = run("-o whole -n 4" + common);
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(lines(whole.out).size(), 8u);
  const Outcome again = run("-o again -n 4" + common);
  ASSERT_EQ(again.status, 0) << again.err;
  // Shards in separate processes, the later one first; the second file of the earlier one
  // finds 1 taken and gets number 3, and is what number 3 gives.
  const Outcome shardB = run("-o shards --first 1 -n 2" + common);
  ASSERT_EQ(shardB.status, 0) << shardB.err;
  const Outcome shardA = run("-o shards --first 0 -n 2" + common);
  ASSERT_EQ(shardA.status, 0) << shardA.err;
  EXPECT_EQ(lines(shardA.out)[2], "shards/glimout-000003.svg") << shardA.out;

  std::vector<std::string> svgs;
  for (int n = 0; n < 4; ++n) {
    for (const char* ext : {".svg", ".png"}) {
      const std::string name = "glimout-00000" + std::to_string(n) + ext;
      const std::string reference = readFile(dir / "whole" / name);
      ASSERT_FALSE(reference.empty()) << name;
      // Compared whole, without printing pages of path data on a mismatch.
      EXPECT_TRUE(readFile(dir / "again" / name) == reference) << name;
      EXPECT_TRUE(readFile(dir / "shards" / name) == reference) << name;
      if (std::string(ext) == ".svg") svgs.push_back(reference);
    }
  }
  // Each number draws its own colours and motion: the files differ from each other.
  EXPECT_TRUE(svgs[0] != svgs[1]);
  EXPECT_TRUE(svgs[1] != svgs[2]);

  const Outcome other = run("-o other -n 1 --passes 3 --seed 4712 " + quote(drawing));
  ASSERT_EQ(other.status, 0) << other.err;
  EXPECT_TRUE(readFile(dir / "other/glimout-000000.svg") != svgs[0]);
}

TEST_F(BatchProgram, UnseededRunsRepeatExactly) {
  const Outcome a = run("-o a -n 2 --passes 2 " + quote(drawing));
  const Outcome b = run("-o b -n 2 --passes 2 " + quote(drawing));
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  for (const char* name : {"glimout-000000.svg", "glimout-000001.svg"})
    EXPECT_TRUE(readFile(dir / "a" / name) == readFile(dir / "b" / name)) << name;
  EXPECT_TRUE(readFile(dir / "a/glimout-000000.svg") != readFile(dir / "a/glimout-000001.svg"));
  // --passes 0 saves the starting shapes, which no seed moves.
  const Outcome p = run("-o p --passes 0 --seed 1 " + quote(drawing));
  const Outcome q = run("-o q --passes 0 --seed 2 --svg-reader full " + quote(drawing));
  ASSERT_EQ(p.status + q.status, 0) << p.err << q.err;
  EXPECT_TRUE(readFile(dir / "p/glimout-000000.svg") == readFile(dir / "q/glimout-000000.svg"));
}

TEST_F(BatchProgram, ExistingFilesAreNeverOverwritten) {
  fs::create_directories(dir / "out");
  for (int n : {0, 1, 2, 3, 4, 7}) writeFile(dir / "out" / ("glimout-00000" + std::to_string(n) + ".svg"), "keep");
  // A PNG alone also holds its number when previews are written.
  writeFile(dir / "out/glimout-000009.png", "keep");

  Outcome r = run("-o out -n 3 --passes 1 " + quote(drawing));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "out/glimout-000005.svg\nout/glimout-000006.svg\nout/glimout-000008.svg\n");

  r = run("-o out/ -n 1 --passes 1 --png --first 2 --prefix glimout- " + quote(drawing));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "out/glimout-000010.svg\nout/glimout-000010.png\n");

  for (int n : {0, 1, 2, 3, 4, 7})
    EXPECT_EQ(readFile(dir / "out" / ("glimout-00000" + std::to_string(n) + ".svg")), "keep");
  EXPECT_EQ(readFile(dir / "out/glimout-000009.png"), "keep");
  EXPECT_FALSE(fs::exists(dir / "out/glimout-000009.svg"));
}

TEST_F(BatchProgram, SavedDrawingLoadsBackIntoAsManyShapes) {
  const std::size_t loaded = shapesIn(drawing);
  ASSERT_GT(loaded, 0u);
  for (const char* kind : {"RectLevelSet", "SparseLevelSet", "FullLevelSet"}) {
    const Outcome r = run(std::string("-o ") + kind + " --passes 3 --level-set " + kind + " " +
                      quote(drawing));
    ASSERT_EQ(r.status, 0) << kind << ": " << r.err;
    EXPECT_EQ(shapesIn((dir / kind / "glimout-000000.svg").string()), loaded) << kind;
  }
}

TEST_F(BatchProgram, FillAndOccupyRunAndStayRepeatable) {
  const std::string common = " --passes 3 --fill --occupy --seed 99 " + quote(drawing);
  const Outcome whole = run("-o whole -n 2" + common);
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(whole.err.find("not available"), std::string::npos);
  const Outcome shard = run("-o shard --first 1 -n 1" + common);
  ASSERT_EQ(shard.status, 0) << shard.err;
  EXPECT_TRUE(readFile(dir / "shard/glimout-000001.svg") ==
              readFile(dir / "whole/glimout-000001.svg"));
  // Filling adds shapes for the holes; occupying never removes one.
  EXPECT_GE(shapesIn((dir / "whole/glimout-000000.svg").string()), shapesIn(drawing));
}

TEST_F(BatchProgram, FailuresStopTheBatchAndLeaveNoClaimedFile) {
  Outcome r = run("-n 2 --passes 1 -o full " + quote(drawing) + " >/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("output: No space left on device; batch stopped, 1 of 2 files written"),
            std::string::npos) << r.err;
  // Files over 10 kB fail as on a full disk: the first failed save ends the batch, cleaned up.
  r = run("-n 3 --passes 1 --png -o limited " + quote(drawing), "trap '' XFSZ; ulimit -f 20; ");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::regex_search(
      r.err, std::regex("000000.svg: File too large; batch stopped, 0 of 3 files written\n$")));
  EXPECT_TRUE(fs::is_empty(dir / "limited"));
  // Stopped during its evolution, the batch removes the number it claimed before it.
  r = run("-q --passes 1000000 -o stop " + quote(drawing) + " & for k in $(seq 300); do [ -e "
          "stop/glimout-000000.svg ] && echo x >claimed && break; sleep .1; done; kill $!; wait $!");
  EXPECT_EQ(readFile(dir / "claimed") + r.err,
            "x\nglimshape-batch: interrupted; batch stopped, 0 of 1 files written\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(fs::is_empty(dir / "stop"));
}

TEST_F(BatchProgram, TimeLapseFramesFollowThePassesAndNeverReplaceAFile) {
  // The loaded drawing, passes 2 and 4, the last pass (5), the occupied state.
  const std::string common = " --passes 5 --frame-every 2 --frames fr --png-scale 1 --occupy " +
                             quote(drawing);
  Outcome r = run("-o out" + common);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string expected;
  for (int f = 0; f < 5; ++f) expected += "fr/glimout-000000-000" + std::to_string(f) + ".png\n";
  EXPECT_EQ(r.out, expected + "out/glimout-000000.svg\n");
  unsigned width = 0, height = 0;
  ASSERT_TRUE(pngSize(readFile(dir / "fr/glimout-000000-0004.png"), width, height));
  EXPECT_EQ(width, 128u);
  EXPECT_EQ(height, 128u);
  // The drawing grows: the first and the last frame differ, passes 2 and 4 too.
  EXPECT_TRUE(readFile(dir / "fr/glimout-000000-0000.png") != readFile(dir / "fr/glimout-000000-0004.png"));
  EXPECT_TRUE(readFile(dir / "fr/glimout-000000-0001.png") != readFile(dir / "fr/glimout-000000-0002.png"));

  // A frame of the next number exists already: it is kept, the others are written, and the
  // run reports the failure.
  writeFile(dir / "fr/glimout-000001-0002.png", "keep");
  r = run("-o out" + common);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("glimout-000001-0002.png: the file exists already"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(dir / "fr/glimout-000001-0002.png"), "keep");
  EXPECT_TRUE(fs::exists(dir / "fr/glimout-000001-0001.png"));
  EXPECT_TRUE(fs::exists(dir / "fr/glimout-000001-0004.png"));
  EXPECT_TRUE(fs::exists(dir / "out/glimout-000001.svg"));
}

// Occupy changes the saved drawing, and every shape keeps at least the area it had (once it
// cut against outlines never computed, so that shapes lost their area).
TEST_F(BatchProgram, OccupyGrowsEveryShapeOfTheSavedDrawing) {
  const std::string common = " --passes 15 --seed 7 " + quote(drawing);
  ASSERT_EQ(run("-o plain" + common).status, 0);
  ASSERT_EQ(run("-o occupied --occupy" + common).status, 0);
  EXPECT_TRUE(readFile(dir / "plain/glimout-000000.svg") != readFile(dir / "occupied/glimout-000000.svg"))
      << "--occupy changed nothing in the saved drawing";
  const std::vector<double> before = batchAreas(false), after = batchAreas(true);
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_GE(after[i], before[i] - 1.0) << "shape " << i;
}

// --passes ends the evolution before a --seconds limit that comes later.
TEST_F(BatchProgram, PassesEndTheEvolutionBeforeALaterTimeLimit) {
  const Outcome r = run("--passes 1 --seconds 60 " + quote(drawing));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("iteration 1/1: 1 passes in "), std::string::npos) << r.err;
}

TEST(NormaliseSvgIds, RenumbersCairoIdsByFirstAppearanceAndNothingElse) {
  EXPECT_EQ(normaliseSvgIds("<g id=\"surface33\"><use xlink:href=\"#surface33\"/>"
                            "<image id=\"image7\"/><g id=\"surface40\"><image id=\"image2\"/>"
                            "<pattern id=\"source9\"/>"),
            "<g id=\"surface1\"><use xlink:href=\"#surface1\"/><image id=\"image1\"/>"
            "<g id=\"surface2\"><image id=\"image2\"/><pattern id=\"source1\"/>");
  // Words that merely begin like an id, and numbers in path data, stay as they are.
  const std::string untouched = "<path d=\"M 1 2 L 3 4 Z\" class=\"surfaces xsurface3 surface3a "
                                "image\"/><image/>";
  EXPECT_EQ(normaliseSvgIds(untouched), untouched);
  EXPECT_EQ(normaliseSvgIds(""), "");
}
