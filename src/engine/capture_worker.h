#pragma once
// The worker half of CGifMaker: a QObject living in the worker thread that
// handles the posted protocol messages one after the other, owns the grab
// timer and the screen source, and posts the answers to the notify object.

#include <QObject>

#include <cstdint>
#include <memory>

#include "engine/gif_maker.h"

class QEventLoop;
class QTimer;

class CaptureWorker : public QObject {
public:
    CaptureWorker(CGifMaker& maker, ScreenSourceFactory factory);
    ~CaptureWorker() override;

    // Worker thread: runs the message loop until WM_WORKER_QUIT, then releases
    // the timer and the screen source in the thread that made them.
    void RunLoop();

protected:
    bool event(QEvent* e) override;

private:
    void OnCaptureStart(int64_t periodMs);
    void OnCaptureStop(CaptureStopReason reason);
    void OnTick();
    void OnMakeGif(bool dither);
    void StopGrabbing();
    ScreenSource* Source();

    CGifMaker& maker_;
    ScreenSourceFactory factory_;
    std::unique_ptr<ScreenSource> source_;
    std::unique_ptr<QTimer> timer_;
    QEventLoop* loop_ = nullptr;
    bool quitting_ = false;
    bool stopped_ = true;
    int32_t grabbed_ = 0;
    uint64_t recordedBytes_ = 0;
};
