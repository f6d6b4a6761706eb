// Frameloop: the top bar runs until it accepts a close request; every other
// window hangs off it. The parts are chosen in composition_root.cpp.
//
//   frameloop [FILE.gif]    opens the GIF for editing once the bar is up
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "app/capture_app.h"
#include "capture_ui/capture_bar_dlg.h"
#include "image/text_rasterizer.h"
#include "main/composition_root.h"
#include "platform/screen_pixel_reader.h"
#include "widgets/program_info.h"

namespace {

// The GIF named on the command line, or an empty string. Read before any
// window exists, so --help and --version work without a display; exits for
// them and for a command line it cannot use.
QString FileToOpen(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Records part of the screen and turns it into an animated GIF. With FILE, opens that "
        "animated GIF for editing: delete frames, add subtitles and build it again."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("An animated GIF to open for editing."),
                                 QStringLiteral("[FILE.gif]"));
    const bool parsed = parser.parse(arguments);
    // Read before the application object exists, the parser cannot name the
    // program itself.
    const QString usage =
        parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("frameloop"));
    if (parsed && parser.isSet(help)) {
        std::fputs(qPrintable(usage), stdout);
        std::exit(0);
    }
    if (parsed && parser.isSet(version)) {
        std::printf("%s\n", qPrintable(program_info::VersionLine()));
        std::exit(0);
    }
    const QStringList files = parser.positionalArguments();
    if (!parsed || files.size() > 1) {
        const QString why =
            parsed ? QStringLiteral("one file at a time, please") : parser.errorText();
        std::fprintf(stderr, "frameloop: %s\n%s", qPrintable(why), qPrintable(usage));
        std::exit(2);
    }
    return files.isEmpty() ? QString() : files.front();
}

} // namespace

int main(int argc, char** argv) {
    const QString file = FileToOpen(argc, argv);
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
    if (!file.isEmpty()) {
        // Once the event loop runs, so the bar is on the screen and owns the
        // progress window and the editor.
        QTimer::singleShot(0, &bar, [&bar, file] { bar.Controller().OpenForEditing(file); });
    }
    return QApplication::exec();
}
