// glimshape — bench/svg
// Purpose: time reading whole SVG documents (parse, scale, rasterise, flatten) and writing
// the bundled drawing back out.
#include "svg/svgreader.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/quiet_stdout.h"
#include "svg/svgwriter.h"

namespace {

using glimtest::QuietStdout;

std::string examplePath() { return std::string(GLIM_SOURCE_DIR) + "/examples/drawing.svg"; }

// The largest file of the shared corpus, which lies beside the checkout or beside the
// folder of work trees.
std::string largestCorpusPath() {
  for (const char* up : {"/../shared/corpus/svg/", "/../../shared/corpus/svg/"}) {
    const std::string name = std::string(GLIM_SOURCE_DIR) + up + "oc-profilo_della_citta.svg";
    if (std::FILE* file = std::fopen(name.c_str(), "r")) {
      std::fclose(file);
      return name;
    }
  }
  return std::string();
}

void readDocument(benchmark::State& state, const std::string& fileName) {
  int outlines = 0;
  bool loaded = false;
  for (auto _ : state) {
    QuietStdout quiet;
    SvgReader reader;
    outlines = 0;
    loaded = reader.load(fileName, 128, 128, [&](const SvgElement& element) {
      benchmark::DoNotOptimize(element.polygon.points.data());
      return ++outlines > 0;
    });
  }
  if (!loaded) state.SkipWithError(("cannot read " + fileName).c_str());
  state.counters["outlines"] = outlines;
}

void BM_ReadExample(benchmark::State& state) { readDocument(state, examplePath()); }

void BM_ReadLargestCorpusFile(benchmark::State& state) {
  readDocument(state, largestCorpusPath());
}

void BM_WriteExample(benchmark::State& state) {
  std::vector<SvgElement> elements;
  {
    QuietStdout quiet;
    SvgReader reader;
    reader.load(examplePath(), 128, 128, [&](const SvgElement& element) {
      elements.push_back(element);
      return true;
    });
  }
  const std::string target = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                             "/bench_svgreader_example.svg";
  bool written = true;
  for (auto _ : state) {
    written = writeSvgFile(target, 128, 128, [&](cairo_t* cr) {
      for (const SvgElement& element : elements) {
        element.path.apply(cr);
        cairo_set_source_rgb(cr, element.fillColor[0], element.fillColor[1], element.fillColor[2]);
        cairo_fill(cr);
      }
    });
  }
  std::remove(target.c_str());
  if (!written || elements.empty()) state.SkipWithError("cannot write the example");
  state.counters["outlines"] = static_cast<double>(elements.size());
}

}  // namespace

BENCHMARK(BM_ReadExample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLargestCorpusFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteExample)->Unit(benchmark::kMillisecond);
