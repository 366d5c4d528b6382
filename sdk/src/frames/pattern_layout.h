// The test pattern's geometry and colours, and its frame-number stamp. sdk/docs/test-pattern.md
// documents every rule here; keep the two in step.
//
// The picture has two bands: colour bars on top and a grey ramp below. Both depend on the
// column only, so a band is one row repeated, which is what makes frames cheap to produce. A
// square moves along the ramp band as the frame number grows, and the frame number is stamped
// near the top-left corner as an 8 x 8 grid of black and white cells.
#pragma once

#include <cstdint>
#include <vector>

#include "frames/pixel_format.h"

namespace lentra {

constexpr int kStampColumns = 8;
constexpr int kStampRows = 8;

constexpr Rgb kElementColour{255, 128, 0};
constexpr Rgb kStampWhite{255, 255, 255};
constexpr Rgb kStampBlack{0, 0, 0};

struct PatternLayout {
    int width = 0;
    int height = 0;
    int cell = 0;           // side of a stamp cell in pixels (even)
    bool hasStamp = false;  // false when the frame is too small to hold the stamp
    int barRows = 0;        // rows of the colour-bar band (even); the ramp band fills the rest
    int elementSide = 0;    // side of the moving square (even)
    int elementY = 0;       // its top row in the picture before flipping
    int trackPositions = 0; // even columns the square's left edge can take
    int trackStep = 0;      // pairs of columns it advances per frame

    // The left column of the moving square in frame `number`, before flipping.
    int elementX(uint32_t number) const;
    // Top-left corner of stamp cell (column, row).
    int cellX(int column) const { return cell * (1 + column); }
    int cellY(int row) const { return cell * (1 + row); }
};

PatternLayout patternLayout(int width, int height);

// One row of each band before adjustments.
std::vector<Rgb> barRow(int width);
std::vector<Rgb> rampRow(int width);

// Whether stamp cell (column, row) is white in frame `number`. Each bit is a pair of cells,
// white-black for 1 and black-white for 0, read left to right and top to bottom with the most
// significant bit first: four bits per row.
bool stampCellWhite(uint32_t number, int column, int row);

// The frame number from the mean brightness (0..255) of every stamp cell, or -1 when some pair
// of cells is not clearly one white and one black.
long decodeStamp(const int brightness[kStampRows][kStampColumns]);

}  // namespace lentra
