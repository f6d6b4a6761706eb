#pragma once
// The subtitle list's rows: its five columns, one row per subtitle (the
// newest on top), and the two in-place edit rules wired for the list.

#include <cstdint>

#include "editor/list_ctrl_ex.h"
#include "gif/subtitle.h"

// The five columns, headers and widths; the list's and its edit box's accessible names.
void SetupSubtitleColumns(CListCtrlEx& list);
// Start, end, text and position of `subtitle` into `row`.
void FillSubtitleRow(CListCtrlEx& list, int row, const SubtitleItem& subtitle);
// At row 0, filled, data set; returns 0 (-1, and no row, for a null subtitle).
int InsertSubtitleRow(CListCtrlEx& list, SubtitleItem* subtitle);

// The begin rule as the list's callback (BeginSubtitleCellEdit).
CListCtrlEx::BeginEditCallback SubtitleBeginEditRule();
// The end rule as the list's callback, for a recording of `frameCount` frames: reads the edit
// box, applies EndSubtitleCellEdit whatever accept flag it is given, and returns whether the cell
// shows the new value (the text as stored, which is the typed text unless it had to be cut).
// A row without a subtitle changes nothing.
CListCtrlEx::EndEditCallback SubtitleEndEditRule(int32_t frameCount);
