// The eyedropper's pixel reader against the test X server: ImageMagick's
// display shows pictures at known places, and ImageMagick's import is the
// independent reading of the same screen.

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "platform/xcb_pixel_reader.h"
#include "x11_fixture.h"

using namespace x11_testing;

namespace {

uint32_t ColorRef(QRgb rgb) {
    return uint32_t(qRed(rgb)) | uint32_t(qGreen(rgb)) << 8 | uint32_t(qBlue(rgb)) << 16;
}

// Waits until import sees the inside of `picture` near `at`: display paints
// a grey window before its picture, and may draw the picture a few pixels in
// from where its window is.
bool WaitForPicture(const QImage& picture, QPoint at) {
    const int slack = 4;
    const CaptureRect around{at.x(), at.y(), at.x() + picture.width() + slack,
                             at.y() + picture.height() + slack};
    const QImage inside =
        picture.copy(slack, slack, picture.width() - 2 * slack, picture.height() - 2 * slack);
    return QTest::qWaitFor(
        [&] {
            const QImage shot = ImportCrop(around);
            for (int dy = 0; !shot.isNull() && dy <= 2 * slack; ++dy) {
                for (int dx = 0; dx <= 2 * slack; ++dx) {
                    const QRect place(QPoint(dx, dy), inside.size());
                    if (MaxDifference(shot.copy(place), inside) == 0)
                        return true;
                }
            }
            return false;
        },
        15000);
}

class XcbPixelReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = RequireTestDisplay();
        ASSERT_NE(display_, nullptr);
        RequireProgram("display");
        RequireProgram("import");
        ASSERT_TRUE(dir_.isValid());
    }

    std::unique_ptr<Client> Show(const QImage& picture, QPoint at) {
        const QString path = dir_.filePath(QStringLiteral("picture-%1.png").arg(shown_++));
        EXPECT_TRUE(picture.save(path));
        auto client = std::make_unique<Client>(
            QStringLiteral("display"),
            QStringList{QStringLiteral("-geometry"),
                        QStringLiteral("+%1+%2").arg(at.x()).arg(at.y()), path});
        EXPECT_TRUE(WaitForPicture(picture, at)) << "display did not show its picture";
        return client;
    }

    const char* display_ = nullptr;
    QTemporaryDir dir_;
    int shown_ = 0;
};

TEST_F(XcbPixelReaderTest, ReadsTheColourOfAnotherClientsWindowRedInTheLowByte) {
    QImage solid(120, 80, QImage::Format_RGB888);
    solid.fill(QColor(200, 30, 90));
    const auto client = Show(solid, {500, 300});
    XcbPixelReader reader(display_);
    ASSERT_TRUE(reader.Usable());
    for (const QPoint p : {QPoint(505, 305), QPoint(560, 340), QPoint(614, 374)}) {
        const std::optional<uint32_t> got = reader.PixelAt(p.x(), p.y());
        ASSERT_TRUE(got.has_value()) << p.x() << "," << p.y();
        EXPECT_EQ(*got, 0x5A1EC8u) << p.x() << "," << p.y();
    }
}

TEST_F(XcbPixelReaderTest, AgreesWithImportOverAPictureOfSeveralColours) {
    const QPoint at(900, 600);
    const auto client = Show(NumberedPicture(3, QSize(160, 60)), at);
    const CaptureRect rect{at.x() - 10, at.y() - 10, at.x() + 170, at.y() + 70};
    const QImage expected = ImportCrop(rect);
    ASSERT_FALSE(expected.isNull());
    ASSERT_GT(DistinctColours(expected), 2);
    XcbPixelReader reader(display_);
    int distinct = 0;
    std::optional<uint32_t> previous;
    for (int y = 0; y < expected.height(); y += 7) {
        for (int x = 0; x < expected.width(); x += 5) {
            const std::optional<uint32_t> got = reader.PixelAt(rect.left + x, rect.top + y);
            ASSERT_TRUE(got.has_value());
            EXPECT_EQ(*got, ColorRef(expected.pixel(x, y))) << x << "," << y;
            distinct += previous && *previous != *got;
            previous = got;
        }
    }
    EXPECT_GT(distinct, 10) << "the samples should cross the picture's colours";
}

TEST_F(XcbPixelReaderTest, PointsOffTheScreenGiveNothing) {
    XcbPixelReader reader(display_);
    ASSERT_TRUE(reader.Usable());
    EXPECT_TRUE(reader.PixelAt(0, 0).has_value());
    EXPECT_TRUE(reader.PixelAt(1919, 1079).has_value());
    for (const QPoint p :
         {QPoint(-1, 10), QPoint(10, -1), QPoint(1920, 10), QPoint(10, 1080), QPoint(1920, 1080),
          QPoint(40000, 10), QPoint(10, -40000), QPoint(INT32_MAX, INT32_MIN)}) {
        EXPECT_FALSE(reader.PixelAt(p.x(), p.y()).has_value()) << p.x() << "," << p.y();
    }
    // Refusals leave the connection working.
    EXPECT_TRUE(reader.Usable());
    EXPECT_TRUE(reader.PixelAt(100, 100).has_value());
}

TEST_F(XcbPixelReaderTest, NoServerGivesNothing) {
    XcbPixelReader reader(":4093");
    EXPECT_FALSE(reader.Usable());
    EXPECT_FALSE(reader.PixelAt(10, 10).has_value());
}

} // namespace
