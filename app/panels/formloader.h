// glimshape — app panels
// Purpose: loadForm, which builds a panel's widgets from a Qt Designer form in the resources.
#ifndef GLIM_APP_PANELS_FORMLOADER_H
#define GLIM_APP_PANELS_FORMLOADER_H

#include <QString>

class QWidget;

/// @brief Builds the widget tree of a Qt Designer form at run time.
///
/// The forms of the option panels and of the batch dialog live in the program's
/// resources under ":forms/" ("GlimShapeOptions.ui", "GlimShapeEvolutionOptions.ui",
/// "CurrentShapeOptions.ui", "MultipleEvolutions.ui"); their widgets are found afterwards
/// by object name.
/// @param resourcePath the form, e.g. ":forms/GlimShapeOptions.ui".
/// @param parent the widget that becomes the loaded form's parent.
/// @return the form's root widget, owned by `parent`; nullptr, with a line on standard
///         error naming the form, when it cannot be opened or read.
QWidget* loadForm(const QString& resourcePath, QWidget* parent);

/// @brief Loads a form into a window: the form fills `host` through a layout with 5-pixel
/// margins, follows it when the user resizes it, and the window starts at the form's size
/// plus 10 pixels each way.
/// @return the form's root widget, owned by `host`; nullptr as for loadForm (the window
///         then stays empty).
QWidget* embedForm(const QString& resourcePath, QWidget* host);

#endif
