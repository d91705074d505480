// glimshape — app
// Purpose: the text of Help ▸ About: the program's version and the versions of the libraries
// it was built with and runs with.
#include <cairo.h>
#include <libxml/xmlversion.h>
#include <png.h>

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <QString>
#include <QtGlobal>

#include "app/mainwindow.h"
#include "svg/fullreader.h"

#ifndef GLIM_VERSION
#define GLIM_VERSION "unknown"
#endif

QString MainWindow::aboutText() {
  // Libraries that report themselves at run time do so; the others give the version of the
  // headers the program was built with.
  QString jpeg = QStringLiteral("%1").arg(JPEG_LIB_VERSION);
#ifdef LIBJPEG_TURBO_VERSION_NUMBER
  jpeg = QStringLiteral("%1 (libjpeg-turbo %2.%3.%4)")
             .arg(JPEG_LIB_VERSION)
             .arg(LIBJPEG_TURBO_VERSION_NUMBER / 1000000)
             .arg(LIBJPEG_TURBO_VERSION_NUMBER / 1000 % 1000)
             .arg(LIBJPEG_TURBO_VERSION_NUMBER % 1000);
#endif
  const QString rsvg = QString::fromStdString(rendererVersion());
  return tr("<h3>glimshape %1</h3>"
            "<p>Makes the shapes of an SVG drawing grow into each other until they fill the "
            "canvas.</p>"
            "<table cellspacing=\"0\" cellpadding=\"1\">"
            "<tr><td width=\"80\">Qt</td><td>%2</td></tr>"
            "<tr><td>cairo</td><td>%3</td></tr>"
            "<tr><td>librsvg</td><td>%4</td></tr>"
            "<tr><td>libxml2</td><td>%5</td></tr>"
            "<tr><td>libpng</td><td>%6</td></tr>"
            "<tr><td>libjpeg</td><td>%7</td></tr>"
            "</table>")
      .arg(QStringLiteral(GLIM_VERSION), QString::fromLatin1(qVersion()),
           QString::fromLatin1(cairo_version_string()), rsvg,
           QStringLiteral(LIBXML_DOTTED_VERSION), QString::fromLatin1(png_get_libpng_ver(nullptr)),
           jpeg);
}
