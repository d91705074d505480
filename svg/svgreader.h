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
/// front of a number) gives the numbers divided by 100; "rgb(r,g,b)" with integers (white
/// space allowed around them) gives them clamped to 0..255 and divided by 255. "#rgb" and
/// "#rgba" repeat each digit; "#rrggbb" and "#rrggbbaa" read two digits a channel (alpha
/// dropped). "#" followed by another number of hexadecimal digits is read as one number v:
/// red (v >> 16) & 255, green (v >> 8) & 255, blue v & 255, each divided by 255. The CSS
/// colour names (any case) give their colours. Every other text ("none", url(...),
/// currentColor) gives black. Numbers are read the same in every locale.
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

/// @brief What one load made of a drawing, and what it left out.
struct LoadSummary {
  /// Elements that became shapes.
  std::size_t shapes = 0;
  /// Elements that paint nothing on the canvas (no fill and no stroke, hidden, outside).
  std::size_t paintNothing = 0;
  /// Elements whose strongest coverage stays below a quarter (shadows, highlights).
  std::size_t faint = 0;
  /// Elements that paint less than one pixel's worth.
  std::size_t belowPixel = 0;
  /// Elements left out because the drawing reached its bound of shapes.
  std::size_t overBound = 0;

  /// @brief Whether some element was left out.
  bool isIncomplete() const { return paintNothing + faint + belowPixel + overBound > 0; }
  /// @brief One line: "23 shapes; 4 elements paint nothing; 2 faint; 2 smaller than a
  ///        pixel; 1 left out over the shape bound" (parts that are 0 are omitted).
  std::string line() const;
  /// @brief Only what was left out ("4 elements paint nothing; 2 faint"), empty if nothing.
  std::string leftOutLine() const;
};

/// @brief Text of attribute values and text nodes with the document's internal entities
///        expanded, within one budget per document.
///
/// libxml2 keeps references to the document's own entities as nodes (the reader never asks
/// it to substitute them). They are expanded here, nested references in turn, at most 40
/// deep, and all of one document's expansions together add at most 16 MiB of text; one
/// line reports the first time the budget runs out.
class EntityExpander {
public:
  /// @brief Starts a new document: the whole budget is available again.
  void restart();
  /// @brief The text of @p first and, with @p siblings, the nodes after it (text, CDATA
  ///        and entity references; other nodes add nothing).
  std::string text(_xmlNode* first, bool siblings = true);
  /// @brief The value of an attribute (its children's text).
  std::string value(_xmlAttr* attribute);

private:
  void appendEntity(_xmlEntity* entity, std::string& out, int depth);
  void reportBudgetSpent();
  std::size_t budget = 0;
  bool reported = false;
};

/// @brief The namespace of the attribute that records the canvas size on files this
///        program writes; other readers ignore it.
constexpr const char* canvasNamespace = "urn:x-vorn:glimshape";
/// @brief The name of that attribute on the root element: "W H", the canvas in pixels.
constexpr const char* canvasAttribute = "canvas";

/// @brief Whether @p root carries the canvas-size attribute of a file this program wrote.
bool hasCanvasAttribute(_xmlNode* root);

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
  friend class FullSvgReader;
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
  /// The style's "stroke-width" (document units, not scaled), 0 when not given. The full
  /// reader gives it in canvas pixels.
  double strokeWidth = 0.0;
};

/// @brief Walks SVG documents and hands every filled `path` and `polygon` to a receiver.
///
/// Every document starts from scale 1 and the canvas size: a document whose `svg` element
/// gives no size is read with factors made from 1 × 1, never with a previous document's.
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
  /// margin (see `placeInMargin`), rasterised at the image size and, when the raster
  /// holds no pixel above 128, reported as "Got an invalid shape." and skipped; an outline
  /// whose fill is "none" is skipped with a line saying so; an outline
  /// of more than 10,000 nodes is skipped with a line saying so. A root element with the
  /// canvas-size attribute (a file this program wrote) is read without the margin. Groups
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
  /// What the last `read` made and left out.
  LoadSummary summary;

private:
  void readSvgElement(_xmlNode* node, int canvasWidth, int canvasHeight);
  bool readOutline(_xmlNode* node, SvgElement& element);

  EntityExpander entities;
  // The document is a page this program wrote: no margin.
  bool savedPage = false;
};

/// @brief Moves a point of a drawing scaled to a width × height raster into the box 6
///        pixels inside every side, keeping its aspect: the drawing shrinks by
///        min((width − 12) / width, (height − 12) / height) about the raster's centre, so
///        on a 128 × 128 raster x' = 6 + x × 116 / 128. Rasters of 12 pixels or less a side
///        get no margin.
/// @return the factor; @p offsetX and @p offsetY receive where the origin lands.
double placeInMargin(int width, int height, double& offsetX, double& offsetY);

#endif
