#include "preview/gifexplorer.h"

#include <QFile>

CGifexplorer::CGifexplorer(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    // A label that shows a movie has no text to be read by.
    setAccessibleName(QStringLiteral("GIF preview"));
    setAccessibleDescription(QStringLiteral("Plays the animated GIF that was made last"));
}

CGifexplorer::~CGifexplorer() {
    Clear();
}

void CGifexplorer::Clear() {
    // The label must forget the movie before the movie goes away.
    setMovie(nullptr);
    movie_.reset();
    buffer_.reset();
    bytes_.clear();
    path_.clear();
    QLabel::clear();
}

void CGifexplorer::Navigate(const QString& path) {
    Clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxDocumentBytes) {
        return;
    }
    QByteArray bytes = file.readAll();
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    auto movie = std::make_unique<QMovie>(buffer.get(), QByteArray());
    // A valid header is not enough: the first frame must decode.
    if (!movie->isValid() || QImage::fromData(bytes).isNull()) {
        return;
    }
    bytes_ = std::move(bytes);
    path_ = path;
    buffer_ = std::move(buffer);
    movie_ = std::move(movie);
    setMovie(movie_.get());
    movie_->start();
}

QImage CGifexplorer::FirstFrame() const {
    return bytes_.isEmpty() ? QImage() : QImage::fromData(bytes_);
}
