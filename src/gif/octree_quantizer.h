#pragma once
// One palette for a whole animation: every pixel of every frame goes into an
// octree whose leaves are colours; whenever there are more leaves than colours
// wanted, the most recently created deepest inner node folds its children into
// itself. The leaves' average colours become the palette.

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "image/image_types.h"

class CxImage;

class OctreeQuantizer {
public:
    // `colors` below 16 still allows 16 leaves; `colorBits` above 7 means 8.
    OctreeQuantizer(uint32_t colors, uint32_t colorBits);
    ~OctreeQuantizer();
    OctreeQuantizer(const OctreeQuantizer&) = delete;
    OctreeQuantizer& operator=(const OctreeQuantizer&) = delete;

    // Adds every pixel of a packed bitmap block (header, colour table, rows).
    // False, with nothing added, for depths other than 1, 4, 8 and 24, and for
    // a block that is shorter than its header says or whose pixels index past
    // its colour table.
    bool AddImage(std::span<const uint8_t> block);
    bool AddImage(const CxImage& image);

    // Writes one entry per leaf, depth first with children in index order,
    // from entry 0; entries past the leaves (or past `table`) are untouched.
    // Returns the number of entries written.
    uint32_t FillPalette(std::span<RgbQuad> table) const;

    uint32_t LeafCount() const { return leafCount_; }
    uint32_t MaxColors() const { return maxColors_; }
    uint32_t OutputColors() const { return outputColors_; }
    uint32_t ColorBits() const { return colorBits_; }

private:
    static constexpr uint32_t kMaxBits = 8;

    struct Node {
        bool isLeaf = false;
        // 64 bits: one leaf may gather the same colour from every pixel of
        // every frame, far beyond 2^32 over a long recording.
        uint64_t pixelCount = 0;
        uint64_t redSum = 0, greenSum = 0, blueSum = 0, alphaSum = 0;
        std::array<std::unique_ptr<Node>, 8> children;
        Node* next = nullptr; // reducible list link, not owning
    };

    void Insert(uint8_t r, uint8_t g, uint8_t b, uint8_t a);
    bool ReduceOneNode();
    void ReduceToLimit();
    static uint32_t ChildIndex(uint8_t r, uint8_t g, uint8_t b, uint32_t level);
    static void Collect(const Node& node, std::span<RgbQuad> table, uint32_t& written);

    std::unique_ptr<Node> root_;
    uint32_t leafCount_ = 0;
    std::array<Node*, kMaxBits + 1> reducible_{};
    uint32_t maxColors_;
    uint32_t outputColors_;
    uint32_t colorBits_;
    // Leaf that took the previous colour, valid until a reduction reshapes the
    // tree: runs of one colour skip the walk from the root.
    Node* lastLeaf_ = nullptr;
    uint32_t lastKey_ = 0;
};
