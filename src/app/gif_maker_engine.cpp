#include "app/gif_maker_engine.h"

#include <QFile>

void GifMakerEngine::SetGifParams(int32_t frameRate, float scale, const QString& path) {
    // The worker writes with the C library, which takes the file system's bytes.
    maker_.SetGifParams(frameRate, scale, QFile::encodeName(path).toStdString());
}
