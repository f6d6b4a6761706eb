#pragma once
// CCaptureBarDlg: the top bar, the program's main window. It owns the capture
// controller (and through it the engine) and the preview, turns its buttons,
// keys, drops and close requests into controller commands, and hands the
// worker's posted messages to the controller. The controller draws through
// the CaptureView half of this class.

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

#include "app/capture_controller.h"

class CCaptureApp;
class CCaptureFrame;
class CPreviewDlg;
class QPushButton;
class ScreenPixelReader;

class CCaptureBarDlg : public QWidget, public CaptureView {
    Q_OBJECT
public:
    // Control ids of the top bar.
    enum ControlId {
        IDOK = 1,
        IDC_CLOSE = 2,
        IDC_MINIMIZE = 3,
        IDC_INERT = 4,
        IDC_CAPTURE = 1000,
        IDC_GIF = 1001,
        IDC_MORE = 1002,
        IDC_SUBTITLE = 1003,
    };
    // Holds the 25-pixel title band and the button row that ends 61 pixels down.
    static constexpr int kBarHeight = 66;

    // The top bar drives `engine`, which the program's composition root made
    // (tests hand in a fake), and owns it from here on. `screenPixels` is the
    // editor's eyedropper (null: none); it must outlive the bar.
    CCaptureBarDlg(CCaptureApp& app, std::unique_ptr<CaptureEngine> engine,
                   ScreenPixelReader* screenPixels = nullptr);
    ~CCaptureBarDlg() override;

    // Start-up after construction: reads the settings, applies "On the Top",
    // starts the worker and places the bar centred with the capture
    // rectangle below it.
    void Initialise();

    CaptureController& Controller() { return *controller_; }
    CPreviewDlg& Preview() { return *preview_; }
    QPushButton* Button(int controlId) const;

    // Replaces the file-open dialog of "Modify Existing GIF" (tests): returns
    // the chosen path, or empty when cancelled.
    void SetOpenPathChooser(std::function<QString(QWidget*)> chooser);

    // --- CaptureView ----------------------------------------------------------
    void SetCaptureButtonOn(bool on) override;
    void RepaintFrame() override;
    void RepaintStatus() override;
    void SetProgressPercent(int percent) override;
    void ShowGif(const QString& path, int frames, int width, int height, float sizeKB) override;
    void ShowMessage(const QString& text) override;
    void RunEditor(int32_t frameCount) override;
    std::optional<int32_t> ImportGif(const QString& path) override;

    // --- Commands (also reached through the buttons) ------------------------
    void OnMore();
    void RunMoreCommand(int command);
    void OnMinimize();
    void SetStaysOnTop(bool onTop);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Moving and resizing by the bar's body and edges (the frame's rules).
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void CreateButtons();
    void LayoutButtons();
    // The capture rectangle follows the bar: between the side strips, directly
    // below the bar, keeping its height.
    void FollowBar();

    CCaptureApp& app_;
    ScreenPixelReader* screenPixels_;
    std::unique_ptr<CaptureController> controller_;
    CPreviewDlg* preview_ = nullptr;
    int percent_ = 0;                // the last build percentage reported
    CCaptureFrame* frame_ = nullptr; // the edge windows and the frame's rules
    std::function<QString(QWidget*)> openPathChooser_;
};
