// Shared test main: every test program runs with a QApplication on the
// offscreen platform unless the caller chose another (the X11 tests do).
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Test discovery starts the program without the test's environment, so the
    // defaults are set here rather than in CTest.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!getenv("XDG_RUNTIME_DIR")) {
        const QByteArray dir = QDir::tempPath().toUtf8() + "/frameloop-test-runtime";
        QDir().mkpath(QString::fromUtf8(dir));
        QFile::setPermissions(QString::fromUtf8(dir), QFileDevice::ReadOwner |
                                                          QFileDevice::WriteOwner |
                                                          QFileDevice::ExeOwner);
        setenv("XDG_RUNTIME_DIR", dir.constData(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
