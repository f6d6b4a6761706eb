#pragma once
// Writing one image as a BMP, JPEG or PNG picture: the "Save this Frame As..."
// path of the editor. Palette images are written as true colour.

#include <cstdint>
#include <string>
#include <string_view>

#include "image/byte_sink.h"
#include "image/image_types.h"

class CxImage;

// Format codes of the extensions the lookup knows beyond the written ones.
inline constexpr uint32_t CXIMAGE_FORMAT_ICO = 5;
inline constexpr uint32_t CXIMAGE_FORMAT_TIF = 6;
inline constexpr uint32_t CXIMAGE_FORMAT_TGA = 7;
inline constexpr uint32_t CXIMAGE_FORMAT_PCX = 8;
inline constexpr uint32_t CXIMAGE_FORMAT_WBMP = 9;
inline constexpr uint32_t CXIMAGE_FORMAT_WMF = 10;
inline constexpr uint32_t CXIMAGE_FORMAT_JP2 = 11;
inline constexpr uint32_t CXIMAGE_FORMAT_JPC = 12;
inline constexpr uint32_t CXIMAGE_FORMAT_PGX = 13;
inline constexpr uint32_t CXIMAGE_FORMAT_PNM = 14;
inline constexpr uint32_t CXIMAGE_FORMAT_RAS = 15;
inline constexpr uint32_t CXIMAGE_FORMAT_MNG = 17;
inline constexpr uint32_t CXIMAGE_FORMAT_SKA = 18;
inline constexpr uint32_t CXIMAGE_FORMAT_RAW = 19;

// The format code for a file extension, judged by its first three characters
// regardless of case ("JPEG" -> 3, "png" -> 4); 0 when none matches.
uint32_t GetTypeFromExtension(std::string_view extension);

// The text after the last "." anywhere in `path`, empty without one. A dot in
// a folder name counts: "my.pics/frame" gives "pics/frame".
std::string_view ExtensionAfterLastDot(std::string_view path);

// True for the formats SaveFrame can write: BMP, JPEG and PNG.
bool CanWriteFormat(uint32_t format);

// Encodes `image` into `sink`. False for an empty image, a format without a
// writer, an encoder failure or a failed write.
bool SaveFrame(const CxImage& image, ByteSink& sink, uint32_t format);

// Writes `image` to `path`, creating or emptying the file. Nothing is created
// for an empty image or a format without a writer. A failed encoding can leave
// a partial file behind.
bool SaveFrameToFile(const CxImage& image, const std::string& path, uint32_t format);
