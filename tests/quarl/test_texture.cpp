// glimshape — tests/quarl
// Purpose: tests of texture upload and the power-of-two mode under a real OpenGL context.
//
// Runs under Xvfb with Mesa. The first test is also run with the non-power-of-two
// extension hidden (GLIM_TEST_HIDE_NPOT=1 sets MESA_EXTENSION_OVERRIDE before the context
// exists), so both decisions of the first upload are seen; Mesa then refuses
// non-power-of-two sizes, so the other tests would not apply.
#include "quarl/texture.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using vorn::Image;

namespace {

bool hidingNpot() {
  const char* v = std::getenv("GLIM_TEST_HIDE_NPOT");
  return v && std::strcmp(v, "1") == 0;
}

// One context for the whole program, current on the main thread.
class GlEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (hidingNpot()) setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_texture_non_power_of_two", 1);
    app = std::make_unique<QGuiApplication>(argc, argv);
    surface = std::make_unique<QOffscreenSurface>();
    surface->create();
    context = std::make_unique<QOpenGLContext>();
    ASSERT_TRUE(context->create()) << "no OpenGL context";
    ASSERT_TRUE(context->makeCurrent(surface.get()));
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
  }
  void TearDown() override {
    glDeleteTextures(1, &texture);
    context->doneCurrent();
    context.reset();
    surface.reset();
    app.reset();
  }

 private:
  int argc = 1;
  char name[16] = "test_texture";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QGuiApplication> app;
  std::unique_ptr<QOffscreenSurface> surface;
  std::unique_ptr<QOpenGLContext> context;
  GLuint texture = 0;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new GlEnvironment);

GLint level0(GLenum what) {
  GLint v = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, what, &v);
  return v;
}

bool haveNpotExtension() {
  const auto* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  return ext && std::strstr(ext, "texture_non_power_of_two");
}

template <class T>
Image<T> ramp(int w, int h, int c) {
  Image<T> im(w, h, c);
  for (int i = 0; i < w * h * c; ++i) im[i] = static_cast<T>(i % 7);
  return im;
}

}  // namespace

// Must stay the first test: the mode is decided once per process.
TEST(Texture, FirstUploadDecidesModeAndNotesItOnce) {
  ASSERT_EQ(GL_NO_ERROR, glGetError());
  EXPECT_EQ(vorn::imageGetPow2Mode(), vorn::Pow2Undecided);
  const bool npot = haveNpotExtension();
  if (hidingNpot()) {
    EXPECT_FALSE(npot);
  }

  testing::internal::CaptureStderr();
  ramp<unsigned char>(100, 60, 3).initTexture(GL_MODULATE);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string("NOTE: image pow2 mode has been set: ") + (npot ? "off" : "on") + "\n");
  EXPECT_EQ(vorn::imageGetPow2Mode(), npot ? vorn::Pow2Off : vorn::Pow2On);
  EXPECT_EQ(level0(GL_TEXTURE_WIDTH), npot ? 100 : 128);
  EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), npot ? 60 : 64);

  testing::internal::CaptureStderr();
  ramp<float>(30, 20, 1).initTexture(GL_MODULATE);
  Image<unsigned char>().initTexture(GL_MODULATE);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(Texture, UploadSizesFollowTheMode) {
  struct Case {
    vorn::image_pow2mode_t mode;
    int w, h, expectW, expectH;
  };
  const Case cases[] = {{vorn::Pow2On, 100, 60, 128, 64}, {vorn::Pow2Off, 100, 60, 100, 60},
                        {vorn::Pow2On, 64, 64, 64, 64},   {vorn::Pow2On, 65, 1, 128, 1},
                        {vorn::Pow2Off, 3, 5, 3, 5},      {vorn::Pow2On, 3, 5, 4, 8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " mode " +
                 std::to_string(c.mode));
    vorn::imageSetPow2Mode(c.mode);
    ramp<unsigned char>(c.w, c.h, 4).initTexture(GL_MODULATE);
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), c.expectW);
    EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), c.expectH);
    ramp<float>(c.w, c.h, 2).initTexture(GL_MODULATE);
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), c.expectW);
    EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), c.expectH);
  }
  EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(Texture, EmptyImageUploadsCheckPatternWithModulate) {
  vorn::imageSetPow2Mode(vorn::Pow2Off);
  Image<float>(0, 0, 1).initTexture(GL_REPLACE);
  EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 8);
  EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), 8);
  GLint env = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
  EXPECT_EQ(env, GL_MODULATE);
  ASSERT_EQ(level0(GL_TEXTURE_WIDTH) * level0(GL_TEXTURE_HEIGHT), 64);
  std::vector<unsigned char> texels(8 * 8 * 3, 99);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const unsigned char* p = &texels[(x + y * 8) * 3];
      EXPECT_EQ(p[0], (x + y) % 2);
      EXPECT_EQ(p[1], (x + y + 1) % 2);
      EXPECT_EQ(p[2], ((x * y) % 2 + x) % 2);
    }
}

TEST(Texture, ParametersAndFormats) {
  vorn::imageSetPow2Mode(vorn::Pow2Off);
  Image<float> la(3, 2, 2);
  for (int i = 0; i < 12; ++i) la[i] = static_cast<float>(i) / 11.0f;
  la.initTexture(GL_REPLACE);
  GLint env = 0, wrapS = 0, wrapT = 0, minF = 0, magF = 0, align = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minF);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magF);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &align);
  EXPECT_EQ(env, GL_REPLACE);
  EXPECT_EQ(wrapS, GL_REPEAT);
  EXPECT_EQ(wrapT, GL_REPEAT);
  EXPECT_EQ(minF, GL_LINEAR);
  EXPECT_EQ(magF, GL_LINEAR);
  EXPECT_EQ(align, 1);
  // Luminance with alpha, uploaded from floats.
  EXPECT_GT(level0(GL_TEXTURE_LUMINANCE_SIZE), 0);
  EXPECT_GT(level0(GL_TEXTURE_ALPHA_SIZE), 0);
  EXPECT_EQ(level0(GL_TEXTURE_RED_SIZE), 0);
  ASSERT_EQ(level0(GL_TEXTURE_WIDTH), 3);
  ASSERT_EQ(level0(GL_TEXTURE_HEIGHT), 2);
  std::vector<float> back(12, -1.0f);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE_ALPHA, GL_FLOAT, back.data());
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(back[i], la[i], 1.0 / 255) << i;

  for (int c = 0; c <= 5; ++c) {
    const GLenum expected[] = {0, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA, 0};
    EXPECT_EQ(Image<double>(1, 1, c).channelToGL(), static_cast<int>(expected[c])) << c;
  }
  EXPECT_EQ(GL_NO_ERROR, glGetError());
}

// Each element type is read by OpenGL as its own type (doubles through a float copy), so
// full intensity arrives as full intensity and no byte past the buffer is read.
TEST(Texture, EveryElementTypeUploadsItsValues) {
  vorn::imageSetPow2Mode(vorn::Pow2Off);
  const auto check = [](const auto& image) {
    image.initTexture(GL_MODULATE);
    ASSERT_EQ(level0(GL_TEXTURE_WIDTH), 3);
    ASSERT_EQ(level0(GL_TEXTURE_HEIGHT), 1);
    unsigned char back[3] = {7, 7, 7};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, back);
    EXPECT_EQ(back[0], 0);
    EXPECT_NEAR(back[1], 128, 1);
    EXPECT_EQ(back[2], 255);
  };
  const auto make = [](auto zero, auto half, auto full) {
    Image<decltype(zero)> im(3, 1, 1);
    im[0] = zero;
    im[1] = half;
    im[2] = full;
    return im;
  };
  check(make((unsigned char)0, (unsigned char)128, (unsigned char)255));
  check(make((unsigned short)0, (unsigned short)32896, (unsigned short)65535));
  check(make(0u, 2155905152u, 4294967295u));
  check(make(0.0f, 0.5f, 1.0f));
  check(make(0.0, 0.5, 1.0));
  EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(Texture, TooManyChannelsUploadNothing) {
  vorn::imageSetPow2Mode(vorn::Pow2Off);
  ramp<unsigned char>(2, 2, 3).initTexture(GL_MODULATE);
  Image<unsigned char> five(4, 4, 5);
  five = 1;
  testing::internal::CaptureStdout();
  five.initTexture(GL_MODULATE);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "initTexture: no texture format for 5 channels\n");
  EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 2);
  EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(Texture, Pow2Size) {
  int w = 0, h = 0;
  EXPECT_TRUE(Image<unsigned char>(64, 64, 1).pow2size(w, h));
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 64);
  EXPECT_FALSE(Image<float>(65, 1, 1).pow2size(w, h));
  EXPECT_EQ(w, 128);
  EXPECT_EQ(h, 1);
  EXPECT_FALSE(Image<double>(0, 0, 1).pow2size(w, h));
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  EXPECT_FALSE(Image<unsigned short>(100, 513, 1).pow2size(w, h));
  EXPECT_EQ(w, 128);
  EXPECT_EQ(h, 1024);
  EXPECT_TRUE(Image<unsigned int>(1, 2, 1).pow2size(w, h));
}
