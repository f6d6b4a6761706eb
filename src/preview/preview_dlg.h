#pragma once
// CPreviewDlg: the modeless window that plays the finished GIF, shows one line
// about it (frames, size, dimensions) and offers the sharing menu. There is
// one per run; every new GIF replaces its content.
#include <QDialog>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

#include "preview/gifexplorer.h"

class QLabel;
class QPushButton;

// What the preview needs from the window that owns it.
struct PreviewOwnerInfo {
    QRect windowRect;      // the owner's window rectangle on the screen
    int captureHeight = 0; // height of the capture rectangle below it
    QString gifPath;       // the temporary GIF the sharing actions work on
};

// Window size for a hidden preview about to show a GIF of gifWidth x
// gifHeight: 60 pixels around the picture, at least 200 x 150, and tall enough
// to reach 40 pixels below the capture rectangle.
QSize PreviewWindowSize(int gifWidth, int gifHeight, int captionHeight, int ownerHeight,
                        int captureHeight);

class CPreviewDlg : public QDialog {
    Q_OBJECT
public:
    enum ControlId {
        IDC_EXPLORER = 1004,
        IDC_INFO = 1005,
        IDC_COPY = 1006,
        IDC_SAVE_OR_UPLOAD = 1007,
    };
    static constexpr int kMinWidth = 200;
    static constexpr int kMinHeight = 150;

    explicit CPreviewDlg(QWidget* owner = nullptr);

    // How the preview learns the owner's place and the current GIF path.
    void SetOwnerQuery(std::function<PreviewOwnerInfo()> query);

    // Lets the view play the GIF at `path`.
    CGifexplorer& Explorer() { return *explorer_; }

    // Writes the info line; a hidden preview is sized, placed beside the owner
    // and shown, a visible one keeps its size and place.
    void ShowGifInfo(int frames, int width, int height, float sizeKB);

    // Places the controls from the client size.
    void LayoutControls();

    // The window's caption height, as the sizing rules count it.
    int CaptionHeight() const;

    // The sharing actions (they never report a failure).
    void OnSaveOrUpload();
    void RunSaveCommand(int commandId);
    void UploadGif();
    void CopyGifToClipboard();
    void SaveGifToDisk();

    // Replaces the save dialog (tests): returns the chosen path or empty.
    void SetSavePathChooser(std::function<QString(QWidget*)> chooser);

    QLabel& InfoLine() { return *info_; }
    QPushButton& SaveOrUploadButton() { return *saveOrUpload_; }
    QPushButton& CopyButton() { return *copy_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    PreviewOwnerInfo Owner() const;

    CGifexplorer* explorer_ = nullptr;
    QLabel* info_ = nullptr;
    QPushButton* saveOrUpload_ = nullptr;
    QPushButton* copy_ = nullptr;
    std::function<PreviewOwnerInfo()> ownerQuery_;
    std::function<QString(QWidget*)> savePathChooser_;
};
