// glimshape — bench/quarl
// Purpose: PNG and JPEG read and write of a 1024 × 1024 RGB image through readImage/writeImage.
//
// The picture is the smooth one of the peer figures (gradients, a disc and a rectangle),
// so the numbers can be set beside plain libpng/libjpeg. Files go to the system's
// temporary directory; the timings include the file system.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "quarl/imageio.h"

namespace {

vorn::Image<unsigned char> makeRgb(int w, int h) {
  vorn::Image<unsigned char> img(w, h, 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double u = x / double(w), v = y / double(h);
      double base[3] = {200 * u + 30 * std::sin(v * 20), 180 * v + 40 * std::cos(u * 13),
                        120 + 100 * std::sin((u + v) * 7)};
      double dx = x - 0.6 * w, dy = y - 0.4 * h;
      if (dx * dx + dy * dy < 0.03 * w * h) base[0] = 240, base[1] = 60, base[2] = 40;
      if (x > 0.1 * w && x < 0.35 * w && y > 0.6 * h && y < 0.9 * h)
        base[0] = 20, base[1] = 90, base[2] = 200;
      for (int c = 0; c < 3; ++c)
        img(x, y, c) = static_cast<unsigned char>(std::max(0.0, std::min(255.0, base[c])));
    }
  return img;
}

const vorn::Image<unsigned char>& picture() {
  static const vorn::Image<unsigned char> img = makeRgb(1024, 1024);
  return img;
}

std::string tempName(const char* ext) {
  return (std::filesystem::temp_directory_path() / (std::string("quarl_bench.") + ext)).string();
}

// Checks the format before it is timed: PNG must come back unchanged, JPEG close.
void checkRoundTrip(const char* ext) {
  vorn::Image<unsigned char> src = picture();
  std::string name = tempName(ext);
  vorn::Image<unsigned char> back;
  if (!vorn::writeImage(name.c_str(), src) || !vorn::readImage(name.c_str(), back) ||
      back.width != src.width || back.height != src.height || back.nchannels != 3)
    throw std::runtime_error(std::string("round trip failed for ") + ext);
  double se = 0, worst = 0;
  for (int i = 0; i < 1024 * 1024 * 3; ++i) {
    double d = double(back[i]) - src[i];
    se += d * d;
    worst = std::max(worst, std::fabs(d));
  }
  double psnr = se == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (se / (1024.0 * 1024 * 3)));
  if ((std::string(ext) == "png" && worst != 0) || psnr < 30)
    throw std::runtime_error(std::string("round trip inexact for ") + ext);
}

void BM_Write(benchmark::State& state, const char* ext) {
  checkRoundTrip(ext);
  vorn::Image<unsigned char> src = picture();
  std::string name = tempName(ext);
  for (auto _ : state) {
    bool ok = vorn::writeImage(name.c_str(), src);
    benchmark::DoNotOptimize(ok);
  }
  state.counters["bytes"] = double(std::filesystem::file_size(name));
  std::remove(name.c_str());
}

void BM_Read(benchmark::State& state, const char* ext) {
  checkRoundTrip(ext);
  vorn::Image<unsigned char> src = picture();
  std::string name = tempName(ext);
  vorn::writeImage(name.c_str(), src);
  for (auto _ : state) {
    vorn::Image<unsigned char> img;
    bool ok = vorn::readImage(name.c_str(), img);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(img.data);
  }
  std::remove(name.c_str());
}

BENCHMARK_CAPTURE(BM_Write, png_rgb1024, "png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, png_rgb1024, "png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, jpeg_rgb1024, "jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, jpeg_rgb1024, "jpg")->Unit(benchmark::kMillisecond);

}  // namespace
