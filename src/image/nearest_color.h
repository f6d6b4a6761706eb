#pragma once
// Fast answers to "which palette entry is nearest to this colour", identical to
// a plain scan of the entries: squared distance over red, green and blue, the
// lowest index wins a tie. Reducing a frame asks this for every pixel, and a
// scan of 256 entries per pixel dominated the GIF build.
//
// Two layers make it cheap:
//  - a direct-mapped cache of recent answers keyed by the exact 24-bit colour;
//  - on a miss, a scan of only the entries that can be nearest for the colour's
//    grid cell (the others are provably farther than some entry's worst case).

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "image/image_types.h"

class NearestColorLookup {
public:
    // The lookup of the calling thread that answers for `entries` (the searched
    // part of a colour table), or null when the caller should scan instead.
    //
    // `token` is the caller's: it names the lookup state the caller last used.
    // With `tableUnchanged` the caller promises its entries are the same as at
    // that time, and a lookup still in that state is returned without looking
    // at the entries. Otherwise (or when that state is gone) the entries are
    // compared with the thread's lookups. A table none of them holds is served
    // by scanning until it is asked for twice in a row; only then is the least
    // recently used lookup rebuilt for it, so images taking turns with more
    // tables than there are lookups do not rebuild on every call. Each thread
    // keeps at most kLookupsPerThread lookups, whatever the number of images.
    // Null also during thread teardown.
    static NearestColorLookup* ForTable(std::span<const RgbQuad> entries, uint64_t& token,
                                        bool tableUnchanged);

    // The index a linear scan of the entries returns for `c` (the reserved
    // byte is ignored).
    uint8_t Find(RgbQuad c);

    // That scan itself.
    static uint8_t Scan(std::span<const RgbQuad> entries, RgbQuad c);

    NearestColorLookup();

    static constexpr uint32_t kLookupsPerThread = 4;
    // Cache slot bits taken from the low end of red, green and blue.
    static constexpr uint32_t kRedBits = 6, kGreenBits = 6, kBlueBits = 6;
    static constexpr uint32_t kCacheBits = kRedBits + kGreenBits + kBlueBits;

private:
    static constexpr uint32_t kCellShift = 3; // 32 levels per channel
    static constexpr uint32_t kCellsPerChannel = 256 >> kCellShift;
    static constexpr uint32_t kCellCount = kCellsPerChannel * kCellsPerChannel * kCellsPerChannel;
    // The cache is reset lazily, one block at a time, so switching tables
    // costs little however large the cache is.
    static constexpr uint32_t kCacheBlockBits = 8;

    struct Cell {
        uint32_t first = 0;
        uint16_t count = 0;
        uint16_t generation = 0; // candidates valid only for the current one
    };

    bool Holds(std::span<const RgbQuad> entries) const;
    void Assign(std::span<const RgbQuad> entries);
    uint8_t Search(uint32_t r, uint32_t g, uint32_t b);
    const Cell& CandidatesFor(uint32_t r, uint32_t g, uint32_t b);
    void ResetCacheBlock(uint32_t block);

    uint64_t serial_ = 0; // unique over all threads for each assigned table
    uint64_t lastUse_ = 0;
    uint16_t generation_ = 0;
    uint32_t count_ = 0;
    std::array<RgbQuad, 256> entries_{};
    // Channels widened once so the scans do no conversions.
    std::array<int32_t, 256> red_{}, green_{}, blue_{};
    // True for an entry equal (in colour) to an earlier one: it never wins.
    std::array<bool, 256> shadowed_{};
    // (colour << 8) | index; a slot starts with a colour that maps elsewhere.
    std::vector<uint32_t> cache_;
    std::vector<uint16_t> cacheBlockGeneration_;
    std::vector<Cell> cells_;
    std::vector<uint8_t> candidates_;
};
