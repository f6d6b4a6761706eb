#pragma once
// One palette for a whole animation: every pixel of every frame goes into an
// octree whose leaves are colours. After each image (and whenever the tree
// grows past its working size) nodes fold their leaves into one until no more
// leaves than colours wanted remain, the cheapest fold first: few pixels and
// close colours. The leaves' average colours become the palette.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

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

    // Leaves the tree may hold while an image goes in (a few MiB of nodes).
    static constexpr uint32_t kWorkingLeaves = 1u << 14;

    struct Node {
        bool isLeaf = false;
        uint8_t level = 0;
        uint8_t childCount = 0;
        // 64 bits: one leaf may gather the same colour from every pixel of
        // every frame, far beyond 2^32 over a long recording.
        uint64_t pixelCount = 0; // below an inner node: all pixels of its subtree
        uint64_t redSum = 0, greenSum = 0, blueSum = 0, alphaSum = 0;
        uint32_t forksBelow = 0; // descendants with two or more children
        uint64_t serial = 0;     // creation order
        double foldCost = 0;     // set while a reduction considers it
        std::array<std::unique_ptr<Node>, 8> children;
        Node* parent = nullptr; // not owning
    };

    void Add(uint8_t r, uint8_t g, uint8_t b, uint8_t a);
    void Insert(uint8_t r, uint8_t g, uint8_t b, uint8_t a);
    void AddToPath(uint8_t r, uint8_t g, uint8_t b, uint8_t a);
    void Create(std::unique_ptr<Node>& slot, Node* parent, uint32_t level);
    static const Node& LeafBelow(const Node& node);
    static void PriceFold(Node& fork);
    static bool FoldsFirst(const Node& a, const Node& b);
    static void CollectFoldable(Node& node, std::vector<Node*>& out);
    static void AddLeafSums(const Node& from, Node& to);
    Node* Fold(Node& node);
    void ReduceTo(uint32_t limit);
    static uint32_t ChildIndex(uint8_t r, uint8_t g, uint8_t b, uint32_t level);
    static void Collect(const Node& node, std::span<RgbQuad> table, uint32_t& written);

    std::unique_ptr<Node> root_;
    uint32_t leafCount_ = 0;
    uint64_t nodesCreated_ = 0;
    uint32_t maxColors_;
    uint32_t outputColors_;
    uint32_t colorBits_;
    // Nodes from the root to the leaf that took the previous colour, valid
    // until a reduction reshapes the tree: runs of one colour skip the walk.
    std::array<Node*, kMaxBits + 1> lastPath_{};
    uint32_t lastPathLength_ = 0; // 0: no valid path
    uint32_t lastKey_ = 0;
};
