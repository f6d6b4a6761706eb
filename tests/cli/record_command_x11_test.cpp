// frameloop-cli record: records real X clients (ImageMagick's animate and
// display) on the test display, and the frames of the GIF it writes must be
// what ImageMagick's import saw on the screen meanwhile.

#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "x11_fixture.h"

using namespace x11_testing;
using testing_support::RunProgram;

namespace {

const QString kCli = QStringLiteral(FRAMELOOP_CLI);

struct RecordResult {
    int exitCode = -1;
    QString out;
    QString err;
    std::vector<QImage> screenShots; // distinct pictures import saw meanwhile
};

std::vector<QImage> DecodeGif(const QString& path) {
    std::vector<QImage> frames;
    QImageReader reader(path, "gif");
    QImage frame;
    while (reader.read(&frame))
        frames.push_back(frame.convertToFormat(QImage::Format_RGB888));
    return frames;
}

void AddIfNew(std::vector<QImage>& shots, const QImage& shot) {
    if (shot.isNull())
        return;
    for (const QImage& known : shots) {
        if (MaxDifference(known, shot) == 0)
            return;
    }
    shots.push_back(shot);
}

// Runs `record` and takes screenshots of the rectangle with import until it ends.
RecordResult RecordWhileWatching(const CaptureRect& rect, const QStringList& args,
                                 const QProcessEnvironment& env) {
    RecordResult result;
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.start(kCli, QStringList{QStringLiteral("record")} + args);
    if (!cli.waitForStarted(10000))
        return result;
    while (!cli.waitForFinished(1))
        AddIfNew(result.screenShots, ImportCrop(rect));
    result.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    result.out = QString::fromUtf8(cli.readAllStandardOutput());
    result.err = QString::fromUtf8(cli.readAllStandardError());
    return result;
}

QString RectArg(const CaptureRect& r) {
    return QStringLiteral("%1,%2,%3,%4").arg(r.left).arg(r.top).arg(r.Width()).arg(r.Height());
}

class RecordCommandX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(RequireTestDisplay(), nullptr);
        RequireProgram("animate");
        RequireProgram("display");
        RequireProgram("import");
        RequireProgram("convert");
        ASSERT_TRUE(dir_.isValid());
    }

    // A GIF of numbered pictures, half a second each, shown by animate.
    std::unique_ptr<Client> Animate(QSize size, int x, int y) {
        QStringList args{QStringLiteral("-delay"), QStringLiteral("50")};
        for (int n = 0; n < 3; ++n) {
            const QString png = dir_.filePath(QStringLiteral("n%1.png").arg(n));
            EXPECT_TRUE(NumberedPicture(n, size).save(png));
            args << png;
        }
        const QString gif = dir_.filePath(QStringLiteral("numbers.gif"));
        args << QStringLiteral("-loop") << QStringLiteral("0") << gif;
        EXPECT_EQ(RunProgram(QStringLiteral("convert"), args).exitCode, 0);
        auto client = std::make_unique<Client>(
            QStringLiteral("animate"),
            QStringList{QStringLiteral("-geometry"), QStringLiteral("+%1+%2").arg(x).arg(y), gif});
        EXPECT_TRUE(WaitForContent(CaptureRect{x, y, x + size.width(), y + size.height()}))
            << "animate did not show its animation";
        return client;
    }

    // Checks the printed lines and that every frame of the GIF is one of the
    // pictures import saw. Returns the decoded frames.
    std::vector<QImage> CheckRecording(RecordResult& r, const CaptureRect& rect,
                                       const QString& gif) {
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QRegularExpression recorded(QStringLiteral("^(\\d+) frames recorded$"),
                                          QRegularExpression::MultilineOption);
        const QRegularExpression summary(
            QStringLiteral("^(\\d+) frames, (\\d+)\\*(\\d+), (\\d+\\.\\d\\d) KB$"),
            QRegularExpression::MultilineOption);
        const auto recordedMatch = recorded.match(r.out);
        const auto summaryMatch = summary.match(r.out);
        EXPECT_TRUE(recordedMatch.hasMatch()) << r.out.toStdString();
        EXPECT_TRUE(summaryMatch.hasMatch()) << r.out.toStdString();
        if (!recordedMatch.hasMatch() || !summaryMatch.hasMatch())
            return {};
        // Every recorded frame is kept, so all of them are prepared.
        EXPECT_GE(recordedMatch.captured(1).toInt(), 1);
        EXPECT_EQ(summaryMatch.captured(1), recordedMatch.captured(1));
        EXPECT_EQ(summaryMatch.captured(2).toInt(), rect.Width());
        EXPECT_EQ(summaryMatch.captured(3).toInt(), rect.Height());
        EXPECT_EQ(summaryMatch.captured(4),
                  QString::number(double(QFileInfo(gif).size()) / 1024.0, 'f', 2));

        const std::vector<QImage> frames = DecodeGif(gif);
        EXPECT_GE(frames.size(), 1u);
        // One palette for few colours: the GIF keeps them (nearly) exact.
        auto matchesAShot = [&](const QImage& frame) {
            return std::any_of(r.screenShots.begin(), r.screenShots.end(), [&](const QImage& shot) {
                const int d = MaxDifference(frame, shot);
                return d >= 0 && d <= 6;
            });
        };
        // The client keeps showing the same pictures over and over, so a
        // picture import missed during the recording (a slow machine) comes
        // round again.
        (void)QTest::qWaitFor(
            [&] {
                if (std::all_of(frames.begin(), frames.end(), matchesAShot))
                    return true;
                AddIfNew(r.screenShots, ImportCrop(rect));
                return false;
            },
            20000);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].size(), QSize(rect.Width(), rect.Height()));
            EXPECT_TRUE(matchesAShot(frames[i]))
                << "GIF frame " << i << " matches nothing import saw";
        }
        return frames;
    }

    QTemporaryDir dir_;
};

TEST_F(RecordCommandX11, RecordsWhatAnAnimatingClientShows) {
    const auto client = Animate(QSize(180, 100), 400, 300);
    const CaptureRect rect{390, 290, 600, 410};
    const QString gif = dir_.filePath(QStringLiteral("recorded.gif"));
    RecordResult r =
        RecordWhileWatching(rect,
                            {QStringLiteral("--rect"), RectArg(rect), QStringLiteral("--seconds"),
                             QStringLiteral("2.5"), QStringLiteral("--fps"), QStringLiteral("10"),
                             QStringLiteral("--quality"), QStringLiteral("medium"), gif},
                            QProcessEnvironment::systemEnvironment());
    const std::vector<QImage> frames = CheckRecording(r, rect, gif);
    // The animation changed picture during the recording, and the GIF shows it.
    std::vector<QImage> distinct;
    for (const QImage& f : frames)
        AddIfNew(distinct, f);
    EXPECT_GE(distinct.size(), 2u);
}

TEST_F(RecordCommandX11, RecordsThroughGetImageWhenShmIsOff) {
    const QString png = dir_.filePath(QStringLiteral("still.png"));
    ASSERT_TRUE(NumberedPicture(2, QSize(150, 90)).save(png));
    const Client client(QStringLiteral("display"),
                        {QStringLiteral("-geometry"), QStringLiteral("+1000+150"), png});
    const CaptureRect rect{990, 140, 1170, 260};
    ASSERT_TRUE(WaitForContent(rect));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FRAMELOOP_NO_SHM"), QStringLiteral("1"));
    const QString gif = dir_.filePath(QStringLiteral("still.gif"));
    RecordResult r = RecordWhileWatching(rect,
                                         {QStringLiteral("--rect"), RectArg(rect),
                                          QStringLiteral("--seconds"), QStringLiteral("0.5"),
                                          QStringLiteral("--fps"), QStringLiteral("10"), gif},
                                         env);
    CheckRecording(r, rect, gif);
}

TEST_F(RecordCommandX11, ScaleShrinksTheGif) {
    const QString gif = dir_.filePath(QStringLiteral("half.gif"));
    const auto r = RunProgram(kCli, {QStringLiteral("record"), QStringLiteral("--rect"),
                                     QStringLiteral("0,0,400,300"), QStringLiteral("--seconds"),
                                     QStringLiteral("0.3"), QStringLiteral("--scale"),
                                     QStringLiteral("70"), gif});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(r.out).contains(QStringLiteral(" frames, 279*209, ")))
        << r.out.toStdString();
    EXPECT_EQ(QImageReader(gif, "gif").size(), QSize(279, 209));
}

TEST(RecordCommand, WithoutADisplaySaysSoAndFails) {
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    cli.setProcessEnvironment(env);
    QTemporaryDir dir;
    cli.start(kCli, {QStringLiteral("record"), QStringLiteral("--rect"),
                     QStringLiteral("0,0,10,10"), QStringLiteral("--seconds"), QStringLiteral("1"),
                     dir.filePath(QStringLiteral("x.gif"))});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(cli.readAllStandardError().contains("cannot open the X display"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("x.gif"))));
}

TEST(RecordCommand, HelpPrintsTheUsage) {
    const auto r = RunProgram(kCli, {QStringLiteral("record"), QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("record --rect X,Y,W,H --seconds S")) << r.out.toStdString();
}

TEST(RecordCommand, BadUsageGivesStatusTwoAndTheUsage) {
    const QStringList badArguments[] = {
        {},
        {QStringLiteral("out.gif")},
        {QStringLiteral("--seconds"), QStringLiteral("1"), QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,10,10"), QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,10"), QStringLiteral("--seconds"),
         QStringLiteral("1"), QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,0,10"), QStringLiteral("--seconds"),
         QStringLiteral("1"), QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("a,0,10,10"), QStringLiteral("--seconds"),
         QStringLiteral("1"), QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("2147483600,0,100,10"),
         QStringLiteral("--seconds"), QStringLiteral("1"), QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,10,10"), QStringLiteral("--seconds"),
         QStringLiteral("0"), QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,10,10"), QStringLiteral("--seconds"),
         QStringLiteral("nan"), QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,10,10"), QStringLiteral("--seconds"),
         QStringLiteral("1"), QStringLiteral("--fps"), QStringLiteral("0"),
         QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,10,10"), QStringLiteral("--seconds"),
         QStringLiteral("1"), QStringLiteral("--scale"), QStringLiteral("101"),
         QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,10,10"), QStringLiteral("--seconds"),
         QStringLiteral("1"), QStringLiteral("--quality"), QStringLiteral("low"),
         QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,10,10"), QStringLiteral("--seconds"),
         QStringLiteral("1"), QStringLiteral("--colour"), QStringLiteral("out.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,10,10"), QStringLiteral("--seconds"),
         QStringLiteral("1"), QStringLiteral("a.gif"), QStringLiteral("b.gif")},
        {QStringLiteral("--rect"), QStringLiteral("0,0,10,10"), QStringLiteral("--seconds")},
    };
    for (const QStringList& args : badArguments) {
        const auto r = RunProgram(kCli, QStringList{QStringLiteral("record")} + args);
        EXPECT_EQ(r.exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.contains("record --rect")) << args.join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(RecordCommandX11, UnwritableOutputFailsWithoutRecording) {
    const auto r = RunProgram(kCli, {QStringLiteral("record"), QStringLiteral("--rect"),
                                     QStringLiteral("0,0,10,10"), QStringLiteral("--seconds"),
                                     QStringLiteral("1"),
                                     dir_.filePath(QStringLiteral("missing/dir/out.gif"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("cannot write")) << r.err.toStdString();
}

TEST_F(RecordCommandX11, MemoryLimitEndsTheRecordingEarlyAndKeepsItsFrames) {
    // 1 MiB holds two 400 x 300 frames (360,040 bytes each), not three.
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FRAMELOOP_MAX_MEMORY_MB"), QStringLiteral("1"));
    cli.setProcessEnvironment(env);
    const QString gif = dir_.filePath(QStringLiteral("limited.gif"));
    cli.start(kCli,
              {QStringLiteral("record"), QStringLiteral("--rect"), QStringLiteral("0,0,400,300"),
               QStringLiteral("--seconds"), QStringLiteral("30"), gif});
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("2 frames recorded"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("2 frames, 400*300, "))) << out.toStdString();
    EXPECT_TRUE(cli.readAllStandardError().contains("memory limit"));
    EXPECT_EQ(QImageReader(gif, "gif").size(), QSize(400, 300));
}

} // namespace

namespace {

// An X server of the test's own, on the first free display number from 150,
// so the test can end it without touching the shared test display.
class OwnXServer {
public:
    OwnXServer() {
        for (int number = 150; number < 200; ++number) {
            if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
                QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
                continue;
            server_.start(QStringLiteral("Xvfb"),
                          {QStringLiteral(":%1").arg(number), "-screen", "0", "320x240x24",
                           "-nolisten", "tcp", "-noreset"});
            if (!server_.waitForStarted(5000))
                return;
            for (int wait = 0; wait < 100; ++wait) {
                if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))) {
                    display_ = QStringLiteral(":%1").arg(number);
                    return;
                }
                QThread::msleep(50);
            }
            return;
        }
    }
    ~OwnXServer() { Kill(); }
    const QString& Display() const { return display_; }
    void Kill() {
        if (server_.state() != QProcess::NotRunning) {
            server_.kill();
            server_.waitForFinished(5000);
        }
    }

private:
    QProcess server_;
    QString display_;
};

// The X server ending mid-recording: record stops there, writes the GIF of
// the frames so far, says what happened and fails, instead of waiting out its
// time on failing grabs and reporting success.
TEST(RecordCommandDisplayLoss, TheFramesSoFarAreWrittenAndTheFailureIsReported) {
    RequireProgram("Xvfb");
    OwnXServer server;
    ASSERT_FALSE(server.Display().isEmpty()) << "no private X server came up";
    QTemporaryDir dir;
    const QString gif = dir.filePath("lost.gif");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", server.Display());
    QProcess cli;
    cli.setProcessEnvironment(env);
    // Twenty seconds at 10 frames a second would be 200 frames.
    cli.start(kCli, {"record", "--rect", "0,0,64,48", "--seconds", "20", "--fps", "10", gif});
    ASSERT_TRUE(cli.waitForStarted(10000));
    QThread::msleep(1500); // some frames first
    server.Kill();
    ASSERT_TRUE(cli.waitForFinished(15000)) << "record went on after its display was gone";
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 1) << out.toStdString() << err.toStdString();
    EXPECT_TRUE(err.contains("went away")) << err.toStdString();
    const QRegularExpressionMatch recorded =
        QRegularExpression(QStringLiteral("(\\d+) frames recorded")).match(out);
    ASSERT_TRUE(recorded.hasMatch()) << out.toStdString();
    const int frames = recorded.captured(1).toInt();
    EXPECT_GE(frames, 1);
    EXPECT_LT(frames, 150);
    // The frames so far are in the GIF, readable by another decoder.
    QImageReader reader(gif, "gif");
    EXPECT_EQ(reader.size(), QSize(64, 48));
    EXPECT_GE(reader.imageCount(), 1);
}

} // namespace
