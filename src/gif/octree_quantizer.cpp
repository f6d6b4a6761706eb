#include "gif/octree_quantizer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/cximage.h"

namespace {

constexpr std::size_t kHeaderSize = sizeof(BitmapInfoHeader);

uint64_t StrideOf(uint64_t width, uint64_t bits) {
    return ((bits * width + 31) / 32) * 4;
}

} // namespace

OctreeQuantizer::OctreeQuantizer(uint32_t colors, uint32_t colorBits)
    : maxColors_(colors < 16 ? 16 : colors), outputColors_(colors),
      colorBits_(colorBits > 7 ? kMaxBits : colorBits) {}

OctreeQuantizer::~OctreeQuantizer() = default;

uint32_t OctreeQuantizer::ChildIndex(uint8_t r, uint8_t g, uint8_t b, uint32_t level) {
    const uint32_t mask = 0x80u >> level;
    const uint32_t shift = 7 - level;
    return ((r & mask) >> shift) << 2 | ((g & mask) >> shift) << 1 | ((b & mask) >> shift);
}

void OctreeQuantizer::Insert(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const uint32_t key = uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    if (lastPathLength_ > 0 && key == lastKey_) {
        AddToPath(r, g, b, a);
        return;
    }
    lastPathLength_ = 0;
    std::unique_ptr<Node>* slot = &root_;
    Node* parent = nullptr;
    for (uint32_t level = 0;; ++level) {
        if (!*slot)
            Create(*slot, parent, level);
        Node& node = **slot;
        lastPath_[lastPathLength_++] = &node;
        if (node.isLeaf)
            break;
        slot = &node.children[ChildIndex(r, g, b, level)];
        parent = &node;
    }
    lastKey_ = key;
    AddToPath(r, g, b, a);
}

// Inner nodes count the pixels below them, which prices their fold; only the
// leaf keeps colour sums.
void OctreeQuantizer::AddToPath(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const std::span<Node* const> path(lastPath_.data(), lastPathLength_);
    for (Node* node : path)
        ++node->pixelCount;
    Node& leaf = *path.back();
    leaf.redSum += r;
    leaf.greenSum += g;
    leaf.blueSum += b;
    leaf.alphaSum += a;
}

void OctreeQuantizer::Create(std::unique_ptr<Node>& slot, Node* parent, uint32_t level) {
    slot = std::make_unique<Node>();
    Node& created = *slot;
    created.parent = parent;
    created.level = uint8_t(level);
    created.serial = nodesCreated_++;
    created.isLeaf = level == colorBits_;
    leafCount_ += created.isLeaf ? 1 : 0;
    if (parent && ++parent->childCount == 2) {
        for (Node* above = parent->parent; above; above = above->parent)
            ++above->forksBelow;
    }
}

// The leaf at the end of a branch below a fork that may fold: every node on
// the way has one child.
const OctreeQuantizer::Node& OctreeQuantizer::LeafBelow(const Node& node) {
    const Node* at = &node;
    while (!at->isLeaf) {
        for (const std::unique_ptr<Node>& child : at->children) {
            if (child) {
                at = child.get();
                break;
            }
        }
    }
    return *at;
}

// The price of folding a fork: how far its leaves' colours lie from their
// merged average (the sum of squared distances, each leaf counted once), times
// the square of the pixels it holds. Rare colours and near neighbours are
// cheap to merge. A fork holding a colour that covers much of the picture (a
// page's white, a flat UI grey) is dear even when its other leaves lie one
// step away: counted once, the pixels let a white page absorb a few
// near-white pixels and come out 254 once the average is truncated.
void OctreeQuantizer::PriceFold(Node& fork) {
    std::array<const Node*, 8> leaves{};
    std::size_t count = 0;
    double merged[3] = {0, 0, 0};
    for (const std::unique_ptr<Node>& child : fork.children) {
        if (!child)
            continue;
        const Node& leaf = LeafBelow(*child);
        leaves[count++] = &leaf;
        merged[0] += double(leaf.redSum);
        merged[1] += double(leaf.greenSum);
        merged[2] += double(leaf.blueSum);
    }
    const double total = double(fork.pixelCount);
    double spread = 0;
    for (const Node* leaf : std::span(leaves.data(), count)) {
        const double n = double(leaf->pixelCount);
        const double d[3] = {double(leaf->redSum) / n - merged[0] / total,
                             double(leaf->greenSum) / n - merged[1] / total,
                             double(leaf->blueSum) / n - merged[2] / total};
        spread += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    }
    fork.foldCost = total * total * spread;
}

// Which of two foldable nodes folds first: the cheaper; among equals the
// deepest, then the newest. A strict order, so the palette depends on the
// pixels and their order alone.
bool OctreeQuantizer::FoldsFirst(const Node& a, const Node& b) {
    if (a.foldCost != b.foldCost)
        return a.foldCost < b.foldCost;
    if (a.level != b.level)
        return a.level > b.level;
    return a.serial > b.serial;
}

// A fork (a node with two or more children) may fold once no fork is left
// below it: each of its children then leads to one leaf, so the fold merges
// exactly those leaves, and every branch folds from the bottom up. Nodes with
// one child never fold on their own; that would free no entry and only widen
// the range of later colours their leaf swallows.
void OctreeQuantizer::CollectFoldable(Node& node, std::vector<Node*>& out) {
    if (node.isLeaf)
        return;
    if (node.childCount > 1 && node.forksBelow == 0) {
        PriceFold(node);
        out.push_back(&node);
        return;
    }
    for (std::unique_ptr<Node>& child : node.children) {
        if (child)
            CollectFoldable(*child, out);
    }
}

void OctreeQuantizer::AddLeafSums(const Node& from, Node& to) {
    if (from.isLeaf) {
        to.redSum += from.redSum;
        to.greenSum += from.greenSum;
        to.blueSum += from.blueSum;
        to.alphaSum += from.alphaSum;
        return;
    }
    for (const std::unique_ptr<Node>& child : from.children) {
        if (child)
            AddLeafSums(*child, to);
    }
}

// Folds a foldable fork into a leaf; returns the nearest fork above it when
// that has just become foldable, else null.
OctreeQuantizer::Node* OctreeQuantizer::Fold(Node& node) {
    for (std::unique_ptr<Node>& child : node.children) {
        if (child)
            AddLeafSums(*child, node);
        child.reset();
    }
    leafCount_ = leafCount_ + 1 - node.childCount;
    node.isLeaf = true;
    node.childCount = 0;
    Node* fork = nullptr;
    for (Node* above = node.parent; above; above = above->parent) {
        --above->forksBelow;
        if (!fork && above->childCount > 1)
            fork = above;
    }
    return fork && fork->forksBelow == 0 ? fork : nullptr;
}

// Folds nodes, first to fold first, until at most `limit` leaves remain. Pixel
// counts do not change meanwhile, so one heap orders the whole reduction.
void OctreeQuantizer::ReduceTo(uint32_t limit) {
    if (leafCount_ <= limit || !root_)
        return;
    lastPathLength_ = 0;
    std::vector<Node*> heap;
    CollectFoldable(*root_, heap);
    const auto later = [](const Node* a, const Node* b) { return FoldsFirst(*b, *a); };
    std::make_heap(heap.begin(), heap.end(), later);
    while (leafCount_ > limit && !heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        Node& node = *heap.back();
        heap.pop_back();
        if (Node* next = Fold(node)) {
            PriceFold(*next);
            heap.push_back(next);
            std::push_heap(heap.begin(), heap.end(), later);
        }
    }
}

// Every pixel goes in at full depth, and nodes fold only when the tree grows
// past a working size, or at the end of the image: a colour then has its
// own leaf and its full count before any fold decides what merges, instead of
// falling into a leaf that an earlier fold left covering its range.
void OctreeQuantizer::Add(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    Insert(r, g, b, a);
    if (leafCount_ > kWorkingLeaves)
        ReduceTo(std::max(kWorkingLeaves / 2, maxColors_));
}

bool OctreeQuantizer::AddImage(std::span<const uint8_t> block) {
    if (block.size() < kHeaderSize)
        return false;
    BitmapInfoHeader head;
    std::memcpy(&head, block.data(), kHeaderSize);
    const uint32_t bits = head.biBitCount;
    if ((bits != 1 && bits != 4 && bits != 8 && bits != 24) || head.biWidth <= 0 ||
        head.biHeight <= 0)
        return false;
    const uint32_t width = uint32_t(head.biWidth), height = uint32_t(head.biHeight);
    const uint64_t stride = StrideOf(width, bits);
    const uint64_t tableBytes = uint64_t(head.biClrUsed) * sizeof(RgbQuad);
    if (kHeaderSize + tableBytes + stride * height > block.size())
        return false;
    const auto* table = reinterpret_cast<const RgbQuad*>(block.data() + kHeaderSize);
    const uint8_t* rows = block.data() + kHeaderSize + tableBytes;

    if (bits == 24) {
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* p = rows + y * stride;
            for (uint32_t x = 0; x < width; ++x, p += 3) {
                Add(p[2], p[1], p[0], 0);
            }
        }
        ReduceTo(maxColors_);
        return true;
    }

    // A table shorter than the depth's range is only usable if no pixel
    // points past it; check before adding anything.
    if (head.biClrUsed < (1u << bits)) {
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                if (IndexInPackedRow(rows + y * stride, x, bits) >= head.biClrUsed)
                    return false;
            }
        }
    }
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + y * stride;
        for (uint32_t x = 0; x < width; ++x) {
            RgbQuad c;
            std::memcpy(&c, table + IndexInPackedRow(row, x, bits), sizeof c);
            Add(c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved);
        }
    }
    ReduceTo(maxColors_);
    return true;
}

bool OctreeQuantizer::AddImage(const CxImage& image) {
    if (!image.IsValid())
        return false;
    return AddImage(std::span<const uint8_t>(image.DibBlock(), image.DibSize()));
}

void OctreeQuantizer::Collect(const Node& node, std::span<RgbQuad> table, uint32_t& written) {
    if (written >= table.size())
        return;
    if (node.isLeaf) {
        const uint64_t n = node.pixelCount ? node.pixelCount : 1;
        table[written++] = RgbQuad{uint8_t(node.blueSum / n), uint8_t(node.greenSum / n),
                                   uint8_t(node.redSum / n), uint8_t(node.alphaSum / n)};
        return;
    }
    for (const std::unique_ptr<Node>& child : node.children) {
        if (child)
            Collect(*child, table, written);
    }
}

uint32_t OctreeQuantizer::FillPalette(std::span<RgbQuad> table) const {
    uint32_t written = 0;
    if (root_)
        Collect(*root_, table, written);
    return written;
}
