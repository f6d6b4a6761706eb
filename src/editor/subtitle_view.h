#pragma once
// Subtitles as the editor shows them: burnt into a copy of the frame by the
// same drawing the GIF build uses, so the view shows what the GIF gets, plus
// the outline of the selected one. Frame pixels throughout: (0, 0) is the top
// left of the unscaled frame, y runs down.

#include <QColor>
#include <QImage>
#include <QPoint>

#include <cstdint>

#include "gif/subtitle.h"

class CxImage;
class TextRasterizer;

// Stores in the subtitle the size of its text box as measured by `text`;
// the box is (x, y - height) to (x + width, y). A text that cannot be
// measured gives a 0 x 0 box.
void MeasureSubtitle(SubtitleItem& subtitle, TextRasterizer& text);

// Frame `frameNumber` (1-based) with every subtitle of `subtitles` that covers
// it burnt in, in list order, and a one-pixel `highlight` outline two pixels
// outside the box of each selected one. Measures the subtitles it draws.
QImage RenderFrameWithSubtitles(const CxImage& frame, int32_t frameNumber, SubtitleList& subtitles,
                                TextRasterizer& text, const QColor& highlight);

// The earliest subtitle in the list that covers `frameNumber` and whose box
// (right and bottom edges excluded) holds `point`, or null. Earlier ones win
// even where a later one is drawn on top of them.
SubtitleItem* HitSubtitle(const SubtitleList& subtitles, int32_t frameNumber, QPoint point);
