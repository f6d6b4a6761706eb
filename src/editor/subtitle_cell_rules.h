#pragma once
// What an in-place edit of the subtitle list may change: the rule run when a
// cell opens (what the edit box accepts) and the rule run when it closes
// (whether the typed value is taken, and where it goes in the subtitle).
// Free of the list itself, so it can be tested on plain records.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "gif/subtitle.h"

class QLineEdit;

// The columns of the subtitle list, in their order.
enum SubtitleColumn : int {
    kStartColumn = 0,
    kEndColumn = 1,
    kTextColumn = 2,
    kPositionXColumn = 3,
    kPositionYColumn = 4,
    kSubtitleColumnCount = 5,
};

// Bytes of UTF-8 a subtitle's text may hold (its record keeps a terminating zero after them).
inline constexpr std::size_t kMaxSubtitleTextBytes = sizeof(TextInfo::text) - 1;

// The begin rule: digits only except in the text column (2); all text selected.
void BeginSubtitleCellEdit(QLineEdit& editor, int column, const QString& text);

// The end rule: checks `text` for `column` and writes it into `subtitle` (Start 1..lastFrame, End
// firstFrame..frameCount, text not empty, X/Y always, values read as the C library's strtol does:
// leading blanks, optional sign, digits, 0 when none).
// Returns whether the cell shows `text` (true) or keeps its old text (false). A text longer than
// the record holds is stored cut by Utf8CutToFit (SubtitleText then gives what the cell should
// show).
bool EndSubtitleCellEdit(SubtitleItem& subtitle, int column, const QString& text,
                         int32_t frameCount);

// `text` read as a decimal number the way strtol reads it, saturated to 32 bits.
int32_t ReadCellNumber(const QString& text);

// `text` as UTF-8 of at most `maxBytes` bytes, cut at the end of the last whole character that
// fits (a letter and its accents stay together).
QByteArray Utf8CutToFit(const QString& text, std::size_t maxBytes);

// The subtitle's text as the list shows it.
QString SubtitleText(const SubtitleItem& subtitle);
