// glimshape — svg
// Purpose: one outline as a list of drawing nodes, its path-data parser and its flattening.
#ifndef GLIM_SVG_PATH_H
#define GLIM_SVG_PATH_H

#include "quarl/vec2.h"
#include "svg/path_sink.h"
#include "svg/polygon.h"

#include <string>
#include <vector>

typedef struct _cairo cairo_t;

/// @brief Parses SVG path data and writes its commands, in absolute coordinates, to @p sink.
///
/// Understood: M m (extra pairs become lines), L l (one pair; further numbers in the same
/// command are ignored), H h and V v (single precision), C c (repeated groups of six), A
/// (absolute only: radius rx and end point; ry, rotation and both flags are read and
/// dropped), Z z. Every other letter prints "Unknown mode: <code> '<letter>'" on standard
/// output and is skipped; 'e' and 'E' belong to numbers. The current point starts at
/// (0, 0) and returns to the subpath's start after Z or z. A number with a negative
/// exponent such as 1e-5 stays one number.
/// @warning Parsing never fails. A number that cannot be read (malformed or outside the
///          range of its type) leaves its field at 0 and ends the repetition of M, m, C
///          and c; the command being read is still made. A command whose coordinates come out infinite or
///          NaN (for example relative steps adding up past the double range) is reported
///          on standard output and dropped, and the current point stays where it was.
void parsePathData(const std::string& data, PathSink& sink);

/// @brief One outline from a drawing: a flat list of drawing nodes in document order.
class Path {
public:
  /// @brief One drawing node; a plain record copied by value.
  ///
  /// The start point of a node is not stored: it is the end of the node before it, and
  /// after a `ClosePath` the point of the last `MoveTo`.
  struct Node {
    /// Node kinds; stored in `type`.
    enum Type : int {
      MoveTo,    ///< `points`[0]: the new current point
      LineTo,    ///< `points`[0]: the end point
      CurveTo,   ///< `points`[0], `points`[1]: cubic control points; `points`[2]: the end
      Arc,       ///< `points`[1]: the end as written; `radius`, `startAngle`, `endAngle`
      ClosePath  ///< no fields
    };

    int type = MoveTo;
    vorn::Vec2<double> points[3];
    double radius = 0.0;      ///< arc nodes only
    double startAngle = 0.0;  ///< arc nodes only
    double endAngle = 0.0;    ///< arc nodes only

    /// @brief The point of this node at parameter @p t.
    /// @param start the end point of the previous node
    /// @param t curve parameter in [0, 1]
    ///
    /// A line runs straight from start to `points`[0]; a curve is the cubic Bézier from
    /// start over `points`[0] and `points`[1] to `points`[2]; an arc is a half circle of
    /// `radius` whose diameter lies on the horizontal through start, running left (down
    /// first) when start.x > `points`[1].x and right (up first) otherwise. A move gives
    /// start, a close (0, 0).
    /// @throws std::out_of_range when @p t is outside [0, 1] or NaN.
    vorn::Vec2<double> evaluate(const vorn::Vec2<double>& start, double t) const;

    /// @brief Parameters at which the piece [@p t0, @p t1] is cut into flat pieces.
    /// @param start the end point of the previous node
    /// @param ts cleared, then filled in increasing order
    /// @param tolerance flatness in the units of the points: a piece is halved while its
    ///        midpoint, or any of its points at eighths of its parameter range, lies at
    ///        least this far from the chord segment (for a curve, this far less how much
    ///        the curve can bend between those samples). Values of 0 or below, and NaN,
    ///        are taken as `minTolerance`.
    /// @param t0, t1 the piece, 0 <= t0 <= t1 <= 1
    /// @param addStart, addEnd whether t0 and t1 themselves are reported
    ///
    /// The whole node [0, 1] is always split at least once, so a straight line yields
    /// 0.5 and 1 (with addStart false and addEnd true). Each inner cut occurs once.
    /// Every point of a line or curve piece then lies within the tolerance of its chord;
    /// an arc piece may stray slightly further between its sampled points.
    /// @warning Pieces narrower than 2^-`maxSplitDepth` are never split, so one node
    ///          yields at most 2^`maxSplitDepth` parameters whatever its coordinates;
    ///          only curves far larger than the tolerance (over about 10^9 times) meet
    ///          this limit, and their pieces may then exceed the tolerance.
    void recursiveSplit(const vorn::Vec2<double>& start, std::vector<double>& ts,
                        double tolerance, double t0, double t1, bool addStart,
                        bool addEnd) const;

    /// @brief Adds this node to the current path of @p cr.
    /// @param cr the cairo context, in the units of the points
    /// @param last the last point drawn, (0, 0) before the first node; updated
    ///
    /// A move, line or curve goes to its end point, which becomes @p last. An arc is
    /// `cairo_arc` around (last.x - `radius`, last.y) with `startAngle` and `endAngle`
    /// taken as radians (so 0 to 360 winds the full circle many times); it lies to the
    /// left of @p last whichever side the written end point is on, and leaves @p last
    /// unchanged. A close ends the subpath and sets @p last to its start, as flattening
    /// does.
    /// @warning A node with a coordinate or radius that is not finite adds nothing.
    void apply(cairo_t* cr, vorn::Vec2<double>& last) const;

  private:
    double curveMargin(const vorn::Vec2<double>& start, double t0, double t1) const;
    void appendSplit(const vorn::Vec2<double>& start, std::vector<double>& ts,
                     double tolerance, double t0, double t1, bool addStart,
                     bool addEnd) const;
  };

  /// Smallest flatness tolerance used; lower requests are raised to it.
  static constexpr double minTolerance = 1e-6;
  /// Deepest halving of one node during flattening.
  static constexpr int maxSplitDepth = 16;
  /// Most points one polygon may get; a path needing more flattens to nothing.
  static constexpr int maxPolygonPoints = 1 << 20;

  /// @brief An empty path.
  Path() = default;
  /// @brief Parses SVG path data (see `parsePathData`); empty or letter-free text gives
  ///        an empty path.
  explicit Path(const std::string& data);

  /// @brief Flattens the path into closed loops.
  /// @param tolerance flatness in the units of the points (the reader uses 0.2 pixels);
  ///        0 or below is taken as `minTolerance`
  ///
  /// Each loop starts with the point where its first drawing node begins, then lists
  /// the points at the split parameters of every node. A close ends the loop (also an
  /// empty one) and moves the current point back to the last move; a move inside an
  /// unclosed loop continues that loop without adding the moved-to point. Prints
  /// "Returning contour: <points>, <loops>." on standard output.
  /// @warning A node whose points come out infinite or NaN is reported and left out.
  ///          A path that would need more than `maxPolygonPoints` points is reported
  ///          and gives an empty polygon.
  Polygon getPolygon(double tolerance) const;

  /// @brief Adds every node, in order, to the current path of @p cr (see `Node::apply`),
  ///        starting with the last point at (0, 0). The caller fills or strokes.
  void apply(cairo_t* cr) const;

  /// @brief Replays the nodes, in order, as commands into @p sink.
  void feed(PathSink& sink) const;

  /// The nodes in document order; the document reader scales them in place.
  std::vector<Node> nodes;
};

/// @brief A sink that appends every command it receives to a `Path` as one node.
class PathBuilder : public PathSink {
public:
  /// @param path receives the nodes; it must outlive the builder
  explicit PathBuilder(Path& path) : path(path) {}

  void moveTo(const vorn::Vec2<double>& p) override;
  void lineTo(const vorn::Vec2<double>& p) override;
  void curveTo(const vorn::Vec2<double>& c1, const vorn::Vec2<double>& c2,
               const vorn::Vec2<double>& p) override;
  void arc(const vorn::Vec2<double>& end, double radius, double startAngle,
           double endAngle) override;
  void closePath() override;

private:
  Path& path;
};

#endif
