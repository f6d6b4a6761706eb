#include "image/nearest_color.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

// A distance no real one reaches (3 x 255^2 = 195075); the first entry scanned
// always beats it.
constexpr int32_t kNoDistance = 200000;

uint32_t KeyOf(uint32_t r, uint32_t g, uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

// Cache slot from the low bits of each channel: neighbouring shades of a frame
// differ there, so they spread over the table instead of colliding.
constexpr uint32_t kRedBits = NearestColorLookup::kRedBits;
constexpr uint32_t kGreenBits = NearestColorLookup::kGreenBits;
constexpr uint32_t kBlueBits = NearestColorLookup::kBlueBits;
constexpr uint32_t SlotOf(uint32_t key) {
    const uint32_t r = (key >> 16) & ((1u << kRedBits) - 1);
    const uint32_t g = (key >> 8) & ((1u << kGreenBits) - 1);
    const uint32_t b = key & ((1u << kBlueBits) - 1);
    return (r << (kGreenBits + kBlueBits)) | (g << kBlueBits) | b;
}
constexpr uint32_t KeyForSlot(uint32_t slot) {
    const uint32_t r = (slot >> (kGreenBits + kBlueBits)) & ((1u << kRedBits) - 1);
    const uint32_t g = (slot >> kBlueBits) & ((1u << kGreenBits) - 1);
    const uint32_t b = slot & ((1u << kBlueBits) - 1);
    return (r << 16) | (g << 8) | b;
}
static_assert(SlotOf(KeyForSlot(0x1234)) == 0x1234);
static_assert(kRedBits <= 8 && kGreenBits <= 8 && kBlueBits <= 8);

int32_t Square(int32_t v) {
    return v * v;
}

// Squared distance from v to the nearest and the farthest value of [lo, hi].
int32_t NearSquare(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? Square(lo - v) : (v > hi ? Square(v - hi) : 0);
}
int32_t FarSquare(int32_t v, int32_t lo, int32_t hi) {
    return std::max(Square(v - lo), Square(v - hi));
}

std::atomic<uint64_t> nextSerial{1};

// The lookups of one thread, and the last table it had to scan for.
struct Registry {
    std::array<std::unique_ptr<NearestColorLookup>, NearestColorLookup::kLookupsPerThread> lookups;
    uint64_t clock = 0;
    std::vector<RgbQuad> scanned;
    bool hasScanned = false;
    ~Registry();
};
// Outlives the registry (no destructor), so an image used during thread or
// process teardown scans instead of touching a destroyed registry.
thread_local bool registryGone = false;
Registry::~Registry() {
    registryGone = true;
}
thread_local Registry registry;

bool SameEntries(std::span<const RgbQuad> a, std::span<const RgbQuad> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(RgbQuad)) == 0;
}

} // namespace

NearestColorLookup::NearestColorLookup()
    : cache_(std::size_t(1) << kCacheBits),
      cacheBlockGeneration_(std::size_t(1) << (kCacheBits - kCacheBlockBits)), cells_(kCellCount) {}

NearestColorLookup* NearestColorLookup::ForTable(std::span<const RgbQuad> entries, uint64_t& token,
                                                 bool tableUnchanged) {
    if (registryGone)
        return nullptr;
    Registry& reg = registry;
    ++reg.clock;
    const auto use = [&](NearestColorLookup& lookup) {
        lookup.lastUse_ = reg.clock;
        token = lookup.serial_;
        return &lookup;
    };
    if (tableUnchanged && token != 0) {
        for (auto& lookup : reg.lookups) {
            if (lookup && lookup->serial_ == token)
                return use(*lookup);
        }
    }
    for (auto& lookup : reg.lookups) {
        if (lookup && lookup->Holds(entries))
            return use(*lookup);
    }
    token = 0;
    if (!reg.hasScanned || !SameEntries(entries, reg.scanned)) {
        reg.scanned.assign(entries.begin(), entries.end());
        reg.hasScanned = true;
        return nullptr;
    }
    reg.hasScanned = false;
    // Rebuild an empty lookup, else the one used longest ago.
    auto* victim = &reg.lookups[0];
    for (auto& lookup : reg.lookups) {
        if (!lookup) {
            victim = &lookup;
            break;
        }
        if (lookup->lastUse_ < (*victim)->lastUse_)
            victim = &lookup;
    }
    if (!*victim)
        *victim = std::make_unique<NearestColorLookup>();
    (*victim)->Assign(entries);
    return use(**victim);
}

bool NearestColorLookup::Holds(std::span<const RgbQuad> entries) const {
    return serial_ != 0 && SameEntries(entries, std::span(entries_.data(), count_));
}

void NearestColorLookup::Assign(std::span<const RgbQuad> entries) {
    count_ = uint32_t(std::min<std::size_t>(entries.size(), entries_.size()));
    std::copy_n(entries.begin(), count_, entries_.begin());
    serial_ = nextSerial.fetch_add(1, std::memory_order_relaxed);

    // Sorting by colour, then index, puts each entry right after the one that
    // shadows it.
    std::array<uint32_t, 256> byColor{};
    for (uint32_t i = 0; i < count_; ++i) {
        red_[i] = entries_[i].rgbRed;
        green_[i] = entries_[i].rgbGreen;
        blue_[i] = entries_[i].rgbBlue;
        byColor[i] = KeyOf(red_[i], green_[i], blue_[i]) << 8 | i;
    }
    std::sort(byColor.begin(), byColor.begin() + count_);
    for (uint32_t k = 0; k < count_; ++k)
        shadowed_[byColor[k] & 0xFF] = k > 0 && (byColor[k] >> 8) == (byColor[k - 1] >> 8);

    if (++generation_ == 0) {
        // The counters wrapped: old marks could look current, so clear them.
        std::fill(cacheBlockGeneration_.begin(), cacheBlockGeneration_.end(), 0);
        std::fill(cells_.begin(), cells_.end(), Cell{});
        generation_ = 1;
    }
    candidates_.clear();
}

void NearestColorLookup::ResetCacheBlock(uint32_t block) {
    const uint32_t first = block << kCacheBlockBits;
    for (uint32_t slot = first; slot < first + (1u << kCacheBlockBits); ++slot)
        cache_[slot] = KeyForSlot(slot ^ 1) << 8;
    cacheBlockGeneration_[block] = generation_;
}

uint8_t NearestColorLookup::Find(RgbQuad c) {
    const uint32_t key = KeyOf(c.rgbRed, c.rgbGreen, c.rgbBlue);
    const uint32_t slot = SlotOf(key);
    if (cacheBlockGeneration_[slot >> kCacheBlockBits] != generation_)
        ResetCacheBlock(slot >> kCacheBlockBits);
    uint32_t& cached = cache_[slot];
    if ((cached >> 8) == key)
        return uint8_t(cached);
    const uint8_t index = Search(c.rgbRed, c.rgbGreen, c.rgbBlue);
    cached = (key << 8) | index;
    return index;
}

uint8_t NearestColorLookup::Scan(std::span<const RgbQuad> entries, RgbQuad c) {
    int32_t best = kNoDistance;
    uint8_t bestIndex = 0;
    for (std::size_t i = 0; i < entries.size() && i < 256; ++i) {
        const int32_t d = Square(int32_t(entries[i].rgbRed) - c.rgbRed) +
                          Square(int32_t(entries[i].rgbGreen) - c.rgbGreen) +
                          Square(int32_t(entries[i].rgbBlue) - c.rgbBlue);
        if (d < best) {
            best = d;
            bestIndex = uint8_t(i);
            if (d == 0)
                break;
        }
    }
    return bestIndex;
}

// The plain scan restricted to the cell's candidates, which are in index order,
// so "first strictly smaller distance wins" still picks the lowest tied index.
uint8_t NearestColorLookup::Search(uint32_t r, uint32_t g, uint32_t b) {
    const Cell& cell = CandidatesFor(r, g, b);
    const uint8_t* it = candidates_.data() + cell.first;
    const uint8_t* const end = it + cell.count;
    int32_t best = kNoDistance;
    uint8_t bestIndex = 0;
    for (; it != end; ++it) {
        const uint8_t i = *it;
        const int32_t d = Square(red_[i] - int32_t(r)) + Square(green_[i] - int32_t(g)) +
                          Square(blue_[i] - int32_t(b));
        if (d < best) {
            best = d;
            bestIndex = i;
            if (d == 0)
                break;
        }
    }
    return bestIndex;
}

// For every colour of a cell the nearest entry is within the smallest
// worst-case distance any entry has to the cell; entries whose best case is
// beyond that can neither win nor tie, so they are left out.
const NearestColorLookup::Cell& NearestColorLookup::CandidatesFor(uint32_t r, uint32_t g,
                                                                  uint32_t b) {
    const uint32_t cr = r >> kCellShift, cg = g >> kCellShift, cb = b >> kCellShift;
    Cell& cell = cells_[(cr * kCellsPerChannel + cg) * kCellsPerChannel + cb];
    if (cell.generation == generation_)
        return cell;

    constexpr int32_t kSpan = (1 << kCellShift) - 1;
    const int32_t rlo = int32_t(cr << kCellShift), glo = int32_t(cg << kCellShift),
                  blo = int32_t(cb << kCellShift);
    std::array<int32_t, 256> nearest{};
    int32_t bound = kNoDistance;
    for (uint32_t i = 0; i < count_; ++i) {
        if (shadowed_[i])
            continue;
        nearest[i] = NearSquare(red_[i], rlo, rlo + kSpan) +
                     NearSquare(green_[i], glo, glo + kSpan) +
                     NearSquare(blue_[i], blo, blo + kSpan);
        const int32_t farthest = FarSquare(red_[i], rlo, rlo + kSpan) +
                                 FarSquare(green_[i], glo, glo + kSpan) +
                                 FarSquare(blue_[i], blo, blo + kSpan);
        bound = std::min(bound, farthest);
    }
    cell.first = uint32_t(candidates_.size());
    for (uint32_t i = 0; i < count_; ++i) {
        if (!shadowed_[i] && nearest[i] <= bound)
            candidates_.push_back(uint8_t(i));
    }
    cell.count = uint16_t(candidates_.size() - cell.first);
    cell.generation = generation_;
    return cell;
}
