// glimshape — levelset
// Purpose: the speed functions of shape motion, their binding, and the explicit update step.
#ifndef LEVELSET_SPEED_H
#define LEVELSET_SPEED_H

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <vector>

#include "levelset/cachedimage.h"
#include "levelset/fulllevelset.h"
#include "levelset/rectlevelset.h"
#include "levelset/sparselevelset2d.h"
#include "lomvet/levelset2d.h"
#include "quarl/image.h"

/// @brief A speed function bound to a shape's data: called with the moving level set and a
/// cell (x, y, canvas pixels), it returns the rate of change of the value there (pixels per
/// unit time) and stores the largest stable time step in its last argument.
using SpeedFunction = std::function<double(LevelSet2D* ls, int x, int y, double* step)>;

/// @brief A speed kernel: the five bound values (free-space mask, obstacle grid, initial
/// level set, stiffness image, stiffness) followed by the four call arguments.
template <class LevelSetT, class CachedImageT>
using SpeedKernel = double (*)(const vorn::Image<unsigned char>* mask,
                               const FullLevelSet2D* obstacles, const LevelSetT* initial,
                               const CachedImageT* stiffnessImage, double stiffness,
                               LevelSet2D* ls, int x, int y, double* step);

/// π, to the precision of a double.
constexpr double speedPi = 3.14159265358979323846;
/// Half-width (pixels) of the band in which the smooth step H changes.
constexpr double smoothStepHalfWidth = 3.0;
/// Time step reported by `move` (unit time per step).
constexpr double originalStep = 1.25;
/// Time step reported by `move_speed_based`.
constexpr double speedBasedStep = 0.25;

/// @brief The smooth step H(t): 1 for t ≤ −3, 0 for t ≥ 3, and
/// (1 − sin(π (t + 3) / 6 − π/2)) / 2 between: inside (1) to outside (0) across 6 pixels.
/// @param t a level-set value (pixels).
inline double smoothStep(double t) {
  if (t <= -smoothStepHalfWidth) return 1.0;
  if (t >= smoothStepHalfWidth) return 0.0;
  return (1.0 - std::sin(speedPi * (t + 3.0) / 6.0 - speedPi / 2.0)) / 2.0;
}

/// @brief H′(t), the derivative of `smoothStep`: 0 outside (−3, 3), otherwise
/// cos(π (t + 3) / 6 − π/2) × (−0.5) × π/6 (at most 0).
inline double smoothStepDerivative(double t) {
  if (t <= -smoothStepHalfWidth || t >= smoothStepHalfWidth) return 0.0;
  return std::cos(speedPi * (t + 3.0) / 6.0 - speedPi / 2.0) * (-0.5) * (speedPi / 6.0);
}

/// @brief φ0, the value of a shape's initial level set at canvas cell (x, y).
template <class LevelSetT>
double initialValue(const LevelSetT& initial, int x, int y) {
  return initial.get(x, y);
}

/// @brief φ0 of a sparse initial level set: off its band `get` reads 0.0, a value on the
/// outline, towards which the kernels would pull the moving outline wherever the initial
/// band does not reach, into the neighbours too (a stored cell relaxing towards 0 from
/// outside stays a hair outside, and the outline runs through the neighbour's pixels). The
/// band edge on the cell's own side stands in for the value there.
inline double initialValue(const SparseLevelSet2D& initial, int x, int y) {
  return initial.getOrBandEdge(x, y);
}

/// @brief The "original" speed function.
///
/// With φ the moving value, φ0 the initial one, d = φ − φ0, ψ the obstacle distance, k the
/// stiffness and s the stiffness sample (1.0 when negative or not a number), it returns
/// −2 k s d / √(d² + 0.5) + H′(φ) · 2 max(ψ, 1)^0.05 · (H(φ) − H(ψ)): a saturating pull
/// towards the initial shape, plus, within 3 pixels of the outline, a push outward where
/// this shape reaches deeper than the others and inward where they reach deeper.
/// The step is 1.25; a cell that ls does not store has speed 0. Where H′(φ) is 0 (|φ| ≥ 3)
/// the obstacle term is left out and ψ is not read.
/// @param mask the free-space mask; passed through, not read (may be null).
/// @param obstacles signed distance to all other shapes (negative inside them).
/// @param initial the shape's initial level set (canvas coordinates).
/// @param stiffnessImage the shape's stiffness image.
/// @param stiffness k, the shape's strength factor.
/// @param ls the level set being moved; (x, y) canvas pixels.
/// @param step receives the stable time step (may be null).
/// @warning obstacles, initial, stiffnessImage and ls must not be null (see bindSpeed).
template <class LevelSetT, class CachedImageT>
double move(const vorn::Image<unsigned char>* mask, const FullLevelSet2D* obstacles,
            const LevelSetT* initial, const CachedImageT* stiffnessImage, double stiffness,
            LevelSet2D* ls, int x, int y, double* step) {
  if (step) *step = originalStep;
  if (!ls->have(x, y)) return 0.0;
  const double phi = ls->get(x, y);
  double s = stiffnessImage->sample(x, y);
  if (!(s >= 0.0)) s = 1.0;
  const double d = phi - initialValue(*initial, x, y);
  const double pull = -2.0 * stiffness * s * d / std::sqrt(d * d + 0.5);
  // Farther than 3 pixels from the outline H′(φ) is 0 and the obstacle term adds nothing
  // (a zero at most), so ψ is neither read nor needed there: the evolver computes ψ only
  // where a step reads it.
  const double dhPhi = smoothStepDerivative(phi);
  if (dhPhi == 0.0) return pull;
  const double psi = obstacles->get(x, y);
  const double p = std::pow(std::max(psi, 1.0), 0.05);
  return pull + dhPhi * 2.0 * p * (smoothStep(phi) - smoothStep(psi));
}

/// @brief The "speed-based" speed function.
///
/// Outside the initial shape (φ0 ≥ 0) and outside every other shape (ψ > 0) the outline
/// advances at rate k + s: it returns −s − k. Elsewhere the value relaxes towards the
/// initial one: −0.2 d / √(d² + 0.5) with d = φ − φ0. The step is 0.25; a cell that ls does
/// not store has speed 0. Parameters as for `move`; of the obstacle grid only the side of the
/// stored value is read (FullLevelSet2D::get, not a derived grid's).
/// @warning A sample that is not a number counts as 1.0, so that it cannot spread into the
///          level set.
template <class LevelSetT, class CachedImageT>
double move_speed_based(const vorn::Image<unsigned char>* mask,
                        const FullLevelSet2D* obstacles, const LevelSetT* initial,
                        const CachedImageT* stiffnessImage, double stiffness, LevelSet2D* ls,
                        int x, int y, double* step) {
  if (step) *step = speedBasedStep;
  if (!ls->have(x, y)) return 0.0;
  const double phi = ls->get(x, y);
  const double phi0 = initialValue(*initial, x, y);
  const double d = phi - phi0;
  // Only the side of ψ matters here, so the grid's stored value is read rather than what a
  // derived grid's get may compute: the evolver's grid stores the side everywhere and
  // computes distances only where they are read.
  const double psi = obstacles->FullLevelSet2D::get(x, y);
  if (psi <= 0.0 || phi0 < 0.0) return -0.2 * d / std::sqrt(d * d + 0.5);
  double s = stiffnessImage->sample(x, y);
  if (std::isnan(s)) s = 1.0;
  return -s - stiffness;
}

/// @brief Binds a kernel to a shape's data for one step.
///
/// The function object keeps only the pointers and the stiffness: the obstacle grid, the
/// initial level set and the stiffness image must outlive it.
/// @throws std::invalid_argument if kernel, obstacles, initial or stiffnessImage is null.
template <class LevelSetT, class CachedImageT>
SpeedFunction bindSpeed(SpeedKernel<LevelSetT, CachedImageT> kernel,
                        const vorn::Image<unsigned char>* mask,
                        const FullLevelSet2D* obstacles, const LevelSetT* initial,
                        const CachedImageT* stiffnessImage, double stiffness) {
  if (!kernel || !obstacles || !initial || !stiffnessImage)
    throw std::invalid_argument(
        "bindSpeed: null kernel, obstacle grid, initial level set or stiffness image "
        "[hint: bind the shape's own data, which must outlive the step]");
  return [=](LevelSet2D* ls, int x, int y, double* step) {
    return kernel(mask, obstacles, initial, stiffnessImage, stiffness, ls, x, y, step);
  };
}

/// @brief One explicit update step of a dense grid (the dense shape kind).
///
/// Evaluates f at every cell (rows from 0, columns from 0) into the grid's update buffer,
/// takes the step Δ as the smallest step f reports (at most 1e11) and then adds Δ × speed
/// to every value, so the order of evaluation does not matter.
inline void updateStep(FullLevelSet2D& ls, const SpeedFunction& f) {
  const int w = ls.getWidth(), h = ls.getHeight();
  ls.updateBuffer.resize(ls.values.size());
  double delta = 1e11;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double out = 1e11;
      ls.updateBuffer[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * w] =
          f(&ls, x, y, &out);
      delta = std::min(delta, out);
    }
  for (std::size_t i = 0; i < ls.values.size(); ++i) ls.values[i] += delta * ls.updateBuffer[i];
}

/// @brief One explicit update step of a rectangle level set: as for the dense grid, over
/// the rectangle's cells, calling f with canvas coordinates.
inline void updateStep(RectLevelSet& ls, const SpeedFunction& f) {
  FullLevelSet2D& grid = ls.getGrid();
  const int w = grid.getWidth(), h = grid.getHeight();
  // The grid's own update buffer: the step runs several times per shape and pass, and a
  // fresh array each time would be an allocation per step.
  std::vector<double>& speeds = grid.updateBuffer;
  speeds.resize(grid.values.size());
  double delta = 1e11;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      double out = 1e11;
      speeds[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * w] =
          f(&ls, i + ls.getX0(), j + ls.getY0(), &out);
      delta = std::min(delta, out);
    }
  for (std::size_t i = 0; i < grid.values.size(); ++i) grid.values[i] += delta * speeds[i];
}

/// @brief One explicit update step of a sparse level set (`moveWithCurvature`).
inline void updateStep(SparseLevelSet2D& ls, const SpeedFunction& f) { ls.moveWithCurvature(f); }

#endif
