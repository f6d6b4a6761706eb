#include "editor/save_frame_as.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>
#include <QStringList>

#include <span>
#include <string_view>

#include "image/byte_sink.h"
#include "image/cximage.h"
#include "image/frame_writers.h"

namespace {

const QString kDialogTitle = QStringLiteral("Save this Frame As");

struct PictureType {
    const char* filter;
    const char* suffix;
};
constexpr PictureType kPictureTypes[] = {
    {"BMP (*.bmp)", "bmp"},
    {"JPG (*.jpg)", "jpg"},
    {"PNG (*.png)", "png"},
};

// Encoders write straight into the file being saved.
class DeviceSink final : public ByteSink {
public:
    explicit DeviceSink(QIODevice& device) : device_(device) {}
    bool Write(std::span<const uint8_t> bytes) override {
        if (ok_) {
            const auto size = qint64(bytes.size());
            ok_ = device_.write(reinterpret_cast<const char*>(bytes.data()), size) == size;
        }
        return ok_;
    }

private:
    QIODevice& device_;
    bool ok_ = true;
};

uint32_t FormatForPath(const QString& path) {
    const QByteArray utf8 = path.toUtf8();
    const std::string_view text(utf8.constData(), std::size_t(utf8.size()));
    return GetTypeFromExtension(ExtensionAfterLastDot(text));
}

QString AskSavePath(QWidget* parent) {
    QFileDialog dialog(parent, kDialogTitle);
    ConfigureSaveFrameDialog(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

} // namespace

bool SaveFrameTo(const CxImage& frame, const QString& path, QString& error) {
    const QString name = QFileInfo(path).fileName();
    const uint32_t format = FormatForPath(path);
    if (!CanWriteFormat(format)) {
        error = QStringLiteral("Nothing was saved: \"%1\" does not name a BMP, JPG or PNG picture.")
                    .arg(name);
        return false;
    }
    if (!frame.IsValid()) {
        error = QStringLiteral("Nothing was saved: the frame has no picture.");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    DeviceSink sink(file);
    if (!SaveFrame(frame, sink, format)) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("the picture could not be encoded");
        file.cancelWriting();
        error = QStringLiteral("Cannot write \"%1\": %2").arg(path, reason);
        return false;
    }
    if (!file.commit()) {
        error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void ConfigureSaveFrameDialog(QFileDialog& dialog) {
    QStringList filters;
    for (const PictureType& type : kPictureTypes)
        filters << QString::fromLatin1(type.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    dialog.setDefaultSuffix(QString::fromLatin1(kPictureTypes[0].suffix));
    // A name typed without an extension gets the chosen type's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) {
                         for (const PictureType& type : kPictureTypes) {
                             if (filter == QLatin1String(type.filter))
                                 dialog.setDefaultSuffix(QString::fromLatin1(type.suffix));
                         }
                     });
}

void SaveFrameAs(QWidget* parent, const CxImage& frame,
                 const std::function<QString(QWidget*)>& chooser) {
    const QString path = chooser ? chooser(parent) : AskSavePath(parent);
    if (path.isEmpty())
        return;
    QString error;
    if (!SaveFrameTo(frame, path, error))
        QMessageBox::warning(parent, kDialogTitle, error);
}
