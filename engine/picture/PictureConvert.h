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

// What decoding GIF and BMP pictures may cost one document: a bound on the
// pixels of each picture, and one on the pixels of all of them together, so
// that a small file holding many huge pictures cannot keep the engine busy for
// hours. Pictures are charged before they are decoded, so damaged ones count.
class PixelBudget {
public:
    PixelBudget(std::size_t perPicture, std::size_t perDocument)
        : m_perPicture(perPicture), m_left(perDocument), m_total(perDocument) {}
    std::size_t perPicture() const { return m_perPicture; }
    std::size_t total() const { return m_total; }
    // Takes `pixels` from what is left; false (taking nothing) when they do not fit.
    bool take(std::size_t pixels) {
        if (pixels > m_left) return false;
        m_left -= pixels;
        return true;
    }

private:
    std::size_t m_perPicture;
    std::size_t m_left;
    std::size_t m_total;
};

enum class Conversion {
    Converted,
    Undecodable,  // damaged, or a kind of GIF or BMP the converter does not know
    TooLarge,     // larger than one picture may be; `out` holds the size it claims
    OverBudget,   // the document's pictures have used up what they may decode
};

// Each converts (charging `budget`) or leaves `out.data` empty.
Conversion gifToPng(std::string_view gif, PixelBudget& budget, PngImage& out);
Conversion bmpToPng(std::string_view bmp, PixelBudget& budget, PngImage& out);

// The warning for a picture of `format` ("GIF", "BMP") that was not converted.
std::string leftOutWarning(Conversion outcome, std::string_view format, const PngImage& claimed,
                           const PixelBudget& budget);

// The natural pixel size of a PNG or JPEG picture, read from its header;
// `w` and `h` are left as they are when it cannot be found.
void pixelSize(const std::string& data, model::ImageFormat format, int& w, int& h);

}  // namespace orvane::picture
