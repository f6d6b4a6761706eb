// Reads arbitrary bytes as the settings file, saves the values into it, and
// reads them back: whatever the file held, the second read must give the
// values the first one gave, or the program would drift from run to run.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "app/app_settings.h"
#include "app/ini_file.h"
#include "app/settings_file.h"

namespace {

std::unique_ptr<QTemporaryDir> g_dir;

void Report(const char* what, const AppSettings& a, const AppSettings& b) {
    std::fprintf(stderr,
                 "%s\n  first:  rate %d gif %d scale %d hq %d notice %d top %d font '%s' %d %d %d "
                 "colour %06x back %d %06x\n  second: rate %d gif %d scale %d hq %d notice %d top "
                 "%d font '%s' %d %d %d colour %06x back %d %06x\n",
                 what, a.captureRate, a.gifRate, a.scalePercent, a.highQuality, a.showBlankNotice,
                 a.alwaysOnTop, a.fontName.c_str(), a.fontSize, a.fontBold, a.fontItalic,
                 a.fontColor, a.backStyle, a.backColor, b.captureRate, b.gifRate, b.scalePercent,
                 b.highQuality, b.showBlankNotice, b.alwaysOnTop, b.fontName.c_str(), b.fontSize,
                 b.fontBold, b.fontItalic, b.fontColor, b.backStyle, b.backColor);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One folder per process, so parallel runs never share the file.
    g_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/frameloop-fuzz-XXXXXX");
    if (!g_dir->isValid())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    const QString path = g_dir->filePath(QString::fromLatin1(kSettingsFileName));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        if (file.write(reinterpret_cast<const char*>(bytes), qint64(size)) != qint64(size))
            std::abort();
    }

    // The document alone: a value just set, here the input's first bytes,
    // reads back as set once line breaks are blanks.
    {
        const std::string_view text(reinterpret_cast<const char*>(bytes), size);
        IniDocument doc = IniDocument::Parse(text);
        std::string value(text.substr(0, 40));
        doc.SetValue(kSettingsSection, "Rate1", value);
        std::ranges::replace(value, '\n', ' ');
        std::ranges::replace(value, '\r', ' ');
        const auto again = IniDocument::Parse(doc.Serialize()).Value(kSettingsSection, "Rate1");
        if (again != value) {
            std::fprintf(stderr, "a value set in the document does not read back\n");
            std::abort();
        }
    }

    AppSettings first;
    LoadSettingsFile(path, first);
    if (!SaveSettingsFile(path, first))
        std::abort(); // the folder is ours and the file small: writing must work
    AppSettings second;
    LoadSettingsFile(path, second);
    if (!(first == second)) {
        Report("settings changed by a save and a second read", first, second);
        std::abort();
    }

    // Saving what was read must not change the file any further.
    QFile saved(path);
    if (!saved.open(QIODevice::ReadOnly))
        std::abort();
    const QByteArray once = saved.readAll();
    saved.close();
    if (!SaveSettingsFile(path, second))
        std::abort();
    if (!saved.open(QIODevice::ReadOnly))
        std::abort();
    if (saved.readAll() != once) {
        std::fprintf(stderr, "a second save of the same values changed the file\n");
        std::abort();
    }
    return 0;
}
