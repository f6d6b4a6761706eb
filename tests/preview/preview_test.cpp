// The preview window: its sizing and placement rules, its keys, and the
// sharing actions that work on the GIF it shows.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "preview/preview_dlg.h"
#include "preview/sharing.h"
#include "test_files.h"

using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

namespace {

// A three-frame GIF (red, green, blue, 40 x 30) made by ImageMagick, so the
// tests do not depend on our own encoder.
QString MakeGif(const QString& folder, const QString& name, int width = 40, int height = 30) {
    const QString path = folder + "/" + name;
    const QString size = QString("%1x%2").arg(width).arg(height);
    const auto result = testing_support::RunProgram(
        "convert", {"-delay", "10", "-size", size, "xc:red", "-size", size, "xc:lime", "-size",
                    size, "xc:blue", "-loop", "0", path});
    EXPECT_EQ(result.exitCode, 0) << "ImageMagick convert is required: " << result.err.data();
    return path;
}

struct SizeCase {
    int gifWidth, gifHeight, caption, ownerHeight, captureHeight;
    int wantWidth, wantHeight;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << "gif " << c.gifWidth << "x" << c.gifHeight << ", owner " << c.ownerHeight << ", capture "
        << c.captureHeight;
}

class PreviewSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PreviewSize, FollowsTheGifTheMinimumAndTheCaptureFrame) {
    const SizeCase c = GetParam();
    EXPECT_EQ(PreviewWindowSize(c.gifWidth, c.gifHeight, c.caption, c.ownerHeight, c.captureHeight),
              QSize(c.wantWidth, c.wantHeight));
}

INSTANTIATE_TEST_SUITE_P(Rules, PreviewSize,
                         ::testing::Values(
                             // 100 x 50: the minimum width, and the capture frame sets the height.
                             SizeCase{100, 50, 20, 68, 250, 200, 68 + 250 + 40},
                             // Small GIF, small frame: the minimum height.
                             SizeCase{100, 50, 20, 40, 60, 200, 150},
                             // Large GIF: 60 pixels around it plus the caption.
                             SizeCase{400, 300, 20, 68, 100, 460, 380},
                             // The floor wins over a GIF that is a little shorter than the frame.
                             SizeCase{300, 250, 20, 68, 250, 360, 358}));

class PreviewDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        preview_.SetOwnerQuery([this] { return owner_; });
    }

    QTemporaryDir dir_;
    PreviewOwnerInfo owner_{QRect(500, 200, 310, 68), 250, QString()};
    CPreviewDlg preview_;
};

TEST_F(PreviewDialog, FirstGifSizesPlacesAndShowsTheWindow) {
    const QString gif = MakeGif(dir_.path(), "a.gif", 100, 50);
    owner_.gifPath = gif;
    preview_.Explorer().Navigate(gif);
    preview_.ShowGifInfo(3, 100, 50, 1.25f);

    EXPECT_TRUE(preview_.isVisible());
    EXPECT_EQ(preview_.InfoLine().text(), "3 Frames, 1.2K, 100*50");
    const QSize window = PreviewWindowSize(100, 50, preview_.CaptionHeight(), 68, 250);
    EXPECT_EQ(preview_.size(), QSize(window.width(), window.height() - preview_.CaptionHeight()));
    EXPECT_EQ(preview_.pos(), QPoint(810, 200)); // right of the owner, level with its top
}

TEST_F(PreviewDialog, VisiblePreviewKeepsItsPlaceForTheNextGif) {
    const QString first = MakeGif(dir_.path(), "first.gif");
    preview_.Explorer().Navigate(first);
    preview_.ShowGifInfo(3, 40, 30, 0.5f);
    preview_.move(20, 30);
    preview_.resize(333, 222);

    const QString second = MakeGif(dir_.path(), "second.gif", 900, 700);
    preview_.Explorer().Navigate(second);
    preview_.ShowGifInfo(3, 900, 700, 12.0f);

    EXPECT_EQ(preview_.InfoLine().text(), "3 Frames, 12.0K, 900*700");
    EXPECT_EQ(preview_.size(), QSize(333, 222));
    EXPECT_EQ(preview_.pos(), QPoint(20, 30));
    EXPECT_EQ(preview_.Explorer().DocumentPath(), second);

    // Closed and shown again: sized for the new GIF.
    preview_.hide();
    preview_.ShowGifInfo(3, 900, 700, 12.0f);
    EXPECT_EQ(preview_.width(), 960);
    EXPECT_EQ(preview_.pos(), QPoint(810, 200));
}

TEST_F(PreviewDialog, MinimumSizeAndControlLayout) {
    EXPECT_EQ(preview_.minimumWidth(), CPreviewDlg::kMinWidth);
    EXPECT_EQ(preview_.minimumHeight(), CPreviewDlg::kMinHeight - preview_.CaptionHeight());
    preview_.resize(50, 40);
    EXPECT_EQ(preview_.width(), CPreviewDlg::kMinWidth);

    preview_.show();
    preview_.resize(400, 300);
    EXPECT_EQ(preview_.Explorer().geometry(), QRect(0, 0, 400, 240));
    EXPECT_EQ(preview_.InfoLine().geometry(), QRect(3, 250, 400, 40));
    EXPECT_EQ(preview_.SaveOrUploadButton().pos(), QPoint(1, 273));
    EXPECT_EQ(preview_.CopyButton().pos(), QPoint(preview_.SaveOrUploadButton().width() + 2, 273));
    EXPECT_FALSE(preview_.CopyButton().isVisible());
    EXPECT_FALSE(preview_.CopyButton().isEnabled());
    EXPECT_EQ(preview_.CopyButton().toolTip(), "You can paste this anmiated GIF to somewhere");
}

TEST_F(PreviewDialog, EnterDoesNothingAndEscapeHides) {
    const QString gif = MakeGif(dir_.path(), "a.gif");
    preview_.Explorer().Navigate(gif);
    preview_.ShowGifInfo(3, 40, 30, 0.5f);
    ASSERT_TRUE(preview_.isVisible());

    QSignalSpy clicked(&preview_.SaveOrUploadButton(), &QPushButton::clicked);
    QTest::keyClick(&preview_, Qt::Key_Return);
    QTest::keyClick(&preview_, Qt::Key_Enter);
    EXPECT_TRUE(preview_.isVisible());
    EXPECT_EQ(clicked.count(), 0);

    QTest::keyClick(&preview_, Qt::Key_Escape);
    EXPECT_FALSE(preview_.isVisible());
}

TEST_F(PreviewDialog, ExplorerPlaysTheGifAndSurvivesItsDeletion) {
    const QString gif = MakeGif(dir_.path(), "gone.gif");
    preview_.Explorer().Navigate(gif);
    ASSERT_TRUE(preview_.Explorer().HasDocument());
    EXPECT_EQ(preview_.Explorer().Movie()->frameCount(), 3);
    ASSERT_TRUE(QFile::remove(gif));

    // The picture still plays through all its frames.
    QMovie& movie = *preview_.Explorer().Movie();
    QSet<QRgb> seen;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(movie.jumpToFrame(i));
        seen.insert(movie.currentImage().pixel(5, 5) & 0xffffff);
    }
    EXPECT_EQ(seen, (QSet<QRgb>{0xff0000, 0x00ff00, 0x0000ff}));

    // A file that is not a picture leaves no document.
    const QString junk = dir_.path() + "/junk.gif";
    ASSERT_TRUE(WriteWholeFile(junk, "GIF89a but not really"));
    preview_.Explorer().Navigate(junk);
    EXPECT_FALSE(preview_.Explorer().HasDocument());
    preview_.Explorer().Navigate(dir_.path() + "/missing.gif");
    EXPECT_FALSE(preview_.Explorer().HasDocument());
}

TEST(SaveMenu, ItemsIdsAndUpwardPlacement) {
    QMenu menu;
    sharing::BuildSaveMenu(menu);
    QStringList texts;
    QList<int> ids;
    for (const QAction* action : menu.actions()) {
        texts << (action->isSeparator() ? QString("-") : action->text());
        ids << (action->isSeparator() ? 0 : action->data().toInt());
    }
    EXPECT_EQ(texts,
              (QStringList{"Upload to Imgur", "-", "Copy to Clipboard", "-", "Save to Disk"}));
    EXPECT_EQ(ids, (QList<int>{32859, 0, 32858, 0, 32860}));

    const QRect screen(0, 0, 1920, 1080);
    // Bottom edge on the button's top edge.
    EXPECT_EQ(sharing::SaveMenuPosition(QRect(100, 500, 90, 25), QSize(150, 80), screen),
              QPoint(100, 420));
    // No room above: it stays on the screen.
    EXPECT_EQ(sharing::SaveMenuPosition(QRect(100, 30, 90, 25), QSize(150, 80), screen),
              QPoint(100, 0));
}

TEST_F(PreviewDialog, DismissedMenuRunsNoAction) {
    const QString gif = MakeGif(dir_.path(), "a.gif");
    owner_.gifPath = gif;
    preview_.Explorer().Navigate(gif);
    int asked = 0;
    preview_.SetSavePathChooser([&](QWidget*) {
        ++asked;
        return QString();
    });
    QApplication::clipboard()->setText("untouched");
    preview_.RunSaveCommand(0);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(QApplication::clipboard()->text(), "untouched");
    preview_.RunSaveCommand(sharing::kCmdSave);
    EXPECT_EQ(asked, 1);
}

TEST_F(PreviewDialog, SaveToDiskCopiesTheGifAndReplacesAnExistingFile) {
    const QString gif = MakeGif(dir_.path(), "made here.gif");
    owner_.gifPath = gif;
    const QString target = dir_.path() + "/saved.gif";
    ASSERT_TRUE(WriteWholeFile(target, "old contents"));
    preview_.SetSavePathChooser([&](QWidget*) { return target; });

    preview_.SaveGifToDisk();
    EXPECT_EQ(ReadWholeFile(target), ReadWholeFile(gif));

    // Cancel: nothing written.
    const QString other = dir_.path() + "/other.gif";
    preview_.SetSavePathChooser([](QWidget*) { return QString(); });
    preview_.SaveGifToDisk();
    EXPECT_FALSE(QFile::exists(other));
}

TEST(SaveFile, FailedCopyKeepsTheExistingTarget) {
    QTemporaryDir dir;
    const QString target = dir.path() + "/keep.gif";
    ASSERT_TRUE(WriteWholeFile(target, "precious"));
    EXPECT_FALSE(sharing::CopyFileReplacing(dir.path() + "/no-such.gif", target));
    EXPECT_EQ(ReadWholeFile(target), QByteArray("precious"));
    EXPECT_FALSE(sharing::CopyFileReplacing(target, QString()));
}

TEST(SaveFile, DialogAddsGifAndAsksBeforeOverwriting) {
    const auto dialog = sharing::MakeSaveDialog(nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->defaultSuffix(), "gif");
    EXPECT_EQ(dialog->nameFilters(), QStringList{"Animated Gif File(*.gif)"});
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
}

TEST_F(PreviewDialog, CopyPutsTheGifTheFirstFrameAndALastingFileOnTheClipboard) {
    QStandardPaths::setTestModeEnabled(true);
    const QString gif = MakeGif(dir_.path(), "clip.gif");
    preview_.Explorer().Navigate(gif);
    const QByteArray bytes = ReadWholeFile(gif);
    ASSERT_TRUE(QFile::remove(gif)); // the controller may delete its file at any time

    preview_.CopyGifToClipboard();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data("image/gif"), bytes);
    const QImage image = qvariant_cast<QImage>(data->imageData());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(40, 30));
    EXPECT_EQ(image.pixel(3, 3) & 0xffffff, 0xff0000u);
    ASSERT_EQ(data->urls().size(), 1);
    const QString copy = data->urls().constFirst().toLocalFile();
    EXPECT_NE(copy, gif);
    EXPECT_EQ(ReadWholeFile(copy), bytes);

    // A new copy replaces the file of the old one.
    const QString next = MakeGif(dir_.path(), "next.gif", 20, 20);
    preview_.Explorer().Navigate(next);
    preview_.CopyGifToClipboard();
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_EQ(QApplication::clipboard()->mimeData()->data("image/gif"), ReadWholeFile(next));
}

TEST_F(PreviewDialog, CopyWithoutDocumentDoesNothing) {
    QApplication::clipboard()->setText("untouched");
    preview_.CopyGifToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), "untouched");
}

TEST_F(PreviewDialog, UploaderGetsThePathWithSpacesAsOneArgument) {
    // A stand-in uploader on PATH that records its arguments.
    const QString bin = dir_.path() + "/bin";
    ASSERT_TRUE(QDir().mkpath(bin));
    const QString log = dir_.path() + "/args.txt";
    const QString script = bin + "/ImgurUploader";
    ASSERT_TRUE(WriteWholeFile(
        script, QString("#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '%1'\n").arg(log).toUtf8()));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8() + ":" + oldPath);

    owner_.gifPath = dir_.path() + "/a b  c.gif";
    preview_.UploadGif();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QFile::exists(log) && QFile(log).size() > 0; }, 10000));
    EXPECT_EQ(ReadWholeFile(log), ("1|" + owner_.gifPath + "|").toUtf8());

    // Without the uploader nothing happens and nothing is reported.
    qputenv("PATH", dir_.path().toUtf8() + "/nowhere");
    EXPECT_FALSE(sharing::StartUploader(owner_.gifPath));
    qputenv("PATH", oldPath);
}

} // namespace
