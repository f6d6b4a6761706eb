#pragma once
// Where encoders write: a file or a growing memory buffer, so every codec is
// tested in memory and saves to disk through the same code.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False once any write has failed; later writes are ignored.
    virtual bool Write(std::span<const uint8_t> bytes) = 0;
    virtual bool Flush() { return true; }
    bool Put(uint8_t byte) { return Write(std::span<const uint8_t>(&byte, 1)); }
    bool PutLe16(uint16_t v) {
        const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        return Write(b);
    }
    bool PutLe32(uint32_t v) {
        const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        return Write(b);
    }
};

class MemorySink final : public ByteSink {
public:
    bool Write(std::span<const uint8_t> bytes) override {
        data_.insert(data_.end(), bytes.begin(), bytes.end());
        return true;
    }
    const std::vector<uint8_t>& Data() const { return data_; }
    std::vector<uint8_t> TakeData() { return std::move(data_); }

private:
    std::vector<uint8_t> data_;
};

class FileSink final : public ByteSink {
public:
    // Opens (creating or truncating) `path` for binary writing.
    explicit FileSink(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    bool Write(std::span<const uint8_t> bytes) override;
    bool Flush() override;
    // Flushes and closes; false when anything failed on the way.
    bool Close();

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    bool ok_ = false;
};
