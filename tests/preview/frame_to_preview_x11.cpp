// The whole program on a real X server: the user records an animation with
// the capture frame, builds the GIF, sees it play in the preview and copies it
// to the clipboard, all through input events. Screenshots of the frame and of
// the preview are kept in the build folder.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRect>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "test_files.h"

using testing_support::ReadWholeFile;
using testing_support::RunProgram;

namespace {

// Background colours of the numbered frames the X client plays.
const QList<QColor> kFrameColours = {QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(0, 0, 255),
                                     QColor(255, 255, 0), QColor(255, 0, 255), QColor(0, 255, 255)};

std::optional<int> ColourIndex(QColor c) {
    for (int i = 0; i < kFrameColours.size(); ++i) {
        const QColor& k = kFrameColours[i];
        if (std::abs(c.red() - k.red()) < 48 && std::abs(c.green() - k.green()) < 48 &&
            std::abs(c.blue() - k.blue()) < 48) {
            return i;
        }
    }
    return std::nullopt;
}

// Standard output of a tool that succeeded, byte for byte; empty otherwise.
QByteArray ToolOutput(const QString& program, const QStringList& args) {
    const auto r = RunProgram(program, args, 30000);
    return r.exitCode == 0 ? r.out : QByteArray();
}

QByteArray Tool(const QString& program, const QStringList& args) {
    return ToolOutput(program, args).trimmed();
}

// The first visible window whose name matches `pattern`, or empty.
QString FindWindow(const QString& pattern) {
    return QString::fromUtf8(Tool("xdotool", {"search", "--onlyvisible", "--name", pattern}))
        .split('\n', Qt::SkipEmptyParts)
        .value(0);
}

QString WaitForWindow(const QString& pattern, int timeoutMs) {
    QString id;
    (void)QTest::qWaitFor([&] { return !(id = FindWindow(pattern)).isEmpty(); }, timeoutMs);
    return id;
}

QRect WindowGeometry(const QString& id) {
    QRect r;
    for (const QByteArray& line :
         Tool("xdotool", {"getwindowgeometry", "--shell", id}).split('\n')) {
        const QList<QByteArray> kv = line.split('=');
        if (kv.size() != 2) {
            continue;
        }
        const int v = kv[1].toInt();
        if (kv[0] == "X") {
            r.moveLeft(v);
        } else if (kv[0] == "Y") {
            r.moveTop(v);
        } else if (kv[0] == "WIDTH") {
            r.setWidth(v);
        } else if (kv[0] == "HEIGHT") {
            r.setHeight(v);
        }
    }
    return r;
}

void Click(QPoint at) {
    Tool("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
}

int VisibleWindowsOf(qint64 pid) {
    return QString::fromUtf8(
               Tool("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)}))
        .split('\n', Qt::SkipEmptyParts)
        .size();
}

void Key(const QString& key) {
    Tool("xdotool", {"key", key});
}

QImage Screenshot(const QString& path) {
    Tool("import", {"-window", "root", path});
    return QImage(path);
}

class FrameToPreview : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("FRAMELOOP_TEST_DISPLAY");
        ASSERT_TRUE(display != nullptr && *display != '\0')
            << "FRAMELOOP_TEST_DISPLAY is not set: run the tests through scripts/test, which "
               "starts the test X server";
        qputenv("DISPLAY", display);
        for (const char* tool : {"xdotool", "xclip", "animate", "import", "convert"}) {
            ASSERT_TRUE(testing_support::HaveProgram(tool))
                << tool << " is required (scripts/deps.sh installs it)";
        }
        ASSERT_TRUE(dir_.isValid());
        artifacts_ = QString(FRAMELOOP_ARTIFACTS);
        QDir().mkpath(artifacts_);
        for (const char* sub : {"appdata", "tmp", "cache", "config", "runtime"}) {
            QDir(dir_.path()).mkpath(sub);
        }
        QFile::setPermissions(dir_.path() + "/runtime",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Ten frames a second for recording and GIF, full size.
        ASSERT_TRUE(testing_support::WriteWholeFile(
            dir_.path() + "/appdata/didoro.ini",
            "[Param]\nRate1=10\nRate2=10\nRatio=100\nFile=1\nTopWnd=1\n"));
    }

    void TearDown() override {
        for (QProcess* p : {&client_, &app_}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    void StartClient(QPoint at) {
        // The font is named: without -font ImageMagick asks for Ghostscript's
        // Helvetica, which a minimal Debian does not have.
        QStringList args;
        const char* names[] = {"red", "lime", "blue", "yellow", "magenta", "cyan"};
        for (int i = 0; i < 6; ++i) {
            args << "-size"
                 << "120x90" << QString("xc:%1").arg(names[i]) << "-gravity"
                 << "center"
                 << "-font"
                 << "DejaVu-Sans"
                 << "-pointsize"
                 << "48"
                 << "-fill"
                 << "black"
                 << "-annotate"
                 << "+0+0" << QString::number(i);
        }
        const QString gif = dir_.path() + "/numbers.gif";
        ASSERT_EQ(
            RunProgram("convert", QStringList{"-delay", "15"} + args + QStringList{gif}).exitCode,
            0);
        client_.start("animate", {"-geometry", QString("+%1+%2").arg(at.x()).arg(at.y()), gif});
        ASSERT_TRUE(client_.waitForStarted());
        ASSERT_FALSE(WaitForWindow("numbers", 20000).isEmpty()) << "animate did not show";
    }

    void StartApp() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("APPDATA", dir_.path() + "/appdata");
        env.insert("TMPDIR", dir_.path() + "/tmp");
        env.insert("XDG_CACHE_HOME", dir_.path() + "/cache");
        env.insert("XDG_CONFIG_HOME", dir_.path() + "/config");
        env.insert("XDG_RUNTIME_DIR", dir_.path() + "/runtime");
        env.insert("QT_QPA_PLATFORM", "xcb");
        app_.setProcessEnvironment(env);
        app_.setProcessChannelMode(QProcess::ForwardedChannels);
        app_.start(FRAMELOOP_APP, {});
        ASSERT_TRUE(app_.waitForStarted());
    }

    QStringList TempGifs() const {
        return QDir(dir_.path() + "/tmp").entryList({"*.gif"}, QDir::Files);
    }

    QTemporaryDir dir_;
    QString artifacts_;
    QProcess app_;
    QProcess client_;
};

TEST_F(FrameToPreview, RecordBuildPreviewAndCopy) {
    StartApp();
    const QString barId = WaitForWindow("^Frameloop$", 20000);
    ASSERT_FALSE(barId.isEmpty()) << "the top bar did not appear";
    QTest::qWait(500); // the frame's first layout runs from a posted event
    const QRect start = WindowGeometry(barId);
    ASSERT_EQ(start.size(), QSize(310, 66));

    // Drag the frame by the bar's body, then its bottom edge down: the bottom
    // bar's last row follows the mouse (capture height = y - bar bottom - 40).
    const QPoint grab = start.topLeft() + QPoint(150, 27);
    Tool("xdotool",
         {"mousemove", QString::number(grab.x()), QString::number(grab.y()), "mousedown", "1",
          "mousemove", QString::number(grab.x() - 60), QString::number(grab.y() - 40), "mousemove",
          QString::number(grab.x() - 100), QString::number(grab.y() - 80), "mouseup", "1"});
    const QRect bar = WindowGeometry(barId);
    ASSERT_EQ(bar, start.translated(-100, -80));
    const int bottomRow = bar.bottom() + 1 + 250 + 39;
    Tool("xdotool", {"mousemove", QString::number(bar.left() + 150), QString::number(bottomRow),
                     "mousedown", "1", "mousemove", QString::number(bar.left() + 150),
                     QString::number(bottomRow + 40), "mouseup", "1"});
    const QRect capture(bar.left() + 5, bar.bottom() + 1, 300, 250 + 39);

    StartClient(capture.topLeft() + QPoint(20, 20));
    const QPoint captureButton = bar.topLeft() + QPoint(5 + 32, 32 + 14);
    const QPoint gifButton = bar.topLeft() + QPoint(137 + 50, 32 + 14);

    Click(captureButton);
    QTest::qWait(2500); // let the animation run through the recording
    Screenshot(artifacts_ + "/frame_recording.png");
    Click(captureButton);
    QTest::qWait(500);
    Click(gifButton);

    const QString previewId = WaitForWindow("^Preview$", 90000);
    ASSERT_FALSE(previewId.isEmpty()) << "the preview did not appear";
    const QRect preview = WindowGeometry(previewId);
    EXPECT_EQ(preview.left(), bar.right() + 1); // beside the top bar
    EXPECT_EQ(preview.top(), bar.top());
    const QStringList gifs = TempGifs();
    ASSERT_EQ(gifs.size(), 1);
    const QString gifPath = dir_.path() + "/tmp/" + gifs.first();
    const QByteArray gifBytes = ReadWholeFile(gifPath);
    QFile::remove(artifacts_ + "/recorded.gif");
    QFile::copy(gifPath, artifacts_ + "/recorded.gif");

    // The GIF's frames show the client: several of its colours at the place
    // where it sat inside the capture rectangle, black elsewhere.
    QImageReader reader(gifPath);
    ASSERT_TRUE(reader.canRead());
    QSet<int> coloursInGif;
    int frames = 0;
    QImage frame;
    while (reader.read(&frame)) {
        ++frames;
        EXPECT_EQ(frame.size(), capture.size());
        if (const auto i = ColourIndex(frame.pixelColor(30, 30))) {
            coloursInGif.insert(*i);
        }
        EXPECT_EQ(frame.pixelColor(250, 200).lightness(), 0) << "frame " << frames;
    }
    EXPECT_GE(frames, 10);
    EXPECT_GE(coloursInGif.size(), 3);

    // The preview plays it: the same spot changes colour over time.
    const QPoint gifOrigin(preview.left() + (preview.width() - capture.width()) / 2,
                           preview.top() + (preview.height() - 60 - capture.height()) / 2);
    QSet<int> coloursShown;
    QImage shot;
    (void)QTest::qWaitFor(
        [&] {
            shot = Screenshot(dir_.path() + "/screen.png");
            if (const auto i = ColourIndex(shot.pixelColor(gifOrigin + QPoint(30, 30)))) {
                coloursShown.insert(*i);
            }
            return coloursShown.size() >= 2;
        },
        30000);
    EXPECT_GE(coloursShown.size(), 2) << "the preview does not play the GIF";
    shot.copy(preview).save(artifacts_ + "/preview.png");
    shot.save(artifacts_ + "/screen_with_preview.png");

    // "Save or Upload...", then "Copy to Clipboard" (second item) by keys,
    // once the menu is up. A busy machine may lose the keys: try again.
    QByteArray clip;
    for (int attempt = 0; attempt < 3 && clip != gifBytes; ++attempt) {
        const int windowsBefore = VisibleWindowsOf(app_.processId());
        Click(QPoint(preview.left() + 40, preview.bottom() - 14));
        (void)QTest::qWaitFor([&] { return VisibleWindowsOf(app_.processId()) > windowsBefore; },
                              5000);
        QTest::qWait(200);
        Key("Down");
        Key("Down");
        Key("Return");
        (void)QTest::qWaitFor(
            [&] {
                clip = ToolOutput("xclip", {"-selection", "clipboard", "-t", "image/gif", "-o"});
                return clip == gifBytes;
            },
            5000);
        if (clip != gifBytes) {
            Key("Escape"); // close a menu that is still open
        }
    }
    EXPECT_EQ(clip.size(), gifBytes.size());
    EXPECT_TRUE(clip == gifBytes) << "the clipboard's image/gif is not the GIF file";
    const QString uri =
        QString::fromUtf8(Tool("xclip", {"-selection", "clipboard", "-t", "text/uri-list", "-o"}));
    const QString copyPath = QUrl(uri.split('\n').value(0).trimmed()).toLocalFile();
    EXPECT_TRUE(copyPath.startsWith(dir_.path() + "/cache")) << copyPath.toStdString();
    EXPECT_EQ(ReadWholeFile(copyPath), gifBytes);

    // Closing deletes the temporary GIF; the clipboard's copy stays.
    Click(bar.topLeft() + QPoint(283 + 12, 10));
    EXPECT_TRUE(app_.waitForFinished(30000));
    EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(TempGifs().isEmpty());
    EXPECT_TRUE(QFile::exists(copyPath));
}

} // namespace
