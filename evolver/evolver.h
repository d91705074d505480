// glimshape — evolver
// Purpose: ZazizEvozuEvolver, the drawing's shape list, the free-space mask and obstacle grid
// the shapes move against, the evolution worker thread and the whole-canvas operations.
#ifndef GLIM_EVOLVER_EVOLVER_H
#define GLIM_EVOLVER_EVOLVER_H

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "evolver/obstaclefield.h"
#include "lomvet/levelset2d.h"
#include "quarl/image.h"
#include "quarl/vec2.h"
#include "shapes/zazizevozubase.h"
#include "svg/path.h"
#include "svg/fullreader.h"
#include "svg/svgreader.h"

/// @brief The drawing as a list of evolving shapes, the canvas state they move against and
/// the one worker thread that evolves them.
///
/// Threads: the GUI thread (or a command-line program) calls every member; at most one
/// worker thread runs `moveShapes`. `mutex` serialises the worker's shape steps with
/// drawing, picking and the text form. The worker holds it for one shape step at a time and
/// then sleeps 100 µs, so a paint gets in between steps. Operations that replace or grow the
/// shape list stop the worker first.
///
/// @warning Never call `start`, `stop`, `resume`, `setShapes`, `reset`, `setPolygonFreeze`,
///          `drawGL`, `hit`, `getSimpleTextRepresentation`, the canvas operations
///          (`getCloseImage`, `moveExplicit`, `occupySpace`, `fillHoles`) or the canvas
///          commands while holding `mutex`: they take it (or wait for a worker that needs it)
///          themselves.
class ZazizEvozuEvolver {
 public:
  /// @brief What a canvas command leaves the worker doing.
  enum class WorkerAfter {
    Stopped,  ///< stopped, whatever it was doing before (glimshape-batch, Evolve unchecked)
    Resumed   ///< a run the command interrupted continues where it stood (see `resume`)
  };

  /// An empty drawing: no shapes, a 1 × 1 obstacle grid holding 0.0, an empty mask.
  ZazizEvozuEvolver();
  /// Stops and joins the worker, if any.
  ~ZazizEvozuEvolver();
  ZazizEvozuEvolver(const ZazizEvozuEvolver&) = delete;
  ZazizEvozuEvolver& operator=(const ZazizEvozuEvolver&) = delete;

  // --- Worker ---------------------------------------------------------------------------

  /// @brief Starts a fresh run of `iterations` passes on a new worker thread, from the
  /// first shape with the pass count at 0.
  ///
  /// A worker that is still running (or has finished but not been joined) is stopped and
  /// joined first, so a run in progress ends after its current shape step.
  void start();

  /// @brief Asks the worker to end after its current shape step and waits for it.
  ///
  /// The worker looks at the request before every shape step, so a stop waits for one
  /// step at most. A run that was still making passes is remembered as interrupted at the
  /// shape it would have moved next, for `resume`. Returns at once when no worker is held;
  /// calling it twice is harmless (the interrupted run stays remembered).
  void stop();

  /// @brief Continues the run the last `stop` interrupted, on a new worker thread: at the
  /// shape after the last one moved, in the same pass, with the pass count kept.
  ///
  /// Commands that stop the worker for their work and put it back call this, so that the
  /// run goes on rather than starting over. A run that had made all its passes when it was
  /// stopped is held again as it was: finished, `running` true, no thread.
  /// @return whether a worker was started; false, doing nothing else, when no interrupted
  ///         run is remembered: none was started, the run had made all its passes, a worker
  ///         runs, or the run was already resumed or replaced (`start`, `setShapes`, loading
  ///         a drawing).
  bool resume();

  /// @brief True from `start` until the next `stop`, also after the run has made its last
  /// pass by itself (see `isRunComplete`).
  bool running() const;

  /// @brief Passes the current run has finished (0 at `start`, `iterations` at its end).
  /// Readable from any thread without the mutex.
  int getPassCount() const;

  /// @brief True when the latest run made all its passes and its worker left by itself;
  /// false while a run is in progress, when it was stopped early and before the first
  /// `start`. Readable from any thread without the mutex.
  bool isRunComplete() const;

  /// @brief What the worker calls after each pass it finishes.
  /// @param pass passes of the current run finished so far (1 after the first).
  /// @param last whether this pass ends the run: its pass limit is reached or a `stop` asked
  ///        it to end.
  using PassHook = std::function<void(int pass, bool last)>;

  /// @brief Sets (or, with an empty function, removes) the hook the worker calls after each
  /// pass, e.g. to take a time-lapse frame.
  ///
  /// The hook runs on the worker thread, holding no lock of the evolver: it may take
  /// `mutex` to read the shapes (the GUI's painting then waits for it as for a shape step),
  /// but must not call `start`, `stop` or anything that waits for the worker. A hook that
  /// is replaced while the worker is calling it finishes that call; the new one is used from
  /// the next pass. Callable from any thread.
  void setPassHook(PassHook hook);

  /// @brief Thread entry: writes "Created thread." to standard error and runs `moveShapes`.
  /// @param evolver the ZazizEvozuEvolver to run.
  /// @return null.
  static void* s_moveShapes(void* evolver);

  /// @brief The worker loop: up to `iterations` passes; in each, every shape in list order
  /// moves its speed (truncated) steps against the free-space mask and the obstacle grid of
  /// all the others (`obstacleField`), under `mutex`, followed by a 100 µs sleep. A `stop`
  /// is noticed before every shape step. Begins where `start` (the first shape of pass 0) or
  /// `resume` put the run.
  void moveShapes();

  /// @brief One pass of the worker loop on the calling thread, without the sleeps: every
  /// shape in list order moves its steps against all the others, each step under `mutex`.
  /// For command-line programs, benchmarks and tests.
  /// @warning Do not call while a worker runs: both would move the shapes in turn.
  void evolvePass();

  /// @brief Rebuilds `mask` and `obstacleGrid` from every shape except one, over the whole
  /// canvas.
  ///
  /// The worker's steps read `obstacleField` instead, which gives the same free space and
  /// the same distances where the step needs them; this rebuild stays for loading, the
  /// canvas commands and as the reference the record is compared with.
  ///
  /// The canvas size is the first shape's. The mask becomes 1 everywhere and 0 inside the
  /// marked shapes; the grid starts at 1e10, takes the lowest of the marked shapes' values
  /// on their insides and on their stored cells just outside (below 1, see
  /// `ZazizEvozuBase::markInsidePixels`), so that its zero contour runs along their
  /// outlines, and is re-initialised to the signed distance of their union (negative
  /// inside). Prints
  /// "initting mask." while progress lines are on. Nothing happens without shapes.
  /// @param exclude index of the shape left out, -1 for none.
  /// @warning The caller holds `mutex` or knows that no worker runs.
  void updateMask(int exclude);

  /// @brief Announces that shapes changed outside a worker step (their level sets or the
  /// list), so that the next step rebuilds `obstacleField` from every shape.
  ///
  /// `reset`, `setShapes` (and so `loadSVG`), `start`, `fillHoles`, `occupySpace` and
  /// `moveExplicit` call it themselves; anything else that changes a shape's level set while
  /// the field may hold it must call it too. Callable from any thread.
  void invalidateObstacles();

  /// @brief Resets every shape in list order: initial level set restored, motion model,
  /// noise, stiffness and speed drawn anew, flags cleared. The mask is not rebuilt.
  ///
  /// Takes `mutex`, so it is safe while a worker runs (the shapes then continue from their
  /// reset state).
  void reset();

  /// @brief Sets every shape's polygons-frozen flag. Takes `mutex`, so it may be called
  /// while a worker runs and the view draws.
  ///
  /// Freezing keeps what is current: a shape not frozen yet has its polygons recomputed
  /// from its level set first (only drawing would do it otherwise, and nothing draws in
  /// glimshape-batch).
  void setPolygonFreeze(bool frozen);

  /// @brief Replaces the whole shape list. Stops the worker first (it is not restarted, and
  /// an interrupted run is forgotten) and swaps the list under `mutex`; the mask is not
  /// rebuilt (call `updateMask(-1)`).
  /// @param newShapes the shapes in document order; no entry may be null.
  void setShapes(std::vector<std::shared_ptr<ZazizEvozuBase>> newShapes);

  // --- Canvas commands --------------------------------------------------------------------
  // Each carries the whole sequence of one command of the window's tool bar; the window,
  // its batch dialog and glimshape-batch call these and nothing else.

  /// @brief Fill: stops the worker, then fills the holes three times, coarse to fine:
  /// regions of more than 30 pixels after shrinking by 2 (so that narrow gaps between
  /// shapes are not taken for holes), then more than 10 and more than 5 after shrinking
  /// by 1 (see `fillHoles`).
  /// @param after whether a run the stop interrupted continues afterwards.
  /// @return whether a run was resumed.
  bool fillCommand(WorkerAfter after);
  /// @brief Reset: stops the worker and resets every shape (`reset`).
  /// @param after whether a run the stop interrupted continues afterwards.
  /// @return whether a run was resumed.
  bool resetCommand(WorkerAfter after);
  /// @brief Closer: stops the worker, freezes the polygons as they are now
  /// (`setPolygonFreeze`) and pulls facing outlines together by two explicit steps
  /// (`moveExplicit`). The worker stays stopped.
  void closerCommand();
  /// @brief Occupy: stops the worker, freezes the polygons as they are now
  /// (`setPolygonFreeze`) and lets every shape take up the free space around it
  /// (`occupySpace`). The worker stays stopped.
  void occupyCommand();
  /// @brief Unfreeze: the polygons follow their level sets again. The worker is neither
  /// stopped nor started.
  void unfreezeCommand();

  // --- Output and picking ---------------------------------------------------------------

  /// @brief Draws every shape in list order into the current OpenGL context, holding
  /// `mutex`. Leaves blending on with (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA).
  void drawGL();

  /// @brief The index of the first shape in list order that holds the canvas pixel under
  /// world point (x, y) (`ZazizEvozuBase::isInside`: inside as the free-space mask counts
  /// it, so also deep inside a sparse shape, whose band does not store it), or -1.
  ///
  /// World -1 … 1 maps to pixels 0 … width (height), truncated; each tested pixel is
  /// printed as "%d %d" while progress lines are on. Holds `mutex`, since the worker may be
  /// moving the shapes.
  /// @param x, y world coordinates (the canvas spans -1 … 1 on both axes).
  int hit(double x, double y);

  /// @brief The text form of the drawing: "properties W H" and a line end, then each
  /// shape's own text and a line end; empty without shapes. Holds `mutex`.
  std::string getSimpleTextRepresentation();

  // --- SVG reading and writing ----------------------------------------------------------

  /// @brief Replaces the drawing by the shapes of an SVG file and rebuilds the mask.
  ///
  /// The file is parsed first; then the worker is stopped (not restarted) and the old
  /// shapes are released. The settings' `svgReader` chooses the reader: "basic" makes a
  /// shape of every filled path and polygon whose raster is valid (see `SvgReader::read`
  /// for the scale, the margin and the lines printed), anything else of every element a
  /// renderer paints (see `FullSvgReader::read`). Each becomes a shape through
  /// `ZazizEvozuBase::create`, then gets its fill colour, line colour and line width from
  /// the element. Prints the summary line (`getLoadSummary`). At most
  /// `maxDrawingShapes` shapes, and together at most `maxDrawingCells` canvas cells of the
  /// settings' canvas, are made; later outlines are left out with a line saying so.
  /// @return false, keeping the current shapes, when the file cannot be read or parsed as
  ///         XML ("Could not read SVG file <name>."); true once the shapes are replaced,
  ///         also when none was valid.
  /// @warning Do not call while holding `mutex`.
  bool loadSVG(const std::string& fileName);
  /// Most shapes `loadSVG` makes from one drawing.
  static constexpr long long maxDrawingShapes = 2000;
  /// Most canvas cells of all shapes `loadSVG` makes together (16 shapes on 4096 × 4096).
  static constexpr long long maxDrawingCells = 1LL << 28;
  /// Outlines of the last drawing loaded that were left out by those limits.
  std::size_t getOutlinesLeftOut() const { return loadSummary.overBound; }
  /// What the last load made of its drawing and what it left out.
  const LoadSummary& getLoadSummary() const { return loadSummary; }
  /// @brief An SVG colour as red, green, blue: "rgb(r%,g%,b%)" and "#" with hexadecimal
  /// digits; anything else is black (see the free function `parseColor`).
  static std::array<float, 3> parseColor(const std::string& text);
  /// @brief The path rasterised into a one-channel canvas mask (255 inside; see
  /// `rasterisePath`).
  /// @param width, height canvas size (pixels).
  static vorn::Image<unsigned char> getImageFromPath(const Path& path, int width, int height);
  /// @brief Writes every shape, in list order, with its `drawCairo` onto an SVG page twice
  /// the canvas size in points (the first shape's size, or the settings' canvas without
  /// shapes), one pixel being 2 points.
  ///
  /// Holds `mutex` while drawing, so a running worker pauses between steps. The file is
  /// replaced only when it was written completely, keeping its permissions and links (see
  /// `writeSvgFile`).
  /// @param error when not null, receives on failure the reason, such as "No space left on
  ///        device".
  /// @return false (with a line naming the file and the reason) when the file cannot be
  ///         written.
  /// @warning Do not call while holding `mutex`.
  bool saveSVG(const std::string& fileName, std::string* error = nullptr);

  // --- Canvas operations (run with no worker present) -----------------------------------

  /// @brief Canvas-size image, two channels: the indices of the shapes with the smallest and
  /// the second smallest level-set value at each pixel (ties to the earlier shape). Takes
  /// `mutex`.
  ///
  /// Only the cells a shape stores (`have`) take part: beyond its rectangle or off its band
  /// a shape reads a stand-in value (1.0 or 0.0) that says nothing about the distance. A
  /// channel that fewer shapes reached holds `noShape`.
  /// @return an empty image when there are no shapes.
  vorn::Image<unsigned int> getCloseImage();
  /// In the close image: no shape reached the pixel (or only one, in channel 1).
  static constexpr unsigned int noShape = 0xffffffffu;
  /// @brief Pulls facing outlines together by moving the shapes' polygon points.
  ///
  /// A vertex is on the border between its shape and shape j when its pixel names exactly
  /// those two in the close image; it pulls towards the nearest border vertex of j closer
  /// than 3 pixels. The pulls are smoothed along each loop (24 five-point averaging passes)
  /// and every vertex moves a quarter of its smoothed pull; prints "average move: %f".
  /// Level sets are not changed. Takes `mutex` after the close image.
  /// @warning Does nothing (prints nothing) without shapes. A vertex whose pixel lies off
  ///          the canvas, or whose coordinates are not finite, is on no border.
  void moveExplicit();
  /// @brief Smooths one shape's per-point offsets along its polygons.
  /// @param offsets per contour point (pixels), changed in place.
  /// @param weights per contour point, changed in place.
  void smoothOffsets(ZazizEvozuBase& shape, std::vector<vorn::Vec2<float>>& offsets,
                     std::vector<float>& weights);
  /// @brief Divides each offset by its weight where the weight is positive, then sets
  /// every weight to 1.0.
  static void normalizeOffsets(std::vector<vorn::Vec2<float>>& offsets,
                               std::vector<float>& weights);
  /// @brief Lets every shape, least stiff first, take up the free space around it.
  ///
  /// Each shape's inside is dilated by 3 pixels, smoothed by one curvature step, and the
  /// outline (closed along the canvas border) is cut against every other shape's current
  /// polygons; joined with the shape's own current polygons, it replaces the shape's points
  /// and polygons, its level set is kept. A shape thus never loses its own inside, even
  /// where a neighbour's outline reaches into it. Equal stiffness goes in list order, a
  /// stiffness that is not a number last. Takes `mutex`.
  /// @warning An outline the clipper refuses (bad indices, non-finite points) is not cut
  ///          against.
  void occupySpace();
  /// @brief Turns every free region larger than minSize pixels after shrinking into a new
  /// shape, appended to the list.
  ///
  /// Stops the worker, rebuilds the mask, then works under `mutex`. The two-pixel canvas
  /// frame never counts as free. New shapes get 0.8 × their stiffness and the style of the
  /// shape ⌊drand48() × 0.999 × N⌋ (N counting the new one).
  /// @param minSize regions of at most this many pixels (after shrinking) stay free.
  /// @param shrinkRadius shrinking radius (pixels), 0 for none.
  void fillHoles(int minSize, int shrinkRadius);
  /// @brief Labels the 4-connected regions of nonzero pixels of `free`.
  /// Regions are numbered from 1 in scan order (rows from the top, columns from the left).
  /// @param labels receives the label of every pixel (0 for taken pixels); an image of
  /// another size or channel count is replaced by one of the free image's size.
  /// @return the size (pixels) of each region, by label.
  static std::vector<int> findHoles(const vorn::Image<unsigned char>& free,
                                    vorn::Image<unsigned int>& labels);

  // --- Fields ---------------------------------------------------------------------------

  /// The drawing in document order (the order of evolution, drawing and output); no entry
  /// is null. Guarded by `mutex` while a worker may run.
  std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
  /// Signed distance to the union of all shapes except the one being moved.
  FullLevelSet2D obstacleGrid;
  /// Free-space mask, one channel: 1 where no (other) shape is, 0 where one is.
  vorn::Image<unsigned char> mask;
  /// Passes a worker run makes over the shape list.
  int iterations = 150;
  /// @brief The worker's record of all shapes but the one that moves: its mask and grid
  /// are what a step reads (see ObstacleField). Guarded by `mutex`.
  ObstacleField obstacleField;
  /// Guards the shapes' contents, `mask`, `obstacleGrid` and `obstacleField` during a step
  /// or a paint.
  std::mutex mutex;
  /// @brief Whether a step reads `obstacleField` (true) or rebuilds `mask` and
  /// `obstacleGrid` over the whole canvas first, as `updateMask` does. Off only to compare
  /// the two.
  bool useObstacleField = true;
  /// @brief Whether `updateMask` refills the mask and the grid in place when the canvas
  /// size is unchanged and nobody else holds the mask's pixels, instead of allocating
  /// both anew. The results are the same either way; off only to compare the two.
  bool reuseMaskBuffers = true;

 private:
  // Guards `worker`, so that start and stop may come from different threads. The worker
  // never takes it, so joining under it cannot deadlock.
  std::mutex workerMutex;
  std::thread worker;
  // The stop signal and the "handle held" state of running(): set before the worker is
  // created, cleared by stop() before it joins.
  std::atomic<bool> runFlag{false};
  std::atomic<int> passCount{0};
  std::atomic<bool> runComplete{false};
  // Guards `passHook` only; the worker copies the hook under it and calls the copy unlocked.
  std::mutex hookMutex;
  PassHook passHook;
  // Where the worker begins (start: the first shape of pass 0; resume: where a stop left the
  // run) and, when it left because of a stop, where the run stands. Written by start and
  // resume before the thread exists and by the worker before it ends; read after the join.
  int runPass = 0;
  std::size_t runShape = 0;
  bool runInterrupted = false;
  // The last stop found the run finished (all its passes made): resume holds it again.
  bool runFinishedAtStop = false;
  // The two readers, and what the last load made.
  SvgReader svgReader;
  FullSvgReader fullReader;
  LoadSummary loadSummary;

  // One shape step of a pass under `mutex`: the obstacles of all shapes but i brought up
  // to date, then its move. False (and nothing done) when i is beyond the list.
  bool stepShape(std::size_t i);
};

#endif
