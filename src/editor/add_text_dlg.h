#pragma once
// CAddTextDlg: "Insert subtitles or Delete unwanted frames". The user thins
// out the recording (the thumbnail strip and Delete / Undo), adds, styles,
// times and drags subtitles, and plays the kept frames. Everything takes
// effect at once on the recording's frame list and subtitle list; closing
// keeps every change.

#include <QDialog>
#include <QRect>
#include <QTimer>

#include <cstdint>
#include <functional>

#include "editor/frame_view.h"
#include "editor/frame_view_layout.h"
#include "gif/subtitle.h"
#include "image/frame_list.h"

struct AppSettings;
class CColorButton;
class CListCtrlEx;
class QCheckBox;
class QComboBox;
class QPushButton;
class ScreenPixelReader;
class TextRasterizer;
class XListView;

// What the editor works on and with.
struct EditorContext {
    FrameList& frames;
    SubtitleList& subtitles;
    AppSettings& settings; // style defaults in, written back at close
    TextRasterizer& text;  // the GIF build's lettering, so the view matches the GIF
    ScreenPixelReader* screenPixels = nullptr; // the colour buttons' eyedropper
};

class CAddTextDlg : public QDialog, private FrameViewClient {
    Q_OBJECT
public:
    // Control ids of the dialog's template.
    enum ControlId {
        IDC_DELETE_SUBTITLE = 3,
        IDC_ADD_SUBTITLE = 5,
        IDC_PREVIEW = 6,
        IDC_DELETE_UNDO = 7,
        IDC_CELL_EDIT = 1008,
        IDC_FONT_FACE = 1010,
        IDC_FONT_SIZE = 1011,
        IDC_TEXT_COLOR = 1012,
        IDC_BACK_COLOR = 1013,
        IDC_BACK_STYLE = 1014,
        IDC_BOLD = 1015,
        IDC_ITALIC = 1016,
        IDC_SUBTITLE_LIST = 1019,
        IDC_SEPARATOR_STYLE = 1025,
        IDC_SEPARATOR_BACK = 1026,
    };
    static constexpr int kPlaybackPeriodMs = 200;

    CAddTextDlg(QWidget* parent, int32_t frameCount, EditorContext context);
    ~CAddTextDlg() override;

    // --- Commands (also reached through the controls) ------------------------
    void OnAddSubtitle();
    void OnDeleteSubtitle();
    void OnDeleteUndo();
    void OnPreview();
    void OnGotoFrame(int32_t frame);
    // The close box and Escape: keeps every change, saves the style defaults.
    void OnClose();
    // One step of the preview: the next kept frame, or the end of playback.
    void OnTimer();

    // --- State, for the windows and the tests --------------------------------
    int32_t CurrentFrame() const { return m_nCurFrame; }
    bool Playing() const { return m_bPlaying; }
    // The first selected subtitle that covers the current frame, or null.
    SubtitleItem* GetCurrentSubtitle() const;
    // Where the last paint put the frame, in the frame view's coordinates.
    const FrameViewFit& LastFit() const { return fit_; }
    // The control of a template id (tests and accessibility), or null.
    QWidget* Control(int controlId) const;
    XListView& Strip() const { return *m_pStrip; }
    CListCtrlEx& SubtitleTable() const { return *list_; }
    CFrameView& View() const { return *view_; }

    // Loads a subtitle's style into the style controls.
    void ShowSubtitleStyle(const SubtitleItem& subtitle);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void CreateControls();
    void FillStyleControls();
    void FillSubtitleRows();
    void ConnectControls();
    void SelectSubtitle(SubtitleItem* subtitle);
    void ApplyStyle(const std::function<void(SubtitleItem&)>& change);
    void StopPlayback();
    void KeepInSight(int32_t frame);
    void RedrawView();
    int32_t PixelsPerInch() const;

    // FrameViewClient
    void DrawFrameView(QPainter& painter, const QRect& area) override;
    void FrameViewPressed(QPoint point) override;
    void FrameViewDragged(QPoint point, Qt::MouseButtons buttons) override;

    EditorContext context_;
    int32_t m_nFrameCount;
    int32_t m_nCurFrame = 1;
    FrameViewFit fit_; // m_fScale and m_rcImage of the last paint
    QPoint m_ptGrab;
    bool m_bPlaying = false;
    QTimer timer_;
    bool closed_ = false;

    XListView* m_pStrip = nullptr;
    CFrameView* view_ = nullptr;
    CListCtrlEx* list_ = nullptr;
    QComboBox* fontFace_ = nullptr;
    QComboBox* fontSize_ = nullptr;
    QComboBox* backStyle_ = nullptr;
    QCheckBox* bold_ = nullptr;
    QCheckBox* italic_ = nullptr;
    CColorButton* textColor_ = nullptr;
    CColorButton* backColor_ = nullptr;
    QPushButton* preview_ = nullptr;
    QPushButton* deleteUndo_ = nullptr;
    QPushButton* addSubtitle_ = nullptr;
    QPushButton* deleteSubtitle_ = nullptr;
};
