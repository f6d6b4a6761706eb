#pragma once
// Shared by the tests that need the X server scripts/test starts: the display
// to use, X clients shown at known places, and an independent screen grabber
// (ImageMagick's import).

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "image/cximage.h"
#include "image/frame_list.h"
#include "test_files.h"

namespace x11_testing {

// The display every X11 test uses, also exported as DISPLAY for the programs
// the test starts. Null (and a failed test) when scripts/test did not set it.
inline const char* RequireTestDisplay() {
    const char* display = std::getenv("FRAMELOOP_TEST_DISPLAY");
    if (!display || !*display) {
        ADD_FAILURE() << "FRAMELOOP_TEST_DISPLAY is not set. The X11 tests need an X server: "
                         "run them through scripts/test, or start `Xvfb :N -screen 0 "
                         "1920x1080x24` and export FRAMELOOP_TEST_DISPLAY=:N";
        return nullptr;
    }
    setenv("DISPLAY", display, 1);
    return display;
}

inline void RequireProgram(const char* program) {
    ASSERT_TRUE(testing_support::HaveProgram(QString::fromUtf8(program)))
        << program << " is missing; scripts/test installs it (ImageMagick)";
}

// The screen rectangle as ImageMagick's import sees it.
inline QImage ImportCrop(const CaptureRect& r) {
    const QString geometry =
        QStringLiteral("%1x%2+%3+%4").arg(r.Width()).arg(r.Height()).arg(r.left).arg(r.top);
    const auto result = testing_support::RunProgram(
        QStringLiteral("import"),
        {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"), geometry,
         QStringLiteral("+repage"), QStringLiteral("png:-")},
        30000);
    if (result.exitCode != 0)
        return {};
    return QImage::fromData(result.out, "PNG").convertToFormat(QImage::Format_RGB888);
}

// A frame (24-bit, rows bottom-up, B G R) as a top-down RGB image.
inline QImage ToQImage(const CxImage& frame) {
    QImage image(int(frame.Width()), int(frame.Height()), QImage::Format_RGB888);
    for (uint32_t y = 0; y < frame.Height(); ++y) {
        const uint8_t* s = frame.Row(frame.Height() - 1 - y);
        uchar* d = image.scanLine(int(y));
        for (uint32_t x = 0; x < frame.Width(); ++x) {
            d[3 * x] = s[3 * x + 2];
            d[3 * x + 1] = s[3 * x + 1];
            d[3 * x + 2] = s[3 * x];
        }
    }
    return image;
}

// Largest channel difference between two images of one size (-1: sizes differ).
inline int MaxDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i)
            worst = std::max(worst, std::abs(int(p[i]) - int(q[i])));
    }
    return worst;
}

inline int DistinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    }
    return int(colours.size());
}

// Numbered test picture: a background colour per number and `number + 1`
// white squares, so pictures differ clearly and have few colours.
inline QImage NumberedPicture(int number, QSize size) {
    static const QColor kBackgrounds[] = {QColor(200, 30, 30), QColor(30, 160, 40),
                                          QColor(40, 60, 210), QColor(220, 200, 20)};
    QImage image(size, QImage::Format_RGB888);
    image.fill(kBackgrounds[number % 4]);
    QPainter painter(&image);
    for (int i = 0; i <= number; ++i)
        painter.fillRect(10 + i * 30, 10, 20, 20, Qt::white);
    painter.fillRect(0, size.height() - 12, size.width(), 12, QColor(10, 10, 10));
    return image;
}

// An X client run for the length of a test, ended (by its own id) afterwards.
class Client {
public:
    Client(const QString& program, const QStringList& args) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, args);
        process_.waitForStarted(10000);
    }
    ~Client() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    bool Running() const { return process_.state() == QProcess::Running; }

private:
    QProcess process_;
};

// Waits until the screen rectangle shows something besides the black root.
inline bool WaitForContent(const CaptureRect& r, int timeoutMs = 15000) {
    return QTest::qWaitFor(
        [&] {
            const QImage shot = ImportCrop(r);
            return !shot.isNull() && DistinctColours(shot) > 1;
        },
        timeoutMs);
}

} // namespace x11_testing
