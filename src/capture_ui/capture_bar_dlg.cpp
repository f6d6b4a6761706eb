#include "capture_ui/capture_bar_dlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include <array>
#include <utility>

#include "app/capture_app.h"
#include "capture_ui/about_dlg.h"
#include "capture_ui/capture_frame.h"
#include "capture_ui/frame_painting.h"
#include "capture_ui/gif_import_progress.h"
#include "capture_ui/help_page.h"
#include "capture_ui/more_menu.h"
#include "capture_ui/toolbar_pictures.h"
#include "editor/add_text_dlg.h"
#include "preview/preview_dlg.h"
#include "widgets/my_bitmap_button.h"

namespace {

const QString kTitle = QStringLiteral("Frameloop");

struct ButtonEntry {
    int id;
    const char* text; // the template's text until the pictures replace it
    toolbar_pictures::Button picture;
    // What assistive tools read: the pictures say nothing to them, and the
    // caption boxes' texts are single letters.
    const char* name;
    const char* onName; // the name while the button is on, or null
    const char* description;
};

// In the order of the top bar's fields.
constexpr std::array kButtons{
    ButtonEntry{CCaptureBarDlg::IDC_CLOSE, "C", toolbar_pictures::Button::Close, "Close", nullptr,
                "Closes Frameloop"},
    ButtonEntry{CCaptureBarDlg::IDC_MINIMIZE, "M", toolbar_pictures::Button::Minimise, "Minimize",
                nullptr, "Minimizes Frameloop"},
    // Drawn like a caption's maximise box, but the frame is sized by its edges.
    ButtonEntry{CCaptureBarDlg::IDC_INERT, "A", toolbar_pictures::Button::Inert, "Maximize",
                nullptr, "Inactive: does nothing; drag the frame's edges to resize it"},
    ButtonEntry{CCaptureBarDlg::IDC_CAPTURE, "Capture", toolbar_pictures::Button::Capture,
                "Capture", "Stop",
                "Starts recording the screen inside the frame; while recording, stops it"},
    ButtonEntry{CCaptureBarDlg::IDC_SUBTITLE, "Subtitle", toolbar_pictures::Button::Subtitle,
                "Subtitle", nullptr, "Adds subtitles to the recorded frames"},
    ButtonEntry{CCaptureBarDlg::IDC_GIF, "GIF", toolbar_pictures::Button::Gif, "GIF", nullptr,
                "Makes the animated GIF from the recording and shows it in the preview"},
    ButtonEntry{CCaptureBarDlg::IDC_MORE, "More", toolbar_pictures::Button::More, "More", nullptr,
                "Opens a menu: speeds, size and quality, on the top, modifying an existing GIF, "
                "help and About"},
};

const char* const kControlIdProperty = "controlId";

QString ChooseGifToOpen(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                        QStringLiteral("Animated Gif File(*.gif)"));
}

} // namespace

CCaptureBarDlg::CCaptureBarDlg(CCaptureApp& app, std::unique_ptr<CaptureEngine> engine,
                               ScreenPixelReader* screenPixels)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), app_(app),
      screenPixels_(screenPixels),
      controller_(std::make_unique<CaptureController>(app, std::move(engine), *this)),
      openPathChooser_(ChooseGifToOpen) {
    setWindowTitle(kTitle);
    setAcceptDrops(true);
    setAttribute(Qt::WA_DeleteOnClose, false);
    preview_ = new CPreviewDlg(this);
    preview_->SetOwnerQuery([this] {
        const CaptureRect& capture = controller_->GetCaptureRect();
        return PreviewOwnerInfo{frameGeometry(), capture.Height(), controller_->GifPath()};
    });
    CreateButtons();
    resize(frame_geometry::kInitialBarWidth, kBarHeight);
    setMouseTracking(true);
    frame_ = new CCaptureFrame(*this, [this] {
        return frame_painting::FrameStatus{controller_->State(),
                                           controller_->BlinkOn(),
                                           controller_->FrameCount(),
                                           app_.Settings().captureRate,
                                           percent_,
                                           controller_->GetCaptureRect()};
    });
    // The frame's rules make the rectangle; the controller keeps the one copy
    // the rest of the program reads.
    controller_->SetCaptureRect(frame_->Model().Capture());
    connect(frame_, &CCaptureFrame::CaptureRectChanged, this,
            [this](const CaptureRect& rect) { controller_->SetCaptureRect(rect); });
}

CCaptureBarDlg::~CCaptureBarDlg() = default;

void CCaptureBarDlg::CreateButtons() {
    for (const ButtonEntry& entry : kButtons) {
        auto* button = new CMyBitmapButton(this);
        button->setText(QString::fromLatin1(entry.text));
        button->SetAccessibleNames(QString::fromLatin1(entry.name),
                                   entry.onName ? QString::fromLatin1(entry.onName) : QString());
        button->setAccessibleDescription(QString::fromLatin1(entry.description));
        button->LoadImages(toolbar_pictures::ImagesFor(entry.picture, devicePixelRatioF()));
        button->setProperty(kControlIdProperty, entry.id);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, [this, id = entry.id] {
            switch (id) {
            case IDC_CLOSE:
                close();
                break;
            case IDC_MINIMIZE:
                OnMinimize();
                break;
            case IDC_CAPTURE:
                controller_->OnCapture();
                break;
            case IDC_GIF:
                controller_->OnMakeGif();
                break;
            case IDC_SUBTITLE:
                controller_->OnSubtitle();
                break;
            case IDC_MORE:
                OnMore();
                break;
            default:
                break; // the inert box
            }
        });
    }
    LayoutButtons();
}

QPushButton* CCaptureBarDlg::Button(int controlId) const {
    for (QPushButton* button : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
        if (button->property(kControlIdProperty).toInt() == controlId)
            return button;
    }
    return nullptr;
}

void CCaptureBarDlg::LayoutButtons() {
    for (const ButtonEntry& entry : kButtons) {
        if (QPushButton* button = Button(entry.id))
            button->setGeometry(toolbar_pictures::ButtonRect(entry.picture, width()));
    }
}

void CCaptureBarDlg::SetOpenPathChooser(std::function<QString(QWidget*)> chooser) {
    openPathChooser_ = std::move(chooser);
}

void CCaptureBarDlg::Initialise() {
    // Centred on the screen, the capture rectangle hanging below the bar.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - width()) / 2,
             area.top() + (area.height() - height()) / 2);
    }
    FollowBar();
    controller_->Initialise(this);
    SetStaysOnTop(app_.Settings().alwaysOnTop);
    // The edge windows are placed and shown once the bar runs.
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(WM_LAYOUT_FRAME)));
}

void CCaptureBarDlg::FollowBar() {
    // During construction the bar is sized before the frame exists.
    if (frame_ != nullptr)
        frame_->FollowBar();
}

void CCaptureBarDlg::SetStaysOnTop(bool onTop) {
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    // Changing the flags hides a shown window.
    if (wasVisible)
        show();
    frame_->SetStaysOnTop(onTop);
}

// --- Commands ---------------------------------------------------------------------

void CCaptureBarDlg::OnMinimize() {
    showMinimized();
}

void CCaptureBarDlg::OnMore() {
    const QPushButton* more = Button(IDC_MORE);
    const QPoint at = more->mapToGlobal(QPoint(0, more->height()));
    RunMoreCommand(more_menu::ExecMoreMenu(at, app_.Settings()));
}

void CCaptureBarDlg::RunMoreCommand(int command) {
    AppSettings& settings = app_.Settings();
    if (more_menu::ApplySettingCommand(command, settings))
        return;
    switch (command) {
    case more_menu::ID_ON_THE_TOP:
        settings.alwaysOnTop = !settings.alwaysOnTop;
        SetStaysOnTop(settings.alwaysOnTop);
        return;
    case more_menu::ID_MODIFY_GIF:
        if (controller_->CanOpenForEditing()) {
            const QString path = openPathChooser_(this);
            if (!path.isEmpty())
                controller_->OpenForEditing(path);
        }
        return;
    case more_menu::ID_WHY_BLANK:
        help_page::OpenBlankGifHelp();
        return;
    case more_menu::ID_ABOUT: {
        CAboutDlg about(this);
        about.exec();
        return;
    }
    default:
        return; // dismissed
    }
}

// --- CaptureView -------------------------------------------------------------------

void CCaptureBarDlg::SetCaptureButtonOn(bool on) {
    if (auto* capture = qobject_cast<CMyBitmapButton*>(Button(IDC_CAPTURE))) {
        capture->setText(on ? QStringLiteral("Stop") : QStringLiteral("Capture"));
        capture->SetOn(on);
    }
}

void CCaptureBarDlg::RepaintFrame() {
    update();
    frame_->RepaintAll();
}

void CCaptureBarDlg::RepaintStatus() {
    frame_->RepaintStatus();
}

void CCaptureBarDlg::SetProgressPercent(int percent) {
    percent_ = percent;
    frame_->SetPercent(percent);
}

void CCaptureBarDlg::ShowGif(const QString& path, int frames, int width, int height, float sizeKB) {
    preview_->Explorer().Navigate(path);
    preview_->ShowGifInfo(frames, width, height, sizeKB);
}

void CCaptureBarDlg::ShowMessage(const QString& text) {
    QMessageBox::information(this, kTitle, text, QMessageBox::Ok);
}

void CCaptureBarDlg::RunEditor(int32_t /*frameCount*/) {
    CaptureEngine& engine = controller_->Engine();
    FrameList& frames = engine.Frames();
    if (frames.empty() || !frames.front())
        return;
    // The frames held, whatever the last progress message counted.
    CAddTextDlg editor(
        this, int32_t(frames.size()),
        EditorContext{frames, engine.Subtitles(), app_.Settings(), engine.Text(), screenPixels_});
    editor.exec();
}

std::optional<int32_t> CCaptureBarDlg::ImportGif(const QString& path) {
    CaptureEngine& engine = controller_->Engine();
    GifImportJob job(path, engine.MemoryBudget());
    const GifImportStatus status = RunGifImportWithProgress(this, job);
    if (status == GifImportStatus::Failed)
        ShowMessage(job.Error());
    if (status != GifImportStatus::Loaded)
        return std::nullopt;
    // Only a whole file replaces the recording.
    FrameList frames = job.TakeFrames();
    const int32_t count = int32_t(frames.size());
    engine.Frames() = std::move(frames);
    engine.SetCaptureRect(CaptureRect{0, 0, job.Probe().width, job.Probe().height});
    return count;
}

// --- Events -------------------------------------------------------------------------

bool CCaptureBarDlg::event(QEvent* event) {
    if (event->type() == static_cast<QEvent::Type>(WM_LAYOUT_FRAME)) {
        frame_->OnLayoutFrame(0);
        return true;
    }
    if (controller_->HandleEngineMessage(event))
        return true;
    return QWidget::event(event);
}

void CCaptureBarDlg::closeEvent(QCloseEvent* event) {
    if (!controller_->RequestClose()) {
        event->ignore();
        return;
    }
    preview_->close();
    event->accept();
}

void CCaptureBarDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return; // Enter does nothing
    default:
        QWidget::keyPressEvent(event);
    }
}

void CCaptureBarDlg::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    FollowBar();
}

void CCaptureBarDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutButtons();
    FollowBar();
}

void CCaptureBarDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CCaptureBarDlg::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    QStringList paths;
    for (const QUrl& url : urls)
        paths << url.toLocalFile(); // empty for anything but a local file
    event->acceptProposedAction();
    if (paths.size() == 1 && paths.front().isEmpty())
        return;
    controller_->OnFilesDropped(paths);
}

void CCaptureBarDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const AppSettings& s = app_.Settings();
    const frame_painting::FrameStatus status{controller_->State(),
                                             controller_->BlinkOn(),
                                             controller_->FrameCount(),
                                             s.captureRate,
                                             percent_,
                                             controller_->GetCaptureRect()};
    frame_painting::PaintTopBar(painter, size(), status, kTitle);
}

void CCaptureBarDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        frame_->BarPressed(event->position().toPoint());
}

void CCaptureBarDlg::mouseMoveEvent(QMouseEvent* event) {
    frame_->BarMoved(event->position().toPoint(), event->globalPosition().toPoint(),
                     event->buttons());
}

void CCaptureBarDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        frame_->BarReleased();
}
