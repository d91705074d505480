// glimshape — app
// Purpose: the preparation the program makes between creating the QApplication and
// building its first window, and the settings it stores when the window closes.
#ifndef GLIM_APP_STARTUP_H
#define GLIM_APP_STARTUP_H

/// @brief Names the settings store (organisation "vorn", application "glimshape"), loads
/// the stored settings, chooses the temporary directory and makes the default OpenGL format
/// ask for a stencil buffer and the compatibility profile.
///
/// The temporary directory is the one the user stored, created when missing (an existing
/// one, or a failure, is passed over); when none is stored it is the platform's temporary
/// location (QStandardPaths::TempLocation), so nothing is created in the working directory.
/// Earlier versions stored their default "./temp" by themselves on every close; that value
/// counts as none stored.
/// @warning Call it after the QApplication exists and before any window is built: a view
/// created earlier has no stencil bits, and the shapes' even-odd fill needs them.
void prepareApplication();

/// @brief Stores the settings (Settings::transferToQSettings); a temporary directory the
/// user did not choose is not stored, so that a later start uses the platform's location
/// of that time.
/// @return whether the store was written.
bool storeSettings();

#endif
