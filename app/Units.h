// Layout units: positions and sizes are given in twips; 15 twips make one pixel
// at 96 dots per inch.
#pragma once

namespace orvane {

constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) { return (twips + TwipsPerPixel / 2) / TwipsPerPixel; }

}  // namespace orvane
