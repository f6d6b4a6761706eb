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
#include <utility>

#include "app/capture_controller.h"

class CCaptureApp;
class CCaptureFrame;
class CGifMaker;
class CPreviewDlg;
class QPushButton;

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
    static constexpr int kInitialWidth = 310;
    // Holds the 25-pixel title band and the button row that ends 61 pixels down.
    static constexpr int kBarHeight = 66;
    static constexpr int kInitialCaptureHeight = 250;
    static constexpr int kStripWidth = 5;

    // The program's top bar with the real engine (the X server's screen).
    explicit CCaptureBarDlg(CCaptureApp& app);
    // With another engine (tests).
    CCaptureBarDlg(CCaptureApp& app, std::unique_ptr<CaptureEngine> engine);
    ~CCaptureBarDlg() override;

    // Start-up after construction: reads the settings, applies "On the Top",
    // starts the worker and places the bar centred with the capture
    // rectangle below it.
    void Initialise();

    CaptureController& Controller() { return *controller_; }
    // The engine's frame list for the editor and the import; null when the
    // bar runs with a test engine.
    CGifMaker* Maker() { return maker_; }
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
    CCaptureBarDlg(CCaptureApp& app, std::pair<std::unique_ptr<CaptureEngine>, CGifMaker*> engine);
    void CreateButtons();
    void LayoutButtons();
    // The capture rectangle follows the bar: between the side strips, directly
    // below the bar, keeping its height.
    void FollowBar();

    CCaptureApp& app_;
    CGifMaker* maker_ = nullptr;
    std::unique_ptr<CaptureController> controller_;
    CPreviewDlg* preview_ = nullptr;
    int percent_ = 0; // the last build percentage reported
    CCaptureFrame* frame_ = nullptr; // the edge windows and the frame's rules
    std::function<QString(QWidget*)> openPathChooser_;
};
