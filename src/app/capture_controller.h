#pragma once
// The capture controller: the program's state machine. It turns the top bar's
// commands into messages for the capture worker and the worker's replies into
// state changes, repaints and the hand-over of the finished GIF. The window
// half (CCaptureBarDlg) owns it and does the drawing through CaptureView.

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

#include "app/capture_engine.h"
#include "image/frame_list.h"

class CCaptureApp;
struct AppSettings;
class QDateTime;
class QEvent;

enum class CaptureState : int32_t {
    Idle = 0,      // nothing recorded since start-up
    Capturing = 1, // the worker is recording the capture rectangle
    Captured = 2,  // frames are held; no job is running
    Creating = 3,  // the worker is building the GIF
};

// Refusal shown when the window is closed during a GIF build.
inline constexpr char kCreatingGifMessage[] = "Creating GIF now, please wait..";
// A build that wrote no file: every frame deleted, or the file refused.
inline constexpr char kNoKeptFrames[] =
    "Every frame is deleted, so there is nothing to build. Open Subtitle and restore "
    "frames with Delete / Undo.";
inline constexpr char kGifNotWritten[] = "The GIF could not be written to %1.";
// A recording the worker ended by itself; its frames are kept.
inline constexpr char kDisplayLostMessage[] =
    "The screen could not be read any more (the display went away), so the recording "
    "stopped after %1 frames. They are kept: press GIF to build them.";
inline constexpr char kMemoryFullMessage[] =
    "The recording reached its memory limit of %1 MB and stopped after %2 frames. They are "
    "kept: press GIF to build them.";

// What the controller asks of the windows.
class CaptureView {
public:
    virtual ~CaptureView() = default;
    // The Capture button's face: Stop while on, Start otherwise.
    virtual void SetCaptureButtonOn(bool on) = 0;
    // The top bar and the three edge windows (status, marks).
    virtual void RepaintFrame() = 0;
    // The bottom bar only.
    virtual void RepaintStatus() = 0;
    // The bottom bar's build percentage.
    virtual void SetProgressPercent(int percent) = 0;
    // A finished GIF: the preview plays `path` and shows the numbers.
    virtual void ShowGif(const QString& path, int frames, int width, int height, float sizeKB) = 0;
    // A message box with an OK button; returns when it is dismissed.
    virtual void ShowMessage(const QString& text) = 0;
    // Runs the frame and subtitle editor modally.
    virtual void RunEditor(int32_t frameCount) = 0;
    // Loads an existing GIF into the engine's frame list; the number of frames
    // on success.
    virtual std::optional<int32_t> ImportGif(const QString& path) = 0;
};

class CaptureController : public QObject {
    Q_OBJECT
public:
    CaptureController(CCaptureApp& app, std::unique_ptr<CaptureEngine> engine, CaptureView& view,
                      QObject* parent = nullptr);
    ~CaptureController() override;

    // Start-up: reads the settings, points the worker's replies at
    // `notifyTarget` (which hands them to HandleEngineMessage) and starts the
    // worker.
    void Initialise(QObject* notifyTarget);

    // --- Commands of the top bar --------------------------------------------
    void OnCapture();
    void OnMakeGif();
    void OnSubtitle();
    // "Modify Existing GIF" and a dropped file; ignored while recording or building.
    void OpenForEditing(const QString& path);
    // Local paths of the dropped files: acts only on exactly one.
    void OnFilesDropped(const QStringList& paths);
    // The close request. False when it is refused (a GIF is being built); true
    // when the window may close: the settings are saved, the last temporary
    // GIF deleted and the worker stopped.
    bool RequestClose();
    // Whether "Modify Existing GIF" and drops are taken now.
    bool CanOpenForEditing() const;
    // The frame may be moved or resized (not while recording).
    bool CanMoveFrame() const { return state_ != CaptureState::Capturing; }

    // --- Replies of the worker ----------------------------------------------
    // Handles WM_FRAME_CAPTURED ... WM_GIF_DONE; false for any other event.
    bool HandleEngineMessage(const QEvent* event);
    void OnFrameCaptured(int64_t framesSoFar);
    // `reason` is the worker's CaptureStopReason.
    void OnCaptureStopped(uint64_t reason = 0);
    void OnGifProgress(int64_t percent);
    void OnGifDone(uint64_t preparedFrames, int64_t packedSize);

    // --- State read by the windows ------------------------------------------
    CaptureState State() const { return state_; }
    int32_t FrameCount() const { return frameCount_; }
    bool BlinkOn() const { return blinkOn_; }
    const QString& GifPath() const { return gifPath_; }
    const CaptureRect& GetCaptureRect() const { return captureRect_; }
    void SetCaptureRect(const CaptureRect& rect) { captureRect_ = rect; }
    AppSettings& Settings();
    CaptureEngine& Engine() { return *engine_; }

    // --- Rules, public for the windows and the tests ------------------------
    // Grab period for a capture rate: 1000 / rate, integer division.
    static int32_t CapturePeriodMs(int32_t captureRate);
    // The recording marks are lit during the first 300 ms of every 600 ms of
    // recorded time (frames * 1000 / rate).
    static bool BlinkOnAt(int64_t framesSoFar, int32_t captureRate);
    // "hour-minute-second-month-day-r.gif".
    static QString TempGifName(const QDateTime& localTime, int r);

signals:
    void StateChanged(CaptureState state);

private:
    void SetState(CaptureState state);
    void StopCapture();
    void StartCapture();
    void DeleteGifFile();
    void TellWhyTheRecordingStopped(uint64_t reason);
    void RunEditorIfFrames();

    CCaptureApp& app_;
    std::unique_ptr<CaptureEngine> engine_;
    CaptureView& view_;
    // The one capture rectangle of the program. The window's frame rules
    // compute it and hand it over on every change; the engine gets a copy
    // before each recording. Empty until the window's first layout.
    CaptureRect captureRect_;
    bool blinkOn_ = false;
    CaptureState state_ = CaptureState::Idle;
    int32_t frameCount_ = 0;
    QString gifPath_;
    bool closed_ = false;
};

// The file's size in kilobytes (bytes / 1024); 0 when it cannot be opened.
float GetFileSizeKB(const QString& path);

// A new, empty file in `folder` named by TempGifName from the local time and a
// random number. Creating it (and never reusing an existing name) keeps the
// worker from writing through a name someone else prepared. Empty on failure.
QString ReserveTempGifPath(const QString& folder);
