// Times the GIF palette stage on video-like frames: the octree palette over all
// frames, then every frame reduced to it with and without error diffusion.
// The reduction is also done by a plain 256-entry scan with a one-colour memo
// (the straightforward way) so the figures show what the fast lookup buys, and
// both results are compared pixel for pixel.
//
//   nearest_index_bench [--frames N] [--raw FILE WIDTH HEIGHT]
//
// FILE holds bgr24 frames, top line first, e.g. made by
//   ffmpeg -f lavfi -i mandelbrot=s=640x360:r=25 -frames:v 200 -pix_fmt bgr24 -f rawvideo f.bgr
// Without --raw, 640x360 frames are synthesised (gradient, grain, moving disc).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "gif/octree_quantizer.h"
#include "image/cximage.h"

namespace {

// CPU time of this thread: the build machines are shared, and wall time
// mostly measured the neighbours.
struct Clock {
    using time_point = double;
    static double now() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    }
};

double Seconds(double since) {
    return Clock::now() - since;
}

struct Options {
    int frames = 200;
    std::string raw;
    uint32_t width = 640, height = 360;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--frames" && i + 1 < argc) {
            o.frames = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--raw" && i + 3 < argc) {
            o.raw = argv[++i];
            o.width = uint32_t(std::max(1, std::atoi(argv[++i])));
            o.height = uint32_t(std::max(1, std::atoi(argv[++i])));
        } else {
            std::fprintf(stderr, "usage: %s [--frames N] [--raw FILE WIDTH HEIGHT]\n", argv[0]);
            return false;
        }
    }
    return true;
}

// A frame like a playing video: a drifting two-axis gradient, sensor grain and
// a bright disc crossing it.
void Synthesise(CxImage& img, int t, std::mt19937& rng) {
    std::normal_distribution<double> grain(0.0, 3.0);
    const double cx = 80 + 4.0 * t, cy = 180 + 60 * std::sin(t * 0.05);
    for (uint32_t row = 0; row < img.Height(); ++row) {
        uint8_t* p = img.Row(img.Height() - 1 - row);
        for (uint32_t x = 0; x < img.Width(); ++x, p += 3) {
            const double u = (x + 2.0 * t) / img.Width(), v = double(row) / img.Height();
            double r = 40 + 170 * u, g = 60 + 120 * v, b = 180 - 110 * u * v;
            const double d = std::hypot(x - cx, row - cy);
            if (d < 70) {
                const double k = 1 - d / 70;
                r += 150 * k;
                g += 90 * k;
                b -= 60 * k;
            }
            p[0] = uint8_t(std::clamp(b + grain(rng), 0.0, 255.0));
            p[1] = uint8_t(std::clamp(g + grain(rng), 0.0, 255.0));
            p[2] = uint8_t(std::clamp(r + grain(rng), 0.0, 255.0));
        }
    }
}

bool LoadFrames(const Options& o, std::vector<std::unique_ptr<CxImage>>& frames) {
    std::ifstream in;
    if (!o.raw.empty()) {
        in.open(o.raw, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot open %s\n", o.raw.c_str());
            return false;
        }
    }
    std::mt19937 rng(1);
    std::vector<char> line(std::size_t(o.width) * 3);
    for (int f = 0; f < o.frames; ++f) {
        auto img = std::make_unique<CxImage>();
        if (!img->Create(o.width, o.height, 24))
            return false;
        img->SetUserFlags(1);
        if (o.raw.empty()) {
            Synthesise(*img, f, rng);
        } else {
            for (uint32_t row = 0; row < o.height; ++row) {
                if (!in.read(line.data(), std::streamsize(line.size()))) {
                    std::fprintf(stderr, "%s ends after %d frames\n", o.raw.c_str(), f);
                    return f > 0;
                }
                std::memcpy(img->Row(o.height - 1 - row), line.data(), line.size());
            }
        }
        frames.push_back(std::move(img));
    }
    return true;
}

// The straightforward search: every entry, one remembered colour.
struct PlainScan {
    const RgbQuad* table;
    bool valid = false;
    uint32_t last = 0;
    uint8_t lastIndex = 0;
    uint8_t Find(uint8_t r, uint8_t g, uint8_t b) {
        const uint32_t key = uint32_t(r) << 16 | uint32_t(g) << 8 | b;
        if (valid && key == last)
            return lastIndex;
        int best = 200000;
        uint8_t index = 0;
        for (int i = 0; i < 256; ++i) {
            const int dr = table[i].rgbRed - r, dg = table[i].rgbGreen - g,
                      db = table[i].rgbBlue - b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                index = uint8_t(i);
                if (d == 0)
                    break;
            }
        }
        valid = true;
        last = key;
        lastIndex = index;
        return index;
    }
};

uint8_t Clamp(int v) {
    return uint8_t(std::clamp(v, 0, 255));
}

// The reduction on plain arrays with the plain scan; indices in memory order.
std::vector<uint8_t> PlainReduce(const CxImage& frame, const RgbQuad* table, bool diffuse) {
    const uint32_t w = frame.Width(), h = frame.Height();
    std::vector<uint8_t> px(std::size_t(w) * h * 3);
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(&px[std::size_t(y) * w * 3], frame.Row(y), std::size_t(w) * 3);
    std::vector<uint8_t> out(std::size_t(w) * h);
    PlainScan scan{table};
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = &px[(std::size_t(y) * w + x) * 3];
            const uint8_t i = scan.Find(p[2], p[1], p[0]);
            out[std::size_t(y) * w + x] = i;
            if (!diffuse)
                continue;
            const int e[3] = {p[0] - table[i].rgbBlue, p[1] - table[i].rgbGreen,
                              p[2] - table[i].rgbRed};
            const auto share = [&](int64_t nx, int64_t ny, int weight) {
                if (nx < 0 || nx >= w || ny >= h)
                    return;
                uint8_t* q = &px[(std::size_t(ny) * w + std::size_t(nx)) * 3];
                for (int c = 0; c < 3; ++c)
                    q[c] = Clamp(q[c] + e[c] * weight / 16);
            };
            share(x + 1, y, 7);
            share(int64_t(x) - 1, y + 1, 2);
            share(x, y + 1, 4);
            share(x + 1, y + 1, 1);
        }
    }
    return out;
}

std::vector<uint8_t> IndicesOf(const CxImage& img) {
    std::vector<uint8_t> out;
    out.reserve(std::size_t(img.Width()) * img.Height());
    for (uint32_t y = 0; y < img.Height(); ++y)
        out.insert(out.end(), img.Row(y), img.Row(y) + img.Width());
    return out;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o))
        return 2;
    std::vector<std::unique_ptr<CxImage>> frames;
    if (!LoadFrames(o, frames))
        return 1;
    std::printf("%zu frames of %ux%u (%s)\n", frames.size(), o.width, o.height,
                o.raw.empty() ? "synthesised" : o.raw.c_str());

    auto start = Clock::now();
    OctreeQuantizer quantizer(256, 8);
    for (const auto& f : frames)
        quantizer.AddImage(*f);
    std::vector<RgbQuad> table(256);
    const uint32_t leaves = quantizer.FillPalette(table);
    std::printf("octree palette: %u colours, %.3f s\n", leaves, Seconds(start));

    int failures = 0;
    {
        // The lookups alone, every pixel of every frame in memory order.
        CxImage target;
        target.Create(1, 1, 8);
        target.SetPaletteColors(table);
        PlainScan scan{table.data()};
        double plain = 0, fast = 0;
        uint64_t lookups = 0;
        for (const auto& f : frames) {
            std::vector<uint8_t> a, b;
            a.reserve(std::size_t(f->Width()) * f->Height());
            b.reserve(a.capacity());
            start = Clock::now();
            for (uint32_t y = 0; y < f->Height(); ++y) {
                const uint8_t* p = f->Row(y);
                for (uint32_t x = 0; x < f->Width(); ++x, p += 3)
                    a.push_back(scan.Find(p[2], p[1], p[0]));
            }
            plain += Seconds(start);
            start = Clock::now();
            for (uint32_t y = 0; y < f->Height(); ++y) {
                const uint8_t* p = f->Row(y);
                for (uint32_t x = 0; x < f->Width(); ++x, p += 3)
                    b.push_back(target.NearestIndex(RgbQuad{p[0], p[1], p[2], 0}));
            }
            fast += Seconds(start);
            lookups += a.size();
            if (a != b)
                ++failures;
        }
        std::printf("%-18s plain scan %.3f s (%.1f ns each), NearestIndex %.3f s (%.1f ns each) "
                    "(x%.1f)\n",
                    "lookups only:", plain, plain * 1e9 / double(lookups), fast,
                    fast * 1e9 / double(lookups), plain / fast);
    }
    for (const bool diffuse : {false, true}) {
        double plain = 0, fast = 0;
        for (const auto& f : frames) {
            start = Clock::now();
            const std::vector<uint8_t> want = PlainReduce(*f, table.data(), diffuse);
            plain += Seconds(start);

            CxImage copy(*f);
            start = Clock::now();
            copy.DecreaseBpp(8, diffuse, table.data(), 0);
            fast += Seconds(start);
            if (IndicesOf(copy) != want)
                ++failures;
        }
        std::printf("%-18s plain scan %.3f s, DecreaseBpp %.3f s (x%.1f)\n",
                    diffuse ? "diffusion:" : "no diffusion:", plain, fast, plain / fast);
    }
    if (failures)
        std::printf("MISMATCH in %d frame reductions\n", failures);
    else
        std::printf("all reductions identical to the plain scan\n");
    return failures ? 1 : 0;
}
