#pragma once
#include <QStringList>

// frameloop-cli make-gif: builds a GIF from images, folders and GIFs.
extern const char* const kMakeGifUsage;
int RunMakeGif(const QStringList& args);
