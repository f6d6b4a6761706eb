#include "cli/subtitle_option.h"

#include <QStringList>

#include <cstring>

#include "cli/cli_common.h"
#include "gif/subtitle_factory.h"

std::unique_ptr<SubtitleItem> ParseSubtitleOption(const QString& value, int32_t pixelsPerInch,
                                                  QString& error) {
    const QStringList parts = value.split(QLatin1Char(':'));
    if (parts.size() < 5) {
        error = QStringLiteral("bad subtitle '%1': expected FIRST:LAST:X:Y:TEXT").arg(value);
        return nullptr;
    }
    const auto first = ParseInt(parts[0]), last = ParseInt(parts[1]);
    const auto x = ParseInt(parts[2]), y = ParseInt(parts[3]);
    if (!first || !last || !x || !y || *first < 1 || *last < *first) {
        error = QStringLiteral("bad subtitle '%1': FIRST and LAST must be frame numbers with "
                               "1 <= FIRST <= LAST, X and Y whole numbers")
                    .arg(value);
        return nullptr;
    }
    const QByteArray text = parts.mid(4).join(QLatin1Char(':')).toUtf8();
    // The style of a fresh user's settings, placed where the caller says.
    const SubtitlePlacement placement{0, *first, *last};
    auto item = CreateSubtitle(placement, SubtitleStyle{}, pixelsPerInch, [] { return 0u; });
    if (text.size() >= qsizetype(sizeof(item->text.text))) {
        error = QStringLiteral("bad subtitle: the text is longer than %1 bytes")
                    .arg(sizeof(item->text.text) - 1);
        return nullptr;
    }
    item->x = *x;
    item->y = *y;
    item->firstFrame = *first;
    item->lastFrame = *last;
    std::memset(item->text.text, 0, sizeof(item->text.text));
    std::memcpy(item->text.text, text.constData(), size_t(text.size()));
    return item;
}
