#include "frames/frame_generator.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "frames/jpeg_codec.h"
#include "frames/pattern_adjust.h"
#include "frames/pattern_layout.h"
#include "frames/pixel_format.h"

namespace lentra {

namespace {

bool isMjpg(LX_IMAGE_FORMAT format) { return format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_MJPG; }

bool sizeFits(const PixelFormatInfo& info, int width, int height) {
    return width >= 16 && height >= 16 && width <= kMaxFrameSide && height <= kMaxFrameSide &&
           width % info.widthMultiple == 0 && height % info.heightMultiple == 0;
}

// A run of pixels encoded in the frame's format: one byte row per plane.
struct Segment {
    std::vector<uint8_t> bytes[2];
};

Segment encodeSegment(const PixelFormatInfo& info, const std::vector<Rgb>& pixels) {
    Segment s;
    uint8_t* rows[2] = {nullptr, nullptr};
    for (int p = 0; p < info.planeCount; ++p) {
        s.bytes[p].resize(planeRowBytes(info.planes[p], int(pixels.size())));
        rows[p] = s.bytes[p].data();
    }
    info.encode(pixels.data(), int(pixels.size()), rows);
    return s;
}

}  // namespace

size_t frameByteCount(LX_IMAGE_FORMAT format, int width, int height) {
    const PixelFormatInfo* info = pixelFormatInfo(format);
    if (!info || width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide)
        return 0;
    return isMjpg(format) ? jpegMaxBytes(width, height) : rawFrameBytes(*info, width, height);
}

struct FrameGenerator::Impl {
    LX_IMAGE_FORMAT format{};
    int width = 0, height = 0;
    ImageAdjustments requested;  // as asked for, so configuredFor compares like with like
    const PixelFormatInfo* info = nullptr;
    PatternLayout layout;
    size_t planeOffset[2] = {0, 0};
    size_t rawBytes = 0;

    // Rows [0, splitRow) repeat topBand, the rest bottomBand (bars and ramp, in the order the
    // vertical flip gives).
    Segment topBand, bottomBand;
    int splitRow = 0;
    Segment element, white, black;
    bool flipH = false, flipV = false;

    std::vector<uint8_t> picture;  // MJPG: the RGB picture handed to the encoder
    std::unique_ptr<JpegCompressor> jpeg;

    void fillBands(uint8_t* frame) const {
        for (int p = 0; p < info->planeCount; ++p) {
            const PixelPlane& plane = info->planes[p];
            const size_t rowBytes = planeRowBytes(plane, width);
            const size_t rows = planeRows(plane, height);
            uint8_t* out = frame + planeOffset[p];
            for (size_t r = 0; r < rows; ++r, out += rowBytes) {
                const bool top = int(r) * plane.rowDivisor < splitRow;
                std::memcpy(out, (top ? topBand : bottomBand).bytes[p].data(), rowBytes);
            }
        }
    }

    // Paints rows [y, y + h) of the frame from column x with `segment`. x, y and h are
    // multiples of the format's width and height multiples, so no chroma group is split.
    void fillRect(uint8_t* frame, int x, int y, int h, const Segment& segment) const {
        for (int p = 0; p < info->planeCount; ++p) {
            const PixelPlane& plane = info->planes[p];
            const size_t rowBytes = planeRowBytes(plane, width);
            const size_t xBytes = size_t(x / plane.pixelsPerGroup) * plane.bytesPerGroup;
            const std::vector<uint8_t>& bytes = segment.bytes[p];
            uint8_t* out = frame + planeOffset[p] + xBytes;
            const int firstRow = y / plane.rowDivisor, endRow = (y + h) / plane.rowDivisor;
            for (int r = firstRow; r < endRow; ++r)
                std::memcpy(out + size_t(r) * rowBytes, bytes.data(), bytes.size());
        }
    }

    void draw(uint32_t number, uint8_t* frame) const {
        fillBands(frame);

        const int side = layout.elementSide;
        int x = layout.elementX(number), y = layout.elementY;
        if (flipH) x = width - x - side;
        if (flipV) y = height - y - side;
        fillRect(frame, x, y, side, element);

        // Drawn last and never flipped or adjusted, so it reads the same in every picture.
        if (!layout.hasStamp) return;
        for (int row = 0; row < kStampRows; ++row)
            for (int column = 0; column < kStampColumns; ++column)
                fillRect(frame, layout.cellX(column), layout.cellY(row), layout.cell,
                         stampCellWhite(number, column, row) ? white : black);
    }
};

FrameGenerator::FrameGenerator() = default;
FrameGenerator::~FrameGenerator() = default;

bool FrameGenerator::configure(LX_IMAGE_FORMAT format, int width, int height,
                               const ImageAdjustments& adj) {
    impl_.reset();
    const PixelFormatInfo* info = pixelFormatInfo(format);
    if (!info || !sizeFits(*info, width, height)) return false;

    try {
        auto im = std::make_unique<Impl>();
        im->format = format;
        im->width = width;
        im->height = height;
        im->requested = adj;
        im->info = info;
        im->layout = patternLayout(width, height);
        im->planeOffset[1] =
            planeRowBytes(info->planes[0], width) * planeRows(info->planes[0], height);
        im->rawBytes = rawFrameBytes(*info, width, height);

        const ImageAdjustments look = clampedAdjustments(adj);
        im->flipH = look.flipHorizontal;
        im->flipV = look.flipVertical;
        const ColourAdjuster adjust(look);

        std::vector<Rgb> bars = barRow(width), ramp = rampRow(width);
        for (std::vector<Rgb>* row : {&bars, &ramp}) {
            std::transform(row->begin(), row->end(), row->begin(), adjust);
            if (im->flipH) std::reverse(row->begin(), row->end());
        }
        const int barRows = im->layout.barRows;
        im->topBand = encodeSegment(*info, im->flipV ? ramp : bars);
        im->bottomBand = encodeSegment(*info, im->flipV ? bars : ramp);
        im->splitRow = im->flipV ? height - barRows : barRows;

        const PatternLayout& l = im->layout;
        im->element =
            encodeSegment(*info, std::vector<Rgb>(size_t(l.elementSide), adjust(kElementColour)));
        im->white = encodeSegment(*info, std::vector<Rgb>(size_t(l.cell), kStampWhite));
        im->black = encodeSegment(*info, std::vector<Rgb>(size_t(l.cell), kStampBlack));

        if (isMjpg(format)) {
            im->picture.resize(im->rawBytes);
            im->jpeg = std::make_unique<JpegCompressor>(width, height, look.jpegQuality);
            if (!im->jpeg->valid()) return false;
        }
        impl_ = std::move(im);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool FrameGenerator::configuredFor(LX_IMAGE_FORMAT format, int width, int height,
                                   const ImageAdjustments& adj) const {
    if (!impl_ || impl_->format != format || impl_->width != width || impl_->height != height)
        return false;
    if (isMjpg(format)) return impl_->requested == adj;
    // Raw frames do not depend on the JPEG quality.
    ImageAdjustments same = adj;
    same.jpegQuality = impl_->requested.jpegQuality;
    return impl_->requested == same;
}

size_t FrameGenerator::generate(uint32_t number, uint8_t* dst, size_t capacity) {
    if (!impl_ || !dst) return 0;
    Impl& im = *impl_;
    if (!im.jpeg) {
        if (capacity < im.rawBytes) return 0;
        im.draw(number, dst);
        return im.rawBytes;
    }
    im.draw(number, im.picture.data());
    const JpegCompressor::Result jpeg = im.jpeg->compress(im.picture.data());
    if (jpeg.size == 0 || jpeg.size > capacity) return 0;
    std::memcpy(dst, jpeg.data, jpeg.size);
    return jpeg.size;
}

namespace {

// Mean brightness of the middle half of every stamp cell (the edges are where JPEG blurs),
// sampling at most 16 x 16 points per cell.
template <class BrightnessAt>
long readStamp(const PatternLayout& l, BrightnessAt brightnessAt) {
    int means[kStampRows][kStampColumns];
    const int inset = l.cell / 4, span = l.cell - 2 * inset;
    const int step = std::max(1, span / 16);
    for (int row = 0; row < kStampRows; ++row) {
        for (int column = 0; column < kStampColumns; ++column) {
            const int x0 = l.cellX(column) + inset, y0 = l.cellY(row) + inset;
            long sum = 0, count = 0;
            for (int y = y0; y < y0 + span; y += step)
                for (int x = x0; x < x0 + span; x += step, ++count) sum += brightnessAt(x, y);
            means[row][column] = int(sum / count);
        }
    }
    return decodeStamp(means);
}

}  // namespace

long readFrameNumber(const uint8_t* data, size_t size, LX_IMAGE_FORMAT format, int width,
                     int height) {
    const PixelFormatInfo* info = pixelFormatInfo(format);
    if (!data || !info || !sizeFits(*info, width, height)) return -1;
    const PatternLayout layout = patternLayout(width, height);
    if (!layout.hasStamp) return -1;

    if (isMjpg(format)) {
        const std::vector<uint8_t> luma = decodeJpegLuma(data, size, width, height);
        if (luma.empty()) return -1;
        return readStamp(layout, [&](int x, int y) { return int(luma[size_t(y) * width + x]); });
    }
    if (size < rawFrameBytes(*info, width, height)) return -1;
    return readStamp(layout,
                     [&](int x, int y) { return info->brightness(data, width, height, x, y); });
}

}  // namespace lentra
