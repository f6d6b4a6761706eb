#include "capture_ui/help_page.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

// The page is compiled into this static library; registering it here keeps
// the linker from dropping it.
static void RegisterHelpResources() {
    Q_INIT_RESOURCE(capture_ui);
}

namespace help_page {

QString WriteBlankGifHelp() {
    RegisterHelpResources();
    QFile page(QStringLiteral(":/capture_ui/help/why_gif_is_blank.html"));
    if (!page.open(QIODevice::ReadOnly)) {
        return {};
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath() + QStringLiteral("/frameloop");
    }
    folder += QStringLiteral("/help");
    if (!QDir().mkpath(folder)) {
        return {};
    }
    const QString path = folder + QStringLiteral("/why_gif_is_blank.html");
    QSaveFile out(path);
    const QByteArray bytes = page.readAll();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        return {};
    }
    return path;
}

void OpenBlankGifHelp() {
    const QString path = WriteBlankGifHelp();
    if (!path.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
}

} // namespace help_page
