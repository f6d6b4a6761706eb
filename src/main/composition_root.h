#pragma once
// Where the program is assembled. Both programs (the frameloop window program
// and frameloop-cli) choose their parts here and nowhere else: where frames
// come from, what letters the subtitles, and the engine that records and
// builds with them. Everything below takes its parts as arguments, so tests
// put fakes in the same places.

#include <functional>
#include <memory>

#include "app/capture_engine.h"
#include "engine/gif_maker.h"

class ScreenPixelReader;
class TextRasterizer;

// Where recordings come from on this desktop.
struct ScreenBackend {
    // Makes the worker's source; called on the worker thread.
    ScreenSourceFactory makeSource;
    // True when the screen can be reached now (a display to connect to).
    std::function<bool()> available;
};

// The X server named by $DISPLAY.
ScreenBackend ChooseScreenBackend();

// Reads single screen pixels for the colour buttons' eyedropper: the X
// server's root window.
std::unique_ptr<ScreenPixelReader> MakeScreenPixelReader();

// Qt's fonts and painter. Works on any thread once a QGuiApplication exists.
std::unique_ptr<TextRasterizer> MakeTextRasterizer();

// The engine of the program on `screens`, lettering subtitles with `text`,
// which must outlive the engine.
std::unique_ptr<CaptureEngine> MakeCaptureEngine(ScreenSourceFactory screens, TextRasterizer& text);
