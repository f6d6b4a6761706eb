#include "gif/animated_gif.h"

#include <gd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "gif/octree_quantizer.h"
#include "image/byte_sink.h"
#include "image/cximage.h"

namespace {

// The GIF delay field has 16 bits (hundredths of a second).
constexpr int kMaxGifDelay = 65535;
constexpr uint32_t kPaletteBits = 8;
constexpr unsigned kMaxThreads = 8;

struct GdImageDeleter {
    void operator()(gdImagePtr image) const { gdImageDestroy(image); }
};
using GdImage = std::unique_ptr<gdImage, GdImageDeleter>;

struct GdFreeDeleter {
    void operator()(void* p) const { gdFree(p); }
};
using GdBuffer = std::unique_ptr<void, GdFreeDeleter>;

struct EncodedDeleter {
    void operator()(uint8_t* p) const { CxImage::FreeEncodedBuffer(p); }
};
using EncodedBuffer = std::unique_ptr<uint8_t, EncodedDeleter>;

using ColorTable = std::array<RgbQuad, 256>;

void Report(const ProgressSink& progress, int percent) {
    if (progress)
        progress(percent);
}

// Entries past the quantiser's leaves stay black: any defined content works,
// since the nearest-colour search prefers the lower, real entries on ties.
ColorTable BuildCommonPalette(const FrameList& frames) {
    ColorTable table{};
    OctreeQuantizer quantizer(256, kPaletteBits);
    for (const auto& frame : frames) {
        if (frame)
            quantizer.AddImage(*frame);
    }
    quantizer.FillPalette(table);
    return table;
}

// One frame mapped onto the common table and encoded as GIF data for libgd;
// empty when the frame could not be encoded.
struct EncodedFrame {
    EncodedBuffer data;
    int32_t size = 0;
};

// Reduces and encodes every frame. Frames are independent, so the work runs on
// all cores, while the calling thread receives the results in frame order: the
// progress it reports and the file it assembles are those of a plain loop. The
// calling thread works too, so everything finishes even when no helper thread
// can be started.
class FramePipeline {
public:
    using Consumer = std::function<void(std::size_t index, EncodedFrame frame)>;

    FramePipeline(FrameList& frames, const ColorTable& table, bool dither)
        : frames_(frames), table_(table), dither_(dither), results_(frames.size()),
          done_(frames.size(), false) {}

    void Run(const Consumer& consume) {
        std::vector<std::jthread> helpers;
        StartHelpers(helpers);
        for (std::size_t j = 0; j < frames_.size(); ++j) {
            WaitFor(j);
            consume(j, std::move(results_[j]));
        }
    }

private:
    void StartHelpers(std::vector<std::jthread>& helpers) {
        // Past a handful of threads the calling thread's share (libgd reading
        // and writing) sets the pace; more helpers only pile up encoded frames.
        const std::size_t cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
        const std::size_t wanted = std::min(cores, frames_.size()) - 1;
        try {
            for (std::size_t i = 0; i < wanted; ++i)
                helpers.emplace_back([this] {
                    while (TakeOne()) {
                    }
                });
        } catch (const std::system_error&) {
            // Fewer helpers only means a slower build.
        }
    }

    // Processes the next frame nobody has taken; false when none is left.
    bool TakeOne() {
        const std::size_t j = next_.fetch_add(1);
        if (j >= frames_.size())
            return false;
        results_[j] = Process(frames_[j].get());
        {
            const std::lock_guard lock(mutex_);
            done_[j] = true;
        }
        finished_.notify_all();
        return true;
    }

    // Helps with the remaining frames until frame j is ready.
    void WaitFor(std::size_t j) {
        for (;;) {
            {
                const std::lock_guard lock(mutex_);
                if (done_[j])
                    return;
            }
            if (!TakeOne())
                break;
        }
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return bool(done_[j]); });
    }

    // A frame that fails to reduce stays true-colour, which the encoder
    // refuses; like a frame that fails to encode it is left out.
    EncodedFrame Process(CxImage* frame) const {
        EncodedFrame out;
        if (!frame)
            return out;
        try {
            frame->DecreaseBpp(kPaletteBits, dither_, table_.data(), 0);
            uint8_t* raw = nullptr;
            int32_t size = 0;
            if (frame->Encode(raw, size, CXIMAGE_FORMAT_GIF)) {
                out.data.reset(raw);
                out.size = size;
            }
        } catch (const std::exception&) {
        }
        return out;
    }

    FrameList& frames_;
    const ColorTable& table_;
    const bool dither_;
    std::vector<EncodedFrame> results_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable finished_;
    std::vector<bool> done_;
};

// A 1 x 1 palette image whose only job is to carry the common palette, so that
// holder index i is table entry i.
GdImage MakePaletteHolder(const ColorTable& table) {
    GdImage holder(gdImageCreate(1, 1));
    if (holder) {
        for (const RgbQuad& c : table)
            gdImageColorAllocate(holder.get(), c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
    return holder;
}

// The frame as a libgd image on the holder's palette; null when libgd cannot
// read it.
GdImage ToGdImage(const EncodedFrame& frame, gdImagePtr holder) {
    if (!frame.data)
        return nullptr;
    GdImage image(gdImageCreateFromGifPtr(frame.size, frame.data.get()));
    if (image)
        gdImagePaletteCopy(image.get(), holder);
    return image;
}

// Writes what libgd returned; a null buffer writes nothing.
void WriteGdBuffer(FileSink& file, const GdBuffer& buffer, int size) {
    if (buffer && size > 0)
        file.Write(std::span(static_cast<const uint8_t*>(buffer.get()), std::size_t(size)));
}

// Streams the animation: runs of identical frames become one image with the
// sum of their delays, and an image goes to the file as soon as the next,
// different one shows that its delay is final. Only the image being lengthened
// and the one last written (libgd stores the next image as the rectangle in
// which it differs from that one) stay in memory, however long the recording.
// The file is created with the first image, so a build in which no frame
// survives leaves no file behind.
class AnimationWriter {
public:
    explicit AnimationWriter(std::string path) : path_(std::move(path)) {}

    void Add(GdImage image, int delay) {
        const bool same = pending_ && gdImageCompare(pending_.get(), image.get()) == 0;
        // A still scene longer than the delay field continues in another
        // image, so the animation keeps its full duration.
        if (same && pendingDelay_ + delay <= kMaxGifDelay) {
            pendingDelay_ += delay;
            return;
        }
        WritePending();
        pending_ = std::move(image);
        pendingDelay_ = delay;
        pendingRepeats_ = same;
    }

    // Writes the last image and the trailer; true when the whole file was written.
    bool Finish() {
        WritePending();
        if (!file_)
            return false;
        int size = 0;
        const GdBuffer end(gdImageGifAnimEndPtr(&size));
        WriteGdBuffer(*file_, end, size);
        return file_->Close();
    }

private:
    void WritePending() {
        if (!pending_ || !Open()) {
            pending_.reset();
            return;
        }
        // Each size is read only after the call that sets it has returned.
        if (!written_) {
            int size = 0;
            const GdBuffer begin(gdImageGifAnimBeginPtr(pending_.get(), &size, 1, 0));
            WriteGdBuffer(*file_, begin, size);
        }
        // libgd cannot store an empty changed rectangle, which is what a
        // repeated picture would give: that one goes out whole.
        gdImagePtr previous = pendingRepeats_ ? nullptr : written_.get();
        int size = 0;
        const GdBuffer frame(
            gdImageGifAnimAddPtr(pending_.get(), &size, 0, 0, 0, pendingDelay_, 1, previous));
        WriteGdBuffer(*file_, frame, size);
        written_ = std::move(pending_);
    }

    bool Open() {
        if (!file_ && !failed_) {
            file_.emplace(path_);
            if (!file_->IsOpen()) {
                file_.reset();
                failed_ = true;
            }
        }
        return file_.has_value();
    }

    std::string path_;
    std::optional<FileSink> file_;
    bool failed_ = false; // the file could not be created
    GdImage written_;
    GdImage pending_;
    int pendingDelay_ = 0;
    bool pendingRepeats_ = false; // same picture as written_
};

// Hundredths of a second from the start of the animation to the end of its
// first `shown` frames, rounded to the nearest. A frame's delay is the
// difference of two of these, so every run of frames (a merged still scene,
// the whole animation) lasts its exact time to within half a hundredth, even
// when the rate does not divide 100.
int64_t ElapsedHundredths(uint64_t shown, uint32_t frameRate) {
    return int64_t((200 * shown + frameRate) / (2 * uint64_t(frameRate)));
}

int FrameDelay(std::size_t frame, uint32_t frameRate) {
    return int(ElapsedHundredths(frame + 1, frameRate) - ElapsedHundredths(frame, frameRate));
}

} // namespace

bool WriteAnimatedGif(const std::string& path, FrameList& frames, uint32_t frameRate, bool dither,
                      const ProgressSink& progress) {
    // Checked before the delay division; no frames means no animation.
    if (frameRate < 1 || frames.empty())
        return false;

    const ColorTable table = BuildCommonPalette(frames);
    const GdImage holder = MakePaletteHolder(table);
    const float step = float(35.0 / double(frames.size()));
    AnimationWriter writer(path);
    FramePipeline(frames, table, dither).Run([&](std::size_t j, EncodedFrame encoded) {
        const int percent = int(double(j) * double(step) + 60.0);
        if (percent < 95)
            Report(progress, percent);
        if (!holder)
            return;
        if (GdImage image = ToGdImage(encoded, holder.get()))
            writer.Add(std::move(image), FrameDelay(j, frameRate));
    });
    Report(progress, 95);

    const bool written = writer.Finish();
    Report(progress, 100);
    return written;
}
