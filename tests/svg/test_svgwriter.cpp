// glimshape — tests/svg
// Purpose: the SVG writer: page size, reading its output back, and failed saves that leave
// existing files alone.
#include "svg/svgwriter.h"

#include <cairo.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "svg/filereplace.h"
#include "svg/raster.h"
#include "svg/svgreader.h"

namespace {

namespace fs = std::filesystem;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string slurp(const std::string& fileName) {
  std::ifstream in(fileName);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Files in the test's own directory, so that stray temporary files can be counted.
std::string freshDirectory(const std::string& name) {
  const std::string dir = testing::TempDir() + name;
  std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
  return dir + "/";
}

int filesIn(const std::string& dir) {
  int n = 0;
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) return -1;
  while (const dirent* entry = readdir(listing)) {
    n += std::string(entry->d_name) != "." && std::string(entry->d_name) != "..";
  }
  closedir(listing);
  return n;
}

// Whether `body` holds in a child process run as an ordinary user, with files up to `maxBytes`.
bool inChild(const std::function<bool()>& body, rlim_t maxBytes) {
  const rlimit limit{maxBytes, maxBytes};
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
    const bool user = ::geteuid() != 0 || ::setuid(65534) == 0;
    ::_exit(user && ::setrlimit(RLIMIT_FSIZE, &limit) == 0 && body() ? 0 : 1);
  }
  int status = 1;
  return ::waitpid(pid, &status, 0) == pid && status == 0;
}

// One filled and stroked outline in canvas pixels, as a shape draws itself.
SvgDrawing outline(const std::string& data) {
  return [data](cairo_t* cr) {
    Path(data).apply(cr);
    cairo_set_source_rgb(cr, 1.0, 0.5, 0.0);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.0, 0.0, 1.0);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  };
}

}  // namespace

TEST(SvgWriter, EmptyDrawingIsValidPage) {
  const std::string dir = freshDirectory("svgwriter_empty");
  const std::string file = dir + "empty.svg";
  ASSERT_TRUE(writeSvgFile(file, 128, 128, SvgDrawing()));
  const std::string text = slurp(file);
  EXPECT_TRUE(SvgDocument(text, file).isValid());
  EXPECT_TRUE(std::regex_search(text, std::regex("<svg[^>]* width=\"256pt\" height=\"256pt\"")))
      << text;
  SvgReader reader;
  CaptureStdout();
  EXPECT_TRUE(reader.load(file, 128, 128, [](const SvgElement&) { return true; }));
  const std::string output = GetCapturedStdout();
  EXPECT_NE(output.find("Scale: 0.5,0.5\nSize: 128,128\n"), std::string::npos) << output;
  EXPECT_NE(output.find("Num strokes:0,0\n"), std::string::npos) << output;
  EXPECT_EQ(filesIn(dir), 1);
}

TEST(SvgWriter, WideCanvasIsSavedWholeAndReadsBack) {
  // The page follows the canvas: 200 x 100 pixels become 400 x 200 points, and an outline
  // reaching the far corner is inside the page and reads back over the whole canvas. (An
  // outline covering the page exactly would be written as a painted page.)
  const std::string file = freshDirectory("svgwriter_wide") + "wide.svg";
  ASSERT_TRUE(writeSvgFile(file, 200, 100, outline("M 1 1 L 199 1 L 199 99 L 1 99 Z")));
  const std::string text = slurp(file);
  EXPECT_TRUE(std::regex_search(text, std::regex("<svg[^>]* width=\"400pt\" height=\"200pt\"")))
      << text;
  SvgReader reader;
  std::vector<SvgElement> elements;
  CaptureStdout();
  ASSERT_TRUE(reader.load(file, 200, 100, [&](const SvgElement& element) {
    elements.push_back(element);
    return true;
  }));
  GetCapturedStdout();
  ASSERT_EQ(elements.size(), 1u);
  const SvgElement& element = elements[0];
  ASSERT_EQ(element.mask.width, 200);
  ASSERT_EQ(element.mask.height, 100);
  // The root records the canvas, so the page maps back onto it without a margin: every
  // pixel comes back where it was.
  EXPECT_TRUE(std::regex_search(text, std::regex("<svg[^>]* glimshape:canvas=\"200 100\"")));
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 200; ++x) {
      const bool inside = x >= 1 && x < 199 && y >= 1 && y < 99;
      ASSERT_EQ(element.mask(x, y, 0), inside ? 255 : 0) << x << "," << y;
    }
  }
  // Colours and line width come back from the style cairo writes.
  EXPECT_FLOAT_EQ(element.fillColor[0], 1.0f);
  EXPECT_FLOAT_EQ(element.fillColor[1], 0.5f);
  EXPECT_FLOAT_EQ(element.strokeColor[2], 1.0f);
  EXPECT_DOUBLE_EQ(element.strokeWidth, 1.5);
}

TEST(SvgWriter, FailedSaveKeepsExistingFile) {
  const std::string dir = freshDirectory("svgwriter_fail");
  const std::string file = dir + "drawing.svg";
  std::ofstream(file) << "previous contents";

  // The drawing puts cairo into an error state: nothing replaces the file.
  CaptureStdout();
  EXPECT_FALSE(writeSvgFile(file, 128, 128, [](cairo_t* cr) { cairo_restore(cr); }));
  const std::string output = GetCapturedStdout();
  EXPECT_NE(output.find("Could not write SVG file " + file), std::string::npos) << output;
  EXPECT_EQ(slurp(file), "previous contents");
  EXPECT_EQ(filesIn(dir), 1);

  // A directory that does not exist.
  const std::string missing = dir + "no/such/dir/drawing.svg";
  CaptureStdout();
  EXPECT_FALSE(writeSvgFile(missing, 128, 128, SvgDrawing()));
  EXPECT_NE(GetCapturedStdout().find("Could not write SVG file " + missing), std::string::npos);

  // A successful save replaces the file.
  EXPECT_TRUE(writeSvgFile(file, 64, 32, outline("M 1 1 L 9 1 L 9 9 Z")));
  EXPECT_NE(slurp(file).find("width=\"128pt\" height=\"64pt\""), std::string::npos);
  EXPECT_EQ(filesIn(dir), 1);
}

TEST(SvgWriter, ReplacingAFileKeepsWhatItIs) {
  const std::string dir = freshDirectory("filereplace");
  ::chmod(dir.c_str(), 0777);
  std::string reason;
  auto replace = [&](const std::string& name, const std::string& text) {
    return replaceFileContents(dir + name, text, reason);
  };
  // A new file gets the permissions of any new file; an existing one keeps its own, and its
  // owner; the longest legal name leaves no room for a temporary name made from it.
  std::ofstream(dir + "plain") << "old";
  ASSERT_TRUE(replace("new", "new") && replace("plain", "x") && replace(std::string(255, 'n'), "x"))
      << reason;
  EXPECT_EQ(fs::status(dir + "new").permissions(), fs::status(dir + "plain").permissions());
  const uid_t owner = ::geteuid() == 0 ? 12345 : ::geteuid();  // only root gives files away
  ::chmod((dir + "plain").c_str(), 0640);
  ::chown((dir + "plain").c_str(), owner, -1);
  ASSERT_TRUE(replace("plain", "new")) << reason;
  EXPECT_EQ(fs::status(dir + "plain").permissions(), fs::perms(0640));
  struct stat info {};
  EXPECT_TRUE(::stat((dir + "plain").c_str(), &info) == 0 && info.st_uid == owner);
  // A link stays, and the file it names is replaced; a dangling link makes the file it names.
  fs::create_directory(dir + "real");
  fs::create_symlink("real/target", dir + "link");
  fs::create_symlink("real/made", dir + "dangling");
  ASSERT_TRUE(replace("real/target", "old") && replace("link", "linked") &&
              replace("dangling", "made")) << reason;
  EXPECT_EQ(slurp(dir + "real/target") + slurp(dir + "real/made"), "linkedmade");
  fs::create_hard_link(dir + "new", dir + "second");  // hard links go on sharing the content
  ASSERT_TRUE(replace("second", "shared")) << reason;
  EXPECT_EQ(slurp(dir + "new"), "shared");
  // A pipe and a folder are refused.
  ::mkfifo((dir + "pipe").c_str(), 0666);
  EXPECT_TRUE(!replace("pipe", "x") && reason == "it is a named pipe, not a regular file");
  EXPECT_TRUE(!replace("real", "x") && reason == "it is a directory, not a regular file");
  // As an ordinary user: a writable file in a folder the user may not write to is written in
  // place; a file the user may not write is refused; a failed write (past a size limit)
  // leaves the file as it was, except in place, where it may be damaged and says so.
  fs::permissions(dir + "real/target", fs::perms(0666));
  fs::permissions(dir + "second", fs::perms(0666));
  fs::permissions(dir + "real", fs::perms(0555));
  EXPECT_TRUE(inChild([&] {
    const std::string big(4096, 'x');
    return replace("real/target", "in place") && replace("mine", "mine") &&
           ::chmod((dir + "mine").c_str(), 0444) == 0 && !replace("mine", "x") &&
           reason == "Permission denied" && ::chmod((dir + "mine").c_str(), 0644) == 0 &&
           !replace("mine", big) && reason == "File too large" && !replace("second", big) &&
           reason == "File too large; the file may be damaged";
  }, 100));
  EXPECT_EQ(slurp(dir + "real/target") + slurp(dir + "mine"), "in placemine");
  EXPECT_EQ(filesIn(dir) + filesIn(dir + "real"), 11);  // and no temporary file is left
  fs::permissions(dir + "real", fs::perms::all);
}
