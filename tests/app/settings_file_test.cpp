#include "app/settings_file.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/capture_app.h"
#include "env_guard.h"
#include "test_files.h"

using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

namespace {

constexpr uint32_t kYellow = 0x00FFFF;

// The record a file without any of our keys gives.
AppSettings KeyDefaults() {
    AppSettings s;
    s.captureRate = 20;
    s.gifRate = 20;
    s.scalePercent = 100;
    return s;
}

class SettingsFileTest : public ::testing::Test {
protected:
    QString Path() const { return dir_.filePath("didoro.ini"); }
    AppSettings LoadFrom(const QByteArray& bytes) {
        EXPECT_TRUE(WriteWholeFile(Path(), bytes));
        AppSettings s;
        LoadSettingsFile(Path(), s);
        return s;
    }
    QTemporaryDir dir_;
};

} // namespace

TEST(ParseColorText, FollowsThePieceRules) {
    const struct {
        const char* text;
        uint32_t red, green, blue;
    } cases[] = {
        {"#FFFF00", 255, 255, 0},
        {"#0080ff", 0, 0x80, 0xFF},
        {"#12345", 0x12, 0x34, 0x45},
        {"#1234567", 0x12, 0x34, 0x67},
        {"FFFF00", 0xFF, 0xF0, 0},
        {"", 0, 0, 0},
        {"#", 0, 0, 0},
        {"#5", 5, 0, 5},
        {"#AB", 0xAB, 0, 0xAB},
        {"#1G2", 1, 2, 0},
        {"#GGHHII", 0, 0, 0},
        {"#  ff", 0, 0xFF, 0xFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseColorText(c.text), c.red + c.green * 256 + c.blue * 65536) << c.text;
    }
}

TEST(FormatColorText, WritesRedFirstUpperCase) {
    EXPECT_EQ(FormatColorText(kYellow), "#FFFF00");
    EXPECT_EQ(FormatColorText(0xFF8000), "#0080FF");
    EXPECT_EQ(FormatColorText(0), "#000000");
    for (const uint32_t c : {0x123456u, 0xABCDEFu, 0x010203u})
        EXPECT_EQ(ParseColorText(FormatColorText(c)), c);
}

TEST_F(SettingsFileTest, MissingFileGivesKeyDefaults) {
    AppSettings s;
    LoadSettingsFile(Path(), s);
    EXPECT_EQ(s, KeyDefaults());
    EXPECT_EQ(s.fontName, "Verdana");
    EXPECT_EQ(s.fontColor, kYellow);
    EXPECT_EQ(s.backStyle, 2);
    EXPECT_EQ(s.backColor, 0u);
}

TEST_F(SettingsFileTest, WritesAllThirteenKeysInOrder) {
    AppSettings s;
    s.showBlankNotice = false;
    ASSERT_TRUE(SaveSettingsFile(Path(), s));
    EXPECT_EQ(ReadWholeFile(Path()), QByteArray("[Param]\n"
                                                "Rate1=15\n"
                                                "Rate2=15\n"
                                                "Ratio=70\n"
                                                "File=1\n"
                                                "Notice=0\n"
                                                "TopWnd=1\n"
                                                "DEFAULT_FONTNAME=Verdana\n"
                                                "DEFAULT_FONTSIZE=14\n"
                                                "DEFAULT_FONTBOLD=1\n"
                                                "DEFAULT_FONTITALIC=0\n"
                                                "DEFAULT_FONTCOLOR=#FFFF00\n"
                                                "DEFAULT_FONT_BK_STYLE=2\n"
                                                "DEFAULT_FONT_BK_COLOR=#000000\n"));
}

TEST_F(SettingsFileTest, ReadsBackWhatItWrote) {
    AppSettings s;
    s.captureRate = 5;
    s.gifRate = 1;
    s.scalePercent = 30;
    s.highQuality = false;
    s.showBlankNotice = false;
    s.alwaysOnTop = false;
    s.fontName = "DejaVu Serif, Book";
    s.fontSize = 36;
    s.fontBold = false;
    s.fontItalic = true;
    s.fontColor = 0x0080FF;
    s.backStyle = 1;
    s.backColor = 0xABCDEF;
    ASSERT_TRUE(SaveSettingsFile(Path(), s));
    AppSettings back = KeyDefaults();
    LoadSettingsFile(Path(), back);
    EXPECT_EQ(back, s);
}

TEST_F(SettingsFileTest, AcceptsLowerCaseColoursAndShiftsWithoutHash) {
    const AppSettings s =
        LoadFrom("[Param]\nDEFAULT_FONTCOLOR=#0080ff\nDEFAULT_FONT_BK_COLOR=FFFF00\n");
    EXPECT_EQ(s.fontColor, 0xFF8000u);
    EXPECT_EQ(s.backColor, 0x00F0FFu);
}

TEST_F(SettingsFileTest, CorrectsValuesTheMenusCannotProduce) {
    const struct {
        const char* line;
        int32_t AppSettings::*field;
        int32_t expected;
    } cases[] = {
        {"Rate1=0", &AppSettings::captureRate, 1},
        {"Rate1=-5", &AppSettings::captureRate, 1},
        {"Rate1=1000", &AppSettings::captureRate, 100},
        {"Rate1=25", &AppSettings::captureRate, 25},
        {"Rate2=0", &AppSettings::gifRate, 1},
        {"Rate2=99999999999999999999", &AppSettings::gifRate, 100},
        {"Ratio=5", &AppSettings::scalePercent, 10},
        {"Ratio=0", &AppSettings::scalePercent, 10},
        {"Ratio=250", &AppSettings::scalePercent, 100},
        {"Ratio=55", &AppSettings::scalePercent, 55},
        {"DEFAULT_FONTSIZE=13", &AppSettings::fontSize, 12},
        {"DEFAULT_FONTSIZE=15", &AppSettings::fontSize, 14},
        {"DEFAULT_FONTSIZE=31", &AppSettings::fontSize, 28},
        {"DEFAULT_FONTSIZE=33", &AppSettings::fontSize, 36},
        {"DEFAULT_FONTSIZE=500", &AppSettings::fontSize, 72},
        {"DEFAULT_FONTSIZE=-3", &AppSettings::fontSize, 10},
        {"DEFAULT_FONTSIZE=48", &AppSettings::fontSize, 48},
        {"DEFAULT_FONT_BK_STYLE=7", &AppSettings::backStyle, 2},
        {"DEFAULT_FONT_BK_STYLE=-1", &AppSettings::backStyle, 0},
        {"DEFAULT_FONT_BK_STYLE=1", &AppSettings::backStyle, 1},
    };
    for (const auto& c : cases) {
        const AppSettings s = LoadFrom(QByteArray("[Param]\n") + c.line + "\n");
        EXPECT_EQ(s.*c.field, c.expected) << c.line;
    }
}

TEST_F(SettingsFileTest, KeepsDefaultFaceForNamesThatFitNoFont) {
    EXPECT_EQ(LoadFrom("[Param]\nDEFAULT_FONTNAME=\n").fontName, "Verdana");
    EXPECT_EQ(LoadFrom("[Param]\nDEFAULT_FONTNAME=" + QByteArray(32, 'x') + "\n").fontName,
              "Verdana");
    EXPECT_EQ(LoadFrom("[Param]\nDEFAULT_FONTNAME=" + QByteArray(31, 'x') + "\n").fontName,
              std::string(31, 'x'));
}

TEST_F(SettingsFileTest, BooleansAreAnyNonZeroNumber) {
    const AppSettings s =
        LoadFrom("[Param]\nFile=0\nNotice=-7\nTopWnd=abc\nDEFAULT_FONTITALIC=2\n");
    EXPECT_FALSE(s.highQuality);
    EXPECT_TRUE(s.showBlankNotice);
    EXPECT_FALSE(s.alwaysOnTop);
    EXPECT_TRUE(s.fontItalic);
}

TEST_F(SettingsFileTest, NoticeZeroIsWrittenBackAsZero) {
    AppSettings s = LoadFrom("[Param]\nNotice=0\n");
    ASSERT_TRUE(SaveSettingsFile(Path(), s));
    EXPECT_TRUE(ReadWholeFile(Path()).contains("\nNotice=0\n"));
}

TEST_F(SettingsFileTest, SaveKeepsOtherKeysSectionsAndComments) {
    const QByteArray before = "; written by hand\n"
                              "[Window]\nX=10\n\n"
                              "[Param]\nrate1 = 5\nMyOwnKey=hello\n\n"
                              "[Extra]\nRate1=3\n";
    AppSettings s = LoadFrom(before);
    EXPECT_EQ(s.captureRate, 5);
    s.captureRate = 10;
    ASSERT_TRUE(SaveSettingsFile(Path(), s));
    const QByteArray after = ReadWholeFile(Path());
    EXPECT_TRUE(after.startsWith("; written by hand\n[Window]\nX=10\n\n[Param]\nRate1=10\n"
                                 "MyOwnKey=hello\nRate2=20\n"))
        << after.constData();
    EXPECT_TRUE(after.endsWith("DEFAULT_FONT_BK_COLOR=#000000\n\n[Extra]\nRate1=3\n"))
        << after.constData();
    AppSettings back;
    LoadSettingsFile(Path(), back);
    EXPECT_EQ(back, s);
}

TEST_F(SettingsFileTest, GarbageFilesLoadAndSaveWithoutHarm) {
    QRandomGenerator random(42);
    for (int round = 0; round < 50; ++round) {
        QByteArray bytes(static_cast<int>(random.bounded(4096)), '\0');
        for (char& b : bytes)
            b = static_cast<char>(random.bounded(256));
        if (round % 2)
            bytes.prepend("[Param]\nRate1=");
        const AppSettings s = LoadFrom(bytes);
        EXPECT_GE(s.captureRate, 1);
        EXPECT_LE(s.scalePercent, 100);
        EXPECT_LE(s.fontName.size(), kMaxFontNameBytes);
        ASSERT_TRUE(SaveSettingsFile(Path(), s));
        AppSettings back;
        LoadSettingsFile(Path(), back);
        EXPECT_EQ(back, s) << "round " << round;
    }
}

TEST_F(SettingsFileTest, OddFontNamesReadTheSameAfterASave) {
    // A lone carriage return, enclosing quotes left after the outer pair, and
    // blanks kept inside quotes: each read the same before and after a save.
    for (const QByteArray& line :
         {QByteArray("DEFAULT_FONTNAME=\"Comic Sans\"\ram ]"),
          QByteArray("DEFAULT_FONTNAME=\"'x'\""), QByteArray("DEFAULT_FONTNAME=\" pad \"")}) {
        const AppSettings s = LoadFrom("[Param]\n" + line + "\n");
        ASSERT_TRUE(SaveSettingsFile(Path(), s));
        AppSettings back;
        LoadSettingsFile(Path(), back);
        EXPECT_EQ(back, s) << line.constData();
    }
}

TEST_F(SettingsFileTest, SavingTwiceGivesTheSameFile) {
    for (const QByteArray& before : {QByteArray("\r"), QByteArray("\r\r"), QByteArray("; a\r")}) {
        const AppSettings s = LoadFrom(before);
        ASSERT_TRUE(SaveSettingsFile(Path(), s));
        const QByteArray once = ReadWholeFile(Path());
        ASSERT_TRUE(SaveSettingsFile(Path(), s));
        EXPECT_EQ(ReadWholeFile(Path()), once);
        EXPECT_FALSE(once.contains("\r\n"));
    }
}

TEST_F(SettingsFileTest, OverlongValuesAreCutLikeTheProfileBuffers) {
    // A 300-character colour: only the first 255 characters count, so blue
    // comes from characters 253 and 254 of the value.
    QByteArray value = "#1122" + QByteArray(248, '0') + "AB" + QByteArray(45, 'C');
    const AppSettings s = LoadFrom("[Param]\nDEFAULT_FONTCOLOR=" + value + "\n");
    EXPECT_EQ(s.fontColor, 0x11u + 0x22u * 256 + 0xABu * 65536);
}

TEST_F(SettingsFileTest, HugeFileIsNeitherReadNorOverwritten) {
    QByteArray huge = "[Param]\nRate1=5\n" + QByteArray(kMaxSettingsFileBytes, 'x');
    const AppSettings s = LoadFrom(huge);
    EXPECT_EQ(s, KeyDefaults());
    EXPECT_FALSE(SaveSettingsFile(Path(), s));
    EXPECT_EQ(ReadWholeFile(Path()), huge);
}

TEST_F(SettingsFileTest, UnwritablePlacesFailQuietly) {
    AppSettings s;
    // A folder below a plain file, a folder that is a directory name, and a
    // kernel folder: none can hold the file, even for root.
    ASSERT_TRUE(WriteWholeFile(dir_.filePath("plain"), "x"));
    for (const QString& path : {dir_.filePath("plain/sub/didoro.ini"), dir_.path(),
                                QStringLiteral("/proc/self/didoro.ini")}) {
        EXPECT_FALSE(SaveSettingsFile(path, s)) << path.toStdString();
        AppSettings loaded = s;
        LoadSettingsFile(path, loaded);
        EXPECT_EQ(loaded, KeyDefaults()) << path.toStdString();
    }
}

TEST_F(SettingsFileTest, SaveCreatesTheFolder) {
    const QString path = dir_.filePath("a/b/didoro.ini");
    ASSERT_TRUE(SaveSettingsFile(path, AppSettings{}));
    EXPECT_TRUE(QFile::exists(path));
}

// --- The settings folder and the application object ----------------------------

TEST(SettingsFolder, FollowsAppDataThenXdgThenHome) {
    EnvGuard env;
    env.Set("APPDATA", "/a/appdata");
    env.Set("XDG_CONFIG_HOME", "/x/config");
    env.Set("HOME", "/h/home");
    EXPECT_EQ(SettingsFilePath(), QString("/a/appdata/didoro.ini"));
    env.Set("APPDATA", "");
    EXPECT_EQ(SettingsFilePath(), QString("/x/config/didoro.ini"));
    env.Unset("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFilePath(), QString("/h/home/.config/didoro.ini"));
    env.Unset("HOME");
    env.Unset("APPDATA");
    EXPECT_EQ(SettingsFilePath(), std::nullopt);
}

TEST(SettingsFolder, MustFitIn255Characters) {
    EnvGuard env;
    env.Set("APPDATA", "/" + QByteArray(254, 'a'));
    EXPECT_TRUE(SettingsFolder().has_value());
    env.Set("APPDATA", "/" + QByteArray(255, 'a'));
    EXPECT_EQ(SettingsFolder(), std::nullopt);
}

TEST(CaptureApp, FreshUserGetsKeyDefaultsAndAFileAtExit) {
    QTemporaryDir dir;
    EnvGuard env;
    env.Set("APPDATA", dir.path().toUtf8());
    CCaptureApp app;
    app.LoadSettings();
    EXPECT_EQ(app.Settings(), KeyDefaults());
    app.SaveSettings();
    const QByteArray file = ReadWholeFile(dir.filePath("didoro.ini"));
    EXPECT_EQ(file.count('='), 13);
    EXPECT_TRUE(file.contains("DEFAULT_FONTCOLOR=#FFFF00\n"));
}

TEST(CaptureApp, WithoutSettingsFolderKeepsConstructionValuesAndWritesNothing) {
    QTemporaryDir dir;
    EnvGuard env;
    env.Unset("APPDATA");
    env.Unset("XDG_CONFIG_HOME");
    env.Set("HOME", "/" + QByteArray(300, 'h'));
    CCaptureApp app;
    app.LoadSettings();
    EXPECT_EQ(app.Settings(), AppSettings{});
    EXPECT_EQ(app.Settings().captureRate, 15);
    EXPECT_EQ(app.Settings().scalePercent, 70);
    app.SaveSettings();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(CaptureApp, InstanceIsTheLivingApplicationObject) {
    EXPECT_EQ(CCaptureApp::Instance(), nullptr);
    {
        CCaptureApp app;
        EXPECT_EQ(CCaptureApp::Instance(), &app);
    }
    EXPECT_EQ(CCaptureApp::Instance(), nullptr);
}
