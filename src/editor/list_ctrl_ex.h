#pragma once
// A table whose every cell can be edited in place: a double-click (or Tab
// from the cell before) opens the list's one edit box over the cell, and
// two caller rules decide what the box accepts and what happens to the typed
// text. Each row carries one caller pointer (here the row's subtitle).
//
// An edit ends, with accept = true, on Enter (consumed, so a dialog's Enter
// never sees it), when the keyboard focus leaves the box, on a mouse press
// or wheel turn anywhere outside it, when a pop-up menu opens elsewhere, on
// Tab (which opens the next cell) and when the dialog holding the list
// closes. Escape cancels (accept = false), except in a dialog: there Escape
// closes the dialog, and closing commits.

#include <QEvent>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QTableWidget>

#include <functional>

#include "gif/subtitle.h"

// Ends the list's active edit when it reaches the list; the flag is the accept flag. Lets a
// caller end an edit from outside the current event (posted).
inline constexpr int WM_LIST_END_EDIT = 1034;

class ListEndEditEvent : public QEvent {
public:
    explicit ListEndEditEvent(bool accept)
        : QEvent(static_cast<QEvent::Type>(WM_LIST_END_EDIT)), accept_(accept) {}
    bool Accept() const { return accept_; }

private:
    bool accept_;
};

class CListCtrlEx : public QTableWidget {
    Q_OBJECT
public:
    using BeginEditCallback = std::function<void(QLineEdit& editor, int row, int column,
                                                 const QString& text, SubtitleItem* item)>;
    // Returns the new accept flag: true writes `text` into the cell.
    using EndEditCallback = std::function<bool(QLineEdit& editor, int row, int column,
                                               QString& text, SubtitleItem* item, bool accept)>;

    // Room kept between the edit box and the list's right edge.
    static constexpr int kEditorRightMargin = 4;

    explicit CListCtrlEx(QWidget* parent = nullptr);
    ~CListCtrlEx() override;

    // The list's one editor (the in-place edit box) and the two rules run when an edit begins and
    // ends. Without a begin rule the box shows the cell's text, all selected; without an end
    // rule an accepted edit writes the box's text into the cell.
    void SetDefaultEditor(BeginEditCallback begin, EndEditCallback end);
    QLineEdit& Editor();

    // Inserts a row (`row` is clamped to 0..RowCount) and returns its index; no item data yet.
    int InsertRow(int row, const QString& column0Text);
    void SetItemData(int row, SubtitleItem* item);
    SubtitleItem* ItemData(int row) const; // null for a row without a subtitle
    void SetItemText(int row, int column, const QString& text);
    QString ItemText(int row, int column) const;
    // Deleting the row being edited ends that edit with accept = false and no item data.
    void DeleteRow(int row);
    int FindRow(const SubtitleItem* item) const; // first row with that data, or -1 (also for null)
    int SelectedRow() const;                     // -1 when none
    void SelectRow(int row);                     // selected and focused
    // Ends any active edit (accept = true), then opens the box over the cell, deselecting every
    // row. False when the cell cannot be opened (row or column outside the table).
    bool BeginCellEdit(int row, int column);
    void EndCellEdit(bool accept); // harmless when no edit is active (also a ListEndEditEvent)
    bool Editing() const;
    // The cell being edited, or (-1, -1).
    int EditRow() const;
    int EditColumn() const;

signals:
    // A left or right click on a row, after the selection changed.
    void RowClicked(int row);
    // After the end rule ran; `row` is -1 when the row was deleted while being edited.
    void CellEditEnded(int row, int column, bool accepted);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void updateEditorGeometries() override;

private slots:
    void OnWindowFinished();
    void OnRowsRemoved();

private:
    enum class EditState { Idle, Editing };
    struct Cell {
        int row = -1;
        int column = -1;
    };

    bool FilterEditorEvent(QEvent* e);
    void FilterApplicationEvent(QObject* watched, QEvent* e);
    bool IsInsideEditor(const QObject* object) const;
    bool EscapeBelongsToDialog() const;
    // Tab and Shift+Tab: opens the next (or previous) cell; false when that lies outside the
    // table, so the key keeps its usual meaning.
    bool OpenNeighbourCell(bool forward);
    bool InsideTable(Cell cell) const;
    Cell Step(Cell cell, bool forward) const;
    QRect EditorRect(const QModelIndex& index) const;
    QTableWidgetItem& CellItem(int row, int column);

    QLineEdit* editor_; // owned through Qt parenthood (a child of the viewport)
    BeginEditCallback begin_;
    EndEditCallback end_;
    EditState state_ = EditState::Idle;
    QPersistentModelIndex editIndex_; // follows its row when rows come and go
    Cell editCell_;                   // where the edit began
    Cell focusCell_;                  // the last cell opened, kept after the edit for Tab
    int pressedRow_ = -1;
    Qt::MouseButton pressedButton_ = Qt::NoButton;
};
