// Parses arbitrary text as the value of make-gif's --subtitle option. An
// accepted value must give a subtitle that says what the value said: the
// frame range and corner as written, and the text after the fourth colon,
// terminated inside its record.
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cli/subtitle_option.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    const QString value = QString::fromUtf8(reinterpret_cast<const char*>(bytes), qsizetype(size));
    QString error;
    const auto item = ParseSubtitleOption(value, 96, error);
    if (!item) {
        if (error.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const QStringList parts = value.split(QLatin1Char(':'));
    if (parts.size() < 5)
        std::abort();
    const QByteArray text = parts.mid(4).join(QLatin1Char(':')).toUtf8();
    const std::size_t capacity = sizeof(item->text.text);
    if (std::size_t(text.size()) >= capacity || item->text.text[text.size()] != '\0' ||
        std::memcmp(item->text.text, text.constData(), std::size_t(text.size())) != 0)
        std::abort();
    if (item->firstFrame != parts[0].toInt() || item->lastFrame != parts[1].toInt() ||
        item->x != parts[2].toInt() || item->y != parts[3].toInt())
        std::abort();
    if (item->firstFrame < 1 || item->lastFrame < item->firstFrame)
        std::abort();
    return 0;
}
