#include "editor/x_list_view.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

#include "editor/editor_messages.h"
#include "editor/save_frame_as.h"
#include "editor/x_list_view_accessible.h"
#include "image/cximage.h"

namespace {

// Row geometry: a 22-pixel left margin for the number and the mark, 5 pixels
// on the right and above the box, and a 4:3 box between.
constexpr int32_t kBoxLeft = 22;
constexpr int32_t kBoxRightMargin = 5;
constexpr int32_t kBoxTop = 5;
constexpr int32_t kMarkLeft = 6;
constexpr int32_t kMarkTop = 15;
constexpr int32_t kMarkSize = 10;
// The frame is drawn this far inside the box's edges.
constexpr int32_t kFrameInset = 2;
constexpr int kNumberPixelHeight = 12;
// The selection outline: a 3-pixel band centred 3 pixels outside the box.
constexpr int kSelectionWidth = 3;
constexpr int kSelectionGap = 1;
constexpr int kCrossInset = 2;
constexpr qreal kCrossPenWidth = 2.0;

int32_t BoxHeightFor(int32_t rowWidth) {
    return (rowWidth - (kBoxLeft + kBoxRightMargin)) * 3 / 4;
}

// Fills the band of `thickness` pixels just inside `outer`.
void FillFrame(QPainter& painter, const QRect& outer, int thickness, const QColor& color) {
    const int t = std::min({thickness, outer.width(), outer.height()});
    if (t <= 0)
        return;
    painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), t), color);
    painter.fillRect(QRect(outer.left(), outer.bottom() - t + 1, outer.width(), t), color);
    const int inner = outer.height() - 2 * t;
    if (inner <= 0)
        return;
    painter.fillRect(QRect(outer.left(), outer.top() + t, t, inner), color);
    painter.fillRect(QRect(outer.right() - t + 1, outer.top() + t, t, inner), color);
}

} // namespace

int32_t ThumbnailRowHeight(int32_t rowWidth) {
    return std::max<int32_t>(1, BoxHeightFor(rowWidth) + kBoxTop);
}

ThumbnailLayout LayoutThumbnail(int32_t rowWidth, int32_t top) {
    ThumbnailLayout layout;
    const int32_t boxWidth = std::max<int32_t>(0, rowWidth - kBoxRightMargin - kBoxLeft);
    const int32_t boxHeight = std::max<int32_t>(0, BoxHeightFor(rowWidth));
    layout.picture = QRect(kBoxLeft, top + kBoxTop, boxWidth, boxHeight);
    layout.label = QRect(0, top, std::max<int32_t>(0, rowWidth), ThumbnailRowHeight(rowWidth));
    layout.mark = QRect(kMarkLeft, top + kMarkTop, kMarkSize, kMarkSize);
    return layout;
}

int32_t SnapToRowBoundary(int32_t position, int32_t rowHeight) {
    if (rowHeight <= 0)
        return position;
    int32_t index = position / rowHeight;
    if (double(position % rowHeight) / double(rowHeight) > 0.5)
        ++index;
    return index * rowHeight;
}

XListView::XListView(QWidget* parent) : QAbstractScrollArea(parent), m_pNotify(parent) {
    // Before anything here makes Qt describe the strip as a plain scroll area.
    InstallXListViewAccessibility();
    setAccessibleName(QStringLiteral("Frame thumbnails"));
    setAccessibleDescription(
        QStringLiteral("Click a frame to show it; Shift or Ctrl and click to select several; "
                       "click a red mark to restore a deleted frame; right-click for more"));
    viewport()->setAccessibleName(QStringLiteral("Frame thumbnails"));
    setFocusPolicy(Qt::StrongFocus);
    // The right button is handled on release, as a menu command; no context
    // menu event is to reach the editor behind the strip.
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    // Every paint covers the whole viewport.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Always shown, disabled when every row fits, so the rows keep their width.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, 0);
    bar->setEnabled(false);
    bar->installEventFilter(this);
    connect(bar, &QAbstractSlider::actionTriggered, this,
            [this](int) { setFocus(Qt::OtherFocusReason); });
    connect(bar, &QAbstractSlider::sliderReleased, this, &XListView::SnapAndRedraw);

    m_numberFont = QFont(QStringLiteral("Verdana"));
    m_numberFont.setPixelSize(kNumberPixelHeight);
    m_numberFont.setWeight(QFont::Normal);
}

void XListView::AddFrame(CxImage* frame) {
    if (!frame)
        return;
    m_items.push_back(ThumbnailItem{Count() + 1, false, frame});
    if (m_bLaidOut)
        UpdateScrollRange();
}

void XListView::InitialUpdate() {
    m_bLaidOut = true;
    UpdateScrollRange();
    viewport()->update();
}

void XListView::ToggleKept() {
    bool first = true;
    uint32_t state = 0;
    for (const ThumbnailItem& item : m_items) {
        if (!item.selected)
            continue;
        if (first) {
            state = item.frame->UserFlags() == 0 ? 1 : 0;
            first = false;
        }
        item.frame->SetUserFlags(state);
    }
    viewport()->update();
}

void XListView::NotifySelection() {
    if (const int32_t n = FirstSelected(); n != 0)
        PostGotoFrame(n);
}

void XListView::RemoveAllItems() {
    m_items.clear();
    m_nAnchor = 0;
    m_thumbnails.Clear();
    if (m_bLaidOut)
        UpdateScrollRange();
    viewport()->update();
}

bool XListView::IsSelected(int32_t n) const {
    return n >= 1 && n <= Count() && m_items[std::size_t(n - 1)].selected;
}

void XListView::SetSelected(int32_t n, bool selected) {
    if (n < 1 || n > Count())
        return;
    m_items[std::size_t(n - 1)].selected = selected;
    viewport()->update();
}

void XListView::ClearSelection() {
    for (ThumbnailItem& item : m_items)
        item.selected = false;
    viewport()->update();
}

int32_t XListView::FirstSelected() const {
    for (const ThumbnailItem& item : m_items) {
        if (item.selected)
            return item.frameNumber;
    }
    return 0;
}

int32_t XListView::ScrollPos() const {
    return verticalScrollBar()->value();
}

void XListView::SetScrollPos(int32_t pixels) {
    QScrollBar* bar = verticalScrollBar();
    const int before = bar->value();
    bar->setValue(pixels);
    if (bar->value() == before)
        SnapAndRedraw();
}

void XListView::SetSavePathChooser(std::function<QString(QWidget*)> chooser) {
    m_chooseSavePath = std::move(chooser);
}

CxImage* XListView::Frame(int32_t n) const {
    return n >= 1 && n <= Count() ? m_items[std::size_t(n - 1)].frame : nullptr;
}

// ---------------------------------------------------------------------------
// Layout and scrolling

int32_t XListView::RowWidth() const {
    return viewport()->width();
}

void XListView::SyncRowHeight() {
    m_nItemHeight = ThumbnailRowHeight(RowWidth());
}

void XListView::UpdateScrollRange() {
    SyncRowHeight();
    const int64_t h = m_nItemHeight;
    const int64_t client = viewport()->height();
    // The range ends where the last full screen of rows starts on a row
    // boundary: the remainder of the client height lies below the last row.
    const int64_t total = int64_t(Count()) * h + client % h;
    QScrollBar* bar = verticalScrollBar();
    if (client < total) {
        bar->setSingleStep(int(h));
        bar->setPageStep(int(std::max(h, client / h * h)));
        bar->setRange(0, int(std::min<int64_t>(total - client, INT32_MAX)));
        bar->setEnabled(true);
    } else {
        bar->setRange(0, 0);
        bar->setEnabled(false);
    }
}

bool XListView::AllRowsFit() const {
    return int64_t(viewport()->height()) >= int64_t(Count()) * m_nItemHeight;
}

void XListView::ScrollLines(int32_t lines) {
    if (AllRowsFit())
        return;
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(int(std::clamp<int64_t>(int64_t(bar->value()) + int64_t(lines) * m_nItemHeight,
                                          bar->minimum(), bar->maximum())));
}

void XListView::SnapAndRedraw() {
    QScrollBar* bar = verticalScrollBar();
    const int position = bar->value();
    const int snapped = SnapToRowBoundary(position, m_nItemHeight);
    if (snapped != position) {
        bar->setValue(snapped);
        if (bar->value() != position)
            return; // the new value has repainted through scrollContentsBy
    }
    viewport()->update();
}

void XListView::scrollContentsBy(int, int) {
    // While the thumb is dragged only the bar moves; the rows follow, on a
    // row boundary, when it is let go.
    if (verticalScrollBar()->isSliderDown())
        return;
    SnapAndRedraw();
}

void XListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (m_bLaidOut)
        UpdateScrollRange();
    else
        SyncRowHeight();
}

// ---------------------------------------------------------------------------
// Painting

void XListView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette& pal = palette();
    painter.fillRect(viewport()->rect(), pal.color(QPalette::Active, QPalette::Base));
    SyncRowHeight();
    const double ratio = viewport()->devicePixelRatioF();
    if (m_nThumbnailWidth != RowWidth() || m_fThumbnailRatio != ratio) {
        m_thumbnails.Clear();
        m_nThumbnailWidth = RowWidth();
        m_fThumbnailRatio = ratio;
    }
    const int32_t h = m_nItemHeight;
    const int32_t client = viewport()->height();
    const int32_t visible = std::min(client / h + (client % h != 0 ? 1 : 0), Count());
    // Room for two screens, so scrolling back a page finds them still there.
    m_thumbnails.SetCapacity(std::max<std::size_t>(kMinCachedThumbnails, 2 * std::size_t(visible)));
    const int32_t first = ScrollPos() / h;
    for (int32_t k = 0; k < visible && first + k < Count(); ++k) {
        DrawItem(painter, m_items[std::size_t(first + k)], LayoutThumbnail(RowWidth(), k * h),
                 ratio);
    }
}

void XListView::DrawItem(QPainter& painter, const ThumbnailItem& item,
                         const ThumbnailLayout& layout, double devicePixelRatio) {
    const QPalette& pal = palette();
    const QRect& box = layout.picture;
    if (item.selected) {
        const int outside = kSelectionGap + kSelectionWidth;
        FillFrame(painter, box.adjusted(-outside, -outside, outside, outside), kSelectionWidth,
                  pal.color(QPalette::Active, QPalette::Highlight));
        painter.fillRect(box.adjusted(-kSelectionGap, -kSelectionGap, kSelectionGap, kSelectionGap),
                         Qt::white);
    } else {
        painter.fillRect(box, Qt::white);
        FillFrame(painter, box, 1, pal.color(QPalette::Active, QPalette::Mid));
    }

    DrawFrame(painter, item, box.adjusted(kFrameInset, kFrameInset, -kFrameInset, -kFrameInset),
              devicePixelRatio);

    painter.setFont(m_numberFont);
    painter.setPen(pal.color(QPalette::Active, QPalette::Text));
    painter.drawText(layout.label, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                     QString::asprintf("%3d", item.frameNumber));

    if (item.frame->UserFlags() == 0) {
        const QRect& mark = layout.mark;
        painter.fillRect(mark, QColor(255, 0, 0));
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(pal.color(QPalette::Active, QPalette::Base), kCrossPenWidth,
                            Qt::SolidLine, Qt::FlatCap));
        const QRectF cross =
            QRectF(mark).adjusted(kCrossInset, kCrossInset, -kCrossInset, -kCrossInset);
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.bottomLeft(), cross.topRight());
        painter.restore();
    }
}

void XListView::DrawFrame(QPainter& painter, const ThumbnailItem& item, const QRect& box,
                          double devicePixelRatio) {
    const CxImage& frame = *item.frame;
    if (!frame.IsValid())
        return;
    const QSize frameSize(int(frame.Width()), int(frame.Height()));
    const QRect target = FitFrameInBox(frameSize, box);
    if (target.isEmpty())
        return;
    const QSize pixels = ThumbnailPixelSize(frameSize, target.size(), devicePixelRatio);
    const QImage* cached = m_thumbnails.Find(item.frameNumber);
    QImage made;
    if (!cached || cached->size() != pixels) {
        made = MakeThumbnail(frame, pixels);
        ++m_nThumbnailsMade;
        m_thumbnails.Insert(item.frameNumber, made);
        cached = &made;
    }
    // Only a small frame shown at more than one device pixel per pixel is
    // enlarged here; its pixels stay sharp.
    painter.drawImage(target, *cached);
}

// ---------------------------------------------------------------------------
// Mouse and keys

int32_t XListView::HitTest(QPoint point) const {
    if (point.y() < 0 || m_nItemHeight <= 0)
        return 0;
    const int64_t index = (int64_t(ScrollPos()) + point.y()) / m_nItemHeight + 1;
    return index <= Count() ? int32_t(index) : 0;
}

QRect XListView::RowRect(int32_t n) const {
    return LayoutOf(n).label;
}

ThumbnailLayout XListView::LayoutOf(int32_t n) const {
    const int32_t first = ScrollPos() / m_nItemHeight;
    return LayoutThumbnail(RowWidth(), (n - 1 - first) * m_nItemHeight);
}

void XListView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)
        return;
    setFocus(Qt::MouseFocusReason);
    const QPoint point = event->position().toPoint();
    const int32_t hit = HitTest(point);
    if (hit == 0)
        return;
    if (event->button() == Qt::LeftButton)
        LeftButtonDown(hit, point, event->modifiers());
    else
        RightButtonDown(hit);
    viewport()->update();
}

void XListView::LeftButtonDown(int32_t hit, QPoint point, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::ShiftModifier) {
        // A range from the anchor; the frame view keeps its frame.
        if (m_nAnchor != 0 && hit != m_nAnchor)
            SelectRange(m_nAnchor, hit);
        return;
    }
    if (modifiers & Qt::ControlModifier) {
        ThumbnailItem& item = m_items[std::size_t(hit - 1)];
        item.selected = !item.selected;
        if (item.selected)
            m_nAnchor = hit;
        NotifySelection();
        return;
    }
    SelectOnly(hit);
    m_nAnchor = hit;
    CxImage* frame = m_items[std::size_t(hit - 1)].frame;
    if (LayoutOf(hit).mark.contains(point) && frame->UserFlags() == 0)
        frame->SetUserFlags(1);
    PostGotoFrame(m_nAnchor);
}

void XListView::RightButtonDown(int32_t hit) {
    SelectOnly(hit);
    m_nAnchor = hit;
    PostGotoFrame(hit);
}

void XListView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::RightButton)
        return;
    setFocus(Qt::MouseFocusReason);
    const int32_t hit = HitTest(event->position().toPoint());
    if (hit != 0)
        ShowContextMenu(hit, event->globalPosition().toPoint());
}

void XListView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is not another click: a Ctrl
    // double click must not flip the thumbnail back.
    event->accept();
}

void XListView::ShowContextMenu(int32_t hit, QPoint globalPos) {
    // Without a parent: the strip may go away while the menu runs.
    QMenu menu;
    menu.setAccessibleName(QStringLiteral("Frame commands"));
    QAction* save = menu.addAction(QStringLiteral("Save this Frame As..."));
    save->setData(kSaveFrameAsCommand);
    save->setToolTip(QStringLiteral("Save this frame as a BMP, JPG or PNG picture"));
    menu.addSeparator();
    QAction* toggle = menu.addAction(QStringLiteral("Delete / Undo"));
    toggle->setData(kDeleteUndoCommand);
    toggle->setToolTip(QStringLiteral("Delete or restore this frame"));

    const QPointer<XListView> self(this);
    const QAction* chosen = menu.exec(globalPos);
    if (!self || !chosen)
        return;
    switch (chosen->data().toInt()) {
    case kSaveFrameAsCommand:
        if (CxImage* frame = Frame(hit))
            SaveFrameAs(this, *frame, m_chooseSavePath);
        break;
    case kDeleteUndoCommand:
        emit DeleteUndoRequested();
        break;
    default:
        break;
    }
}

void XListView::wheelEvent(QWheelEvent* event) {
    event->accept();
    // One line a wheel message, however far the wheel turned; events without
    // an up or down movement (sideways, start and end of a touchpad
    // gesture) scroll nothing.
    int delta = event->angleDelta().y();
    if (delta == 0)
        delta = event->pixelDelta().y();
    if (delta == 0)
        return;
    ScrollLines(delta > 0 ? -1 : 1);
}

void XListView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        ScrollLines(1);
        event->accept();
        return;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        ScrollLines(-1);
        event->accept();
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

bool XListView::eventFilter(QObject* watched, QEvent* event) {
    // The wheel over the scroll bar scrolls like the wheel over the rows.
    if (watched == verticalScrollBar() && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Selection

void XListView::SelectOnly(int32_t n) {
    for (ThumbnailItem& item : m_items)
        item.selected = item.frameNumber == n;
}

void XListView::SelectRange(int32_t from, int32_t to) {
    const int32_t low = std::min(from, to);
    const int32_t high = std::max(from, to);
    for (ThumbnailItem& item : m_items)
        item.selected = item.frameNumber >= low && item.frameNumber <= high;
}

void XListView::PostGotoFrame(int32_t n) {
    if (m_pNotify)
        QCoreApplication::postEvent(m_pNotify, new EditorGotoFrameEvent(n));
}
