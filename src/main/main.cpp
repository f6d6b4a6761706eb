// Frameloop: the top bar runs until it accepts a close request; every other
// window hangs off it. The parts are chosen in composition_root.cpp.
#include <QApplication>
#include <QIcon>

#include "app/capture_app.h"
#include "capture_ui/capture_bar_dlg.h"
#include "image/text_rasterizer.h"
#include "main/composition_root.h"
#include "platform/screen_pixel_reader.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Frameloop"));
    QApplication::setOrganizationName(QStringLiteral("Frameloop"));
    QApplication::setDesktopFileName(QStringLiteral("frameloop"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("frameloop")));

    // Declared before the bar, so they outlive the engine and the editors the
    // bar owns.
    const std::unique_ptr<TextRasterizer> text = MakeTextRasterizer();
    const std::unique_ptr<ScreenPixelReader> screenPixels = MakeScreenPixelReader();
    CCaptureApp app;
    CCaptureBarDlg bar(app, MakeCaptureEngine(ChooseScreenBackend().makeSource, *text),
                       screenPixels.get());
    bar.Initialise();
    bar.show();
    return QApplication::exec();
}
