#include "gif/octree_quantizer.h"

#include <cstring>

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
    Node* leaf = (lastLeaf_ && key == lastKey_) ? lastLeaf_ : nullptr;
    std::unique_ptr<Node>* slot = &root_;
    for (uint32_t level = 0; !leaf; ++level) {
        if (!*slot) {
            *slot = std::make_unique<Node>();
            Node& created = **slot;
            if (level == colorBits_) {
                created.isLeaf = true;
                ++leafCount_;
            } else {
                created.next = reducible_[level];
                reducible_[level] = &created;
            }
        }
        Node& node = **slot;
        if (node.isLeaf)
            leaf = &node;
        else
            slot = &node.children[ChildIndex(r, g, b, level)];
    }
    ++leaf->pixelCount;
    leaf->redSum += r;
    leaf->greenSum += g;
    leaf->blueSum += b;
    leaf->alphaSum += a;
    lastLeaf_ = leaf;
    lastKey_ = key;
}

// Folds the newest inner node of the deepest level that has one into a leaf.
bool OctreeQuantizer::ReduceOneNode() {
    uint32_t level = colorBits_ > 0 ? colorBits_ - 1 : 0;
    while (level > 0 && !reducible_[level])
        --level;
    Node* node = reducible_[level];
    if (!node)
        return false;
    reducible_[level] = node->next;
    node->next = nullptr;

    uint32_t merged = 0;
    for (std::unique_ptr<Node>& child : node->children) {
        if (!child)
            continue;
        node->pixelCount += child->pixelCount;
        node->redSum += child->redSum;
        node->greenSum += child->greenSum;
        node->blueSum += child->blueSum;
        node->alphaSum += child->alphaSum;
        child.reset();
        ++merged;
    }
    node->isLeaf = true;
    // An inner node always has a child; were it childless it would still be a
    // new leaf.
    leafCount_ = leafCount_ + 1 - merged;
    lastLeaf_ = nullptr;
    return true;
}

void OctreeQuantizer::ReduceToLimit() {
    while (leafCount_ > maxColors_ && ReduceOneNode()) {
    }
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
                Insert(p[2], p[1], p[0], 0);
                ReduceToLimit();
            }
        }
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
            Insert(c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved);
            ReduceToLimit();
        }
    }
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
