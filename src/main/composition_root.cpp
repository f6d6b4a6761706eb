#include "main/composition_root.h"

#include "app/gif_maker_engine.h"
#include "platform/qt_text_rasterizer.h"
#include "platform/xcb_pixel_reader.h"
#include "platform/xcb_screen_source.h"

ScreenBackend ChooseScreenBackend() {
    return ScreenBackend{
        [] { return std::make_unique<XcbScreenSource>(); },
        [] { return XcbScreenSource::CanConnect(); },
    };
}

std::unique_ptr<ScreenPixelReader> MakeScreenPixelReader() {
    return std::make_unique<XcbPixelReader>();
}

std::unique_ptr<TextRasterizer> MakeTextRasterizer() {
    return std::make_unique<QtTextRasterizer>();
}

std::unique_ptr<CaptureEngine> MakeCaptureEngine(ScreenSourceFactory screens,
                                                 TextRasterizer& text) {
    return std::make_unique<GifMakerEngine>(std::move(screens), text);
}
