#include "capture_ui/frame_painting.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

#include "capture_ui/frame_geometry.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace frame_painting {

namespace {

// printf formatting, so "%.1f" rounds as the C library does.
template <typename... Args> QString Format(const char* format, Args... args) {
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), format, args...);
    return QString::fromLatin1(buffer.data());
}

void FillVertical(QPainter& painter, const QRect& rect, const QColor& top, const QColor& bottom) {
    QLinearGradient gradient(rect.topLeft(), QPointF(rect.left(), rect.top() + rect.height()));
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(rect, gradient);
}

void DrawLine(QPainter& painter, const StatusText& line) {
    painter.save();
    painter.setClipRect(line.rect);
    painter.setPen(line.color);
    painter.drawText(line.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line.text);
    painter.restore();
}

void AddPositionBlock(std::vector<StatusText>& out, const CaptureRect& c, int w) {
    const QRect first(w - 110, 0, 110, 25);
    out.push_back({Format("Top Left: %d, %d", c.top, c.left), first, kBlack});
    out.push_back({Format("Size:(%d*%d)", c.Width(), c.Height()), first.translated(0, 16), kBlack});
}

void AddRecordingBlock(std::vector<StatusText>& out, const FrameStatus& s, const QColor& color) {
    const QRect first(8, 0, 82, 25);
    const double seconds = static_cast<double>(s.frameCount) / std::max(1, s.captureRate);
    out.push_back({Format("%d Frames", s.frameCount), first, color});
    out.push_back({Format("%.1f Secs ", seconds), first.translated(0, 16), color});
}

} // namespace

bool MarksLit(const FrameStatus& status) {
    return status.blinkOn && status.state == CaptureState::Capturing;
}

QFont FontWithCellHeight(int cellHeight, int weight) {
    QFont font(QStringLiteral("Verdana"));
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setStyleStrategy(QFont::PreferAntialias);
    for (int pixels = cellHeight; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= cellHeight) {
            break;
        }
    }
    return font;
}

QFont TitleFont() {
    return FontWithCellHeight(14, 700);
}
QFont StatusFont() {
    return FontWithCellHeight(12, 400);
}

std::vector<StatusText> BottomBarTexts(const FrameStatus& status, int width) {
    std::vector<StatusText> out;
    switch (status.state) {
    case CaptureState::Creating:
        out.push_back({Format("Creating: %d%%", status.percent),
                       QRect(7, 0, width, frame_geometry::kBottomHeight), kBlack});
        break;
    case CaptureState::Idle:
        AddPositionBlock(out, status.capture, width);
        break;
    case CaptureState::Capturing:
        AddRecordingBlock(out, status, kDarkBlue);
        break;
    case CaptureState::Captured:
        AddPositionBlock(out, status.capture, width);
        if (width > 200) {
            AddRecordingBlock(out, status, kBlack);
        }
        break;
    }
    return out;
}

void PaintTopBar(QPainter& painter, QSize size, const FrameStatus& status, const QString& title) {
    const int w = size.width();
    const int h = size.height();
    FillVertical(painter, QRect(0, 0, w, kTitleBandHeight), kLightBlue, kFrameBlue);
    FillVertical(painter, QRect(0, kTitleBandHeight, w, h - kTitleBandHeight), kWhite, kLightGrey);
    painter.fillRect(QRect(0, kTitleBandHeight, 5, h - kTitleBandHeight), kFrameBlue);
    painter.fillRect(QRect(w - 5, kTitleBandHeight, 5, h - kTitleBandHeight), kFrameBlue);
    painter.setFont(TitleFont());
    DrawLine(painter, {title, QRect(QPoint(8, 7), QPoint(299, 21)), kWhite});
    if (MarksLit(status)) {
        painter.fillRect(QRect(0, h - 5, 25, 5), kGold);
        painter.fillRect(QRect(w - 25, h - 5, 25, 5), kGold);
    }
}

void PaintSideStrip(QPainter& painter, QSize size, const FrameStatus& status) {
    const int w = size.width();
    const int h = size.height();
    painter.fillRect(QRect(0, 0, w, h), kFrameBlue);
    if (MarksLit(status)) {
        painter.fillRect(QRect(0, 0, w, 20), kGold);
        painter.fillRect(QRect(0, h - 20, w, 20), kGold);
    }
}

void PaintBottomBar(QPainter& painter, QSize size, const FrameStatus& status) {
    const int w = size.width();
    const int h = size.height();
    FillVertical(painter, QRect(0, 0, w, h), kLightGrey, kWhite);
    painter.fillRect(QRect(0, 0, 5, h), kFrameBlue);
    painter.fillRect(QRect(w - 5, 0, 5, h), kFrameBlue);
    painter.fillRect(QRect(0, h - 5, w, 5), kFrameBlue);
    if (MarksLit(status)) {
        painter.fillRect(QRect(0, 0, 25, 5), kGold);
        painter.fillRect(QRect(w - 25, 0, 25, 5), kGold);
    }
    painter.setFont(StatusFont());
    for (const StatusText& line : BottomBarTexts(status, w)) {
        DrawLine(painter, line);
    }
}

} // namespace frame_painting
