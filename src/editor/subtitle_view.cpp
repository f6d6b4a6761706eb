#include "editor/subtitle_view.h"

#include <QPainter>

#include <cstring>
#include <string_view>

#include "files/frame_qimage.h"
#include "gif/frame_preparation.h"
#include "image/cximage.h"
#include "image/text_rasterizer.h"

void MeasureSubtitle(SubtitleItem& subtitle, TextRasterizer& text) {
    const TextInfo& t = subtitle.text;
    const std::string_view view(t.text, strnlen(t.text, sizeof t.text));
    TextExtent extent;
    if (!text.Measure(view, t.font, TextPrefix::None, extent))
        extent = TextExtent{};
    subtitle.width = extent.width;
    subtitle.height = extent.height;
}

QImage RenderFrameWithSubtitles(const CxImage& frame, int32_t frameNumber, SubtitleList& subtitles,
                                TextRasterizer& text, const QColor& highlight) {
    CxImage burnt(frame, true, true, true);
    if (!burnt.IsValid())
        return {};
    BurnSubtitles(burnt, frameNumber, subtitles, text);
    QImage image = QImageFromFrame(burnt);
    QPainter painter(&image);
    painter.setPen(QPen(highlight, 1));
    for (const auto& s : subtitles) {
        if (!s || !s->Covers(frameNumber))
            continue;
        MeasureSubtitle(*s, text);
        if (s->selected)
            painter.drawRect(s->x - 2, s->y - s->height - 2, s->width + 4, s->height + 4);
    }
    return image;
}

SubtitleItem* HitSubtitle(const SubtitleList& subtitles, int32_t frameNumber, QPoint point) {
    for (const auto& s : subtitles) {
        if (!s || !s->Covers(frameNumber))
            continue;
        const bool inside = point.x() >= s->x && point.x() < s->x + s->width &&
                            point.y() >= s->y - s->height && point.y() < s->y;
        if (inside)
            return s.get();
    }
    return nullptr;
}
