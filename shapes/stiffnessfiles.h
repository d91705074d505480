// glimshape — shapes
// Purpose: the directory, private to the running process, that holds the shapes' stiffness
// image files.
#ifndef GLIM_SHAPES_STIFFNESSFILES_H
#define GLIM_SHAPES_STIFFNESSFILES_H

#include <string>

/// @brief Where the shapes of this process keep their stiffness images.
///
/// The files are named "perlin-<index>-<width>x<height>.rfi" after the shape's index, which
/// is unique only within one process. Two programs started in the same working directory
/// (two windows, batch runs side by side) would otherwise write and re-read each other's
/// files under the same names, so every process writes into a directory of its own, made
/// with mkdtemp under the settings' `temporaryPath` on first need and removed, with what it
/// holds, when the process ends normally (exit or return from main).
///
/// When the temporary path setting changes, later files go into a new directory under the
/// new path; every directory made is removed at exit. A forked child that writes a
/// stiffness file makes a directory of its own too; only the process that made a directory
/// removes it.
namespace stiffnessfiles {

/// @brief The path of a shape's stiffness file inside this process's directory.
/// @param index the shape's serial number; @param width, height the image size (pixels).
/// @return the path, or an empty string when the directory could not be made (one line
///         on standard error says why, once per process; shapes then keep their stiffness
///         in memory only).
std::string pathFor(int index, int width, int height);

/// @brief The directory of this process, made on first need; empty when it cannot be made.
std::string directory();

/// @brief Deletes one file written by this process (a shape that is destroyed no longer
/// needs it). Paths outside this process's directory are left alone.
void remove(const std::string& path);

}  // namespace stiffnessfiles

#endif
