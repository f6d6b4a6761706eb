#include "image/frame_writers.h"

#include "image/cximage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

namespace {

// ---------------------------------------------------------------------------
// Extension lookup

struct ExtensionRow {
    const char* prefix;
    uint32_t format;
};

constexpr std::array<ExtensionRow, 41> kExtensions{{
    {"bmp", CXIMAGE_FORMAT_BMP}, {"gif", CXIMAGE_FORMAT_GIF}, {"jpg", CXIMAGE_FORMAT_JPG},
    {"jpe", CXIMAGE_FORMAT_JPG}, {"jfi", CXIMAGE_FORMAT_JPG}, {"png", CXIMAGE_FORMAT_PNG},
    {"ico", CXIMAGE_FORMAT_ICO}, {"cur", CXIMAGE_FORMAT_ICO}, {"tif", CXIMAGE_FORMAT_TIF},
    {"tga", CXIMAGE_FORMAT_TGA}, {"pcx", CXIMAGE_FORMAT_PCX}, {"wbm", CXIMAGE_FORMAT_WBMP},
    {"wmf", CXIMAGE_FORMAT_WMF}, {"emf", CXIMAGE_FORMAT_WMF}, {"jp2", CXIMAGE_FORMAT_JP2},
    {"j2k", CXIMAGE_FORMAT_JP2}, {"jpc", CXIMAGE_FORMAT_JPC}, {"j2c", CXIMAGE_FORMAT_JPC},
    {"pgx", CXIMAGE_FORMAT_PGX}, {"pnm", CXIMAGE_FORMAT_PNM}, {"pgm", CXIMAGE_FORMAT_PNM},
    {"ppm", CXIMAGE_FORMAT_PNM}, {"ras", CXIMAGE_FORMAT_RAS}, {"mng", CXIMAGE_FORMAT_MNG},
    {"jng", CXIMAGE_FORMAT_MNG}, {"ska", CXIMAGE_FORMAT_SKA}, {"nef", CXIMAGE_FORMAT_RAW},
    {"crw", CXIMAGE_FORMAT_RAW}, {"cr2", CXIMAGE_FORMAT_RAW}, {"dng", CXIMAGE_FORMAT_RAW},
    {"arw", CXIMAGE_FORMAT_RAW}, {"erf", CXIMAGE_FORMAT_RAW}, {"3fr", CXIMAGE_FORMAT_RAW},
    {"dcr", CXIMAGE_FORMAT_RAW}, {"raw", CXIMAGE_FORMAT_RAW}, {"x3f", CXIMAGE_FORMAT_RAW},
    {"mef", CXIMAGE_FORMAT_RAW}, {"raf", CXIMAGE_FORMAT_RAW}, {"mrw", CXIMAGE_FORMAT_RAW},
    {"pef", CXIMAGE_FORMAT_RAW}, {"sr2", CXIMAGE_FORMAT_RAW},
}};

// ---------------------------------------------------------------------------
// Rows as colour triples, whatever the depth

enum class ChannelOrder { Rgb, Bgr };

// Memory row `y` of `image` as 8-bit triples; `out` holds at least width x 3 bytes.
void ConvertRow(const CxImage& image, uint32_t y, std::span<uint8_t> out, ChannelOrder order) {
    const uint32_t width = image.Width();
    const bool bgr = order == ChannelOrder::Bgr;
    if (image.BitsPerPixel() == 24) {
        const uint8_t* src = image.Row(y);
        for (uint32_t x = 0; x < width; ++x, src += 3) {
            uint8_t* dst = &out[std::size_t(x) * 3];
            dst[0] = bgr ? src[0] : src[2];
            dst[1] = src[1];
            dst[2] = bgr ? src[2] : src[0];
        }
        return;
    }
    for (uint32_t x = 0; x < width; ++x) {
        const RgbQuad c = image.PaletteColor(image.IndexAt(x, y));
        uint8_t* dst = &out[std::size_t(x) * 3];
        dst[0] = bgr ? c.rgbBlue : c.rgbRed;
        dst[1] = c.rgbGreen;
        dst[2] = bgr ? c.rgbRed : c.rgbBlue;
    }
}

// Encoders call back into C++ sinks from C code: nothing may unwind through it.
bool WriteNoThrow(ByteSink& sink, std::span<const uint8_t> bytes) noexcept {
    try {
        return sink.Write(bytes);
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------
// BMP: file header, information header, 24-bit rows bottom-up

bool WriteBmp(const CxImage& image, ByteSink& sink) {
    constexpr uint32_t kFileHeaderSize = 14;
    constexpr uint32_t kInfoHeaderSize = 40;
    const uint32_t width = image.Width();
    const uint32_t height = image.Height();
    const uint64_t stride = (uint64_t(width) * 24 + 31) / 32 * 4;
    const uint64_t pixelBytes = stride * height;
    const uint64_t fileSize = kFileHeaderSize + kInfoHeaderSize + pixelBytes;
    // A palette image raised to 24 bits can outgrow the 32-bit size fields.
    if (fileSize > std::numeric_limits<uint32_t>::max())
        return false;

    bool ok = sink.Put('B') && sink.Put('M') && sink.PutLe32(uint32_t(fileSize)) &&
              sink.PutLe16(0) && sink.PutLe16(0) && sink.PutLe32(kFileHeaderSize + kInfoHeaderSize);
    const BitmapInfoHeader& head = image.Header();
    ok = ok && sink.PutLe32(kInfoHeaderSize) && sink.PutLe32(width) && sink.PutLe32(height) &&
         sink.PutLe16(1) && sink.PutLe16(24) && sink.PutLe32(0) &&
         sink.PutLe32(uint32_t(pixelBytes)) && sink.PutLe32(uint32_t(head.biXPelsPerMeter)) &&
         sink.PutLe32(uint32_t(head.biYPelsPerMeter)) && sink.PutLe32(0) && sink.PutLe32(0);

    // Rows are rebuilt rather than copied so the padding is always zero, never
    // whatever the image's unwritten padding bytes held.
    std::vector<uint8_t> row(stride, 0);
    for (uint32_t y = 0; ok && y < height; ++y) {
        ConvertRow(image, y, row, ChannelOrder::Bgr);
        ok = sink.Write(row);
    }
    return ok;
}

// ---------------------------------------------------------------------------
// JPEG through libjpeg. Its errors end in error_exit, which must not return:
// it jumps back to the setjmp in CompressJpeg, whose frame holds nothing with
// a destructor. Every C++ object lives in WriteJpeg, outside the jump.

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

void JpegQuiet(j_common_ptr) {}

constexpr std::size_t kJpegBufferSize = 16384;

struct JpegSinkDestination {
    jpeg_destination_mgr pub;
    ByteSink* sink;
    JOCTET buffer[kJpegBufferSize];
};

JpegSinkDestination& DestinationOf(j_compress_ptr cinfo) {
    return *reinterpret_cast<JpegSinkDestination*>(cinfo->dest);
}

void JpegFail(j_compress_ptr cinfo) {
    cinfo->err->msg_code = JERR_FILE_WRITE;
    cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
}

void JpegInitDestination(j_compress_ptr cinfo) {
    JpegSinkDestination& dest = DestinationOf(cinfo);
    dest.pub.next_output_byte = dest.buffer;
    dest.pub.free_in_buffer = kJpegBufferSize;
}

boolean JpegEmptyBuffer(j_compress_ptr cinfo) {
    JpegSinkDestination& dest = DestinationOf(cinfo);
    if (!WriteNoThrow(*dest.sink, std::span<const uint8_t>(dest.buffer, kJpegBufferSize)))
        JpegFail(cinfo);
    dest.pub.next_output_byte = dest.buffer;
    dest.pub.free_in_buffer = kJpegBufferSize;
    return TRUE;
}

void JpegTermDestination(j_compress_ptr cinfo) {
    JpegSinkDestination& dest = DestinationOf(cinfo);
    const std::size_t used = kJpegBufferSize - dest.pub.free_in_buffer;
    if (used > 0 && !WriteNoThrow(*dest.sink, std::span<const uint8_t>(dest.buffer, used)))
        JpegFail(cinfo);
}

UINT16 JpegDensity(int32_t dpi) {
    return UINT16(std::clamp(dpi, 1, 65535));
}

// Holds no object with a destructor: a libjpeg error jumps straight back here.
bool CompressJpeg(jpeg_compress_struct& cinfo, JpegErrorManager& errors, JpegSinkDestination& dest,
                  const CxImage& image, std::span<uint8_t> row) {
    if (setjmp(errors.jump))
        return false;
    jpeg_create_compress(&cinfo);
    dest.pub.init_destination = JpegInitDestination;
    dest.pub.empty_output_buffer = JpegEmptyBuffer;
    dest.pub.term_destination = JpegTermDestination;
    cinfo.dest = &dest.pub;

    cinfo.image_width = image.Width();
    cinfo.image_height = image.Height();
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    // 2 x 2 chroma subsampling: full-resolution luminance, quarter chrominance.
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 2;
    cinfo.comp_info[1].h_samp_factor = cinfo.comp_info[1].v_samp_factor = 1;
    cinfo.comp_info[2].h_samp_factor = cinfo.comp_info[2].v_samp_factor = 1;
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = 1; // dots per inch
    cinfo.X_density = JpegDensity(image.XDpi());
    cinfo.Y_density = JpegDensity(image.YDpi());

    jpeg_start_compress(&cinfo, TRUE);
    const uint32_t height = image.Height();
    for (uint32_t r = 0; r < height; ++r) {
        // JPEG rows run top to bottom; memory rows bottom-up.
        ConvertRow(image, height - 1 - r, row, ChannelOrder::Rgb);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

bool WriteJpeg(const CxImage& image, ByteSink& sink) {
    if (image.Width() > JPEG_MAX_DIMENSION || image.Height() > JPEG_MAX_DIMENSION)
        return false;
    std::vector<uint8_t> row(std::size_t(image.Width()) * 3);
    auto dest = std::make_unique<JpegSinkDestination>();
    dest->sink = &sink;
    JpegErrorManager errors{};
    jpeg_compress_struct cinfo{};
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = JpegErrorExit;
    errors.pub.output_message = JpegQuiet;
    const bool ok = CompressJpeg(cinfo, errors, *dest, image, row);
    jpeg_destroy_compress(&cinfo);
    return ok;
}

// ---------------------------------------------------------------------------
// PNG through libpng, with the same discipline: png_error jumps back to the
// setjmp in CompressPng; the handles are freed by PngHandles in WritePng.

[[noreturn]] void PngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<ByteSink*>(png_get_io_ptr(png));
    if (!WriteNoThrow(*sink, std::span<const uint8_t>(data, length)))
        png_error(png, "write failed");
}

void PngFlush(png_structp) {}

struct PngHandles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngHandles() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
        if (png)
            info = png_create_info_struct(png);
    }
    ~PngHandles() {
        if (png)
            png_destroy_write_struct(&png, &info);
    }
    PngHandles(const PngHandles&) = delete;
    PngHandles& operator=(const PngHandles&) = delete;
};

// Holds no object with a destructor: a libpng error jumps straight back here.
bool CompressPng(png_structp png, png_infop info, ByteSink& sink, const CxImage& image,
                 std::span<uint8_t> row) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, &sink, PngWrite, PngFlush);
    png_set_IHDR(png, info, image.Width(), image.Height(), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color_16 white{};
    white.red = white.green = white.blue = white.gray = 255;
    png_set_bKGD(png, info, &white);
    const BitmapInfoHeader& head = image.Header();
    if (head.biXPelsPerMeter > 0 && head.biYPelsPerMeter > 0)
        png_set_pHYs(png, info, png_uint_32(head.biXPelsPerMeter),
                     png_uint_32(head.biYPelsPerMeter), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    const uint32_t height = image.Height();
    for (uint32_t r = 0; r < height; ++r) {
        ConvertRow(image, height - 1 - r, row, ChannelOrder::Rgb);
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    return true;
}

bool WritePng(const CxImage& image, ByteSink& sink) {
    std::vector<uint8_t> row(std::size_t(image.Width()) * 3);
    PngHandles handles;
    if (!handles.png || !handles.info)
        return false;
    return CompressPng(handles.png, handles.info, sink, image, row);
}

} // namespace

uint32_t GetTypeFromExtension(std::string_view extension) {
    if (extension.size() < 3)
        return CXIMAGE_FORMAT_UNKNOWN;
    char prefix[4] = {};
    for (std::size_t i = 0; i < 3; ++i)
        prefix[i] = char(std::tolower(static_cast<unsigned char>(extension[i])));
    const std::string_view key(prefix, 3);
    for (const ExtensionRow& row : kExtensions) {
        if (key == row.prefix)
            return row.format;
    }
    return CXIMAGE_FORMAT_UNKNOWN;
}

std::string_view ExtensionAfterLastDot(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
}

bool CanWriteFormat(uint32_t format) {
    return format == CXIMAGE_FORMAT_BMP || format == CXIMAGE_FORMAT_JPG ||
           format == CXIMAGE_FORMAT_PNG;
}

bool SaveFrame(const CxImage& image, ByteSink& sink, uint32_t format) {
    if (!image.IsValid())
        return false;
    try {
        switch (format) {
        case CXIMAGE_FORMAT_BMP:
            return WriteBmp(image, sink);
        case CXIMAGE_FORMAT_JPG:
            return WriteJpeg(image, sink);
        case CXIMAGE_FORMAT_PNG:
            return WritePng(image, sink);
        default:
            return false;
        }
    } catch (const std::bad_alloc&) {
        return false; // a row buffer or a memory sink could not grow
    }
}

bool SaveFrameToFile(const CxImage& image, const std::string& path, uint32_t format) {
    if (!image.IsValid() || !CanWriteFormat(format))
        return false;
    FileSink sink(path);
    if (!sink.IsOpen())
        return false;
    const bool encoded = SaveFrame(image, sink, format);
    const bool closed = sink.Close();
    return encoded && closed;
}
