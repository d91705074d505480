// glimshape — settings
// Purpose: loadForm, which builds a panel's widgets from a Qt Designer form in the resources.
#ifndef GLIM_SETTINGS_FORMLOADER_H
#define GLIM_SETTINGS_FORMLOADER_H

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

#endif
