// Frameloop: the top bar runs until it accepts a close request; every other
// window hangs off it.
#include <QApplication>
#include <QIcon>

#include "app/capture_app.h"
#include "capture_ui/capture_bar_dlg.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Frameloop"));
    QApplication::setOrganizationName(QStringLiteral("Frameloop"));
    QApplication::setDesktopFileName(QStringLiteral("frameloop"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("frameloop")));

    CCaptureApp app;
    CCaptureBarDlg bar(app);
    bar.Initialise();
    bar.show();
    return QApplication::exec();
}
