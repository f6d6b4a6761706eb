#include "editor/subtitle_rows.h"

#include <QHeaderView>
#include <QStringList>

#include <array>

#include "editor/subtitle_cell_rules.h"

namespace {

struct ColumnLook {
    const char* header;
    int width; // pixels
};

constexpr std::array<ColumnLook, kSubtitleColumnCount> kColumns{{
    {"Start", 70},
    {"End", 70},
    {"Text (double click item to modify it)", 430},
    {"Position X", 80},
    {"Position Y", 80},
}};

} // namespace

void SetupSubtitleColumns(CListCtrlEx& list) {
    QStringList headers;
    for (const ColumnLook& column : kColumns)
        headers << QString::fromLatin1(column.header);
    list.setColumnCount(kSubtitleColumnCount);
    list.setHorizontalHeaderLabels(headers);
    for (int column = 0; column < kSubtitleColumnCount; ++column)
        list.setColumnWidth(column, kColumns[std::size_t(column)].width);
    list.setAccessibleName(QStringLiteral("Subtitles"));
    list.setAccessibleDescription(
        QStringLiteral("One row per subtitle; double-click a cell to change it"));
    list.horizontalHeader()->setAccessibleName(QStringLiteral("Subtitle columns"));
    list.Editor().setAccessibleName(QStringLiteral("Edit subtitle cell"));
}

void FillSubtitleRow(CListCtrlEx& list, int row, const SubtitleItem& subtitle) {
    list.SetItemText(row, kStartColumn, QString::number(subtitle.firstFrame));
    list.SetItemText(row, kEndColumn, QString::number(subtitle.lastFrame));
    list.SetItemText(row, kTextColumn, SubtitleText(subtitle));
    list.SetItemText(row, kPositionXColumn, QString::number(subtitle.x));
    list.SetItemText(row, kPositionYColumn, QString::number(subtitle.y));
}

int InsertSubtitleRow(CListCtrlEx& list, SubtitleItem* subtitle) {
    if (!subtitle)
        return -1;
    const int row = list.InsertRow(0, QString());
    FillSubtitleRow(list, row, *subtitle);
    list.SetItemData(row, subtitle);
    return row;
}

CListCtrlEx::BeginEditCallback SubtitleBeginEditRule() {
    return [](QLineEdit& editor, int, int column, const QString& text, SubtitleItem*) {
        BeginSubtitleCellEdit(editor, column, text);
    };
}

CListCtrlEx::EndEditCallback SubtitleEndEditRule(int32_t frameCount) {
    return [frameCount](QLineEdit& editor, int, int column, QString& text, SubtitleItem* item,
                        bool /*accept: every way of ending an edit keeps what was typed*/) {
        if (!item)
            return false;
        const QString typed = editor.text();
        if (!EndSubtitleCellEdit(*item, column, typed, frameCount))
            return false;
        text = column == kTextColumn ? SubtitleText(*item) : typed;
        return true;
    };
}
