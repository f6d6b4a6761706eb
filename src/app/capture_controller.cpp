#include "app/capture_controller.h"

#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <limits>

#include "app/capture_app.h"
#include "engine/engine_messages.h"

CaptureController::CaptureController(CCaptureApp& app, std::unique_ptr<CaptureEngine> engine,
                                     CaptureView& view, QObject* parent)
    : QObject(parent), app_(app), engine_(std::move(engine)), view_(view) {}

CaptureController::~CaptureController() {
    if (!closed_)
        engine_->StopWorker();
}

AppSettings& CaptureController::Settings() {
    return app_.Settings();
}

void CaptureController::Initialise(QObject* notifyTarget) {
    app_.LoadSettings();
    engine_->SetNotifyWindow(notifyTarget);
    // Without a worker every command that needs it is refused (its message
    // cannot be posted), so the state never waits for a reply that cannot come.
    engine_->StartWorker();
}

// --- Commands -----------------------------------------------------------------

void CaptureController::OnCapture() {
    switch (state_) {
    case CaptureState::Creating:
        return;
    case CaptureState::Capturing:
        StopCapture();
        return;
    case CaptureState::Idle:
    case CaptureState::Captured:
        StartCapture();
        return;
    }
}

void CaptureController::StartCapture() {
    engine_->SetCaptureRect(captureRect_);
    if (!engine_->PostToWorker(WM_CAPTURE_START, 0, CapturePeriodMs(app_.Settings().captureRate)))
        return;
    SetState(CaptureState::Capturing);
    view_.SetCaptureButtonOn(true);
}

// The state stays Capturing until the worker confirms with WM_CAPTURE_STOPPED.
void CaptureController::StopCapture() {
    engine_->PostToWorker(WM_CAPTURE_STOP, 0, 0);
    view_.SetCaptureButtonOn(false);
}

void CaptureController::OnMakeGif() {
    if (state_ == CaptureState::Idle || state_ == CaptureState::Creating)
        return;
    if (state_ == CaptureState::Capturing) {
        StopCapture();
        // The stop ends this recording, whose subtitles go now: once the build
        // is queued the worker may read the list at any moment.
        engine_->ClearSubtitles();
    }
    DeleteGifFile();
    gifPath_ = ReserveTempGifPath(QDir::tempPath());
    if (gifPath_.isEmpty())
        return;
    const AppSettings& s = app_.Settings();
    engine_->SetGifParams(s.gifRate, static_cast<float>(s.scalePercent) / 100.0f, gifPath_);
    if (!engine_->PostToWorker(WM_MAKE_GIF, 0, s.highQuality ? 1 : 0))
        return;
    SetState(CaptureState::Creating);
}

void CaptureController::OnSubtitle() {
    if (state_ == CaptureState::Captured)
        RunEditorIfFrames();
}

void CaptureController::RunEditorIfFrames() {
    if (engine_->HasFrames())
        view_.RunEditor(frameCount_);
}

bool CaptureController::CanOpenForEditing() const {
    return state_ != CaptureState::Capturing && state_ != CaptureState::Creating;
}

void CaptureController::OpenForEditing(const QString& path) {
    if (!CanOpenForEditing())
        return;
    const std::optional<int32_t> frames = view_.ImportGif(path);
    // A file that failed or was cancelled changed nothing, the state
    // included: an empty program stays Idle rather than "captured" nothing.
    if (!frames)
        return;
    frameCount_ = *frames;
    engine_->ClearSubtitles();
    SetState(CaptureState::Captured);
    RunEditorIfFrames();
}

void CaptureController::OnFilesDropped(const QStringList& paths) {
    if (paths.size() == 1)
        OpenForEditing(paths.front());
}

bool CaptureController::RequestClose() {
    if (closed_)
        return true;
    if (state_ == CaptureState::Creating) {
        view_.ShowMessage(QString::fromLatin1(kCreatingGifMessage));
        return false;
    }
    if (state_ == CaptureState::Capturing)
        StopCapture();
    app_.SaveSettings();
    DeleteGifFile();
    // The stop posted above reaches the worker before its quit message.
    engine_->StopWorker();
    closed_ = true;
    return true;
}

void CaptureController::DeleteGifFile() {
    if (!gifPath_.isEmpty())
        QFile::remove(gifPath_);
}

// --- Replies of the worker ------------------------------------------------------

bool CaptureController::HandleEngineMessage(const QEvent* event) {
    const EngineMessage* message = AsEngineMessage(event);
    if (!message)
        return false;
    switch (message->Message()) {
    case WM_FRAME_CAPTURED:
        OnFrameCaptured(message->LParam());
        return true;
    case WM_CAPTURE_STOPPED:
        OnCaptureStopped(message->WParam());
        return true;
    case WM_GIF_PROGRESS:
        OnGifProgress(message->LParam());
        return true;
    case WM_GIF_DONE:
        OnGifDone(message->WParam(), message->LParam());
        return true;
    default:
        return false;
    }
}

void CaptureController::OnFrameCaptured(int64_t framesSoFar) {
    frameCount_ = static_cast<int32_t>(
        std::clamp<int64_t>(framesSoFar, 0, std::numeric_limits<int32_t>::max()));
    blinkOn_ = BlinkOnAt(framesSoFar, app_.Settings().captureRate);
    view_.RepaintFrame();
}

void CaptureController::OnCaptureStopped(uint64_t reason) {
    blinkOn_ = false;
    // The worker may also stop by itself (memory limit, display gone): the
    // button follows.
    view_.SetCaptureButtonOn(false);
    if (state_ == CaptureState::Creating) {
        // GIF was pressed during the recording: the build queued behind the
        // stop is running, so the state stays and the subtitle list (already
        // emptied) is left alone.
        view_.RepaintFrame();
    } else {
        SetState(CaptureState::Captured);
        view_.RepaintFrame();
        engine_->ClearSubtitles();
    }
    TellWhyTheRecordingStopped(reason);
}

void CaptureController::TellWhyTheRecordingStopped(uint64_t reason) {
    const QString kept = QString::number(frameCount_);
    if (reason == kStopDisplayLost) {
        view_.ShowMessage(QString::fromUtf8(kDisplayLostMessage).arg(kept));
    } else if (reason == kStopMemoryBudget) {
        const uint64_t megabytes = engine_->MemoryBudget() / (1024 * 1024);
        view_.ShowMessage(
            QString::fromUtf8(kMemoryFullMessage).arg(QString::number(megabytes), kept));
    }
}

void CaptureController::OnGifProgress(int64_t percent) {
    blinkOn_ = false;
    SetState(CaptureState::Creating);
    view_.SetProgressPercent(static_cast<int>(std::clamp<int64_t>(percent, 0, 100)));
}

void CaptureController::OnGifDone(uint64_t preparedFrames, int64_t packedSize) {
    SetState(CaptureState::Captured);
    blinkOn_ = false;
    view_.RepaintStatus();
    if (QFileInfo(gifPath_).size() == 0) {
        // No GIF came out (every frame deleted, or the file could not be
        // written): the reserved name is still empty or gone. An empty
        // preview would look like a finished GIF.
        view_.ShowMessage(preparedFrames == 0 ? QString::fromUtf8(kNoKeptFrames)
                                              : QString::fromUtf8(kGifNotWritten).arg(gifPath_));
        return;
    }
    const int frames =
        static_cast<int>(std::min<uint64_t>(preparedFrames, std::numeric_limits<int32_t>::max()));
    view_.ShowGif(gifPath_, frames, GifWidthOf(packedSize), GifHeightOf(packedSize),
                  GetFileSizeKB(gifPath_));
}

void CaptureController::SetState(CaptureState state) {
    if (state_ == state)
        return;
    state_ = state;
    emit StateChanged(state);
}

// --- Rules ------------------------------------------------------------------------

int32_t CaptureController::CapturePeriodMs(int32_t captureRate) {
    return 1000 / std::max(captureRate, 1);
}

bool CaptureController::BlinkOnAt(int64_t framesSoFar, int32_t captureRate) {
    const int64_t recordedMs = framesSoFar * 1000 / std::max(captureRate, 1);
    return recordedMs % 600 < 300;
}

QString CaptureController::TempGifName(const QDateTime& localTime, int r) {
    const QTime t = localTime.time();
    const QDate d = localTime.date();
    return QStringLiteral("%1-%2-%3-%4-%5-%6.gif")
        .arg(t.hour())
        .arg(t.minute())
        .arg(t.second())
        .arg(d.month())
        .arg(d.day())
        .arg(r);
}

float GetFileSizeKB(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return 0.0f;
    return static_cast<float>(file.size()) / 1024.0f;
}

QString ReserveTempGifPath(const QString& folder) {
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int r = static_cast<int>(
            QRandomGenerator::global()->bounded(std::numeric_limits<int32_t>::max()));
        const QString path =
            QDir(folder).filePath(CaptureController::TempGifName(QDateTime::currentDateTime(), r));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
    }
    return {};
}
