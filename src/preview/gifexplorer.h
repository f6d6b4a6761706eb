#pragma once
// CGifexplorer: the view that plays the finished GIF inside the preview. It
// keeps the bytes of the file it shows, so the picture keeps playing and can
// still be copied after the controller deletes or replaces the file.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QString>

#include <memory>

class CGifexplorer : public QLabel {
    Q_OBJECT
public:
    // Files larger than this are not shown (they would all sit in memory).
    static constexpr qint64 kMaxDocumentBytes = qint64(512) * 1024 * 1024;

    explicit CGifexplorer(QWidget* parent = nullptr);
    ~CGifexplorer() override;

    // Shows the GIF at `path`, playing. A file that cannot be read or is not
    // an image leaves the view empty (no document).
    void Navigate(const QString& path);

    // True when a picture is displayed.
    bool HasDocument() const { return movie_ != nullptr; }
    // The bytes of the displayed file and its path, empty without a document.
    const QByteArray& DocumentBytes() const { return bytes_; }
    const QString& DocumentPath() const { return path_; }
    // The first frame of the displayed GIF.
    QImage FirstFrame() const;
    QMovie* Movie() const { return movie_.get(); }

private:
    void Clear();

    QString path_;
    QByteArray bytes_;
    std::unique_ptr<QBuffer> buffer_;
    std::unique_ptr<QMovie> movie_;
};
