#include "editor/list_ctrl_ex.h"

#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

constexpr int kRowDataRole = Qt::UserRole;

bool IsTabKey(const QKeyEvent& key) {
    return (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab) &&
           !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool IsForwardTab(const QKeyEvent& key) {
    return key.key() == Qt::Key_Tab && !(key.modifiers() & Qt::ShiftModifier);
}

bool IsEnterKey(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

// Where a pointer event happened, for the kinds that end an edit.
std::optional<QPointF> PointerPosition(const QEvent* e) {
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        return static_cast<const QSinglePointEvent*>(e)->globalPosition();
    default:
        return std::nullopt;
    }
}

std::unique_ptr<QTableWidgetItem> NewCell(const QString& text) {
    auto cell = std::make_unique<QTableWidgetItem>(text);
    // Cells change only through the list's own edit box.
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return cell;
}

} // namespace

CListCtrlEx::CListCtrlEx(QWidget* parent)
    : QTableWidget(parent), editor_(new QLineEdit(viewport())) {
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setShowGrid(true);
    setSortingEnabled(false);
    setWordWrap(false);
    // Editing goes through the one edit box below, never through item delegates, and Tab is
    // handled here rather than moving the current cell.
    setEditTriggers(NoEditTriggers);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    setAccessibleName(QStringLiteral("List"));
    header->setAccessibleName(QStringLiteral("Column headers"));
    horizontalScrollBar()->setAccessibleName(QStringLiteral("Scroll the list sideways"));
    verticalScrollBar()->setAccessibleName(QStringLiteral("Scroll the list up and down"));
    editor_->setAccessibleName(QStringLiteral("Edit cell"));
    editor_->hide();

    connect(model(), &QAbstractItemModel::rowsRemoved, this, &CListCtrlEx::OnRowsRemoved);
}

CListCtrlEx::~CListCtrlEx() {
    // The rules may belong to an owner that is partly gone by now: an open edit is dropped
    // without running them.
    state_ = EditState::Idle;
    begin_ = {};
    end_ = {};
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void CListCtrlEx::SetDefaultEditor(BeginEditCallback begin, EndEditCallback end) {
    begin_ = std::move(begin);
    end_ = std::move(end);
}

QLineEdit& CListCtrlEx::Editor() {
    return *editor_;
}

int CListCtrlEx::InsertRow(int row, const QString& column0Text) {
    row = std::clamp(row, 0, rowCount());
    insertRow(row);
    for (int column = 0; column < columnCount(); ++column)
        setItem(row, column, NewCell(column == 0 ? column0Text : QString()).release());
    return row;
}

void CListCtrlEx::SetItemData(int row, SubtitleItem* item) {
    if (row < 0 || row >= rowCount() || columnCount() == 0)
        return;
    CellItem(row, 0).setData(kRowDataRole, QVariant::fromValue(static_cast<void*>(item)));
}

SubtitleItem* CListCtrlEx::ItemData(int row) const {
    const QTableWidgetItem* cell = row >= 0 && row < rowCount() ? item(row, 0) : nullptr;
    return cell ? static_cast<SubtitleItem*>(cell->data(kRowDataRole).value<void*>()) : nullptr;
}

void CListCtrlEx::SetItemText(int row, int column, const QString& text) {
    if (InsideTable({row, column}))
        CellItem(row, column).setText(text);
}

QString CListCtrlEx::ItemText(int row, int column) const {
    const QTableWidgetItem* cell = InsideTable({row, column}) ? item(row, column) : nullptr;
    return cell ? cell->text() : QString();
}

void CListCtrlEx::DeleteRow(int row) {
    if (row >= 0 && row < rowCount())
        removeRow(row); // OnRowsRemoved ends an edit of that row
}

int CListCtrlEx::FindRow(const SubtitleItem* item) const {
    if (!item)
        return -1;
    for (int row = 0; row < rowCount(); ++row) {
        if (ItemData(row) == item)
            return row;
    }
    return -1;
}

int CListCtrlEx::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CListCtrlEx::SelectRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
}

bool CListCtrlEx::BeginCellEdit(int row, int column) {
    if (state_ == EditState::Editing) {
        // Ending the open edit runs the end rule, which may move rows: find ours again.
        SubtitleItem* const data = ItemData(row);
        EndCellEdit(true);
        if (const int again = FindRow(data); again >= 0)
            row = again;
    }
    if (!InsideTable({row, column}))
        return false;

    const QModelIndex index = model()->index(row, column);
    scrollTo(index);
    editIndex_ = index;
    editCell_ = {row, column};
    focusCell_ = editCell_;
    state_ = EditState::Editing;
    const QString text = ItemText(row, column);
    if (begin_) {
        begin_(*editor_, row, column, text, ItemData(row));
    } else {
        editor_->setText(text);
        editor_->selectAll();
    }
    clearSelection();

    editor_->setGeometry(EditorRect(index));
    editor_->show();
    editor_->raise();
    editor_->setFocus(Qt::OtherFocusReason);
    // Watches the whole program while the box is open: clicks, wheels and menus anywhere else
    // end the edit.
    QCoreApplication::instance()->installEventFilter(this);
    if (auto* dialog = qobject_cast<QDialog*>(window()))
        connect(dialog, &QDialog::finished, this, &CListCtrlEx::OnWindowFinished,
                Qt::UniqueConnection);
    return true;
}

void CListCtrlEx::EndCellEdit(bool accept) {
    if (state_ != EditState::Editing)
        return;
    // Idle first: moving the focus and hiding the box below report a focus loss, and the end
    // rule may start another edit.
    state_ = EditState::Idle;
    QCoreApplication::instance()->removeEventFilter(this);
    // The list takes the focus back, also for when an inactive window becomes active again.
    if (editor_->hasFocus() || window()->focusWidget() == editor_)
        setFocus(Qt::OtherFocusReason);
    editor_->hide();

    const QPersistentModelIndex cell = editIndex_;
    editIndex_ = QPersistentModelIndex();
    const bool rowExists = cell.isValid();
    const int row = rowExists ? cell.row() : -1;
    const int column = editCell_.column;
    QString text = rowExists ? ItemText(row, column) : QString();
    SubtitleItem* const item = rowExists ? ItemData(row) : nullptr;
    if (!rowExists)
        accept = false;
    if (end_)
        accept = end_(*editor_, row, column, text, item, accept);
    else if (accept)
        text = editor_->text();
    if (accept && cell.isValid())
        SetItemText(cell.row(), cell.column(), text);
    viewport()->update();
    emit CellEditEnded(cell.isValid() ? cell.row() : -1, column, accept);
}

bool CListCtrlEx::Editing() const {
    return state_ == EditState::Editing;
}

int CListCtrlEx::EditRow() const {
    return Editing() && editIndex_.isValid() ? editIndex_.row() : -1;
}

int CListCtrlEx::EditColumn() const {
    return Editing() && editIndex_.isValid() ? editIndex_.column() : -1;
}

bool CListCtrlEx::event(QEvent* e) {
    if (e->type() == static_cast<QEvent::Type>(WM_LIST_END_EDIT)) {
        EndCellEdit(static_cast<ListEndEditEvent*>(e)->Accept());
        return true;
    }
    if (e->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (IsTabKey(*key) && OpenNeighbourCell(IsForwardTab(*key)))
            return true;
    }
    return QTableWidget::event(e);
}

bool CListCtrlEx::eventFilter(QObject* watched, QEvent* e) {
    if (state_ == EditState::Editing) {
        if (watched == editor_)
            return FilterEditorEvent(e);
        FilterApplicationEvent(watched, e);
    }
    return QTableWidget::eventFilter(watched, e);
}

bool CListCtrlEx::FilterEditorEvent(QEvent* e) {
    switch (e->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (IsEnterKey(*key)) {
            EndCellEdit(true);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            if (EscapeBelongsToDialog())
                return false; // the dialog closes, and its closing commits
            EndCellEdit(false);
            return true;
        }
        if (IsTabKey(*key)) {
            const bool forward = IsForwardTab(*key);
            if (!OpenNeighbourCell(forward)) {
                // Past either end of the table: Tab leaves it as it leaves any control.
                EndCellEdit(true);
                focusNextPrevChild(forward);
            }
            return true;
        }
        return false;
    }
    case QEvent::FocusOut:
        switch (static_cast<QFocusEvent*>(e)->reason()) {
        case Qt::PopupFocusReason:
            // Judged when the pop-up shows (FilterApplicationEvent): the box's own context
            // menu keeps the edit open.
            break;
        case Qt::ActiveWindowFocusReason:
            // The window lost the activation. That also happens while the window is being
            // destroyed, when the end rule's owner may be gone already, so the commit waits
            // for the event loop (and is dropped with the list).
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!editor_->hasFocus())
                        EndCellEdit(true);
                },
                Qt::QueuedConnection);
            break;
        default:
            EndCellEdit(true);
            break;
        }
        return false;
    default:
        return false;
    }
}

void CListCtrlEx::FilterApplicationEvent(QObject* watched, QEvent* e) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || IsInsideEditor(widget))
        return;
    if (e->type() == QEvent::Show) {
        if (widget->windowType() == Qt::Popup)
            EndCellEdit(true);
        return;
    }
    const std::optional<QPointF> at = PointerPosition(e);
    if (!at)
        return;
    // An event the box leaves unhandled travels on to its parents (a wheel turn on to the
    // list's scroll bar); it was still aimed at the box. Another window over the box, such as
    // a menu, is not the box.
    const bool overEditor =
        editor_->isVisible() && editor_->rect().contains(editor_->mapFromGlobal(*at).toPoint());
    if (overEditor && widget->window() == editor_->window())
        return;
    EndCellEdit(true);
}

bool CListCtrlEx::IsInsideEditor(const QObject* object) const {
    // Along object parents, not widget windows, so the box's own context menu counts as inside.
    for (; object; object = object->parent()) {
        if (object == editor_)
            return true;
    }
    return false;
}

bool CListCtrlEx::EscapeBelongsToDialog() const {
    return qobject_cast<QDialog*>(window()) != nullptr;
}

void CListCtrlEx::keyPressEvent(QKeyEvent* e) {
    if (IsEnterKey(*e)) {
        // Enter in the list belongs to the list, never to the dialog's default button.
        EndCellEdit(true);
        e->accept();
        return;
    }
    QTableWidget::keyPressEvent(e);
}

void CListCtrlEx::mousePressEvent(QMouseEvent* e) {
    const QModelIndex index = indexAt(e->position().toPoint());
    const bool clickButton = e->button() == Qt::LeftButton || e->button() == Qt::RightButton;
    pressedRow_ = index.isValid() && clickButton ? index.row() : -1;
    pressedButton_ = e->button();
    QTableWidget::mousePressEvent(e);
}

void CListCtrlEx::mouseReleaseEvent(QMouseEvent* e) {
    const bool wasPressed = pressedRow_ >= 0 && e->button() == pressedButton_;
    pressedRow_ = -1;
    QTableWidget::mouseReleaseEvent(e);
    const QModelIndex index = indexAt(e->position().toPoint());
    if (wasPressed && index.isValid())
        emit RowClicked(index.row());
}

void CListCtrlEx::mouseDoubleClickEvent(QMouseEvent* e) {
    const QModelIndex index = indexAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton && index.isValid()) {
        pressedRow_ = -1; // the release that follows is no click of its own
        BeginCellEdit(index.row(), index.column());
        e->accept();
        return;
    }
    QTableWidget::mouseDoubleClickEvent(e);
}

void CListCtrlEx::updateEditorGeometries() {
    QTableWidget::updateEditorGeometries();
    if (state_ == EditState::Editing && editIndex_.isValid())
        editor_->setGeometry(EditorRect(editIndex_));
}

void CListCtrlEx::OnWindowFinished() {
    EndCellEdit(true);
}

void CListCtrlEx::OnRowsRemoved() {
    if (state_ == EditState::Editing && !editIndex_.isValid())
        EndCellEdit(false);
}

bool CListCtrlEx::OpenNeighbourCell(bool forward) {
    Cell cell = InsideTable(focusCell_) ? Step(focusCell_, forward)
                : forward               ? Cell{0, 0}
                                        : Cell{rowCount() - 1, columnCount() - 1};
    for (; InsideTable(cell); cell = Step(cell, forward)) {
        if (BeginCellEdit(cell.row, cell.column))
            return true;
    }
    return false;
}

bool CListCtrlEx::InsideTable(Cell cell) const {
    return cell.row >= 0 && cell.row < rowCount() && cell.column >= 0 &&
           cell.column < columnCount();
}

CListCtrlEx::Cell CListCtrlEx::Step(Cell cell, bool forward) const {
    if (forward) {
        if (++cell.column >= columnCount())
            return {cell.row + 1, 0};
        return cell;
    }
    if (--cell.column < 0)
        return {cell.row - 1, columnCount() - 1};
    return cell;
}

QRect CListCtrlEx::EditorRect(const QModelIndex& index) const {
    QRect rect = visualRect(index);
    const int rightLimit = viewport()->width() - kEditorRightMargin;
    if (rect.x() + rect.width() > rightLimit)
        rect.setWidth(std::max(1, rightLimit - rect.x()));
    // One pixel taller, so the box also covers the grid line under the cell.
    rect.setHeight(rect.height() + 1);
    return rect;
}

QTableWidgetItem& CListCtrlEx::CellItem(int row, int column) {
    if (QTableWidgetItem* existing = item(row, column))
        return *existing;
    setItem(row, column, NewCell(QString()).release());
    return *item(row, column);
}
