#pragma once
// The editor's column of frame thumbnails: one row per recorded frame with
// its number and, for a deleted frame, a red mark. Clicks select frames and
// tell the editor which frame to show; the context menu saves a frame or
// deletes/restores the selection. Rows are always aligned to the top edge.
//
// Thumbnails are made only for the rows in view and kept in a bounded cache,
// so opening and scrolling a recording of thousands of frames stays quick.

#include <QAbstractScrollArea>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "editor/frame_thumbnail.h"

class CxImage;
class QPainter;

// The three rectangles of a row (viewport pixels, right and bottom excluded).
struct ThumbnailLayout {
    QRect label;   // the whole row; the number is written at its top left
    QRect picture; // the 4:3 frame box
    QRect mark;    // the 10 x 10 deleted-frame mark in the left margin
};

// Height of one row for a row width; never below 1.
int32_t ThumbnailRowHeight(int32_t rowWidth);
// The rectangles of a row of `rowWidth` whose top edge is `top`.
ThumbnailLayout LayoutThumbnail(int32_t rowWidth, int32_t top);
// A scroll position moved to the nearest row boundary (exactly half a row
// rounds down).
int32_t SnapToRowBoundary(int32_t position, int32_t rowHeight);

class XListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Command ids of the context menu, and the editor button whose command
    // the menu's "Delete / Undo" stands for.
    static constexpr int kSaveFrameAsCommand = 32845;
    static constexpr int kDeleteUndoCommand = 32844;
    static constexpr int kDeleteUndoButton = 7;
    // Thumbnails kept at least, whatever the number of rows in view.
    static constexpr std::size_t kMinCachedThumbnails = 64;

    // Goto-frame messages (EditorGotoFrameEvent) are posted to `parent`.
    explicit XListView(QWidget* parent);
    // Appends a thumbnail for the next frame; null is ignored. The frame list
    // keeps owning the frame. Touches no pixels.
    void AddFrame(CxImage* frame);
    // Row height and scroll range, once after the frames are added; both
    // follow later size changes by themselves.
    void InitialUpdate();
    // The selected frames all take the opposite of the first one's kept flag.
    void ToggleKept();
    // Posts the goto-frame message for the first selected thumbnail, if any.
    void NotifySelection();
    // Forgets every thumbnail (the frames stay in the frame list).
    void RemoveAllItems();
    int32_t Count() const { return int32_t(m_items.size()); }
    // Thumbnails are numbered from 1; numbers outside 1..Count() are ignored.
    bool IsSelected(int32_t n) const;
    void SetSelected(int32_t n, bool selected);
    void ClearSelection();
    int32_t FirstSelected() const; // 0 when none
    // The last thumbnail clicked without Shift (or selected by Ctrl), 0 = none.
    int32_t Anchor() const { return m_nAnchor; }
    // Pixel height of a row; 1000 until the first layout.
    int32_t ItemHeight() const { return m_nItemHeight; }
    // Vertical scroll position in pixels; set positions end on a row boundary.
    int32_t ScrollPos() const;
    void SetScrollPos(int32_t pixels);
    // Replaces the save dialog of "Save this Frame As..." (tests): returns the
    // chosen path, or empty for none.
    void SetSavePathChooser(std::function<QString(QWidget*)> chooser);

    // The frame of thumbnail n (1-based), null when there is none.
    CxImage* Frame(int32_t n) const;
    // Where row n lies in the viewport now (it may lie outside it).
    QRect RowRect(int32_t n) const;
    // How many thumbnails have been made since construction, and how many are
    // held now: painting makes them for the rows in view only.
    int64_t ThumbnailsMade() const { return m_nThumbnailsMade; }
    std::size_t CachedThumbnails() const { return m_thumbnails.Size(); }

signals:
    // The context menu's "Delete / Undo": the editor runs its Delete / Undo
    // on the selection (after the right click, the clicked thumbnail alone).
    void DeleteUndoRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct ThumbnailItem {
        int32_t frameNumber = 0;
        bool selected = false;
        CxImage* frame = nullptr; // owned by the frame list
    };

    int32_t RowWidth() const;
    // Row height from the current width; a new height drops the thumbnails.
    void SyncRowHeight();
    // Row height, scroll range and steps for the current size and count.
    void UpdateScrollRange();
    bool AllRowsFit() const;
    // Thumbnail (1-based) under a viewport point, 0 for none.
    int32_t HitTest(QPoint point) const;
    // Layout of thumbnail n as it is drawn at the current scroll position.
    ThumbnailLayout LayoutOf(int32_t n) const;
    void LeftButtonDown(int32_t hit, QPoint point, Qt::KeyboardModifiers modifiers);
    void RightButtonDown(int32_t hit);
    void ShowContextMenu(int32_t hit, QPoint globalPos);
    void SelectOnly(int32_t n);
    void SelectRange(int32_t from, int32_t to);
    void PostGotoFrame(int32_t n);
    void ScrollLines(int32_t lines);
    void SnapAndRedraw();
    void DrawItem(QPainter& painter, const ThumbnailItem& item, const ThumbnailLayout& layout,
                  double devicePixelRatio);
    void DrawFrame(QPainter& painter, const ThumbnailItem& item, const QRect& box,
                   double devicePixelRatio);

    std::vector<ThumbnailItem> m_items;
    int32_t m_nItemHeight = 1000;
    int32_t m_nAnchor = 0;
    bool m_bLaidOut = false; // InitialUpdate has run
    QPointer<QWidget> m_pNotify;
    std::function<QString(QWidget*)> m_chooseSavePath;
    QFont m_numberFont;
    ThumbnailCache m_thumbnails{kMinCachedThumbnails};
    int32_t m_nThumbnailWidth = -1; // row width the cached thumbnails were made for
    double m_fThumbnailRatio = 0.0; // and the device pixel ratio
    int64_t m_nThumbnailsMade = 0;
};
