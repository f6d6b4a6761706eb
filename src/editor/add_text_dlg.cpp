#include "editor/add_text_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "app/app_settings.h"
#include "editor/editor_icons.h"
#include "editor/editor_messages.h"
#include "editor/list_ctrl_ex.h"
#include "editor/playback.h"
#include "editor/subtitle_rows.h"
#include "editor/subtitle_view.h"
#include "editor/x_list_view.h"
#include "gif/subtitle_factory.h"
#include "widgets/color_button.h"
#include "widgets/dialog_units.h"

namespace {

const char* const kControlIdProperty = "controlId";
constexpr int kTemplateWidth = 503;
constexpr int kTemplateHeight = 379;
// The template's Verdana 8; fontconfig draws it with DejaVu Sans here.
constexpr int kTemplateFontPoints = 8;

const std::array<const char*, 3> kBackgroundItems{"No, thanks", "Rectangle", "Outline"};

// Selects the first entry whose text begins with `text`, ignoring case,
// searching from the second entry to the last and then the first. Returns
// false, leaving the selection, when none does.
bool SelectByPrefix(QComboBox& combo, const QString& text) {
    const int count = combo.count();
    for (int step = 0; step < count; ++step) {
        const int i = (step + 1) % count;
        if (combo.itemText(i).startsWith(text, Qt::CaseInsensitive)) {
            combo.setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

// Scalable faces only, in the system's order, none named with a leading '@'.
QStringList SubtitleFaces() {
    QStringList faces;
    for (const QString& family : QFontDatabase::families()) {
        if (!family.startsWith(QLatin1Char('@')) && QFontDatabase::isSmoothlyScalable(family))
            faces << family;
    }
    return faces;
}

// A face name as the subtitle record holds it: at most 31 bytes, never cut
// inside a character.
void CopyFaceName(const QString& face, char (&out)[32]) {
    QByteArray bytes = face.toUtf8();
    int end = std::min<int>(int(bytes.size()), int(sizeof out) - 1);
    while (end > 0 && (uchar(bytes[end]) & 0xC0) == 0x80)
        --end;
    std::memset(out, 0, sizeof out);
    std::memcpy(out, bytes.constData(), std::size_t(end));
}

template <typename Widget> Widget* Tagged(Widget* widget, int id, const QString& accessibleName) {
    widget->setProperty(kControlIdProperty, id);
    widget->setAccessibleName(accessibleName);
    return widget;
}

QPushButton* MakeButton(QWidget* parent, const QString& text, const QIcon& icon) {
    auto* button = new QPushButton(icon, text, parent);
    // Enter in the editor does nothing, so no button may take it.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

CAddTextDlg::CAddTextDlg(QWidget* parent, int32_t frameCount, EditorContext context)
    : QDialog(parent), context_(context), m_nFrameCount(frameCount) {
    setWindowTitle(QStringLiteral("Insert subtitles or Delete unwanted frames"));
    setAccessibleName(windowTitle());
    QFont templateFont(QStringLiteral("Verdana"));
    templateFont.setPointSize(kTemplateFontPoints);
    setFont(templateFont);
    setModal(true);
    setFixedSize(DialogUnits(templateFont).Size(kTemplateWidth, kTemplateHeight));
    timer_.setInterval(kPlaybackPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &CAddTextDlg::OnTimer);

    CreateControls();
    for (const auto& frame : context_.frames)
        m_pStrip->AddFrame(frame.get());
    m_pStrip->InitialUpdate();
    FillStyleControls();
    FillSubtitleRows();
    ConnectControls();
}

CAddTextDlg::~CAddTextDlg() = default;

// --- Start-up
// ------------------------------------------------------------------------

void CAddTextDlg::CreateControls() {
    const DialogUnits du(font());
    preview_ = Tagged(MakeButton(this, QStringLiteral("Preview"), editor_icons::Play()),
                      IDC_PREVIEW, QStringLiteral("Preview"));
    preview_->setCheckable(true);
    preview_->setAccessibleDescription(QStringLiteral("Plays the kept frames"));
    preview_->setGeometry(du.Rect(0, 0, 71, 14));
    deleteUndo_ =
        Tagged(MakeButton(this, QStringLiteral("Delete / Undo"), editor_icons::RecycleBin()),
               IDC_DELETE_UNDO, QStringLiteral("Delete / Undo"));
    deleteUndo_->setAccessibleDescription(
        QStringLiteral("Deletes the selected frames, or restores them"));
    deleteUndo_->setGeometry(du.Rect(0, 17, 71, 14));

    addSubtitle_ =
        Tagged(MakeButton(this, QStringLiteral("Add Subtitle"), editor_icons::AddSubtitle()),
               IDC_ADD_SUBTITLE, QStringLiteral("Add Subtitle"));
    addSubtitle_->setToolTip(QStringLiteral("Add a new subtitle"));
    addSubtitle_->setGeometry(du.Rect(74, 291, 60, 19));
    deleteSubtitle_ = Tagged(MakeButton(this, QString(), editor_icons::DeleteSubtitle()),
                             IDC_DELETE_SUBTITLE, QStringLiteral("Delete Subtitle"));
    deleteSubtitle_->setToolTip(QStringLiteral("Delete the subtitle"));
    deleteSubtitle_->setGeometry(du.Rect(139, 291, 18, 19));

    for (const auto& [id, x] : {std::pair{IDC_SEPARATOR_STYLE, 163}, {IDC_SEPARATOR_BACK, 365}}) {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setProperty(kControlIdProperty, id);
        line->setGeometry(du.Rect(x, id == IDC_SEPARATOR_STYLE ? 291 : 292, 2, 16));
    }

    fontFace_ = Tagged(new QComboBox(this), IDC_FONT_FACE, QStringLiteral("Subtitle font"));
    fontFace_->setGeometry(du.Rect(170, 294, 94, 12));
    fontSize_ = Tagged(new QComboBox(this), IDC_FONT_SIZE, QStringLiteral("Font size in points"));
    fontSize_->setGeometry(du.Rect(268, 294, 26, 12));
    bold_ = Tagged(new QCheckBox(QStringLiteral("B"), this), IDC_BOLD, QStringLiteral("Bold"));
    bold_->setGeometry(du.Rect(299, 297, 19, 10));
    italic_ =
        Tagged(new QCheckBox(QStringLiteral("I"), this), IDC_ITALIC, QStringLiteral("Italic"));
    italic_->setGeometry(du.Rect(319, 297, 16, 10));
    textColor_ = Tagged(new CColorButton(this, context_.screenPixels), IDC_TEXT_COLOR,
                        QStringLiteral("Text colour"));
    textColor_->setGeometry(du.Rect(339, 297, 20, 10));
    auto* label = new QLabel(QStringLiteral("Background:"), this);
    label->setGeometry(du.Rect(372, 298, 43, 8));
    backStyle_ = Tagged(new QComboBox(this), IDC_BACK_STYLE, QStringLiteral("Background"));
    backStyle_->setGeometry(du.Rect(417, 295, 55, 12));
    label->setBuddy(backStyle_);
    backColor_ = Tagged(new CColorButton(this, context_.screenPixels), IDC_BACK_COLOR,
                        QStringLiteral("Background colour"));
    backColor_->setGeometry(du.Rect(478, 297, 20, 10));

    list_ = Tagged(new CListCtrlEx(this), IDC_SUBTITLE_LIST, QStringLiteral("Subtitles"));
    list_->setGeometry(du.Rect(74, 314, 429, 65));
    list_->Editor().setProperty(kControlIdProperty, int(IDC_CELL_EDIT));

    // The strip hangs below Delete / Undo down to the bottom, as wide as it.
    const QRect below = deleteUndo_->geometry();
    m_pStrip = new XListView(this);
    m_pStrip->setGeometry(0, below.bottom() + 1, below.width(), height() - below.bottom() - 1);

    // The view takes the rest: right of the subtitle commands' left edge
    // (less 5 pixels), above them (less 5 pixels).
    const QRect add = addSubtitle_->geometry();
    view_ = new CFrameView(this, *this);
    view_->setGeometry(QRect(QPoint(add.left() - 5, 0), QPoint(width() - 1, add.top() - 6)));
}

void CAddTextDlg::FillStyleControls() {
    const AppSettings& s = context_.settings;
    fontFace_->addItems(SubtitleFaces());
    const QString face = QString::fromStdString(s.fontName);
    if (!SelectByPrefix(*fontFace_, face) && !face.isEmpty()) {
        // A face that is not installed stays the choice (a substitute draws
        // it), so opening the editor never changes the user's font.
        fontFace_->insertItem(0, face);
        fontFace_->setCurrentIndex(0);
    }
    for (const int32_t size : kFontSizes)
        fontSize_->addItem(QString::number(size));
    if (!SelectByPrefix(*fontSize_, QString::number(s.fontSize)))
        fontSize_->setCurrentIndex(0);
    bold_->setChecked(s.fontBold);
    italic_->setChecked(s.fontItalic);
    // Without notification: opening the editor must not restyle a subtitle
    // that was left selected the last time.
    textColor_->SetColor(s.fontColor, false);
    backColor_->SetColor(s.backColor, false);
    for (const char* item : kBackgroundItems)
        backStyle_->addItem(QString::fromLatin1(item));
    backStyle_->setCurrentIndex(std::clamp(s.backStyle, 0, int32_t(kBackgroundItems.size()) - 1));
}

void CAddTextDlg::FillSubtitleRows() {
    SetupSubtitleColumns(*list_);
    list_->SetDefaultEditor(SubtitleBeginEditRule(), SubtitleEndEditRule(m_nFrameCount));
    // Each row goes in at the top, so the newest subtitle is the first row.
    for (const auto& subtitle : context_.subtitles)
        InsertSubtitleRow(*list_, subtitle.get());
}

void CAddTextDlg::ConnectControls() {
    connect(addSubtitle_, &QPushButton::clicked, this, &CAddTextDlg::OnAddSubtitle);
    connect(deleteSubtitle_, &QPushButton::clicked, this, &CAddTextDlg::OnDeleteSubtitle);
    connect(deleteUndo_, &QPushButton::clicked, this, &CAddTextDlg::OnDeleteUndo);
    connect(preview_, &QPushButton::clicked, this, &CAddTextDlg::OnPreview);
    connect(m_pStrip, &XListView::DeleteUndoRequested, this, &CAddTextDlg::OnDeleteUndo);
    connect(list_, &CListCtrlEx::RowClicked, this,
            [this](int row) { SelectSubtitle(list_->ItemData(row)); });
    connect(list_, &CListCtrlEx::CellEditEnded, this, [this] { RedrawView(); });

    // The style controls change the current subtitle, when there is one; the
    // defaults saved at close take every change either way. Only the user's
    // choices count (activated / clicked), not the values set here.
    connect(fontFace_, &QComboBox::activated, this, [this] {
        const QString face = fontFace_->currentText();
        ApplyStyle([&](SubtitleItem& s) { CopyFaceName(face, s.text.font.lfFaceName); });
    });
    connect(fontSize_, &QComboBox::activated, this, [this] {
        const int32_t height =
            FontHeightFromPoints(fontSize_->currentText().toInt(), PixelsPerInch());
        ApplyStyle([&](SubtitleItem& s) { s.text.font.lfHeight = height; });
    });
    connect(bold_, &QCheckBox::clicked, this, [this](bool on) {
        ApplyStyle([&](SubtitleItem& s) { s.text.font.lfWeight = on ? 700 : 400; });
    });
    connect(italic_, &QCheckBox::clicked, this, [this](bool on) {
        ApplyStyle([&](SubtitleItem& s) { s.text.font.lfItalic = on ? 1 : 0; });
    });
    connect(textColor_, &CColorButton::Notified, this, [this] {
        const uint32_t color = textColor_->GetColor();
        ApplyStyle([&](SubtitleItem& s) { s.text.textColor = color; });
    });
    connect(backColor_, &CColorButton::Notified, this, [this] {
        const uint32_t color = backColor_->GetColor();
        ApplyStyle([&](SubtitleItem& s) { s.text.boxColor = color; });
    });
    connect(backStyle_, &QComboBox::activated, this, [this](int index) {
        ApplyStyle([&](SubtitleItem& s) {
            s.background = index;
            s.text.opaque = index == int(SubtitleBackground::Rectangle) ? 1 : 0;
        });
    });
}

// --- Subtitles
// -----------------------------------------------------------------------

SubtitleItem* CAddTextDlg::GetCurrentSubtitle() const {
    for (const auto& s : context_.subtitles) {
        if (s && s->selected && s->Covers(m_nCurFrame))
            return s.get();
    }
    return nullptr;
}

void CAddTextDlg::ApplyStyle(const std::function<void(SubtitleItem&)>& change) {
    if (SubtitleItem* current = GetCurrentSubtitle())
        change(*current);
    RedrawView();
}

void CAddTextDlg::ShowSubtitleStyle(const SubtitleItem& subtitle) {
    const LogFont& font = subtitle.text.font;
    SelectByPrefix(
        *fontFace_,
        QString::fromUtf8(font.lfFaceName, int(strnlen(font.lfFaceName, sizeof font.lfFaceName))));
    SelectByPrefix(*fontSize_,
                   QString::number(PointsFromFontHeight(font.lfHeight, PixelsPerInch())));
    bold_->setChecked(font.lfWeight == 700);
    italic_->setChecked(font.lfItalic == 1);
    if (subtitle.background >= 0 && subtitle.background < backStyle_->count())
        backStyle_->setCurrentIndex(subtitle.background);
    // The colours are the subtitle's own already; nothing needs applying back.
    textColor_->SetColor(subtitle.text.textColor, false);
    backColor_->SetColor(subtitle.text.boxColor, false);
}

void CAddTextDlg::SelectSubtitle(SubtitleItem* subtitle) {
    if (!subtitle)
        return;
    for (const auto& s : context_.subtitles) {
        s->selected = s.get() == subtitle ? 1 : 0;
    }
    ShowSubtitleStyle(*subtitle);
    QCoreApplication::postEvent(this, new EditorGotoFrameEvent(subtitle->firstFrame));
}

void CAddTextDlg::OnAddSubtitle() {
    if (context_.frames.empty() || !context_.frames.front())
        return;
    SubtitleStyle style;
    style.fontName = fontFace_->currentText().toStdString();
    style.fontSize = fontSize_->currentText().toInt();
    style.bold = bold_->isChecked();
    style.italic = italic_->isChecked();
    style.textColor = textColor_->GetColor();
    style.background = backStyle_->currentIndex();
    style.backColor = backColor_->GetColor();
    const SubtitlePlacement placement{int32_t(context_.frames.front()->Height()), m_nCurFrame,
                                      m_nFrameCount};
    auto subtitle = CreateSubtitle(placement, style, PixelsPerInch(), TimeSeededRandom());
    SubtitleItem* added = subtitle.get();
    context_.subtitles.push_back(std::move(subtitle));
    InsertSubtitleRow(*list_, added);
    RedrawView();
    // The text cell opens with all of "Please Modify me" selected, so typing
    // replaces it.
    list_->BeginCellEdit(0, 2);
}

void CAddTextDlg::OnDeleteSubtitle() {
    const int row = list_->SelectedRow();
    if (row < 0)
        return;
    const SubtitleItem* subtitle = list_->ItemData(row);
    list_->DeleteRow(row);
    auto& all = context_.subtitles;
    all.erase(
        std::remove_if(all.begin(), all.end(), [&](const auto& s) { return s.get() == subtitle; }),
        all.end());
    RedrawView();
}

// --- Frames
// --------------------------------------------------------------------------

void CAddTextDlg::OnDeleteUndo() {
    m_pStrip->ToggleKept();
    m_pStrip->viewport()->update();
    RedrawView();
    m_pStrip->setFocus();
}

void CAddTextDlg::OnGotoFrame(int32_t frame) {
    if (m_bPlaying) {
        // Stopped for this goto: it already says which frame to show, so the
        // strip's selection is not announced on top of it.
        timer_.stop();
        m_bPlaying = false;
        preview_->setChecked(false);
        preview_->setIcon(editor_icons::Play());
    }
    m_nCurFrame = frame;
    RedrawView();
}

void CAddTextDlg::OnPreview() {
    if (m_bPlaying) {
        StopPlayback();
        return;
    }
    m_pStrip->ClearSelection();
    const int32_t rowHeight = std::max(m_pStrip->ItemHeight(), 1);
    m_nCurFrame = m_pStrip->ScrollPos() / rowHeight + 1;
    if (m_nCurFrame >= 1 && m_nCurFrame <= int32_t(context_.frames.size()) &&
        context_.frames[std::size_t(m_nCurFrame) - 1]->UserFlags() != 0) {
        m_pStrip->SetSelected(m_nCurFrame, true);
        m_pStrip->viewport()->update();
        RedrawView();
    }
    m_bPlaying = true;
    preview_->setChecked(true);
    preview_->setIcon(editor_icons::Pause());
    timer_.start();
}

void CAddTextDlg::StopPlayback() {
    timer_.stop();
    m_bPlaying = false;
    preview_->setChecked(false);
    preview_->setIcon(editor_icons::Play());
    m_pStrip->NotifySelection();
}

void CAddTextDlg::OnTimer() {
    const std::optional<int32_t> next = NextKeptFrame(context_.frames, m_nCurFrame);
    if (!next) {
        StopPlayback();
        return;
    }
    m_pStrip->ClearSelection();
    m_nCurFrame = *next;
    m_pStrip->SetSelected(m_nCurFrame, true);
    KeepInSight(m_nCurFrame);
    m_pStrip->viewport()->update();
    RedrawView();
}

void CAddTextDlg::KeepInSight(int32_t frame) {
    const int32_t rowHeight = std::max(m_pStrip->ItemHeight(), 1);
    const int32_t clientHeight = m_pStrip->viewport()->height();
    int32_t visible = clientHeight / rowHeight + (clientHeight % rowHeight != 0 ? 1 : 0);
    visible = std::min(visible, m_pStrip->Count());
    const int32_t first = m_pStrip->ScrollPos() / rowHeight;
    if (frame < first + 1 || frame > first + visible)
        m_pStrip->SetScrollPos((frame - 1) * rowHeight);
}

// --- The frame view
// ------------------------------------------------------------------

void CAddTextDlg::RedrawView() {
    view_->update();
}

void CAddTextDlg::DrawFrameView(QPainter& painter, const QRect& area) {
    if (m_nCurFrame < 1 || m_nCurFrame > int32_t(context_.frames.size()))
        return;
    const CxImage* frame = context_.frames[std::size_t(m_nCurFrame) - 1].get();
    // A deleted frame shows only the hatch.
    if (!frame || frame->UserFlags() == 0)
        return;
    const QImage picture =
        RenderFrameWithSubtitles(*frame, m_nCurFrame, context_.subtitles, context_.text,
                                 palette().color(QPalette::Highlight));
    if (picture.isNull())
        return;
    fit_ = FitFrameInArea(picture.width(), picture.height(), area);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, fit_.scale > 1.0f);
    painter.drawImage(fit_.image, picture);
}

void CAddTextDlg::FrameViewPressed(QPoint point) {
    if (!fit_.image.contains(point))
        return;
    const QPoint at = ViewToFrame(point, fit_);
    SubtitleItem* hit = HitSubtitle(context_.subtitles, m_nCurFrame, at);
    for (const auto& s : context_.subtitles)
        s->selected = s.get() == hit ? 1 : 0;
    if (hit) {
        m_ptGrab = QPoint(at.x() - hit->x, at.y() - (hit->y - hit->height));
        ShowSubtitleStyle(*hit);
        list_->SelectRow(list_->FindRow(hit));
    }
    RedrawView();
}

void CAddTextDlg::FrameViewDragged(QPoint point, Qt::MouseButtons buttons) {
    // The drag pauses while the pointer is off the frame.
    if (!(buttons & Qt::LeftButton) || !fit_.image.contains(point))
        return;
    SubtitleItem* current = GetCurrentSubtitle();
    if (!current)
        return;
    const QPoint at = ViewToFrame(point, fit_);
    current->x = at.x() - m_ptGrab.x();
    current->y = at.y() - m_ptGrab.y() + current->height;
    const int row = list_->FindRow(current);
    if (row >= 0) {
        list_->SetItemText(row, 3, QString::number(current->x));
        list_->SetItemText(row, 4, QString::number(current->y));
    }
    RedrawView();
}

// --- Closing and events
// --------------------------------------------------------------

void CAddTextDlg::OnClose() {
    if (closed_)
        return;
    closed_ = true;
    timer_.stop();
    m_bPlaying = false;
    // A cell still open keeps what was typed.
    list_->EndCellEdit(true);
    m_pStrip->RemoveAllItems();
    AppSettings& s = context_.settings;
    char face[32];
    CopyFaceName(fontFace_->currentText(), face);
    s.fontName = face;
    s.fontSize = fontSize_->currentText().toInt();
    s.fontBold = bold_->isChecked();
    s.fontItalic = italic_->isChecked();
    s.fontColor = textColor_->GetColor();
    s.backColor = backColor_->GetColor();
    s.backStyle = backStyle_->currentIndex();
    QDialog::done(QDialog::Rejected);
}

void CAddTextDlg::reject() {
    OnClose();
}

void CAddTextDlg::closeEvent(QCloseEvent* event) {
    OnClose();
    event->accept();
}

void CAddTextDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept(); // Enter does nothing; the dialog stays open
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CAddTextDlg::event(QEvent* event) {
    if (const EditorGotoFrameEvent* go = AsGotoFrame(event)) {
        OnGotoFrame(go->Frame());
        return true;
    }
    return QDialog::event(event);
}

QWidget* CAddTextDlg::Control(int controlId) const {
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->property(kControlIdProperty).toInt() == controlId)
            return child;
    }
    return nullptr;
}

int32_t CAddTextDlg::PixelsPerInch() const {
    const QScreen* s = screen();
    return s ? int32_t(s->logicalDotsPerInchY()) : 96;
}
