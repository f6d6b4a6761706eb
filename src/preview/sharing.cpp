#include "preview/sharing.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace sharing {

namespace {

void AddCommand(QMenu& menu, const QString& text, int id) {
    menu.addAction(text)->setData(id);
}

} // namespace

void BuildSaveMenu(QMenu& menu) {
    menu.setTitle(QStringLiteral("SaveMore"));
    // Read when the menu opens: named after the button that opens it.
    menu.setAccessibleName(QStringLiteral("Save or Upload"));
    AddCommand(menu, QStringLiteral("Upload to Imgur"), kCmdUpload);
    menu.addSeparator();
    AddCommand(menu, QStringLiteral("Copy to Clipboard"), kCmdCopy);
    menu.addSeparator();
    AddCommand(menu, QStringLiteral("Save to Disk"), kCmdSave);
}

QPoint SaveMenuPosition(const QRect& button, const QSize& menuSize, const QRect& screen) {
    int y = button.top() - menuSize.height();
    if (screen.isValid() && y < screen.top()) {
        y = screen.top();
    }
    return {button.left(), y};
}

bool StartUploader(const QString& gifPath) {
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(kUploaderProgram));
    if (program.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(program, {gifPath});
}

std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QStringLiteral("Animated Gif File(*.gif)"));
    dialog->setDefaultSuffix(QStringLiteral("gif"));
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog->setOption(QFileDialog::ReadOnly, false);
    return dialog;
}

bool CopyFileReplacing(const QString& source, const QString& target) {
    QFile in(source);
    if (target.isEmpty() || !in.open(QIODevice::ReadOnly)) {
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    constexpr qint64 kChunk = 1 << 16;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            return false;
        }
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

QString ClipboardFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty()) {
        base = QDir::tempPath() + QStringLiteral("/frameloop");
    }
    return base + QStringLiteral("/clipboard");
}

QString WriteClipboardCopy(const QByteArray& gifBytes, const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    if (name.isEmpty()) {
        return {};
    }
    QDir folder(ClipboardFolder());
    if (!folder.mkpath(QStringLiteral("."))) {
        return {};
    }
    // Only the newest clipboard contents need their file.
    for (const QString& old : folder.entryList({QStringLiteral("*.gif")}, QDir::Files)) {
        if (old != name) {
            folder.remove(old);
        }
    }
    const QString path = folder.filePath(name);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(gifBytes) != gifBytes.size() ||
        !out.commit()) {
        return {};
    }
    return path;
}

std::unique_ptr<QMimeData> MakeGifMimeData(const QByteArray& gifBytes, const QImage& firstFrame,
                                           const QString& copyPath) {
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/gif"), gifBytes);
    if (!firstFrame.isNull()) {
        data->setImageData(firstFrame);
    }
    if (!copyPath.isEmpty()) {
        data->setUrls({QUrl::fromLocalFile(copyPath)});
    }
    return data;
}

} // namespace sharing
