#pragma once
// How the four windows of the capture frame paint themselves: the title band
// of the top bar, the blue side strips, the status texts of the bottom bar and
// the gold corner marks that blink while recording.
#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

#include "app/capture_controller.h"
#include "image/frame_list.h"

class QPainter;

namespace frame_painting {

inline const QColor kFrameBlue{65, 111, 181};
inline const QColor kLightBlue{78, 161, 220};
inline const QColor kLightGrey{227, 227, 227};
inline const QColor kWhite{255, 255, 255};
inline const QColor kGold{255, 215, 0};
inline const QColor kDarkBlue{0, 0, 99};
inline const QColor kBlack{0, 0, 0};

inline constexpr int kTitleBandHeight = 25;

// Everything the painting reads.
struct FrameStatus {
    CaptureState state = CaptureState::Idle;
    bool blinkOn = false;
    int frameCount = 0;
    int captureRate = 15;
    int percent = 0; // the bottom bar's last build percentage
    CaptureRect capture;
};

// The marks are lit only while recording.
bool MarksLit(const FrameStatus& status);

// A "Verdana" font whose cell (ascent + descent) is at most `cellHeight` pixels.
QFont FontWithCellHeight(int cellHeight, int weight);
QFont TitleFont();  // 14-pixel cell, bold
QFont StatusFont(); // 12-pixel cell, normal

// One line of status text and where it goes.
struct StatusText {
    QString text;
    QRect rect;
    QColor color;
    bool operator==(const StatusText&) const = default;
};

// The texts of a bottom bar `width` pixels wide, by state.
std::vector<StatusText> BottomBarTexts(const FrameStatus& status, int width);

void PaintTopBar(QPainter& painter, QSize size, const FrameStatus& status, const QString& title);
void PaintSideStrip(QPainter& painter, QSize size, const FrameStatus& status);
void PaintBottomBar(QPainter& painter, QSize size, const FrameStatus& status);

} // namespace frame_painting
