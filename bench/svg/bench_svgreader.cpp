// glimshape — bench/svg
// Purpose: time reading whole SVG documents with each reader (parse, place, rasterise or
// render; shape creation timed apart) and writing the bundled drawing back out.
#include "svg/svgreader.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/quiet_stdout.h"
#include "common/svg_corpus.h"
#include "levelset/createlevelset.h"
#include "shapes/zazizevozubase.h"
#include "svg/fullreader.h"
#include "svg/svgwriter.h"

namespace {

using glimtest::QuietStdout;

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

void BM_ReadExample(benchmark::State& state) {
  readDocument(state, glimtest::exampleDrawingFile());
}

void BM_ReadLargestCorpusFile(benchmark::State& state) {
  readDocument(state, glimtest::largestCorpusFile());
}

// The elements a reader hands on for a file: parsing, placing and rasterising (basic) or
// rendering every element (full), without shape creation. items_per_second is shapes made
// per second, so the readers compare per shape.
template <class Reader>
std::vector<SvgElement> readElements(const std::string& fileName) {
  std::vector<SvgElement> elements;
  QuietStdout quiet;
  const SvgDocument document(fileName);
  Reader reader;
  reader.read(document, 128, 128, [&](const SvgElement& element) {
    elements.push_back(element);
    return true;
  });
  return elements;
}

template <class Reader>
void readOnly(benchmark::State& state, const std::string& fileName) {
  std::size_t shapes = 0;
  for (auto _ : state) shapes = readElements<Reader>(fileName).size();
  if (shapes == 0) state.SkipWithError(("no shape in " + fileName).c_str());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * shapes));
  state.counters["shapes"] = static_cast<double>(shapes);
}

template <class Reader>
void createShapes(benchmark::State& state, const std::string& fileName) {
  const std::vector<SvgElement> elements = readElements<Reader>(fileName);
  for (auto _ : state) {
    QuietStdout quiet;
    for (const SvgElement& element : elements) {
      // As a load makes them: the mask's edge calibrated first.
      benchmark::DoNotOptimize(
          ZazizEvozuBase::create(element.polygon, calibrateCoverage(element.mask)));
    }
  }
  if (elements.empty()) state.SkipWithError(("no shape in " + fileName).c_str());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * elements.size()));
  state.counters["shapes"] = static_cast<double>(elements.size());
}

void BM_BasicReaderExample(benchmark::State& s) { readOnly<SvgReader>(s, glimtest::exampleDrawingFile()); }
void BM_FullReaderExample(benchmark::State& s) { readOnly<FullSvgReader>(s, glimtest::exampleDrawingFile()); }
void BM_BasicReaderLargest(benchmark::State& s) { readOnly<SvgReader>(s, glimtest::largestCorpusFile()); }
void BM_FullReaderLargest(benchmark::State& s) { readOnly<FullSvgReader>(s, glimtest::largestCorpusFile()); }
void BM_CreateShapesBasicExample(benchmark::State& s) { createShapes<SvgReader>(s, glimtest::exampleDrawingFile()); }
void BM_CreateShapesFullExample(benchmark::State& s) { createShapes<FullSvgReader>(s, glimtest::exampleDrawingFile()); }
void BM_CreateShapesBasicLargest(benchmark::State& s) { createShapes<SvgReader>(s, glimtest::largestCorpusFile()); }
void BM_CreateShapesFullLargest(benchmark::State& s) { createShapes<FullSvgReader>(s, glimtest::largestCorpusFile()); }

void BM_WriteExample(benchmark::State& state) {
  std::vector<SvgElement> elements;
  {
    QuietStdout quiet;
    SvgReader reader;
    reader.load(glimtest::exampleDrawingFile(), 128, 128, [&](const SvgElement& element) {
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
BENCHMARK(BM_BasicReaderExample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullReaderExample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BasicReaderLargest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullReaderLargest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateShapesBasicExample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateShapesFullExample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateShapesBasicLargest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateShapesFullLargest)->Unit(benchmark::kMillisecond);
