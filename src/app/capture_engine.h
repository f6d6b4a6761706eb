#pragma once
// What the capture controller needs from the engine. The program uses
// GifMakerEngine (the real CGifMaker); tests put a recording fake in its place.

#include <QString>

#include <cstdint>

#include "gif/subtitle.h"
#include "image/frame_list.h"

class QObject;
class TextRasterizer;

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
    // Bytes the frames of a recording may take; a GIF opened for editing
    // is held to it as well.
    virtual uint64_t MemoryBudget() const = 0;
    // Deletes every subtitle of the recording's list.
    virtual void ClearSubtitles() = 0;

    // The recording and its subtitles, for the editor and the GIF import.
    // Touched only while the worker is idle (no job posted and unfinished).
    virtual FrameList& Frames() = 0;
    virtual SubtitleList& Subtitles() = 0;
    // What letters the subtitles in the GIF; the editor draws with the same,
    // so its view shows what the GIF gets.
    virtual TextRasterizer& Text() = 0;
};
