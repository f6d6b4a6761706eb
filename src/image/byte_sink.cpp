#include "image/byte_sink.h"

FileSink::FileSink(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
    ok_ = file_ != nullptr;
}

bool FileSink::Write(std::span<const uint8_t> bytes) {
    if (!ok_)
        return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size())
        ok_ = false;
    return ok_;
}

bool FileSink::Flush() {
    if (ok_ && std::fflush(file_.get()) != 0)
        ok_ = false;
    return ok_;
}

bool FileSink::Close() {
    if (!file_)
        return false;
    Flush();
    if (std::fclose(file_.release()) != 0)
        ok_ = false;
    return ok_;
}
