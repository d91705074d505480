// glimshape — app panels
// Purpose: reading and writing the four persistent settings keys, with stored sizes checked.
#include "app/panels/settings.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include <cstdio>

#include "settings/glimshapesettings.h"

namespace {

// A stored canvas side, or `current` (with a message) when the stored text is not a
// whole number of pixels within range. QVariant's own conversion would turn "abc" into 0
// and 12.5 into 12; going through the text refuses both.
int readSide(QSettings& store, const char* key, const char* shownKey, int current) {
  const QVariant stored = store.value(QString::fromLatin1(key), current);
  bool isNumber = false;
  const int value = stored.toString().toInt(&isNumber);
  if (isNumber && value >= 1 && value <= Settings::maxCanvasSide) return value;
  std::fprintf(stderr,
               "Settings: %s \"%s\" is not a canvas size (1 to %d pixels); keeping %d.\n",
               shownKey, stored.toString().toLocal8Bit().constData(), Settings::maxCanvasSide,
               current);
  return current;
}

}  // namespace

void Settings::transferFromQSettings() {
  QSettings store;
  transferFromQSettings(store);
}

void Settings::transferFromQSettings(QSettings& store) {
  GlimShapeSettings& s = GlimShapeSettings::instance();

  const QString path =
      store.value(QStringLiteral("temporaryPath"), QString::fromLocal8Bit(s.temporaryPath))
          .toString();
  if (path.isEmpty()) {
    std::fprintf(stderr, "Settings: temporaryPath is empty; keeping \"%s\".\n",
                 s.temporaryPath.c_str());
  } else {
    // Paths go to the file functions in the local 8-bit encoding, so names outside
    // ASCII survive.
    s.temporaryPath = path.toLocal8Bit().toStdString();
  }

  const QString reader =
      store.value(QStringLiteral("svgReader"), QString::fromStdString(s.svgReader)).toString();
  if (reader == QLatin1String("full") || reader == QLatin1String("basic")) {
    s.svgReader = reader.toStdString();
  } else {
    std::fprintf(stderr, "Settings: svgReader \"%s\" is neither full nor basic; keeping %s.\n",
                 reader.toLocal8Bit().constData(), s.svgReader.c_str());
  }

  store.beginGroup(QStringLiteral("simulation"));
  const int oldWidth = s.width;
  const int oldHeight = s.height;
  s.width = readSide(store, "width", "simulation/width", s.width);
  s.height = readSide(store, "height", "simulation/height", s.height);
  if (static_cast<long long>(s.width) * s.height > maxCanvasPixels) {
    std::fprintf(stderr,
                 "Settings: a canvas of %d x %d pixels is larger than %lld pixels; "
                 "keeping %d x %d.\n",
                 s.width, s.height, maxCanvasPixels, oldWidth, oldHeight);
    s.width = oldWidth;
    s.height = oldHeight;
  }
  std::printf("h:%d\n", s.height);
  std::fflush(stdout);
  s.levelSetType = store
                       .value(QStringLiteral("levelSetType"),
                              QString::fromStdString(s.levelSetType))
                       .toString()
                       .toStdString();
  store.endGroup();
}

bool Settings::transferToQSettings() {
  QSettings store;
  return transferToQSettings(store);
}

bool Settings::transferToQSettings(QSettings& store) {
  const GlimShapeSettings& s = GlimShapeSettings::instance();
  store.setValue(QStringLiteral("temporaryPath"), QString::fromLocal8Bit(s.temporaryPath));
  store.setValue(QStringLiteral("svgReader"), QString::fromStdString(s.svgReader));
  store.beginGroup(QStringLiteral("simulation"));
  store.setValue(QStringLiteral("width"), s.width);
  store.setValue(QStringLiteral("height"), s.height);
  store.setValue(QStringLiteral("levelSetType"), QString::fromStdString(s.levelSetType));
  store.endGroup();
  store.sync();
  if (store.status() == QSettings::NoError) return true;
  std::fprintf(stderr, "Settings: could not write the settings to %s.\n",
               store.fileName().toLocal8Bit().constData());
  return false;
}
