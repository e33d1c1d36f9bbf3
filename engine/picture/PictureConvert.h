// Pictures for RTF: their natural size, and the formats RTF cannot carry (GIF,
// BMP) turned into PNG, so that such
// pictures are not lost. Only the first frame of an animated GIF is kept.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "model/Document.h"

namespace orvane::picture {

struct PngImage {
    std::string data;
    int width = 0;
    int height = 0;
};

// Each returns false (leaving `out` empty) for data it cannot decode or
// pictures larger than `maxPixels`.
bool gifToPng(std::string_view gif, std::size_t maxPixels, PngImage& out);
bool bmpToPng(std::string_view bmp, std::size_t maxPixels, PngImage& out);

// The natural pixel size of a PNG or JPEG picture, read from its header;
// `w` and `h` are left as they are when it cannot be found.
void pixelSize(const std::string& data, model::ImageFormat format, int& w, int& h);

}  // namespace orvane::picture
