// glimshape — tests/quarl/plugins
// Purpose: a loadable image I/O plug-in for the manager tests: a tiny raw float format.
//
// Built twice, with TEST_PLUGIN_TAG "foo" and "bar": the tag is the plug-in's name prefix
// and its file extension. File layout: "QTP1", then width, height and channels as 32-bit
// integers, then width × height × channels floats, all in host byte order.
//
// Built once more with TEST_PLUGIN_READS_WHILE_LOADED: the library's constructor and the
// reader's name query read the image named by the environment variable QUARL_TEST_PROBE
// through vorn::readImage, as a plug-in that loads a resource might; the reader is named
// "<tag>_read" when both reads succeeded and "<tag>_blind" otherwise.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "quarl/imageio.h"
#include "quarl/imageplugin.h"

#ifndef TEST_PLUGIN_TAG
#error "TEST_PLUGIN_TAG must name the plug-in"
#endif

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

const char* extensionList[] = {TEST_PLUGIN_TAG, nullptr};

bool readRaw(const char* filename, vorn::ImagePointer& image) {
  File f(std::fopen(filename, "rb"), std::fclose);
  if (!f) return false;
  char magic[4];
  int32_t size[3];
  if (std::fread(magic, 1, 4, f.get()) != 4 || std::memcmp(magic, "QTP1", 4) != 0) return false;
  if (std::fread(size, sizeof size[0], 3, f.get()) != 3) return false;
  if (size[0] <= 0 || size[1] <= 0 || size[2] <= 0 || size[0] > 4096 || size[1] > 4096 ||
      size[2] > 16)
    return false;
  vorn::Image<float> result(size[0], size[1], size[2]);
  size_t n = size_t(size[0]) * size_t(size[1]) * size_t(size[2]);
  if (std::fread(result.data, sizeof(float), n, f.get()) != n) return false;
  image.assign(result);
  return true;
}

bool writeRaw(const char* filename, vorn::ImagePointer& image) {
  vorn::Image<float> src;
  image.copyInto(src);
  if (!src.data) return false;
  File f(std::fopen(filename, "wb"), std::fclose);
  if (!f) return false;
  int32_t size[3] = {src.width, src.height, src.nchannels};
  size_t n = size_t(src.width) * size_t(src.height) * size_t(src.nchannels);
  return std::fwrite("QTP1", 1, 4, f.get()) == 4 && std::fwrite(size, sizeof size[0], 3, f.get()) == 3 &&
         std::fwrite(src.data, sizeof(float), n, f.get()) == n;
}

#if defined(TEST_PLUGIN_READS_WHILE_LOADED)
bool readProbe() {
  const char* probe = std::getenv("QUARL_TEST_PROBE");
  vorn::Image<unsigned char> image;
  return probe && vorn::readImage(probe, image) && image.width > 0;
}

const bool readAtLoad = readProbe();
#endif

}  // namespace

extern "C" {

#if defined(TEST_PLUGIN_READS_WHILE_LOADED)
const char* readPluginGetName() {
  return readAtLoad && readProbe() ? TEST_PLUGIN_TAG "_read" : TEST_PLUGIN_TAG "_blind";
}
#else
const char* readPluginGetName() { return TEST_PLUGIN_TAG "_read"; }
#endif
const char** readExtensions() { return extensionList; }
const char* read_api_version() { return "0.0.3"; }
const char* read_plugin_version() { return "7.1"; }
bool readImage(const char* filename, vorn::ImagePointer& image) {
  return vorn::pluginGuard(readPluginGetName(), filename, [&] { return readRaw(filename, image); });
}

const char* writePluginGetName() { return TEST_PLUGIN_TAG "_write"; }
const char** writeExtensions() { return extensionList; }
bool writeImage(const char* filename, vorn::ImagePointer& image) {
  return vorn::pluginGuard(writePluginGetName(), filename, [&] { return writeRaw(filename, image); });
}

}  // extern "C"
