// glimshape — tests/quarl
// Purpose: tests of quarl/imageio.h: names and options, plug-in loading, ImagePointer,
// PNG and JPEG round trips, files made by other tools, and damaged files.
#include "quarl/imageio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/images.h"
#include "quarl/plugins/builtin_plugins.h"

namespace fs = std::filesystem;

namespace {

using glimtest::sameImage;

// ---- Helpers -----------------------------------------------------------------------

std::vector<unsigned char> readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& p, const std::vector<unsigned char>& bytes) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

int run(const std::string& command) { return std::system(command.c_str()); }

// A binary PGM/PPM as written by netpbm (P5/P6, maxval 255 or 65535); samples as ints.
struct Pnm {
  int width = 0, height = 0, channels = 0, maxval = 0;
  std::vector<int> samples;
};

bool parsePnm(const std::vector<unsigned char>& b, Pnm& out) {
  size_t pos = 0;
  auto token = [&]() {
    std::string t;
    while (pos < b.size()) {
      if (b[pos] == '#') {
        while (pos < b.size() && b[pos] != '\n') ++pos;
      } else if (std::isspace(b[pos])) {
        ++pos;
      } else {
        break;
      }
    }
    while (pos < b.size() && !std::isspace(b[pos])) t += char(b[pos++]);
    return t;
  };
  std::string magic = token();
  if (magic != "P5" && magic != "P6") return false;
  out.channels = magic == "P5" ? 1 : 3;
  out.width = std::stoi(token());
  out.height = std::stoi(token());
  out.maxval = std::stoi(token());
  ++pos;  // the single whitespace before the samples
  size_t n = size_t(out.width) * out.height * out.channels;
  int bytesPer = out.maxval > 255 ? 2 : 1;
  if (b.size() < pos + n * bytesPer) return false;
  out.samples.resize(n);
  for (size_t i = 0; i < n; ++i)
    out.samples[i] = bytesPer == 1 ? b[pos + i] : (b[pos + 2 * i] << 8) | b[pos + 2 * i + 1];
  return true;
}

std::vector<unsigned char> makePnm(int w, int h, int channels, int maxval,
                                   const std::vector<int>& samples) {
  std::string header = std::string(channels == 1 ? "P5" : "P6") + "\n" + std::to_string(w) +
                       " " + std::to_string(h) + "\n" + std::to_string(maxval) + "\n";
  std::vector<unsigned char> b(header.begin(), header.end());
  for (int s : samples) {
    if (maxval > 255) b.push_back(static_cast<unsigned char>(s >> 8));
    b.push_back(static_cast<unsigned char>(s & 0xff));
  }
  return b;
}

// A smooth picture with one grey step (no colour edges, which chroma subsampling would
// blur), so that JPEG's loss stays small.
template <class T>
vorn::Image<T> smoothImage(int w, int h, int c) {
  vorn::Image<unsigned char> img(w, h, c);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < c; ++k)
        img(x, y, k) = static_cast<unsigned char>(
            std::min(255, 20 + x / 2 + y / 2 + 30 * k + (x > w / 2 && y > h / 2 ? 50 : 0)));
  vorn::Image<T> out;
  out = img;
  return out;
}

vorn::Image<unsigned char> noiseImage(int w, int h, int c, unsigned seed) {
  std::mt19937 rng(seed);
  vorn::Image<unsigned char> img(w, h, c);
  for (int i = 0; i < w * h * c; ++i) img[i] = static_cast<unsigned char>(rng() & 0xff);
  return img;
}

class ImageIOTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::current_path() /
          ("imageio-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string path(const std::string& name) const { return (dir / name).string(); }

  fs::path dir;
};

// ---- Names and options -------------------------------------------------------------

TEST(ImageIONames, StripOptionsAndGetOptions) {
  EXPECT_EQ(vorn::stripOptions("photo.jpg"), "photo.jpg");
  EXPECT_EQ(vorn::stripOptions("a?b?c"), "a?b");
  EXPECT_EQ(vorn::stripOptions("photo.jpg?quality=80:gray"), "photo.jpg");

  auto options = vorn::getOptions("photo.jpg?quality=80:gray");
  ASSERT_EQ(options.size(), 2u);
  EXPECT_EQ(options["quality"], "80");
  EXPECT_EQ(options["gray"], "");

  EXPECT_TRUE(vorn::getOptions("photo.jpg").empty());
  // Only the part after the last "?" counts; a later key wins; the value keeps its "=".
  options = vorn::getOptions("x?skip=1?a=1:b=x=y:a=2");
  EXPECT_EQ(options.count("skip"), 0u);
  EXPECT_EQ(options["a"], "2");
  EXPECT_EQ(options["b"], "x=y");
}

TEST(ImageIONames, ExtensionVectorAndString) {
  const char* list[] = {"jpg", "jpeg", nullptr};
  EXPECT_EQ(vorn::extensionVector(list), (std::vector<std::string>{"jpg", "jpeg"}));
  EXPECT_TRUE(vorn::extensionVector(nullptr).empty());
  vorn::ImageIOPluginManager::io_read_plugin_t p(nullptr, "r", vorn::extensionVector(list),
                                                 nullptr);
  EXPECT_EQ(p.extensionString(), "jpg,jpeg");
  EXPECT_TRUE(p.can_load("jpeg"));
  EXPECT_FALSE(p.can_load("JPG"));
}

// ---- The library-wide manager ------------------------------------------------------

TEST_F(ImageIOTest, DebugInfoIsEmptyUntilFirstUseThenListsTheBuiltIns) {
  if (vorn::ioPlugManager.isLoaded()) GTEST_SKIP() << "plug-ins already loaded in this process";
  EXPECT_EQ(vorn::imageIOPluginDebugInfo(), "");
  // Point the manager at an empty directory so that the log is known exactly.
  fs::create_directories(dir / "plugins");
  setenv("QUARL_PLUGIN_DIR", path("plugins").c_str(), 1);
  vorn::Image<unsigned char> img;
  EXPECT_FALSE(vorn::readImage(path("missing.png").c_str(), img));
  unsetenv("QUARL_PLUGIN_DIR");
  EXPECT_EQ(vorn::imageIOPluginDebugInfo(),
            "static plugins read: 2 write: 2\n"
            "imageio path: " + path("plugins") + "\n"
            "done loading\n"
            "have 2 read plugs\n\tname: jpeg_read (jpg)\n\tname: png_read (png)\n"
            "have 2 write plugs\n\tname: jpeg_write (jpg)\n\tname: png_write (png)\n");
}

TEST_F(ImageIOTest, NameWithoutDotOrUnknownExtensionMatchesNothing) {
  vorn::Image<unsigned char> img = smoothImage<unsigned char>(4, 4, 3);
  EXPECT_FALSE(vorn::writeImage(path("noext").c_str(), img));
  EXPECT_FALSE(fs::exists(dir / "noext"));
  EXPECT_FALSE(vorn::writeImage(path("x.gif").c_str(), img));
  EXPECT_FALSE(fs::exists(dir / "x.gif"));
  EXPECT_FALSE(vorn::readImage(path("x.gif").c_str(), img));
  const std::string info = vorn::imageIOPluginDebugInfo();
  EXPECT_EQ(info.rfind("static plugins read: 2 write: 2\n", 0), 0u) << info;
}

TEST_F(ImageIOTest, JpgGoesToTheJpegReaderButJPGAndJpegFindNothing) {
  vorn::Image<unsigned char> img = smoothImage<unsigned char>(16, 8, 3);
  ASSERT_TRUE(vorn::writeImage(path("photo.jpg").c_str(), img));
  fs::copy_file(dir / "photo.jpg", dir / "photo.JPG");
  fs::copy_file(dir / "photo.jpg", dir / "photo.jpeg");
  vorn::Image<unsigned char> back;
  EXPECT_TRUE(vorn::readImage(path("photo.jpg").c_str(), back));
  EXPECT_EQ(back.width, 16);
  vorn::Image<unsigned char> none;
  EXPECT_FALSE(vorn::readImage(path("photo.JPG").c_str(), none));
  EXPECT_FALSE(vorn::readImage(path("photo.jpeg").c_str(), none));
  EXPECT_EQ(none.data, nullptr);
}

TEST_F(ImageIOTest, ImageReadAndSaveReachThePlugins) {
  vorn::Image<float> f = smoothImage<float>(12, 10, 3);
  EXPECT_NE(f.save(path("f.png").c_str()), 0);
  vorn::Image<float> g(path("f.png").c_str());
  EXPECT_TRUE(sameImage(g, f, 1 / 255.0));
  EXPECT_NE(f.save(path("f.jpg").c_str()), 0);
  vorn::Image<unsigned char> j;
  EXPECT_NE(j.read(path("f.jpg").c_str()), 0);
  EXPECT_EQ(j.nchannels, 3);
  fs::copy_file(dir / "f.png", dir / "f.PNG");
  EXPECT_EQ(j.read(path("f.PNG").c_str()), 0);
}

// ---- Loading plug-in libraries -----------------------------------------------------

TEST_F(ImageIOTest, LoadsOnlyLibraryNamesEndingInSoOrDll) {
  fs::path plugins = dir / "plugins";
  fs::create_directories(plugins);
  fs::copy_file(QUARL_TEST_PLUGIN_FOO, plugins / "libfoo.so");
  fs::copy_file(QUARL_TEST_PLUGIN_FOO, plugins / "libfoo.so.1");   // versioned: passed over
  fs::copy_file(QUARL_TEST_PLUGIN_FOO, plugins / "foo.so");        // no "lib": passed over
  fs::copy_file(QUARL_TEST_PLUGIN_BAR, plugins / "libbar.dll");
  fs::copy_file(QUARL_TEST_NO_SYMBOLS, plugins / "libnosym.so");
  writeBytes(plugins / "libbroken.so", {'n', 'o', 't', ' ', 'e', 'l', 'f'});

  setenv("QUARL_LOG_ERRORS", "1", 1);
  vorn::ImageIOPluginManager manager({plugins.string()});
  EXPECT_EQ(manager.debugInfo(), "");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  manager.loadImagePlugins();
  std::string out = testing::internal::GetCapturedStdout();
  std::string err = testing::internal::GetCapturedStderr();

  EXPECT_NE(out.find("foo_read uses api_version:0.0.3 plugin_version:7.1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("bar_read uses api_version:0.0.3 plugin_version:7.1\n"), std::string::npos) << out;
  EXPECT_NE(err.find("error opening: "), std::string::npos) << err;

  std::vector<std::string> readers, writers;
  for (auto* p : manager.readPlugins) readers.push_back(p->name);
  for (auto* p : manager.writePlugins) writers.push_back(p->name);
  ASSERT_EQ(readers.size(), 4u);
  ASSERT_EQ(writers.size(), 4u);
  EXPECT_EQ(readers[0], "jpeg_read");
  EXPECT_EQ(readers[1], "png_read");
  EXPECT_EQ(writers[0], "jpeg_write");
  EXPECT_EQ(writers[1], "png_write");
  std::sort(readers.begin() + 2, readers.end());
  std::sort(writers.begin() + 2, writers.end());
  EXPECT_EQ(readers[2], "bar_read");
  EXPECT_EQ(readers[3], "foo_read");
  EXPECT_EQ(writers[2], "bar_write");
  EXPECT_EQ(writers[3], "foo_write");

  // Why the others were not taken is in the log.
  std::string info = manager.debugInfo();
  EXPECT_NE(info.find("have 4 read plugs\n"), std::string::npos) << info;
  EXPECT_NE(info.find("not loaded: " + (plugins / "libbroken.so").string()), std::string::npos);
  EXPECT_NE(info.find("no reader in " + (plugins / "libnosym.so").string()), std::string::npos);
  EXPECT_EQ(info.find("libfoo.so.1"), std::string::npos);

  // An image crosses into the loaded library and back, with conversions on both sides.
  vorn::Image<unsigned char> img = noiseImage(5, 3, 2, 7);
  {
    vorn::ImagePointer source(img);
    ASSERT_TRUE(manager.writeImage(path("x.foo?opt=1").c_str(), source));
    vorn::Image<double> asDouble;
    vorn::ImagePointer target(asDouble);
    ASSERT_TRUE(manager.readImage(path("x.foo?opt=1").c_str(), target));
    ASSERT_EQ(asDouble.nchannels, 2);
    for (int i = 0; i < 5 * 3 * 2; ++i) EXPECT_NEAR(asDouble[i], img[i] / 255.0, 1e-6);
    vorn::Image<unsigned char> bad;
    vorn::ImagePointer badTarget(bad);
    EXPECT_FALSE(manager.readImage(path("x.bar").c_str(), badTarget));  // no such file
  }
  // The library-wide manager does not look in this directory.
  EXPECT_FALSE(vorn::readImage(path("x.foo?opt=1").c_str(), img));
}

TEST(ImageIOManager, ConcurrentFirstUseLoadsOnce) {
  vorn::ImageIOPluginManager manager(std::vector<std::string>{});
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&] {
      vorn::Image<float> img;
      vorn::ImagePointer target(img);
      manager.readImage("does-not-exist.png", target);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(manager.readPlugins.size(), 2u);
  EXPECT_EQ(manager.writePlugins.size(), 2u);
}

// The library-wide manager, on its first use, loads a plug-in whose constructor and name
// query read an image through that same manager. Loading once held the manager's lock
// while running plug-in code, so this read waited for itself for ever.
TEST_F(ImageIOTest, PluginReadingImagesWhileItLoadsDoesNotDeadlock) {
  if (vorn::ioPlugManager.isLoaded()) GTEST_SKIP() << "plug-ins already loaded in this process";
  const fs::path plugins = dir / "plugins";
  fs::create_directories(plugins);
  fs::copy_file(QUARL_TEST_PLUGIN_REENTRANT, plugins / "libreentrant.so");
  // Written by the built-in writer itself, which leaves the manager unloaded.
  vorn::Image<unsigned char> probe = noiseImage(6, 4, 3, 11);
  vorn::ImagePointer source(probe);
  ASSERT_TRUE(vorn::png_writeImage(path("probe.png").c_str(), source));
  ASSERT_FALSE(vorn::ioPlugManager.isLoaded());
  setenv("QUARL_PLUGIN_DIR", plugins.string().c_str(), 1);
  setenv("QUARL_TEST_PROBE", path("probe.png").c_str(), 1);

  vorn::Image<unsigned char> back;
  testing::internal::CaptureStdout();
  const bool read = vorn::readImage(path("probe.png").c_str(), back);
  testing::internal::GetCapturedStdout();
  ASSERT_TRUE(read);
  EXPECT_TRUE(sameImage(back, probe));
  // The plug-in's own reads, made while it was loaded, saw the built-in PNG reader.
  std::vector<std::string> readers;
  for (const auto* p : vorn::ioPlugManager.readPlugins) readers.push_back(p->name);
  EXPECT_EQ(readers, (std::vector<std::string>{"jpeg_read", "png_read", "reentrant_read"}));
}

// ---- ImagePointer ------------------------------------------------------------------

TEST(ImagePointer, AssignSharesSameTypeAndConvertsOthers) {
  vorn::Image<unsigned char> bytes(3, 1, 1);
  bytes[0] = 0, bytes[1] = 128, bytes[2] = 255;

  vorn::Image<unsigned char> sameTarget;
  vorn::ImagePointer(sameTarget).assign(bytes);
  EXPECT_EQ(sameTarget.data, bytes.data);

  vorn::Image<float> f;
  vorn::ImagePointer(f).assign(bytes);
  ASSERT_EQ(f.width, 3);
  EXPECT_FLOAT_EQ(f[1], 128 / 255.0f);
  EXPECT_FLOAT_EQ(f[2], 1.0f);

  vorn::Image<unsigned short> us;
  vorn::ImagePointer(us).assign(bytes);
  EXPECT_EQ(us[1], 128 * 256);
  vorn::Image<unsigned int> ui;
  vorn::ImagePointer(ui).assign(bytes);
  EXPECT_EQ(ui[2], 255u << 24);
  vorn::Image<double> d;
  vorn::ImagePointer(d).assign(bytes);
  EXPECT_DOUBLE_EQ(d[2], 1.0);

  // copyInto goes the other way: from the pointed-to double image into bytes.
  vorn::Image<unsigned char> back;
  vorn::ImagePointer(d).copyInto(back);
  EXPECT_TRUE(sameImage(back, bytes));
  vorn::Image<double> shared;
  vorn::ImagePointer(d).copyInto(shared);
  EXPECT_EQ(shared.data, d.data);
}

TEST(ImagePointer, UnknownTagThrowsCastError) {
  vorn::Image<float> f(2, 2, 1);
  vorn::ImagePointer p(f);
  p.type = 9;
  vorn::Image<unsigned char> other(1, 1, 1);
  try {
    p.assign(other);
    FAIL() << "no exception";
  } catch (const char* text) {
    EXPECT_STREQ(text, "ImagePointerCastError");
  }
  try {
    p.copyInto(other);
    FAIL() << "no exception";
  } catch (const char* text) {
    EXPECT_STREQ(text, "ImagePointerCastError");
  }
}

// ---- PNG round trips ---------------------------------------------------------------

TEST_F(ImageIOTest, PngRoundTripKeepsEveryChannelCount) {
  for (int c : {1, 2, 3, 4}) {
    SCOPED_TRACE(c);
    vorn::Image<unsigned char> img = noiseImage(37, 23, c, 100 + c);
    std::string name = path("rt" + std::to_string(c) + ".png");
    ASSERT_TRUE(vorn::writeImage(name.c_str(), img));
    vorn::Image<unsigned char> back;
    ASSERT_TRUE(vorn::readImage(name.c_str(), back));
    EXPECT_TRUE(sameImage(back, img));

    // Another decoder agrees on the samples (pngtopnm drops the alpha channel).
    ASSERT_EQ(run("pngtopnm " + name + " > " + name + ".pnm 2>/dev/null"), 0);
    Pnm pnm;
    ASSERT_TRUE(parsePnm(readBytes(name + ".pnm"), pnm));
    int colour = c >= 3 ? 3 : 1;
    ASSERT_EQ(pnm.channels, colour);
    for (int i = 0; i < 37 * 23; ++i)
      for (int k = 0; k < colour; ++k) ASSERT_EQ(pnm.samples[i * colour + k], img[i * c + k]);
  }
}

TEST_F(ImageIOTest, PngWriterRefusesOddChannelCountsAndEmptyImages) {
  vorn::Image<unsigned char> five = noiseImage(4, 4, 5, 1);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(vorn::writeImage(path("five.png").c_str(), five));
  vorn::Image<unsigned char> empty;
  EXPECT_FALSE(vorn::writeImage(path("empty.png").c_str(), empty));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("5 channels"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir / "five.png"));
}

TEST_F(ImageIOTest, FloatImageWrittenAsPngIsScaledToBytes) {
  vorn::Image<float> f(2, 1, 1);
  f[0] = 0.5f, f[1] = 1.0f;
  ASSERT_TRUE(vorn::writeImage(path("f.png").c_str(), f));
  vorn::Image<unsigned char> back;
  ASSERT_TRUE(vorn::readImage(path("f.png").c_str(), back));
  EXPECT_EQ(back[0], 127);
  EXPECT_EQ(back[1], 255);
}

// ---- PNG files made by netpbm ------------------------------------------------------

TEST_F(ImageIOTest, SixteenBitGreyPngReadsIntoUnsignedShort) {
  std::vector<int> samples = {0x1234, 0xabcd, 0, 0xffff, 1, 0x8000};
  writeBytes(dir / "g16.pgm", makePnm(3, 2, 1, 65535, samples));
  ASSERT_EQ(run("pnmtopng " + path("g16.pgm") + " > " + path("g16.png")), 0);

  vorn::Image<unsigned short> us;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(vorn::readImage(path("g16.png").c_str(), us));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "% reading 16 bit image (used to strip it)\n");
  ASSERT_EQ(us.nchannels, 1);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(us[i], samples[i]);

  vorn::Image<float> f;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(vorn::readImage(path("g16.png").c_str(), f));
  testing::internal::GetCapturedStdout();
  EXPECT_FLOAT_EQ(f[1], 0xabcd / 65536.0f);
}

TEST_F(ImageIOTest, PngFromNetpbmReadsPixelEqual) {
  // 8-bit RGB, forced to full colour.
  vorn::Image<unsigned char> rgb = noiseImage(31, 17, 3, 5);
  std::vector<int> s(rgb.data, rgb.data + 31 * 17 * 3);
  writeBytes(dir / "rgb.ppm", makePnm(31, 17, 3, 255, s));
  ASSERT_EQ(run("pnmtopng -force " + path("rgb.ppm") + " > " + path("rgb.png")), 0);
  vorn::Image<unsigned char> back;
  ASSERT_TRUE(vorn::readImage(path("rgb.png").c_str(), back));
  EXPECT_TRUE(sameImage(back, rgb));

  // The same pixels, Adam7-interlaced.
  ASSERT_EQ(run("pnmtopng -force -interlace " + path("rgb.ppm") + " > " + path("rgbi.png")), 0);
  ASSERT_EQ(readBytes(dir / "rgbi.png")[28], 1) << "expected an interlaced file";
  vorn::Image<unsigned char> interlaced;
  ASSERT_TRUE(vorn::readImage(path("rgbi.png").c_str(), interlaced));
  EXPECT_TRUE(sameImage(interlaced, rgb));

  // 2-bit greyscale (maxval 3): expanded to bytes, v × 255 / 3.
  writeBytes(dir / "g2.pgm", makePnm(4, 1, 1, 3, {0, 1, 2, 3}));
  ASSERT_EQ(run("pnmtopng -force " + path("g2.pgm") + " > " + path("g2.png")), 0);
  ASSERT_TRUE(vorn::readImage(path("g2.png").c_str(), back));
  ASSERT_EQ(back.nchannels, 1);
  EXPECT_EQ(back[0], 0);
  EXPECT_EQ(back[1], 85);
  EXPECT_EQ(back[2], 170);
  EXPECT_EQ(back[3], 255);
}

TEST_F(ImageIOTest, PaletteAndTransparencyPngsAreSizedByDeliveredSamples) {
  // Three colours: netpbm writes a palette image.
  std::vector<int> px = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 0, 0,
                         0, 255, 0, 0, 0, 255, 255, 0, 0, 0, 255, 0};
  writeBytes(dir / "p.ppm", makePnm(4, 2, 3, 255, px));
  ASSERT_EQ(run("pnmtopng " + path("p.ppm") + " > " + path("p.png")), 0);
  ASSERT_EQ(readBytes(dir / "p.png")[25], 3) << "expected a palette file";
  vorn::Image<unsigned char> img;
  ASSERT_TRUE(vorn::readImage(path("p.png").c_str(), img));
  ASSERT_EQ(img.nchannels, 3);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(img[i], px[i]);

  // Palette with a transparent colour: four samples per pixel.
  ASSERT_EQ(run("pnmtopng -transparent=rgb:ff/00/00 " + path("p.ppm") + " > " + path("pt.png")), 0);
  ASSERT_TRUE(vorn::readImage(path("pt.png").c_str(), img));
  ASSERT_EQ(img.nchannels, 4);
  for (int i = 0; i < 8; ++i) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(img[i * 4 + k], px[i * 3 + k]);
    EXPECT_EQ(img[i * 4 + 3], px[i * 3] == 255 ? 0 : 255);
  }

  // Grey with an alpha channel: two samples per pixel.
  std::vector<int> grey = {0, 64, 128, 255, 16, 32, 48, 64};
  std::vector<int> alpha = {255, 128, 0, 255, 16, 32, 48, 64};
  writeBytes(dir / "g.pgm", makePnm(4, 2, 1, 255, grey));
  writeBytes(dir / "a.pgm", makePnm(4, 2, 1, 255, alpha));
  ASSERT_EQ(run("pnmtopng -force -alpha=" + path("a.pgm") + " " + path("g.pgm") + " > " + path("ga.png")), 0);
  ASSERT_EQ(readBytes(dir / "ga.png")[25], 4) << "expected a grey + alpha file";
  ASSERT_TRUE(vorn::readImage(path("ga.png").c_str(), img));
  ASSERT_EQ(img.nchannels, 2);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(img[2 * i], grey[i]);
    EXPECT_EQ(img[2 * i + 1], alpha[i]);
  }

  // Grey with a transparency chunk: grey + alpha as well.
  ASSERT_EQ(run("pnmtopng -force -transparent=rgb:40/40/40 " + path("g.pgm") + " > " + path("gt.png")), 0);
  ASSERT_TRUE(vorn::readImage(path("gt.png").c_str(), img));
  ASSERT_EQ(img.nchannels, 2);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(img[2 * i], grey[i]);
    EXPECT_EQ(img[2 * i + 1], grey[i] == 64 ? 0 : 255);
  }
}

// ---- JPEG --------------------------------------------------------------------------

TEST_F(ImageIOTest, JpegRoundTripStaysWithinTheLoss) {
  for (int c : {1, 3}) {
    SCOPED_TRACE(c);
    vorn::Image<unsigned char> img = smoothImage<unsigned char>(64, 48, c);
    std::string name = path("rt" + std::to_string(c) + ".jpg");
    ASSERT_TRUE(vorn::writeImage(name.c_str(), img));
    vorn::Image<unsigned char> back;
    ASSERT_TRUE(vorn::readImage(name.c_str(), back));
    ASSERT_EQ(back.nchannels, c);
    double se = 0;
    for (int i = 0; i < 64 * 48 * c; ++i) se += (back[i] - img[i]) * (back[i] - img[i]);
    double psnr = 10 * std::log10(255.0 * 255.0 / (se / (64 * 48 * c)));
    EXPECT_GT(psnr, 35.0);

    // djpeg decodes our file to the same pixels (same library, same default settings).
    ASSERT_EQ(run("djpeg -pnm " + name + " > " + name + ".pnm"), 0);
    Pnm pnm;
    ASSERT_TRUE(parsePnm(readBytes(name + ".pnm"), pnm));
    ASSERT_EQ(pnm.channels, c);
    for (int i = 0; i < 64 * 48 * c; ++i) ASSERT_NEAR(pnm.samples[i], back[i], 1);
  }
}

TEST_F(ImageIOTest, FloatImageWrittenAsJpegReadsBackAsColour) {
  vorn::Image<float> f = smoothImage<float>(16, 16, 3);
  ASSERT_TRUE(vorn::writeImage(path("f.jpg").c_str(), f));
  vorn::Image<float> back;
  ASSERT_TRUE(vorn::readImage(path("f.jpg").c_str(), back));
  EXPECT_TRUE(sameImage(back, f, 12 / 255.0));
}

TEST_F(ImageIOTest, JpegWriterRefusesAlphaAndLeavesAnEmptyFile) {
  vorn::Image<unsigned char> rgba = noiseImage(8, 8, 4, 3);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(vorn::writeImage(path("a.jpg").c_str(), rgba));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "FIXME: unable to write jpeg with alpha (should just throw out alpha)\n");
  ASSERT_TRUE(fs::exists(dir / "a.jpg"));
  EXPECT_EQ(fs::file_size(dir / "a.jpg"), 0u);

  vorn::Image<unsigned char> two = noiseImage(8, 8, 2, 3);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(vorn::writeImage(path("b.jpg").c_str(), two));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "unable to write jpeg\n");
}

TEST_F(ImageIOTest, JpegFromCjpegMatchesDjpeg) {
  for (int c : {1, 3}) {
    SCOPED_TRACE(c);
    vorn::Image<unsigned char> img = noiseImage(40, 30, c, 11);
    std::vector<int> s(img.data, img.data + 40 * 30 * c);
    std::string base = path("cj" + std::to_string(c));
    writeBytes(base + ".pnm", makePnm(40, 30, c, 255, s));
    ASSERT_EQ(run("cjpeg -quality 85 " + base + ".pnm > " + base + ".jpg"), 0);
    ASSERT_EQ(run("djpeg -pnm " + base + ".jpg > " + base + ".out.pnm"), 0);
    Pnm ref;
    ASSERT_TRUE(parsePnm(readBytes(base + ".out.pnm"), ref));
    vorn::Image<unsigned char> back;
    ASSERT_TRUE(vorn::readImage((base + ".jpg").c_str(), back));
    ASSERT_EQ(back.nchannels, c);
    ASSERT_EQ(back.width, 40);
    for (int i = 0; i < 40 * 30 * c; ++i) ASSERT_NEAR(ref.samples[i], back[i], 1) << i;
  }
}

// ---- Damaged and hostile files ------------------------------------------------------

class DamagedFiles : public ImageIOTest {
 protected:
  // Valid files written by the library itself.
  std::vector<unsigned char> validFile(const char* ext) {
    vorn::Image<unsigned char> img = smoothImage<unsigned char>(48, 40, 3);
    std::string name = path(std::string("valid.") + ext);
    EXPECT_TRUE(vorn::writeImage(name.c_str(), img));
    return readBytes(name);
  }
};

TEST_F(DamagedFiles, TruncatedPngFailsAtEveryLength) {
  std::vector<unsigned char> png = validFile("png");
  ASSERT_GT(png.size(), 100u);
  vorn::Image<unsigned char> img(1, 1, 1);
  unsigned char* before = img.data;
  testing::internal::CaptureStderr();
  for (size_t n = 0; n < png.size(); n += (n < 64 ? 1 : 37)) {
    vorn::ImagePointer target(img);
    EXPECT_FALSE(vorn::png_readMemory(png.data(), n, "cut.png", target)) << n;
  }
  // And through a real file cut inside the image data.
  std::vector<unsigned char> cut(png.begin(), png.begin() + long(png.size() / 2));
  writeBytes(dir / "cut.png", cut);
  EXPECT_FALSE(vorn::readImage(path("cut.png").c_str(), img));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cut.png"), std::string::npos);
  EXPECT_EQ(img.data, before);  // a failed read leaves the target alone
}

TEST_F(DamagedFiles, TruncatedJpegFailsInsteadOfFillingGrey) {
  std::vector<unsigned char> jpg = validFile("jpg");
  ASSERT_GT(jpg.size(), 100u);
  vorn::Image<unsigned char> img(1, 1, 1);
  testing::internal::CaptureStderr();
  // Any cut before the end marker loses image data.
  for (size_t n = 0; n + 2 < jpg.size(); n += (n < 64 ? 1 : 29)) {
    vorn::ImagePointer target(img);
    EXPECT_FALSE(vorn::jpeg_readMemory(jpg.data(), n, "cut.jpg", target)) << n;
  }
  std::vector<unsigned char> cut(jpg.begin(), jpg.begin() + long(jpg.size() * 2 / 3));
  writeBytes(dir / "cut.jpg", cut);
  EXPECT_FALSE(vorn::readImage(path("cut.jpg").c_str(), img));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("jpeg_read: " + path("cut.jpg") + ": Premature end of JPEG file"),
            std::string::npos)
      << err;
  EXPECT_EQ(img.width, 1);
}

TEST_F(DamagedFiles, TruncatedProgressiveJpegFails) {
  // A progressive file is consumed whole when decompression starts; a cut shows up there.
  vorn::Image<unsigned char> img = noiseImage(64, 48, 3, 9);
  std::vector<int> s(img.data, img.data + 64 * 48 * 3);
  writeBytes(dir / "p.ppm", makePnm(64, 48, 3, 255, s));
  ASSERT_EQ(run("cjpeg -progressive " + path("p.ppm") + " > " + path("p.jpg")), 0);
  std::vector<unsigned char> jpg = readBytes(dir / "p.jpg");
  vorn::Image<unsigned char> back;
  vorn::ImagePointer target(back);
  ASSERT_TRUE(vorn::jpeg_readMemory(jpg.data(), jpg.size(), "p.jpg", target));
  testing::internal::CaptureStderr();
  for (size_t n = 0; n + 2 < jpg.size(); n += 97)
    EXPECT_FALSE(vorn::jpeg_readMemory(jpg.data(), n, "p.jpg", target)) << n;
  testing::internal::GetCapturedStderr();
}

TEST_F(DamagedFiles, CastErrorFromTheTargetReachesTheCaller) {
  std::vector<unsigned char> png = validFile("png");
  std::vector<unsigned char> jpg = validFile("jpg");
  vorn::Image<unsigned char> img;
  vorn::ImagePointer target(img);
  target.type = 0;
  EXPECT_THROW(vorn::png_readMemory(png.data(), png.size(), "x.png", target), const char*);
  EXPECT_THROW(vorn::jpeg_readMemory(jpg.data(), jpg.size(), "x.jpg", target), const char*);
}

TEST_F(DamagedFiles, RandomBytesAfterAValidSignatureAreRefused) {
  std::mt19937 rng(42);
  const unsigned char pngSig[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  testing::internal::CaptureStderr();
  for (int trial = 0; trial < 50; ++trial) {
    std::vector<unsigned char> bytes(pngSig, pngSig + 8);
    size_t extra = 1 + rng() % 400;
    for (size_t i = 0; i < extra; ++i) bytes.push_back(static_cast<unsigned char>(rng()));
    vorn::Image<unsigned char> img;
    vorn::ImagePointer target(img);
    EXPECT_FALSE(vorn::png_readMemory(bytes.data(), bytes.size(), "random.png", target));

    std::vector<unsigned char> jbytes = {0xff, 0xd8};
    for (size_t i = 0; i < extra; ++i) jbytes.push_back(static_cast<unsigned char>(rng()));
    EXPECT_FALSE(vorn::jpeg_readMemory(jbytes.data(), jbytes.size(), "random.jpg", target));
  }
  writeBytes(dir / "random.jpg", {0xff, 0xd8, 0xff, 0x00, 0x12, 0x34});
  vorn::Image<unsigned char> img;
  EXPECT_FALSE(vorn::readImage(path("random.jpg").c_str(), img));
  testing::internal::GetCapturedStderr();
}

TEST_F(DamagedFiles, FlippedBytesNeverCrash) {
  // Outcome may be either, but the process survives and a success delivers a whole image.
  for (const char* ext : {"png", "jpg"}) {
    std::vector<unsigned char> good = validFile(ext);
    std::mt19937 rng(7);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    for (int trial = 0; trial < 200; ++trial) {
      std::vector<unsigned char> bad = good;
      for (int k = 0; k < 4; ++k) bad[rng() % bad.size()] ^= static_cast<unsigned char>(1 + rng() % 255);
      vorn::Image<unsigned char> img;
      vorn::ImagePointer target(img);
      bool ok = std::string(ext) == "png"
                    ? vorn::png_readMemory(bad.data(), bad.size(), "flip.png", target)
                    : vorn::jpeg_readMemory(bad.data(), bad.size(), "flip.jpg", target);
      if (ok) {
        EXPECT_NE(img.data, nullptr);
      }
    }
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
  }
}

uint32_t crc32(const unsigned char* p, size_t n) {
  uint32_t c = 0xffffffffu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1)));
  }
  return c ^ 0xffffffffu;
}

void putBE32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

TEST_F(DamagedFiles, HugeDeclaredSizesAreRefusedBeforeAllocation) {
  std::vector<unsigned char> png = validFile("png");
  testing::internal::CaptureStderr();
  // IHDR data starts at byte 16; its CRC covers the type and the data (bytes 12 to 28).
  for (auto size : {std::pair<uint32_t, uint32_t>{20000, 20000}, {1u << 21, 1u}, {1u, 0x7fffffffu}}) {
    std::vector<unsigned char> bad = png;
    putBE32(bad, 16, size.first);
    putBE32(bad, 20, size.second);
    putBE32(bad, 29, crc32(&bad[12], 17));
    vorn::Image<unsigned char> img;
    vorn::ImagePointer target(img);
    EXPECT_FALSE(vorn::png_readMemory(bad.data(), bad.size(), "huge.png", target));
    EXPECT_EQ(img.data, nullptr);
  }

  std::vector<unsigned char> jpg = validFile("jpg");
  size_t sof = 0;
  for (size_t i = 2; i + 9 < jpg.size(); ++i)
    if (jpg[i] == 0xff && jpg[i + 1] == 0xc0) {
      sof = i;
      break;
    }
  ASSERT_NE(sof, 0u);
  // SOF0: marker, length (2), precision (1), height (2), width (2).
  jpg[sof + 5] = 0xfd, jpg[sof + 6] = 0xe8;  // 65000
  jpg[sof + 7] = 0xfd, jpg[sof + 8] = 0xe8;
  vorn::Image<unsigned char> img;
  vorn::ImagePointer target(img);
  EXPECT_FALSE(vorn::jpeg_readMemory(jpg.data(), jpg.size(), "huge.jpg", target));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("huge.jpg: image of 65000x65000 pixels is too large"), std::string::npos) << err;
  EXPECT_NE(err.find("huge.png: image of 20000x20000 pixels is too large"), std::string::npos) << err;
}

}  // namespace

namespace {

// A file under a .png name that does not start with the PNG signature is refused
// without a word, whatever it holds, and the target keeps its pixels.
TEST_F(ImageIOTest, NonPngBytesUnderAPngNameAreRefusedSilently) {
  vorn::Image<unsigned char> rgb = smoothImage<unsigned char>(8, 6, 3);
  ASSERT_TRUE(vorn::writeImage(path("real.jpg").c_str(), rgb));
  fs::copy_file(dir / "real.jpg", dir / "jpeg-inside.png");
  writeBytes(dir / "empty.png", {});
  writeBytes(dir / "short.png", {0x89, 'P', 'N'});
  writeBytes(dir / "text.png", {'P', '6', '\n', '1', ' ', '1', '\n', '2', '5', '5', '\n', 1, 2, 3});
  for (const char* leaf : {"jpeg-inside.png", "empty.png", "short.png", "text.png"}) {
    SCOPED_TRACE(leaf);
    vorn::Image<unsigned char> img(1, 1, 1);
    img[0] = 42;
    unsigned char* before = img.data;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(img.read(path(leaf).c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(img.data, before);
    EXPECT_EQ(img.width, 1);
    EXPECT_EQ(img[0], 42);
  }
}

// The colour type in the IHDR chunk (byte 25 of the file) matches the channel count, so
// that any decoder sees the samples the rows hold; the bit depth (byte 24) is 8.
TEST_F(ImageIOTest, PngHeaderDeclaresTheChannelsWritten) {
  const int colourType[] = {0, 0, 4, 2, 6};  // by channel count 1 to 4
  for (int c = 1; c <= 4; ++c) {
    SCOPED_TRACE(c);
    vorn::Image<unsigned short> img;
    img = noiseImage(5, 4, c, 50 + c);  // written as bytes whatever the element type
    const std::string name = path("ct" + std::to_string(c) + ".png");
    ASSERT_TRUE(vorn::writeImage(name.c_str(), img));
    const std::vector<unsigned char> bytes = readBytes(name);
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
    EXPECT_EQ(bytes[24], 8);
    EXPECT_EQ(bytes[25], colourType[c]);
  }
}

}  // namespace
