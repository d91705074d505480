// glimshape — tests
// Purpose: Settings, the transfer between GlimShapeSettings and a private settings store.
#include "app/panels/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <string>

#include "common/qt_application.h"
#include "settings/glimshapesettings.h"

namespace {

class SettingsStore : public testing::Test {
 protected:
  void SetUp() override { GlimShapeSettings::instance() = GlimShapeSettings(); }
  void TearDown() override { GlimShapeSettings::instance() = GlimShapeSettings(); }

  // Runs transferFromQSettings and returns what it printed on stdout.
  static std::string transferFrom() {
    testing::internal::CaptureStdout();
    Settings::transferFromQSettings();
    return testing::internal::GetCapturedStdout();
  }

  glimtest::PrivateSettingsStore store;
};

TEST_F(SettingsStore, EmptyStoreKeepsTheDefaults) {
  EXPECT_EQ(transferFrom(), "h:128\n");
  const GlimShapeSettings& s = GlimShapeSettings::instance();
  EXPECT_EQ(s.width, 128);
  EXPECT_EQ(s.height, 128);
  EXPECT_EQ(s.levelSetType, "RectLevelSet");
  EXPECT_EQ(s.temporaryPath, "./temp");
  ASSERT_EQ(s.distributions.size(), 2u);
  EXPECT_EQ(s.distributions[1].getDescription(), "perlin_hard,original,0.1");
  // Reading writes nothing.
  EXPECT_TRUE(QSettings().allKeys().isEmpty());
}

TEST_F(SettingsStore, StoredValuesOverlayTheDefaultsKeyByKey) {
  {
    QSettings q;
    q.setValue("simulation/width", 256);
  }
  EXPECT_EQ(transferFrom(), "h:128\n");
  EXPECT_EQ(GlimShapeSettings::instance().width, 256);
  EXPECT_EQ(GlimShapeSettings::instance().height, 128);

  {
    QSettings q;
    q.setValue("temporaryPath", QString::fromUtf8("/tmp/gl\xc3\xa4ttung"));
    q.setValue("simulation/height", 100);
    q.setValue("simulation/levelSetType", "SparseLevelSet");
  }
  EXPECT_EQ(transferFrom(), "h:100\n");
  const GlimShapeSettings& s = GlimShapeSettings::instance();
  EXPECT_EQ(s.width, 256);
  EXPECT_EQ(s.height, 100);  // heights need not be multiples of 16
  EXPECT_EQ(s.levelSetType, "SparseLevelSet");
  EXPECT_EQ(QString::fromLocal8Bit(s.temporaryPath),
            QString::fromUtf8("/tmp/gl\xc3\xa4ttung"));
}

TEST_F(SettingsStore, StoringWritesExactlyTheFiveKeysAndReadsBack) {
  GlimShapeSettings& s = GlimShapeSettings::instance();
  s.svgReader = "basic";
  s.width = 8;  // below what the options window offers, kept as it is
  s.height = 300;
  s.levelSetType = "FullLevelSet";
  s.temporaryPath = "/var/tmp/glim";
  s.distributions.clear();
  EXPECT_TRUE(Settings::transferToQSettings());

  QSettings q;
  QStringList keys = q.allKeys();
  keys.sort();
  EXPECT_EQ(keys, QStringList({"simulation/height", "simulation/levelSetType",
                               "simulation/width", "svgReader", "temporaryPath"}));
  EXPECT_EQ(q.childGroups(), QStringList({"simulation"}));
  EXPECT_EQ(q.childKeys(), QStringList({"svgReader", "temporaryPath"}));
  EXPECT_TRUE(QFile::exists(q.fileName())) << q.fileName().toStdString();
  EXPECT_TRUE(q.fileName().startsWith(store.userPath()));

  // A new run: the defaults, then the store. The distributions come back as the defaults.
  s = GlimShapeSettings();
  EXPECT_EQ(transferFrom(), "h:300\n");
  EXPECT_EQ(s.width, 8);
  EXPECT_EQ(s.height, 300);
  EXPECT_EQ(s.levelSetType, "FullLevelSet");
  EXPECT_EQ(s.temporaryPath, "/var/tmp/glim");
  EXPECT_EQ(s.svgReader, "basic");
  EXPECT_EQ(s.distributions.size(), 2u);
  // A reader of another name is refused with a line; the setting keeps its value.
  q.setValue("svgReader", "fast");
  q.sync();
  testing::internal::CaptureStderr();
  transferFrom();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("svgReader \"fast\""), std::string::npos);
  EXPECT_EQ(s.svgReader, "basic");
}

TEST_F(SettingsStore, NonsenseSizesAreRefusedWithAMessage) {
  struct Case {
    QVariant width, height;
    int expectedWidth, expectedHeight;
    const char* message;  // expected on stderr; nullptr: nothing printed
  };
  const Case cases[] = {
      {0, 0, 128, 128, "simulation/width \"0\""},
      {-5, 7, 128, 7, "simulation/width \"-5\""},
      {64, -1, 64, 128, "simulation/height \"-1\""},
      {"abc", 100, 128, 100, "simulation/width \"abc\""},
      {12.5, 100, 128, 100, "simulation/width \"12.5\""},
      {4097, 16, 128, 16, "simulation/width \"4097\""},
      {4096, 4096, 128, 128, "4096 x 4096"},
      {4096, 1025, 128, 128, "4096 x 1025"},
      // Large but sane: up to 2048 × 2048 pixels, sides up to 4096.
      {4096, 1024, 4096, 1024, nullptr},
      {2048, 2048, 2048, 2048, nullptr},
      {1, 1, 1, 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width.toString().toStdString() + " x " + c.height.toString().toStdString());
    GlimShapeSettings::instance() = GlimShapeSettings();
    {
      QSettings q;
      q.setValue("simulation/width", c.width);
      q.setValue("simulation/height", c.height);
    }
    testing::internal::CaptureStderr();
    const std::string out = transferFrom();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(GlimShapeSettings::instance().width, c.expectedWidth);
    EXPECT_EQ(GlimShapeSettings::instance().height, c.expectedHeight);
    EXPECT_EQ(out, "h:" + std::to_string(c.expectedHeight) + "\n");
    if (c.message)
      EXPECT_NE(err.find(c.message), std::string::npos) << err;
    else
      EXPECT_EQ(err, "");
  }
}

TEST_F(SettingsStore, EmptyTemporaryPathIsRefused) {
  QSettings().setValue("temporaryPath", "");
  testing::internal::CaptureStderr();
  transferFrom();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(GlimShapeSettings::instance().temporaryPath, "./temp");
  EXPECT_NE(err.find("temporaryPath"), std::string::npos) << err;
}

TEST_F(SettingsStore, UnwritableStoreIsReported) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A file where the store's directory should be: no one, not even root, can write it.
  const QString blocker = dir.filePath("blocker");
  {
    QFile f(blocker);
    ASSERT_TRUE(f.open(QFile::WriteOnly));
  }
  QSettings q(blocker + "/sub/glimshape.conf", QSettings::IniFormat);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Settings::transferToQSettings(q));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("blocker/sub/glimshape.conf"), std::string::npos) << err;
}

}  // namespace
