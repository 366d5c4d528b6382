#include "frames/pattern_layout.h"

#include <algorithm>
#include <cstdlib>

namespace lentra {

namespace {

// 75 % colour bars, from white to black.
constexpr Rgb kBars[8] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                          {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};

// How far apart (in 0..255 brightness) the two cells of a bit must be to count as read. Black
// and white differ by 219 in YUV and 255 in RGB; JPEG blurs cell edges, not cell centres.
constexpr int kStampMargin = 64;

}  // namespace

PatternLayout patternLayout(int width, int height) {
    PatternLayout l;
    l.width = width;
    l.height = height;
    const int shorter = std::min(width, height);
    l.cell = std::max(4, 2 * (shorter / 128));
    // The stamp grid plus a one-cell margin on each side must fit.
    l.hasStamp = (kStampColumns + 2) * l.cell <= width && (kStampRows + 2) * l.cell <= height;
    l.barRows = 2 * (height / 3);
    l.elementSide = 4 * l.cell;
    const int rampRows = height - l.barRows;
    l.elementY = std::min(l.barRows + 2 * (std::max(0, rampRows - l.elementSide) / 4),
                          height - l.elementSide);
    l.trackPositions = (width - l.elementSide) / 2 + 1;
    l.trackStep = std::max(1, width / 256);
    return l;
}

int PatternLayout::elementX(uint32_t number) const {
    if (trackPositions <= 0) return 0;
    const uint64_t pos = (uint64_t(number) * uint64_t(trackStep)) % uint64_t(trackPositions);
    return int(2 * pos);
}

std::vector<Rgb> barRow(int width) {
    std::vector<Rgb> row(size_t(std::max(width, 0)));
    for (int x = 0; x < width; ++x) row[size_t(x)] = kBars[(8 * int64_t(x)) / width];
    return row;
}

std::vector<Rgb> rampRow(int width) {
    std::vector<Rgb> row(size_t(std::max(width, 0)));
    const int last = std::max(width - 1, 1);
    for (int x = 0; x < width; ++x) {
        const auto g = static_cast<uint8_t>((255 * int64_t(x)) / last);
        row[size_t(x)] = Rgb{g, g, g};
    }
    return row;
}

bool stampCellWhite(uint32_t number, int column, int row) {
    const int bitIndex = row * (kStampColumns / 2) + column / 2;  // 0 is the most significant
    const bool one = (number >> (31 - bitIndex)) & 1u;
    const bool firstOfPair = (column % 2) == 0;
    return one == firstOfPair;
}

long decodeStamp(const int brightness[kStampRows][kStampColumns]) {
    uint32_t number = 0;
    for (int row = 0; row < kStampRows; ++row) {
        for (int column = 0; column < kStampColumns; column += 2) {
            const int first = brightness[row][column], second = brightness[row][column + 1];
            if (std::abs(first - second) < kStampMargin) return -1;
            number = (number << 1) | (first > second ? 1u : 0u);
        }
    }
    return long(number);
}

}  // namespace lentra
