// glimshape — evolver
// Purpose: pictures of the drawing: the shapes painted as the saved SVG draws them into a
// PNG at a whole-number scale of the canvas, for exported pictures and time-lapse frames.
#ifndef GLIM_EVOLVER_PICTURE_H
#define GLIM_EVOLVER_PICTURE_H

#include <string>

class ZazizEvozuEvolver;

/// Largest scale of a picture (picture pixels per canvas pixel).
constexpr int maxPictureScale = 16;
/// Longest side of a picture (pixels).
constexpr int maxPictureSide = 16384;

/// @brief The largest scale from 1 to `maxPictureScale` at which a canvas of the given size
/// stays within `maxPictureSide` pixels a side.
/// @return 0 when even scale 1 does not fit, or the size is not positive.
int largestPictureScale(int canvasWidth, int canvasHeight);

/// @brief Paints the evolver's shapes as the saved SVG draws them (each shape's `drawCairo`,
/// in list order, anti-aliased) on white, `scale` picture pixels per canvas pixel, and
/// encodes the picture as PNG.
///
/// The canvas is the first shape's; a drawing without shapes gives a white picture of the
/// settings' canvas. Holds the evolver's `mutex` while it paints (not while it encodes), so
/// it may run while the worker evolves; callable from any thread that holds no lock of the
/// evolver.
/// @param png receives the PNG file's bytes.
/// @param error receives the reason on failure.
/// @return false when the scale is outside 1 … `largestPictureScale` of the canvas or cairo
///         fails (for instance, no memory for the picture).
bool renderPicture(ZazizEvozuEvolver& evolver, int scale, std::string& png, std::string& error);

/// @brief `renderPicture` written to a file.
///
/// A failed write never leaves half a picture: an existing file is replaced as
/// `replaceFileContents` does, a new one is made by `createFileWithContents`.
/// @param replace whether an existing file of that name is replaced; without it, an existing
///        file is kept and the write fails ("the file exists already").
/// @param error receives a line naming the file and the reason.
bool writePicture(ZazizEvozuEvolver& evolver, int scale, const std::string& fileName,
                  bool replace, std::string& error);

#endif
