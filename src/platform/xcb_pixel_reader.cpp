#include "platform/xcb_pixel_reader.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <limits>

#include "image/cximage.h"
#include "platform/xcb_screen_source.h"

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
// Replies and errors of xcb are malloc'ed blocks the caller frees.
template <class T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

struct ConnectionDeleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using ConnectionPtr = std::unique_ptr<xcb_connection_t, ConnectionDeleter>;

xcb_window_t RootOf(xcb_connection_t* c, int number) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i) {
        if (i == number)
            return it.data->root;
    }
    return XCB_WINDOW_NONE;
}

uint32_t ColorRefOf(const RgbQuad& q) {
    return uint32_t(q.rgbRed) | uint32_t(q.rgbGreen) << 8 | uint32_t(q.rgbBlue) << 16;
}

} // namespace

struct XcbPixelReader::State {
    ConnectionPtr connection;
    xcb_window_t root = XCB_WINDOW_NONE;
    XPixelFormat format;
    CxImage pixel; // 1 x 1, 24 bits: where the server's pixel is converted
    bool readable = false;
};

XcbPixelReader::XcbPixelReader(const char* display) : state_(std::make_unique<State>()) {
    int screenNumber = 0;
    state_->connection.reset(xcb_connect(display, &screenNumber));
    // xcb_connect never returns null; a failed connection is an error object.
    if (xcb_connection_has_error(state_->connection.get())) {
        state_->connection.reset();
        return;
    }
    state_->root = RootOf(state_->connection.get(), screenNumber);
    // The grabber already knows how to read the root visual's pixel layout;
    // asking it costs one short connection here instead of a second copy of
    // that knowledge.
    state_->format = XcbScreenSource(display, false).Format();
    state_->pixel.Create(1, 1, 24);
    // The conversion is the judge of which layouts it can read.
    const uint8_t blank[4] = {};
    state_->readable = state_->format.bitsPerPixel <= 32 &&
                       ConvertXRows(state_->format, blank, sizeof blank, 1, 1, state_->pixel, 0, 0);
}

XcbPixelReader::~XcbPixelReader() = default;

bool XcbPixelReader::Usable() const {
    return state_->readable && state_->root != XCB_WINDOW_NONE &&
           !xcb_connection_has_error(state_->connection.get());
}

std::optional<uint32_t> XcbPixelReader::PixelAt(int32_t x, int32_t y) {
    // Requests carry 16-bit coordinates; the root window starts at 0, 0.
    constexpr int32_t kMax = std::numeric_limits<int16_t>::max();
    if (!Usable() || x < 0 || y < 0 || x > kMax || y > kMax)
        return std::nullopt;
    xcb_connection_t* c = state_->connection.get();
    xcb_generic_error_t* rawError = nullptr;
    // The server refuses points outside the root window (it follows screen
    // size changes, so no size of ours can be stale).
    const XcbPtr<xcb_get_image_reply_t> reply(
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, state_->root, int16_t(x),
                                          int16_t(y), 1, 1, ~0u),
                            &rawError));
    const XcbPtr<xcb_generic_error_t> error(rawError);
    if (!reply || error)
        return std::nullopt;
    const int length = xcb_get_image_data_length(reply.get());
    if (length <= 0 || uint32_t(length) * 8 < state_->format.bitsPerPixel)
        return std::nullopt;
    if (!ConvertXRows(state_->format, xcb_get_image_data(reply.get()), uint32_t(length), 1, 1,
                      state_->pixel, 0, 0))
        return std::nullopt;
    return ColorRefOf(state_->pixel.ColorAtRaw(0, 0));
}
