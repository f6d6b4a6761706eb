#pragma once
#include <QStringList>

class TextRasterizer;

// frameloop-cli make-gif: builds a GIF from images, folders and GIFs.
extern const char* const kMakeGifUsage;
// Subtitles are lettered by `text`.
int RunMakeGif(const QStringList& args, TextRasterizer& text);
