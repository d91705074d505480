// glimshape — svg
// Purpose: reading the filled outlines of an SVG document: the parsed document, the tree
// walk that scales and rasterises each path and polygon, colours and stroke statistics.
#ifndef GLIM_SVG_SVGREADER_H
#define GLIM_SVG_SVGREADER_H

#include <array>
#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "quarl/image.h"
#include "svg/path.h"
#include "svg/polygon.h"

struct _xmlAttr;
struct _xmlDoc;
struct _xmlEntity;
struct _xmlNode;

/// @brief Reads a colour text into red, green and blue, nominally in [0, 1].
///
/// "rgb(r%,g%,b%)" (each number directly followed by a percent sign; white space only in
/// front of a number) gives the numbers divided by 100. "#" followed by hexadecimal digits
/// is read as one number v: red (v >> 16) & 255, green (v >> 8) & 255, blue v & 255, each
/// divided by 255. Every other text (names, "none", url(...), rgb() with plain integers)
/// gives black. Numbers are read the same in every locale.
std::array<float, 3> parseColor(const std::string& text);

/// @brief The leading decimal number of @p text ("210mm" reads 210, " 1.5px" 1.5), read the
///        same in every locale.
/// @return false, leaving @p value unchanged, when the text does not start (after white
///         space) with a finite number.
bool readLeadingNumber(const std::string& text, double& value);

/// @brief How many ordered pairs (i, j), i ≠ j, of @p paths have path i as a stroke of
///        path j; prints "Found a stroke." for each.
///
/// Path i is a stroke of path j when every line and curve node of i matches a node of j
/// (other kinds are passed over, so a path without lines or curves is a stroke of every
/// other path). A line matches a node whose `points`[0] lies within 0.0001 of its own; a
/// curve matches a node whose `points`[0] lies within 0.0001 of its own `points`[0], or a
/// curve whose `points`[1] lies within 0.0001 of its own `points`[1] or whose `points`[0]
/// lies within 0.0001 of its own `points`[2].
/// @warning Outlines that share many points make many pairs; after 20 million comparisons
///          and pairs the count stops, with a line saying so, and the pairs found so far are
///          returned. Only the first 10,000 pairs get their line; one line sums up the rest.
int countStrokes(const std::vector<Path>& paths);

/// @brief A parsed XML document, read with network access off and without loading
///        external entities; entity expansion is bounded.
class SvgDocument {
public:
  /// @brief Parses a file. libxml2 prints its own messages for malformed input.
  explicit SvgDocument(const std::string& fileName);
  /// @brief Parses XML text held in memory; @p name labels libxml2's messages.
  SvgDocument(const std::string& text, const std::string& name);
  ~SvgDocument();
  SvgDocument(const SvgDocument&) = delete;
  SvgDocument& operator=(const SvgDocument&) = delete;

  /// @brief Whether the text was well-formed XML with a root element.
  bool isValid() const { return doc != nullptr; }

private:
  friend class SvgReader;
  _xmlDoc* doc = nullptr;
};

/// @brief One filled outline accepted from a document, in canvas pixels.
struct SvgElement {
  /// The outline scaled into the canvas, the fixed margin applied.
  Path path;
  /// `rasterisePath` of the outline at the reader's image size; at least one pixel > 128.
  vorn::Image<unsigned char> mask;
  /// The outline flattened with tolerance 0.2 pixels.
  Polygon polygon;
  /// Fill and stroke colour, red, green, blue; black unless the element gives them.
  std::array<float, 3> fillColor{{0.0f, 0.0f, 0.0f}};
  std::array<float, 3> strokeColor{{0.0f, 0.0f, 0.0f}};
  /// The style's "stroke-width" (document units, not scaled), 0 when not given.
  double strokeWidth = 0.0;
};

/// @brief Walks SVG documents and hands every filled `path` and `polygon` to a receiver.
///
/// The scale and the image size persist from one document to the next: a document whose
/// `svg` element gives no size is read with the previous document's.
class SvgReader {
public:
  /// Receives each outline whose raster is valid; returns whether it was taken (only
  /// taken outlines count in the stroke statistics).
  using Receiver = std::function<bool(const SvgElement&)>;

  /// @brief Parses @p fileName and reads it (see `read`).
  /// @return false, without calling @p receive, when the file cannot be read or parsed.
  bool load(const std::string& fileName, int canvasWidth, int canvasHeight,
            const Receiver& receive);

  /// @brief Walks the whole tree of @p document in document order.
  /// @param canvasWidth, canvasHeight the canvas size in pixels (the settings' canvas)
  /// @return the number of outlines taken by @p receive.
  ///
  /// An `svg` element sets the scale and the image size from its `width` and `height`
  /// (see `scaleWidth`) and prints "Scale: <sx>,<sy>" and "Size: <w>,<h>". Each `path`
  /// (`d`) and `polygon` (`points`) with its `fill` and `style` (fill, stroke,
  /// stroke-width; any other key prints "ignoring: <key>=<value>") is mapped by its own
  /// `transform` (matrix, translate, scale, rotate, skewX, skewY), scaled, given the
  /// margin (× 0.90625, + 6 pixels), rasterised at the image size and, when the raster
  /// holds no pixel above 128, reported as "Got an invalid shape." and skipped; an outline
  /// of more than 10,000 nodes is skipped with a line saying so. Groups
  /// are entered; their attributes, transforms included, are not read. Finally prints
  /// "Found a stroke." per stroke pair and "Num strokes:<pairs>,<outlines>".
  int read(const SvgDocument& document, int canvasWidth, int canvasHeight,
           const Receiver& receive);

  /// Factors from document units to pixels. Set by each `svg` element from its width W
  /// and height H (missing or unusable sizes keep the previous value): with a = W / H,
  /// both are canvas width / W when a > 1, else canvas height / H.
  double scaleWidth = 1.0;
  double scaleHeight = 1.0;
  /// Size of the raster outlines are drawn into: the canvas size at the first read, then
  /// the canvas width × (canvas width / a) when a > 1, else (canvas height × a) × canvas
  /// height, truncated.
  int imageWidth = 0;
  int imageHeight = 0;
  /// Most outlines one document hands to the receiver. Once that many are taken, later
  /// `path` and `polygon` elements are counted, not read, and one line says how many were
  /// left out.
  std::size_t outlineLimit = std::numeric_limits<std::size_t>::max();
  /// How many outline elements the last `read` left out because of `outlineLimit`.
  std::size_t outlinesLeftOut = 0;

private:
  void readSvgElement(_xmlNode* node, int canvasWidth, int canvasHeight);
  bool readOutline(_xmlNode* node, SvgElement& element);
  std::string attributeValue(_xmlAttr* attribute);
  void appendEntity(_xmlEntity* entity, std::string& out, int depth);
  void reportBudgetSpent();

  bool started = false;
  // Text produced by entity references while reading one document; bounded so that a
  // document referencing large entities many times cannot grow without end.
  std::size_t entityBudget = 0;
  bool budgetReported = false;
};

#endif
