#include "image/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

std::size_t MemorySource::Read(std::span<uint8_t> buffer) {
    const auto size = int64_t(data_.size());
    if (position_ >= size)
        return 0;
    const std::size_t n = std::min<std::size_t>(buffer.size(), std::size_t(size - position_));
    std::memcpy(buffer.data(), data_.data() + position_, n);
    position_ += int64_t(n);
    return n;
}

bool MemorySource::Seek(int64_t position) {
    if (position < 0)
        return false;
    position_ = position;
    return true;
}

FileSource::FileSource(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
    openError_ = file_ ? 0 : errno;
}

std::size_t FileSource::Read(std::span<uint8_t> buffer) {
    if (!file_ || buffer.empty())
        return 0;
    return std::fread(buffer.data(), 1, buffer.size(), file_.get());
}

bool FileSource::Seek(int64_t position) {
    if (!file_ || position < 0)
        return false;
    return fseeko(file_.get(), off_t(position), SEEK_SET) == 0;
}

int64_t FileSource::Tell() const {
    if (!file_)
        return -1;
    return int64_t(ftello(file_.get()));
}
