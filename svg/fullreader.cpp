// glimshape — svg
// Purpose: the full SVG reader: every element a renderer paints becomes a shape, its region
// and colours taken from librsvg's rendering of that element alone.
#include "svg/fullreader.h"

#include <cairo.h>
#include <librsvg/rsvg.h>
#include <libxml/tree.h>

#include <algorithm>
#include <charconv>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

constexpr const char* svgNamespace = "http://www.w3.org/2000/svg";
constexpr const char* xlinkNamespace = "http://www.w3.org/1999/xlink";
// A shape needs coverage of at least this much somewhere; fainter elements are shadows and
// highlights.
constexpr double faintCoverage = 0.25;
// Large drawings print a progress line after every this many elements.
constexpr std::size_t progressStep = 500;
// Sizes handed to librsvg and cairo stay within these: librsvg 2.54 ends the process when
// asked to draw into an empty or non-finite viewport.
constexpr double largestSize = 1e9;
constexpr double smallestSize = 1e-9;

bool isSvgName(const xmlNode* node, const char* name) {
  return node->name != nullptr && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool isAttribute(const xmlAttr* attribute, const char* name) {
  return attribute->ns == nullptr && attribute->name != nullptr &&
         std::strcmp(reinterpret_cast<const char*>(attribute->name), name) == 0;
}

bool isOneOf(const xmlNode* node, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (isSvgName(node, name)) return true;
  }
  return false;
}

bool isDrawable(const xmlNode* node) {
  return isOneOf(node, {"path", "rect", "circle", "ellipse", "line", "polyline", "polygon",
                        "text", "use", "image"});
}

// Elements whose children a renderer draws in place.
bool isContainer(const xmlNode* node) { return isOneOf(node, {"svg", "g", "a", "switch"}); }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string trimmed(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Whether a `systemLanguage` list names the reader's language: a tag equal to it or
// starting with it followed by '-' (any case).
bool matchesLanguage(const std::string& list) {
  const std::string want = FullSvgReader::language;
  std::size_t begin = 0;
  while (begin <= list.size()) {
    std::size_t end = list.find(',', begin);
    if (end == std::string::npos) end = list.size();
    std::string tag = trimmed(list.substr(begin, end - begin));
    for (char& c : tag) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (tag == want || (tag.size() > want.size() && tag.compare(0, want.size(), want) == 0 &&
                        tag[want.size()] == '-')) {
      return true;
    }
    begin = end + 1;
  }
  return false;
}

bool isConditional(const xmlAttr* attribute) {
  return isAttribute(attribute, "systemLanguage") || isAttribute(attribute, "requiredExtensions") ||
         isAttribute(attribute, "requiredFeatures");
}

void appendEscaped(const std::string& text, std::string& out) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case '\t': out += "&#9;"; break;
      default: out += c;
    }
  }
}

// Lower-case copy of an ASCII text (CSS keywords and property names ignore case).
std::string lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Whether a property named @p name with value @p value may give an element a stroke: a
// stroke other than none, or markers (whose content may stroke).
bool propertyStrokes(const std::string& name, std::string value) {
  const std::string key = lowered(trimmed(name));
  value = lowered(trimmed(value));
  const std::size_t important = value.find("!important");
  if (important != std::string::npos) value = trimmed(value.substr(0, important));
  return (key == "stroke" || key.compare(0, 6, "marker") == 0) && value != "none";
}

// Which rendering a written document is for.
enum class Pass {
  Fills,    // strokes hidden, every element written
  Strokes,  // fills hidden; plain shapes that have no stroke are left out
};

// Writes the checked tree back as text for librsvg: SVG elements only, entities expanded,
// conditions decided (a `switch` becomes a group holding the child that is shown), an id on
// every drawable element, in document order, and a last style sheet that hides the other
// pass's paint. Every load renders each drawable element alone, and librsvg 2.54 looks at
// every sibling of the element and of each of its ancestors on the way down, so a flat
// drawing of n elements costs n² over the load: without style sheets of the document's own
// (whose selectors may depend on where an element stands) the children of every container
// are spread over nested plain groups of at most 16, which paint exactly as they did.
class Serialiser {
public:
  Serialiser(xmlNode* root, EntityExpander& entities) : root(root), entities(entities) {
    defaultNamespace = root->ns == nullptr;
    collectIds();
  }

  // The text for @p pass, with the root's viewport replaced by @p viewBox when it is given.
  std::string write(const std::string& viewBox, Pass pass) {
    rootViewBox = viewBox;
    this->pass = pass;
    out.clear();
    drawables.clear();
    strokeCandidates.clear();
    entities.restart();
    element(root, true, false, false);
    return out;
  }

  // Ids of the drawable elements the document renders, in document order.
  std::vector<std::string> drawables;
  // For each of them, whether the stroke pass's document holds it: a plain shape that
  // neither it nor an ancestor gives a stroke or markers has no stroke to paint there.
  std::vector<char> strokeCandidates;
  bool hasStrokeCandidate() const {
    return std::find(strokeCandidates.begin(), strokeCandidates.end(), 1) != strokeCandidates.end();
  }

private:
  bool isSvg(const xmlNode* node) const {
    if (node->type != XML_ELEMENT_NODE) return false;
    if (node->ns == nullptr) return defaultNamespace;
    return node->ns->href != nullptr &&
           std::strcmp(reinterpret_cast<const char*>(node->ns->href), svgNamespace) == 0;
  }

  bool passes(xmlNode* node) {
    for (xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
      if (isAttribute(attribute, "systemLanguage") && !matchesLanguage(entities.value(attribute)))
        return false;
      // librsvg implements no extension: any named one fails.
      if (isAttribute(attribute, "requiredExtensions") &&
          !trimmed(entities.value(attribute)).empty())
        return false;
    }
    return true;
  }

  // Every id; every name written after a '#' anywhere (href, url(#…), style sheets), which
  // is what may be referred to; and whether the document has style sheets of its own.
  void collectIds() {
    std::vector<xmlNode*> pending{root};
    const auto references = [&](const std::string& text) {
      for (std::size_t hash = text.find('#'); hash != std::string::npos; hash = text.find('#', hash)) {
        std::size_t end = ++hash;
        while (end < text.size() && std::strchr(")\"' \t\r\n,;", text[end]) == nullptr) ++end;
        referencedIds.insert(text.substr(hash, end - hash));
      }
    };
    while (!pending.empty()) {
      xmlNode* node = pending.back();
      pending.pop_back();
      if (node->next != nullptr) pending.push_back(node->next);
      if (node->type != XML_ELEMENT_NODE) continue;
      if (node->children != nullptr) pending.push_back(node->children);
      for (xmlAttr* a = node->properties; a != nullptr; a = a->next) {
        const std::string value = entities.value(a);
        if (isAttribute(a, "id")) allIds.insert(value);
        references(value);
      }
      if (isSvgName(node, "style")) {
        hasStyleSheet = true;
        const std::string sheet = lowered(entities.text(node->children));
        references(sheet);
        for (const char* word : {"stroke", "marker"}) {
          if (sheet.find(word) != std::string::npos) styleSheetStrokes = true;
        }
      }
    }
  }

  bool isReferenced(xmlNode* node) {
    for (xmlAttr* a = node->properties; a != nullptr; a = a->next) {
      if (isAttribute(a, "id") && referencedIds.count(entities.value(a)) != 0) return true;
    }
    return false;
  }

  // Whether the element's own attributes or style may give it a stroke.
  bool declaresStroke(xmlNode* node) {
    for (xmlAttr* a = node->properties; a != nullptr; a = a->next) {
      if (a->ns != nullptr || a->name == nullptr) continue;
      const std::string name = reinterpret_cast<const char*>(a->name);
      if (name == "style") {
        const std::string style = entities.value(a);
        if (style.find("/*") != std::string::npos) return true;
        std::size_t begin = 0;
        while (begin < style.size()) {
          std::size_t end = style.find(';', begin);
          if (end == std::string::npos) end = style.size();
          const std::size_t colon = style.find(':', begin);
          if (colon < end &&
              propertyStrokes(style.substr(begin, colon - begin),
                              style.substr(colon + 1, end - colon - 1)))
            return true;
          begin = end + 1;
        }
      } else if (propertyStrokes(name, entities.value(a))) {
        return true;
      }
    }
    return false;
  }

  std::string idOf(xmlNode* node) {
    const auto known = ids.find(node);
    if (known != ids.end()) return known->second;
    std::string id;
    for (xmlAttr* a = node->properties; a != nullptr; a = a->next) {
      if (isAttribute(a, "id")) id = entities.value(a);
    }
    // Existing ids stay, since `use` and url(#…) refer to them; a drawable without one,
    // or with one an earlier drawable already has, gets a new one.
    if (id.empty() || !usedIds.insert(id).second) {
      do {
        id = "glimshape-element-" + std::to_string(++nextId);
      } while (allIds.count(id) != 0);
    }
    return ids[node] = id;
  }

  void attributes(xmlNode* node, bool drawable) {
    const bool isRoot = node == root;
    if (isRoot) {
      out += " xmlns=\"";
      out += svgNamespace;
      out += "\" xmlns:xlink=\"";
      out += xlinkNamespace;
      out += "\"";
      if (!rootViewBox.empty()) out += " viewBox=\"" + rootViewBox + "\"";
    }
    for (xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
      if (attribute->name == nullptr || isConditional(attribute)) continue;
      std::string name = reinterpret_cast<const char*>(attribute->name);
      if (attribute->ns != nullptr) {
        const char* href = reinterpret_cast<const char*>(attribute->ns->href);
        if (href != nullptr && std::strcmp(href, xlinkNamespace) == 0) {
          name = "xlink:" + name;
        } else if (href != nullptr &&
                   std::strcmp(href, reinterpret_cast<const char*>(XML_XML_NAMESPACE)) == 0) {
          name = "xml:" + name;
        } else {
          continue;  // other vocabularies' attributes; no renderer reads them
        }
      }
      if (isRoot && !rootViewBox.empty() &&
          (name == "viewBox" || name == "width" || name == "height" ||
           name == "preserveAspectRatio")) {
        continue;
      }
      if (drawable && name == "id") continue;
      out += ' ';
      out += name;
      out += "=\"";
      appendEscaped(entities.value(attribute), out);
      out += '"';
    }
    if (drawable) {
      out += " id=\"";
      appendEscaped(idOf(node), out);
      out += '"';
    }
  }

  // @p rendered: the element is drawn where it stands; @p stroked: an ancestor may give it
  // a stroke; @p referenced: it or an ancestor may be drawn elsewhere too.
  void element(xmlNode* node, bool rendered, bool stroked, bool referenced) {
    if (!isSvg(node) || !passes(node)) return;
    const bool isSwitch = isSvgName(node, "switch");
    const bool drawable = rendered && isDrawable(node);
    const bool childrenRendered = rendered && isContainer(node);
    stroked = stroked || declaresStroke(node);
    referenced = referenced || isReferenced(node);
    if (drawable) {
      // Text, `use` and images paint what they hold or show, whatever their own style.
      const bool candidate = styleSheetStrokes || stroked || referenced ||
                             isOneOf(node, {"text", "use", "image"});
      drawables.push_back(idOf(node));
      strokeCandidates.push_back(candidate);
      if (pass == Pass::Strokes && !candidate) return;
    }
    const std::string name = isSwitch ? "g" : reinterpret_cast<const char*>(node->name);
    out += '<';
    out += name;
    attributes(node, drawable);
    out += '>';
    if (childrenRendered && !isSwitch && !hasStyleSheet) {
      std::vector<xmlNode*> children;
      for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (isSvg(child)) children.push_back(child);
      }
      grouped(children, 0, children.size(), stroked, referenced);
    } else {
      bool shown = false;
      for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
          if (isSwitch) {
            // A renderer shows the first child element whose conditions hold.
            if (shown || !isSvg(child) || !passes(child)) continue;
            shown = true;
          }
          element(child, childrenRendered, stroked, referenced);
        } else if (!isSwitch && (child->type == XML_TEXT_NODE ||
                                 child->type == XML_CDATA_SECTION_NODE ||
                                 child->type == XML_ENTITY_REF_NODE)) {
          appendEscaped(entities.text(child, false), out);
        }
      }
    }
    if (node == root) {
      // Last, so that among rules of equal weight it is applied after the document's own.
      out += pass == Pass::Fills ? "<style>* { stroke: none !important; }</style>"
                                 : "<style>* { fill: none !important; }</style>";
    }
    out += "</";
    out += name;
    out += '>';
  }

  // Children [begin, end) of a rendered container, in nested plain groups of at most
  // `fanOut` elements each, so that every element has few siblings at every level.
  void grouped(const std::vector<xmlNode*>& children, std::size_t begin, std::size_t end,
               bool stroked, bool referenced) {
    if (end - begin <= fanOut) {
      for (std::size_t i = begin; i < end; ++i) element(children[i], true, stroked, referenced);
      return;
    }
    std::size_t span = fanOut;
    while (span * fanOut < end - begin) span *= fanOut;
    for (std::size_t i = begin; i < end; i += span) {
      out += "<g>";
      grouped(children, i, std::min(end, i + span), stroked, referenced);
      out += "</g>";
    }
  }

  static constexpr std::size_t fanOut = 16;
  xmlNode* root;
  EntityExpander& entities;
  Pass pass = Pass::Fills;
  bool defaultNamespace = false;
  bool hasStyleSheet = false;
  // The document's style sheets may give strokes or markers to any element.
  bool styleSheetStrokes = false;
  std::unordered_set<std::string> allIds;
  std::unordered_set<std::string> referencedIds;
  std::unordered_set<std::string> usedIds;
  std::unordered_map<const xmlNode*, std::string> ids;
  std::string rootViewBox;
  std::string out;
  std::size_t nextId = 0;
};

struct HandleDeleter {
  void operator()(RsvgHandle* handle) const { g_object_unref(handle); }
};
using Handle = std::unique_ptr<RsvgHandle, HandleDeleter>;

// The style sheet that separates fill from stroke is part of @p text: a user style sheet
// (rsvg_handle_set_stylesheet) would have librsvg work out every element's style twice.
Handle loadHandle(const std::string& text) {
  GError* error = nullptr;
  Handle handle(rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(text.data()),
                                          text.size(), &error));
  if (!handle) {
    std::cout << "librsvg cannot read the drawing: " << (error ? error->message : "unknown error")
              << "\n";
    g_clear_error(&error);
    return nullptr;
  }
  rsvg_handle_set_dpi(handle.get(), 96.0);
  return handle;
}

bool isUsableSize(double w, double h) {
  return std::isfinite(w) && std::isfinite(h) && w >= smallestSize && h >= smallestSize &&
         w <= largestSize && h <= largestSize;
}

// The drawing's viewport as a renderer sees it: the intrinsic size with its units, else
// the viewBox. False when the document gives neither.
bool viewportSize(RsvgHandle* handle, double& width, double& height) {
  gdouble w = 0.0, h = 0.0;
  if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &w, &h) && isUsableSize(w, h)) {
    width = w;
    height = h;
    return true;
  }
  gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
  RsvgLength lw{}, lh{};
  RsvgRectangle box{};
  rsvg_handle_get_intrinsic_dimensions(handle, &hasWidth, &lw, &hasHeight, &lh, &hasViewBox, &box);
  if (hasViewBox && isUsableSize(box.width, box.height)) {
    width = box.width;
    height = box.height;
    return true;
  }
  return false;
}

// The extent of what the drawing paints, in user units, as a viewBox text.
std::string inkViewBox(RsvgHandle* handle) {
  const RsvgRectangle viewport{0.0, 0.0, 100.0, 100.0};
  RsvgRectangle ink{}, logical{};
  GError* error = nullptr;
  if (!rsvg_handle_get_geometry_for_layer(handle, nullptr, &viewport, &ink, &logical, &error)) {
    g_clear_error(&error);
    return std::string();
  }
  if (!isUsableSize(ink.width, ink.height) || !std::isfinite(ink.x) || !std::isfinite(ink.y))
    return std::string();
  // Written the same in every locale (the window's C library runs in the user's).
  std::string text;
  for (const double v : {ink.x, ink.y, ink.width, ink.height}) {
    char number[64];
    const std::to_chars_result r = std::to_chars(number, number + sizeof number, v);
    if (!text.empty()) text += ' ';
    text.append(number, r.ptr);
  }
  return text;
}

// What one element painted in one pass: the premultiplied ARGB pixels of its painted box
// and their sums.
struct Coverage {
  // The painted pixels' bounding box, inclusive; empty (x0 > x1) when nothing is painted.
  int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  // The box's pixels, row after row.
  std::vector<std::uint32_t> pixels;
  double maxAlpha = 0.0;  // 0..255
  double sumAlpha = 0.0;
  // Premultiplied channels times alpha, and alpha squared: each pixel's own colour
  // weighted by its coverage squared, so that the rounding of faintly covered edge pixels
  // hardly moves the mean of a plain fill.
  double sumRed = 0.0, sumGreen = 0.0, sumBlue = 0.0, sumAlpha2 = 0.0;

  bool isEmpty() const { return maxAlpha <= 0.0; }
  // Alpha (0..255) at an image pixel; 0 outside the box.
  std::uint32_t alpha(int x, int y) const {
    if (x < x0 || x > x1 || y < y0 || y > y1) return 0;
    return pixels[static_cast<std::size_t>(y - y0) * (x1 - x0 + 1) + (x - x0)] >> 24;
  }
  // Whether anything is painted within the box (inclusive).
  bool touches(int left, int top, int right, int bottom) const {
    left = std::max(left, x0), top = std::max(top, y0);
    right = std::min(right, x1), bottom = std::min(bottom, y1);
    for (int y = top; y <= bottom; ++y) {
      for (int x = left; x <= right; ++x) {
        if (alpha(x, y) != 0) return true;
      }
    }
    return false;
  }
  double strongest() const { return maxAlpha / 255.0; }
  // Coverage relative to the strongest, 0..1.
  double relative(int x, int y) const { return isEmpty() ? 0.0 : alpha(x, y) / maxAlpha; }
  // Pixels' worth of coverage relative to the strongest.
  double area() const { return maxAlpha > 0.0 ? sumAlpha / maxAlpha : 0.0; }
  std::array<float, 3> meanColor() const {
    if (sumAlpha2 <= 0.0) return {{0.0f, 0.0f, 0.0f}};
    return {{static_cast<float>(sumRed / sumAlpha2), static_cast<float>(sumGreen / sumAlpha2),
             static_cast<float>(sumBlue / sumAlpha2)}};
  }
};

// Draws one element at a time into one ARGB surface of the image size. Most elements of a
// large drawing cover a few pixels: only the rows and the box they painted are read, and
// only that box is cleared for the next one.
class ElementPainter {
public:
  ElementPainter(int width, int height, const RsvgRectangle& viewport)
      : width(width), height(height), viewport(viewport) {
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  }
  ~ElementPainter() { cairo_surface_destroy(surface); }
  ElementPainter(const ElementPainter&) = delete;
  ElementPainter& operator=(const ElementPainter&) = delete;

  bool isValid() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }

  // One element (@p id), or the whole document when @p id is empty.
  Coverage paint(RsvgHandle* handle, const std::string& id) {
    Coverage coverage;
    cairo_t* cr = cairo_create(surface);
    GError* error = nullptr;
    const std::string fragment = "#" + id;
    const bool drawn =
        id.empty() ? rsvg_handle_render_document(handle, cr, &viewport, &error)
                   : rsvg_handle_render_layer(handle, cr, fragment.c_str(), &viewport, &error);
    g_clear_error(&error);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const auto row = [&](int y) {
      return reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
    };
    // Premultiplied: a pixel without alpha is all zero.
    const std::size_t rowBytes = static_cast<std::size_t>(width) * sizeof(std::uint32_t);
    if (zeroRow.size() < rowBytes) zeroRow.assign(rowBytes, 0);
    coverage.x0 = width, coverage.y0 = height;
    for (int y = 0; y < height; ++y) {
      const std::uint32_t* r = row(y);
      if (std::memcmp(r, zeroRow.data(), rowBytes) == 0) continue;
      int first = 0, last = width - 1;
      while (r[first] == 0) ++first;
      while (r[last] == 0) --last;
      coverage.x0 = std::min(coverage.x0, first), coverage.x1 = std::max(coverage.x1, last);
      coverage.y0 = std::min(coverage.y0, y), coverage.y1 = y;
    }
    if (coverage.x1 < coverage.x0) {
      coverage.x0 = 0, coverage.y0 = 0, coverage.x1 = -1, coverage.y1 = -1;
      return coverage;
    }
    const int boxWidth = coverage.x1 - coverage.x0 + 1;
    if (drawn) coverage.pixels.reserve(static_cast<std::size_t>(boxWidth) * (coverage.y1 - coverage.y0 + 1));
    for (int y = coverage.y0; y <= coverage.y1; ++y) {
      std::uint32_t* r = row(y) + coverage.x0;
      if (drawn) {
        coverage.pixels.insert(coverage.pixels.end(), r, r + boxWidth);
        for (int x = 0; x < boxWidth; ++x) {
          const std::uint32_t p = r[x];
          if (p == 0) continue;
          const double a = p >> 24;
          coverage.maxAlpha = std::max(coverage.maxAlpha, a);
          coverage.sumAlpha += a;
          coverage.sumAlpha2 += a * a;
          coverage.sumRed += a * ((p >> 16) & 255);
          coverage.sumGreen += a * ((p >> 8) & 255);
          coverage.sumBlue += a * (p & 255);
        }
      }
      std::fill(r, r + boxWidth, 0u);
    }
    cairo_surface_mark_dirty(surface);
    // A failed rendering counts as painting nothing; what it left is cleared above.
    if (!drawn) coverage = Coverage();
    return coverage;
  }

private:
  int width, height;
  RsvgRectangle viewport;
  cairo_surface_t* surface = nullptr;
  std::vector<unsigned char> zeroRow;
};

// Length of the outline of a coverage image: the sum of its gradient's length (central
// differences, outside the image counting as uncovered), in pixels.
double outlineLength(const Coverage& c, int width, int height) {
  const auto at = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0.0;
    return c.relative(x, y);
  };
  double length = 0.0;
  for (int y = std::max(0, c.y0 - 1); y <= std::min(height - 1, c.y1 + 1); ++y) {
    for (int x = std::max(0, c.x0 - 1); x <= std::min(width - 1, c.x1 + 1); ++x) {
      const double gx = 0.5 * (at(x + 1, y) - at(x - 1, y));
      const double gy = 0.5 * (at(x, y + 1) - at(x, y - 1));
      length += std::sqrt(gx * gx + gy * gy);
    }
  }
  return length;
}

// Chamfer distance (pixels, 3-4 weights) from every pixel to the nearest marked one.
std::vector<float> distanceFrom(const std::vector<char>& marked, int width, int height) {
  constexpr float far = 1e9f;
  std::vector<float> d(marked.size(), far);
  for (std::size_t i = 0; i < marked.size(); ++i)
    if (marked[i]) d[i] = 0.0f;
  const auto relax = [&](int x, int y, int dx, int dy, float cost) {
    const int nx = x + dx, ny = y + dy;
    if (nx < 0 || ny < 0 || nx >= width || ny >= height) return;
    float& here = d[static_cast<std::size_t>(y) * width + x];
    here = std::min(here, d[static_cast<std::size_t>(ny) * width + nx] + cost);
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      relax(x, y, -1, 0, 1.0f), relax(x, y, 0, -1, 1.0f);
      relax(x, y, -1, -1, 4.0f / 3.0f), relax(x, y, 1, -1, 4.0f / 3.0f);
    }
  for (int y = height - 1; y >= 0; --y)
    for (int x = width - 1; x >= 0; --x) {
      relax(x, y, 1, 0, 1.0f), relax(x, y, 0, 1, 1.0f);
      relax(x, y, 1, 1, 4.0f / 3.0f), relax(x, y, -1, 1, 4.0f / 3.0f);
    }
  return d;
}

// A shape being made, held back until the next element has been seen (which may set its
// line colour and width).
struct Candidate {
  SvgElement element;
  double outline = 0.0;
};

// Whether a stroke retraces a shape's outline: nearly all of the stroke lies along the
// outline (within half its width and a pixel and a half) and nearly all of the outline is
// covered by the stroke.
bool retraces(const Candidate& shape, const Coverage& stroke, int width, int height) {
  const std::size_t n = static_cast<std::size_t>(width) * height;
  const vorn::Image<unsigned char>& mask = shape.element.mask;
  std::vector<char> border(n, 0), painted(n, 0);
  std::size_t borderCount = 0, paintedCount = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool in = mask(x, y, 0) > 127;
      const bool edge = (x + 1 < width && (mask(x + 1, y, 0) > 127) != in) ||
                        (y + 1 < height && (mask(x, y + 1, 0) > 127) != in) ||
                        (x > 0 && (mask(x - 1, y, 0) > 127) != in) ||
                        (y > 0 && (mask(x, y - 1, 0) > 127) != in);
      const std::size_t i = static_cast<std::size_t>(y) * width + x;
      border[i] = edge;
      borderCount += edge;
      painted[i] = stroke.relative(x, y) >= 0.5;
      paintedCount += painted[i];
    }
  }
  if (borderCount == 0 || paintedCount == 0 || shape.outline <= 0.0) return false;
  const double halfWidth = 0.5 * stroke.area() / shape.outline;
  const std::vector<float> toBorder = distanceFrom(border, width, height);
  const std::vector<float> toStroke = distanceFrom(painted, width, height);
  std::size_t along = 0, covered = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (painted[i] && toBorder[i] <= halfWidth + 1.5) ++along;
    if (border[i] && toStroke[i] <= 1.5) ++covered;
  }
  return along >= 0.9 * paintedCount && covered >= 0.9 * borderCount;
}

}  // namespace

int FullSvgReader::read(const SvgDocument& document, int canvasWidth, int canvasHeight,
                        const Receiver& receive) {
  summary = LoadSummary();
  imageWidth = std::max(1, canvasWidth);
  imageHeight = std::max(1, canvasHeight);
  std::size_t retraced = 0;
  const auto finish = [&]() {
    std::cout << "Num strokes:" << retraced << "," << summary.shapes << "\n";
    std::cout.flush();
    return static_cast<int>(summary.shapes);
  };
  xmlNode* root = document.isValid() ? xmlDocGetRootElement(document.doc) : nullptr;
  if (root == nullptr || !isSvgName(root, "svg")) {
    std::cout << "The document's root element is no svg element; nothing is drawn." << "\n";
    return finish();
  }
  const bool savedPage = hasCanvasAttribute(root);
  EntityExpander entities;
  Serialiser serialiser(root, entities);
  std::string viewBox;
  Handle fills = loadHandle(serialiser.write(viewBox, Pass::Fills));
  if (!fills) return finish();
  double docWidth = 0.0, docHeight = 0.0;
  if (!viewportSize(fills.get(), docWidth, docHeight)) {
    // Neither a size nor a viewBox: the extent of what is drawn takes their place.
    viewBox = inkViewBox(fills.get());
    if (viewBox.empty()) {
      std::cout << "The drawing has no size, no viewBox and paints nothing." << "\n";
      summary.paintNothing = serialiser.drawables.size();
      return finish();
    }
    fills = loadHandle(serialiser.write(viewBox, Pass::Fills));
    if (!fills || !viewportSize(fills.get(), docWidth, docHeight)) return finish();
  }
  // Both passes number the drawables alike.
  const std::vector<std::string> ids = serialiser.drawables;
  const std::vector<char> strokeCandidates = serialiser.strokeCandidates;
  Handle strokes = serialiser.hasStrokeCandidate()
                       ? loadHandle(serialiser.write(viewBox, Pass::Strokes))
                       : nullptr;

  // The canvas rule of the basic reader, with the viewport in place of width × height.
  const double aspect = docWidth / docHeight;
  double scale = 0.0;
  if (aspect > 1.0) {
    scale = canvasWidth / docWidth;
    imageWidth = std::max(1, canvasWidth);
    imageHeight = static_cast<int>(std::clamp(canvasWidth / aspect, 1.0, largestSize));
  } else {
    scale = canvasHeight / docHeight;
    imageHeight = std::max(1, canvasHeight);
    imageWidth = static_cast<int>(std::clamp(canvasHeight * aspect, 1.0, largestSize));
  }
  double offsetX = 0.0, offsetY = 0.0;
  const double m = savedPage ? 1.0 : placeInMargin(imageWidth, imageHeight, offsetX, offsetY);
  const RsvgRectangle viewport{offsetX, offsetY, docWidth * scale * m, docHeight * scale * m};
  std::cout << "Scale: " << scale << "," << scale << "\n";
  std::cout << "Size: " << imageWidth << "," << imageHeight << "\n";
  if (!isUsableSize(viewport.width, viewport.height)) {
    std::cout << "The drawing's viewport cannot be drawn at " << viewport.width << " x "
              << viewport.height << " pixels." << "\n";
    summary.paintNothing = ids.size();
    return finish();
  }
  ElementPainter painter(imageWidth, imageHeight, viewport);
  if (!painter.isValid()) {
    std::cout << "Cannot draw into " << imageWidth << " x " << imageHeight << " pixels." << "\n";
    return finish();
  }

  const Coverage allStrokes = strokes ? painter.paint(strokes.get(), std::string()) : Coverage();
  if (allStrokes.isEmpty()) strokes.reset();
  std::optional<Candidate> pending;
  bool pendingIsPrevious = false;
  const auto handOn = [&]() {
    if (pending && receive && receive(pending->element)) ++summary.shapes;
    pending.reset();
  };
  for (std::size_t k = 0; k < ids.size(); ++k) {
    if (ids.size() > progressStep && k > 0 && k % progressStep == 0) {
      std::cout << "Drew " << k << " of " << ids.size() << " elements." << "\n";
      std::cout.flush();
    }
    const bool previous = pendingIsPrevious;
    pendingIsPrevious = false;
    if (summary.shapes + (pending ? 1 : 0) >= outlineLimit) {
      ++summary.overBound;
      continue;
    }
    const Coverage fill = painter.paint(fills.get(), ids[k]);
    // A stroke is centred on the outline, so an element whose filled box holds no stroke
    // of the whole drawing has none.
    const bool mayHaveStroke =
        strokes && strokeCandidates[k] && (fill.isEmpty() || allStrokes.touches(fill.x0 - 1, fill.y0 - 1, fill.x1 + 1,
                                                          fill.y1 + 1));
    const Coverage stroke = mayHaveStroke ? painter.paint(strokes.get(), ids[k]) : Coverage();
    if (fill.isEmpty() && stroke.isEmpty()) {
      ++summary.paintNothing;
      continue;
    }
    // Less than a pixel's worth of paint is too small, whatever its opacity; more of it,
    // but nowhere a quarter covered, is faint.
    if (std::max(fill.sumAlpha, stroke.sumAlpha) < 255.0) {
      ++summary.belowPixel;
      continue;
    }
    const bool byFill = fill.strongest() >= faintCoverage;
    if (!byFill && stroke.strongest() < faintCoverage) {
      ++summary.faint;
      continue;
    }
    const Coverage& region = byFill ? fill : stroke;
    if (region.area() < 1.0) {
      ++summary.belowPixel;
      continue;
    }
    if (!byFill && pending && previous && retraces(*pending, stroke, imageWidth, imageHeight)) {
      pending->element.strokeColor = stroke.meanColor();
      pending->element.strokeWidth = stroke.area() / pending->outline;
      ++retraced;
      pendingIsPrevious = true;
      continue;
    }
    handOn();
    Candidate made;
    SvgElement& element = made.element;
    element.mask = vorn::Image<unsigned char>(imageWidth, imageHeight, 1);
    element.mask = 0;
    const auto strongest = static_cast<std::uint32_t>(region.maxAlpha);
    for (int y = region.y0; y <= region.y1; ++y) {
      for (int x = region.x0; x <= region.x1; ++x) {
        const std::uint32_t a = region.alpha(x, y);
        element.mask.data[static_cast<std::size_t>(y) * imageWidth + x] =
            static_cast<unsigned char>((255 * a + strongest / 2) / strongest);
      }
    }
    element.fillColor = region.meanColor();
    made.outline = outlineLength(region, imageWidth, imageHeight);
    if (byFill && !stroke.isEmpty() && made.outline > 0.0) {
      element.strokeColor = stroke.meanColor();
      element.strokeWidth = stroke.area() / made.outline;
    }
    pending = std::move(made);
    pendingIsPrevious = true;
  }
  handOn();
  if (summary.overBound > 0) {
    std::cout << "Only the first " << outlineLimit << " elements are read; "
              << summary.overBound << " more are left out." << "\n";
  }
  return finish();
}

std::string rendererVersion() {
  return std::to_string(rsvg_major_version) + "." + std::to_string(rsvg_minor_version) + "." +
         std::to_string(rsvg_micro_version);
}
