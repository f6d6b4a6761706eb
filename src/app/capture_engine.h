#pragma once
// What the capture controller needs from the engine. The program uses
// GifMakerEngine (the real CGifMaker); tests put a recording fake in its place.

#include <QString>

#include <cstdint>

#include "image/frame_list.h"

class QObject;

class CaptureEngine {
public:
    virtual ~CaptureEngine() = default;

    virtual void SetNotifyWindow(QObject* receiver) = 0;
    virtual bool StartWorker() = 0;
    virtual void StopWorker() = 0;
    // False when the message could not be posted (no worker).
    virtual bool PostToWorker(int message, uint64_t wParam, int64_t lParam) = 0;
    virtual void SetCaptureRect(const CaptureRect& rect) = 0;
    virtual void SetGifParams(int32_t frameRate, float scale, const QString& path) = 0;
    // True when the frame list holds at least one frame.
    virtual bool HasFrames() const = 0;
    // Deletes every subtitle of the process-wide list.
    virtual void ClearSubtitles() = 0;
};
