// glimshape — app panels
// Purpose: Settings, the transfer of GlimShapeSettings to and from the platform settings store.
#ifndef GLIM_APP_PANELS_SETTINGS_H
#define GLIM_APP_PANELS_SETTINGS_H

class QSettings;

/// @brief Copies the persistent part of GlimShapeSettings::instance() to and from Qt's
/// settings store.
///
/// Five keys are kept: "temporaryPath" and "svgReader" ("full" or "basic") at top level,
/// and "width", "height" and "levelSetType" in the group "simulation". The distribution list is not persisted.
/// The store is the one QSettings() names for the application (organisation "vorn",
/// application "glimshape", set by the program entry).
class Settings {
 public:
  /// Longest canvas side (pixels) accepted from the store.
  static constexpr int maxCanvasSide = 4096;
  /// Largest canvas area (pixels) accepted from the store: 2048 × 2048. Every shape keeps
  /// level sets and a stiffness image of the canvas size, so larger canvases exhaust
  /// memory rather than give a usable drawing.
  static constexpr long long maxCanvasPixels = 2048LL * 2048LL;

  /// @brief Overlays the stored values on the settings, in the order temporaryPath,
  /// svgReader, width, height, level-set type; a missing key keeps the field's current
  /// value.
  ///
  /// Prints "h:" and the canvas height in effect, then a line feed, to standard output.
  /// Sizes are taken as stored when they lie between 1 and maxCanvasSide pixels (a width
  /// of 8 stays 8, although the options window cannot set it) and the area does not
  /// exceed maxCanvasPixels.
  /// @warning A size that is not a whole number, is below 1 or above maxCanvasSide, an
  /// area above maxCanvasPixels, an svgReader other than "full" or "basic", or an empty
  /// temporary path is refused with a line on
  /// standard error naming the key and the stored value; the field keeps its value (for
  /// a too large area both sides keep theirs).
  static void transferFromQSettings();
  /// @brief As above, from the given store.
  static void transferFromQSettings(QSettings& store);

  /// @brief Writes the five keys and flushes the store.
  /// @return whether the store was written; a failure also prints a line on standard
  ///         error naming the store's file.
  static bool transferToQSettings();
  /// @brief As above, into the given store.
  static bool transferToQSettings(QSettings& store);
};

#endif
