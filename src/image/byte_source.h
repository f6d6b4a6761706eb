#pragma once
// Where decoders read from: a file or a block of memory, behind the three
// calls a decoder needs (read, seek, tell), so every decoder is tested in
// memory and reads files through the same code.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `buffer.size()` bytes; returns how many were read (0 at the end).
    virtual std::size_t Read(std::span<uint8_t> buffer) = 0;
    // Moves to an absolute position; positions past the end are allowed and
    // simply read nothing. False when the position cannot be reached.
    virtual bool Seek(int64_t position) = 0;
    virtual int64_t Tell() const = 0;

    // One byte, or false at the end.
    bool ReadByte(uint8_t& byte) { return Read(std::span<uint8_t>(&byte, 1)) == 1; }
    // Exactly `buffer.size()` bytes, or false.
    bool ReadExact(std::span<uint8_t> buffer) { return Read(buffer) == buffer.size(); }
};

// Reads from memory the caller keeps alive.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> data) : data_(data) {}
    std::size_t Read(std::span<uint8_t> buffer) override;
    bool Seek(int64_t position) override;
    int64_t Tell() const override { return position_; }

private:
    std::span<const uint8_t> data_;
    int64_t position_ = 0;
};

// Reads a file opened for binary reading.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    // errno of the failed open, 0 when open.
    int OpenError() const { return openError_; }
    std::size_t Read(std::span<uint8_t> buffer) override;
    bool Seek(int64_t position) override;
    int64_t Tell() const override;

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    int openError_ = 0;
};
