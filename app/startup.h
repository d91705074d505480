// glimshape — app
// Purpose: the preparation the program makes between creating the QApplication and
// building its first window.
#ifndef GLIM_APP_STARTUP_H
#define GLIM_APP_STARTUP_H

/// @brief Names the settings store (organisation "vorn", application "glimshape"), loads
/// the stored settings, creates the temporary directory (an existing one, or a failure, is
/// passed over) and makes the default OpenGL format ask for a stencil buffer and the
/// compatibility profile.
/// @warning Call it after the QApplication exists and before any window is built: a view
/// created earlier has no stencil bits, and the shapes' even-odd fill needs them.
void prepareApplication();

#endif
