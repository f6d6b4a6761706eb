// Saving one frame as a picture: the format follows the extension, the
// picture reads back as the frame, and a failed save changes no file and
// tells the user.
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "editor/save_frame_as.h"
#include "editor_test_support.h"
#include "test_files.h"

using editor_test::MakeFrame;
using editor_test::Upright;
using editor_test::WhenShown;
using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

namespace {

// 37 pixels wide, so every row of a bottom-up bitmap carries padding.
std::unique_ptr<CxImage> GradientFrame() {
    return MakeFrame(37, 23, [](int x, int y) { return qRgb(x * 6, y * 10, 40 + (x + y) * 3); });
}

// Every file below `dir`, relative to it.
QStringList FilesBelow(const QString& dir) {
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

struct ReadBack {
    QByteArray format;
    QImage image;
};

ReadBack Read(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    return {format, reader.read().convertToFormat(QImage::Format_RGB32)};
}

int LargestChannelDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

struct FormatCase {
    const char* name;
    const char* format; // as QImageReader names it from the content
    const char* magic;
    int tolerance; // per channel
};

TEST(SaveFrameTo, WritesTheFormatTheExtensionNames) {
    const FormatCase cases[] = {
        {"frame.bmp", "bmp", "BM", 0},
        {"frame.png", "png", "\x89PNG", 0},
        {"frame7.PNG", "png", "\x89PNG", 0},
        {"frame.jpg", "jpeg", "\xFF\xD8\xFF", 24},
        {"frame.jpeg", "jpeg", "\xFF\xD8\xFF", 24},
        {"frame.Jfif", "jpeg", "\xFF\xD8\xFF", 24},
    };
    const auto frame = GradientFrame();
    const QImage expected = Upright(*frame);
    QTemporaryDir dir;
    for (const FormatCase& c : cases) {
        const QString path = dir.filePath(c.name);
        QString error;
        ASSERT_TRUE(SaveFrameTo(*frame, path, error)) << c.name << ": " << error.toStdString();
        EXPECT_TRUE(error.isEmpty()) << c.name;
        EXPECT_TRUE(ReadWholeFile(path).startsWith(c.magic)) << c.name;
        const ReadBack back = Read(path);
        EXPECT_EQ(back.format, c.format) << c.name;
        ASSERT_EQ(back.image.size(), expected.size()) << c.name;
        if (c.tolerance == 0)
            EXPECT_EQ(back.image, expected) << c.name;
        else
            EXPECT_LE(LargestChannelDifference(back.image, expected), c.tolerance) << c.name;
    }
    // Nothing but the pictures: no temporary files are left.
    EXPECT_EQ(FilesBelow(dir.path()).size(), std::size(cases));
}

TEST(SaveFrameTo, ADeletedFrameSavesLikeAnyOther) {
    const auto frame = GradientFrame();
    frame->SetUserFlags(0);
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(SaveFrameTo(*frame, dir.filePath("deleted.png"), error));
    EXPECT_EQ(Read(dir.filePath("deleted.png")).image, Upright(*frame));
}

TEST(SaveFrameTo, ReplacesAnExistingFile) {
    const auto frame = GradientFrame();
    QTemporaryDir dir;
    const QString path = dir.filePath("shot.bmp");
    ASSERT_TRUE(WriteWholeFile(path, "an older file, longer than nothing at all"));
    QString error;
    ASSERT_TRUE(SaveFrameTo(*frame, path, error));
    EXPECT_EQ(Read(path).image, Upright(*frame));
}

TEST(SaveFrameTo, AnExtensionWithoutAWriterWritesNothingAndSaysWhy) {
    const auto frame = GradientFrame();
    const char* names[] = {
        "my.pics/frame", // the only dot is in a folder name: the extension is "pics/frame"
        "frame",         // no dot at all
        "frame.gif",     // known, but not a format a frame is saved in
        "frame.tif",     "frame.",
    };
    for (const char* name : names) {
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkpath("my.pics"));
        QString error;
        EXPECT_FALSE(SaveFrameTo(*frame, dir.filePath(name), error)) << name;
        EXPECT_TRUE(error.contains(QFileInfo(QString::fromLatin1(name)).fileName())) << name;
        EXPECT_FALSE(error.contains('\n')) << name;
        EXPECT_TRUE(FilesBelow(dir.path()).isEmpty()) << name;
    }
}

TEST(SaveFrameTo, AFrameWithoutPixelsWritesNothing) {
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(SaveFrameTo(CxImage(), dir.filePath("empty.png"), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(FilesBelow(dir.path()).isEmpty());
}

// Makes a folder unwritable for this process: by its mode, or, for root,
// whom modes do not stop, by the file system's immutable flag.
class UnwritableFolder {
public:
    explicit UnwritableFolder(const QString& path) : path_(path.toLocal8Bit()) {
        chmod(path_.constData(), 0555);
        if (access(path_.constData(), W_OK) != 0) {
            unwritable_ = true;
            return;
        }
        const int fd = open(path_.constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            immutable_ = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
            unwritable_ = immutable_;
        }
        if (fd >= 0)
            close(fd);
    }
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;
    ~UnwritableFolder() {
        if (immutable_) {
            const int fd = open(path_.constData(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0)
                close(fd);
        }
        chmod(path_.constData(), 0755);
    }
    bool IsUnwritable() const { return unwritable_; }

private:
    QByteArray path_;
    bool unwritable_ = false;
    bool immutable_ = false;
};

TEST(SaveFrameTo, AnUnwritableFolderReportsAndLeavesTheOldFileAsItWas) {
    const auto frame = GradientFrame();
    QTemporaryDir dir;
    const QString folder = dir.filePath("locked");
    ASSERT_TRUE(QDir(dir.path()).mkpath("locked"));
    const QString existing = folder + "/frame.png";
    const QByteArray old = "the picture saved last time";
    ASSERT_TRUE(WriteWholeFile(existing, old));
    {
        UnwritableFolder locked(folder);
        if (!locked.IsUnwritable())
            GTEST_SKIP() << "cannot make a folder unwritable here";
        for (const QString& path : {existing, folder + "/new.bmp"}) {
            QString error;
            EXPECT_FALSE(SaveFrameTo(*frame, path, error)) << path.toStdString();
            EXPECT_TRUE(error.contains(path)) << error.toStdString();
        }
    }
    EXPECT_EQ(ReadWholeFile(existing), old);
    EXPECT_EQ(FilesBelow(folder), QStringList{"frame.png"});
}

// ---------------------------------------------------------------------------
// The save command

TEST(SaveFrameAs, WritesWhereTheChooserSaysAndNothingWhenCancelled) {
    const auto frame = GradientFrame();
    QTemporaryDir dir;
    QWidget parent;
    QWidget* asked = nullptr;
    SaveFrameAs(&parent, *frame, [&](QWidget* w) {
        asked = w;
        return dir.filePath("chosen.jpg");
    });
    EXPECT_EQ(asked, &parent);
    EXPECT_EQ(Read(dir.filePath("chosen.jpg")).format, "jpeg");

    WhenShown<QMessageBox> box([](QMessageBox* b) { b->close(); });
    SaveFrameAs(&parent, *frame, [](QWidget*) { return QString(); });
    EXPECT_FALSE(box.Seen());
    EXPECT_EQ(FilesBelow(dir.path()), QStringList{"chosen.jpg"});
}

TEST(SaveFrameAs, AFailureIsShownToTheUser) {
    const auto frame = GradientFrame();
    QTemporaryDir dir;
    QString shown;
    WhenShown<QMessageBox> box([&](QMessageBox* b) {
        shown = b->text();
        b->accept();
    });
    SaveFrameAs(nullptr, *frame, [&](QWidget*) { return dir.filePath("frame.gif"); });
    EXPECT_TRUE(box.Seen());
    EXPECT_TRUE(shown.contains("frame.gif")) << shown.toStdString();
    EXPECT_TRUE(FilesBelow(dir.path()).isEmpty());
}

TEST(SaveFrameAs, TheDialogOffersTheThreeTypesWithBmpFirst) {
    QFileDialog dialog;
    ConfigureSaveFrameDialog(dialog);
    EXPECT_EQ(dialog.nameFilters(), (QStringList{"BMP (*.bmp)", "JPG (*.jpg)", "PNG (*.png)"}));
    EXPECT_EQ(dialog.selectedNameFilter(), "BMP (*.bmp)");
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog.defaultSuffix(), "bmp");
    emit dialog.filterSelected("PNG (*.png)"); // as when the user picks the type
    EXPECT_EQ(dialog.defaultSuffix(), "png");
    emit dialog.filterSelected("JPG (*.jpg)");
    EXPECT_EQ(dialog.defaultSuffix(), "jpg");
}

TEST(SaveFrameAs, ANameTypedWithoutExtensionIsSavedAsTheChosenType) {
    const auto frame = GradientFrame();
    QTemporaryDir dir;
    QStringList filters;
    WhenShown<QFileDialog> dialog([&](QFileDialog* d) {
        filters = d->nameFilters();
        d->setDirectory(dir.path());
        d->selectFile("shot");
        static_cast<QDialog*>(d)->accept(); // the Save button
    });
    SaveFrameAs(nullptr, *frame);
    EXPECT_TRUE(dialog.Seen());
    EXPECT_EQ(filters.size(), 3);
    EXPECT_EQ(FilesBelow(dir.path()), QStringList{"shot.bmp"});
    EXPECT_EQ(Read(dir.filePath("shot.bmp")).image, Upright(*frame));
}

} // namespace
