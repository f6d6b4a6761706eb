#include "preview/preview_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <array>
#include <cstdio>

#include "preview/popup_accessibility.h"
#include "preview/preview_icons.h"
#include "preview/sharing.h"

QSize PreviewWindowSize(int gifWidth, int gifHeight, int captionHeight, int ownerHeight,
                        int captureHeight) {
    const int width = std::max(gifWidth + 60, CPreviewDlg::kMinWidth);
    const int floor = ownerHeight + captureHeight + 40;
    const int height = std::max({gifHeight + captionHeight + 60, CPreviewDlg::kMinHeight, floor});
    return {width, height};
}

namespace {

// Dialog units of the window's template font, converted to pixels.
QSize DialogUnitsToPixels(const QFont& font, int x, int y) {
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    const int baseY = metrics.height();
    return {x * baseX / 4, y * baseY / 8};
}

QPushButton* MakeButton(QWidget* parent, const QString& text, const QIcon& icon, QSize size) {
    auto* button = new QPushButton(icon, text, parent);
    // Enter in the preview does nothing, so no button may take it.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->resize(size);
    return button;
}

} // namespace

CPreviewDlg::CPreviewDlg(QWidget* owner) : QDialog(owner) {
    // The sharing menu, like every menu of the program, must be reachable by
    // assistive tools.
    popup_accessibility::Install();
    setWindowTitle(QStringLiteral("Preview"));
    setFont(QFont(QStringLiteral("Verdana"), 8));
    setModal(false);
    setSizeGripEnabled(false);

    explorer_ = new CGifexplorer(this);
    info_ = new QLabel(this);
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The line itself is the label's accessible name.
    info_->setAccessibleDescription(QStringLiteral("Frames, file size and dimensions of the GIF"));

    saveOrUpload_ = MakeButton(this, QStringLiteral("Save or Upload..."),
                               preview_icons::ShareIcon(), DialogUnitsToPixels(font(), 85, 17));
    copy_ = MakeButton(this, QStringLiteral("Copy to Clipboard"), preview_icons::CopyIcon(),
                       DialogUnitsToPixels(font(), 80, 17));
    copy_->setToolTip(QStringLiteral("You can paste this anmiated GIF to somewhere"));
    saveOrUpload_->setAccessibleDescription(
        QStringLiteral("Opens a menu: upload the GIF to Imgur, copy it to the clipboard or save "
                       "it to disk"));
    copy_->setAccessibleDescription(
        QStringLiteral("Copies the GIF to the clipboard, to paste it somewhere else"));
    // Copying stays reachable through the sharing menu.
    copy_->setEnabled(false);
    copy_->hide();

    connect(saveOrUpload_, &QPushButton::clicked, this, &CPreviewDlg::OnSaveOrUpload);
    connect(copy_, &QPushButton::clicked, this, &CPreviewDlg::CopyGifToClipboard);

    setMinimumSize(kMinWidth, std::max(1, kMinHeight - CaptionHeight()));
    const QSize initial = DialogUnitsToPixels(font(), 186, 90);
    resize(std::max(initial.width(), kMinWidth), std::max(initial.height(), minimumHeight()));
    LayoutControls();
}

void CPreviewDlg::SetOwnerQuery(std::function<PreviewOwnerInfo()> query) {
    ownerQuery_ = std::move(query);
}

void CPreviewDlg::SetSavePathChooser(std::function<QString(QWidget*)> chooser) {
    savePathChooser_ = std::move(chooser);
}

PreviewOwnerInfo CPreviewDlg::Owner() const {
    return ownerQuery_ ? ownerQuery_() : PreviewOwnerInfo{};
}

int CPreviewDlg::CaptionHeight() const {
    return style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

void CPreviewDlg::ShowGifInfo(int frames, int width, int height, float sizeKB) {
    // The C library's rounding, so 1.25K reads 1.2K as printf has it.
    std::array<char, 96> line{};
    std::snprintf(line.data(), line.size(), "%d Frames, %.1fK, %d*%d", frames,
                  static_cast<double>(sizeKB), width, height);
    info_->setText(QString::fromLatin1(line.data()));
    saveOrUpload_->update();
    copy_->update();
    if (isVisible()) {
        return;
    }
    const PreviewOwnerInfo owner = Owner();
    const int caption = CaptionHeight();
    const QSize window =
        PreviewWindowSize(width, height, caption, owner.windowRect.height(), owner.captureHeight);
    // The window manager adds the caption above the client area.
    resize(window.width(), std::max(window.height() - caption, minimumHeight()));
    move(owner.windowRect.x() + owner.windowRect.width(), owner.windowRect.y());
    LayoutControls();
    showNormal();
    raise();
    activateWindow();
}

void CPreviewDlg::LayoutControls() {
    if (saveOrUpload_ == nullptr) {
        return;
    }
    const int w = width();
    const int h = height();
    explorer_->setGeometry(0, 0, w, std::max(0, h - 60));
    info_->setGeometry(3, h - 50, w, 40);
    saveOrUpload_->move(1, h - 27);
    copy_->move(saveOrUpload_->width() + 2, h - 27);
    update();
}

void CPreviewDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayoutControls();
}

void CPreviewDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CPreviewDlg::OnSaveOrUpload() {
    QMenu menu(this);
    sharing::BuildSaveMenu(menu);
    const QRect button(saveOrUpload_->mapToGlobal(QPoint(0, 0)), saveOrUpload_->size());
    const QScreen* screen = saveOrUpload_->screen();
    const QPoint at = sharing::SaveMenuPosition(button, menu.sizeHint(),
                                                screen ? screen->availableGeometry() : QRect());
    const QAction* chosen = menu.exec(at);
    RunSaveCommand(chosen ? chosen->data().toInt() : 0);
}

void CPreviewDlg::RunSaveCommand(int commandId) {
    switch (commandId) {
    case sharing::kCmdUpload:
        UploadGif();
        break;
    case sharing::kCmdCopy:
        CopyGifToClipboard();
        break;
    case sharing::kCmdSave:
        SaveGifToDisk();
        break;
    default:
        break;
    }
}

void CPreviewDlg::UploadGif() {
    const QString path = Owner().gifPath;
    if (!path.isEmpty()) {
        sharing::StartUploader(path);
    }
}

void CPreviewDlg::CopyGifToClipboard() {
    if (!explorer_->HasDocument()) {
        return;
    }
    const QByteArray& bytes = explorer_->DocumentBytes();
    const QString copy = sharing::WriteClipboardCopy(bytes, explorer_->DocumentPath());
    auto data = sharing::MakeGifMimeData(bytes, explorer_->FirstFrame(), copy);
    QApplication::clipboard()->setMimeData(data.release());
}

void CPreviewDlg::SaveGifToDisk() {
    QString target;
    if (savePathChooser_) {
        target = savePathChooser_(this);
    } else {
        auto dialog = sharing::MakeSaveDialog(this);
        if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
            target = dialog->selectedFiles().constFirst();
        }
    }
    if (target.isEmpty()) {
        return;
    }
    sharing::CopyFileReplacing(Owner().gifPath, target);
}
