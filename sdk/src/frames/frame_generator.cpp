#include "frames/frame_generator.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <tuple>
#include <utility>

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

// The part of the picture that zoom, pan and tilt show: on each axis, `length` picture pixels
// from `start` are spread over the `frame` pixels of the frame.
struct Crop {
    struct Axis {
        int start = 0, length = 1, frame = 1;
        int pictureAt(int v) const { return start + int(int64_t(v) * length / frame); }
    };
    Axis x, y;
};

namespace {

// A centred crop of 100/zoom of the side, moved by `shift` percent of the room left on either
// side (toward the end of the axis for a positive shift).
Crop::Axis cropAxis(int side, int zoom, int shift) {
    Crop::Axis a;
    a.frame = side;
    a.length = std::max(1, int(int64_t(side) * 100 / zoom));
    const int room = (side - a.length) / 2;
    a.start = room + shift * room / 100;
    return a;
}

std::vector<Rgb> throughCropRow(const std::vector<Rgb>& row, const Crop::Axis& axis) {
    std::vector<Rgb> out(row.size());
    for (int x = 0; x < axis.frame; ++x) out[size_t(x)] = row[size_t(axis.pictureAt(x))];
    return out;
}

}  // namespace

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
    int elementWidth = 0;  // pixels in `element`: the square's side through the zoom
    bool flipH = false, flipV = false;
    Crop crop;

    std::vector<uint8_t> picture;  // MJPG: the RGB picture handed to the encoder
    std::unique_ptr<JpegCompressor> jpeg;

    std::optional<LensModel> lensModel;  // as asked for, for configuredFor
    std::unique_ptr<LensDrawing> lens;   // draws the bands and the square when there is a lens

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

    // Paints rows [y, y + h) of the frame from column x with the first w pixels of `segment`.
    // x, y, w and h are multiples of the format's width and height multiples, so no chroma
    // group is split.
    void fillRect(uint8_t* frame, int x, int y, int w, int h, const Segment& segment) const {
        for (int p = 0; p < info->planeCount; ++p) {
            const PixelPlane& plane = info->planes[p];
            const size_t rowBytes = planeRowBytes(plane, width);
            const size_t xBytes = size_t(x / plane.pixelsPerGroup) * plane.bytesPerGroup;
            const size_t count = std::min(planeRowBytes(plane, w), segment.bytes[p].size());
            const uint8_t* bytes = segment.bytes[p].data();
            uint8_t* out = frame + planeOffset[p] + xBytes;
            const int firstRow = y / plane.rowDivisor, endRow = (y + h) / plane.rowDivisor;
            for (int r = firstRow; r < endRow; ++r)
                std::memcpy(out + size_t(r) * rowBytes, bytes, count);
        }
    }

    // The frame columns (or rows) that show picture columns [from, from + length) through the
    // zoom crop, rounded down to even and kept inside the frame.
    static std::pair<int, int> throughCrop(int from, int length, const Crop::Axis& axis) {
        auto map = [&axis](int v) {
            const int64_t out = int64_t(v - axis.start) * axis.frame / axis.length;
            return int(2 * (std::clamp<int64_t>(out, 0, axis.frame) / 2));
        };
        return {map(from), map(from + length)};
    }

    // The frame columns [x0, x1) and rows [y0, y1) of the moving square in frame `number`.
    struct Square {
        int x0, x1, y0, y1;
    };
    Square squareAt(uint32_t number) const {
        const int side = layout.elementSide;
        auto [x0, x1] = throughCrop(layout.elementX(number), side, crop.x);
        auto [y0, y1] = throughCrop(layout.elementY, side, crop.y);
        if (flipH) std::tie(x0, x1) = std::make_pair(width - x1, width - x0);
        if (flipV) std::tie(y0, y1) = std::make_pair(height - y1, height - y0);
        // `element` is as wide as the square can be through the zoom; x1 - x0 may be less.
        if (x1 > x0) x1 = x0 + std::min(x1 - x0, elementWidth);
        return Square{x0, x1, y0, y1};
    }

    void draw(uint32_t number, uint8_t* frame) const {
        const Square s = squareAt(number);
        const bool square = s.x1 > s.x0 && s.y1 > s.y0;
        if (lens) {
            lens->draw(frame, square ? s.x0 : 0, square ? s.x1 : 0);
        } else {
            fillBands(frame);
            if (square) fillRect(frame, s.x0, s.y0, s.x1 - s.x0, s.y1 - s.y0, element);
        }

        // Drawn last and never flipped or adjusted, so it reads the same in every picture.
        if (!layout.hasStamp) return;
        for (int row = 0; row < kStampRows; ++row)
            for (int column = 0; column < kStampColumns; ++column)
                fillRect(frame, layout.cellX(column), layout.cellY(row), layout.cell, layout.cell,
                         stampCellWhite(number, column, row) ? white : black);
    }
};

FrameGenerator::FrameGenerator() = default;
FrameGenerator::~FrameGenerator() = default;

bool FrameGenerator::configure(LX_IMAGE_FORMAT format, int width, int height,
                               const ImageAdjustments& adj, const std::optional<LensModel>& lens) {
    // The lens's remap depends only on the lens and the size: a change of look keeps it.
    std::shared_ptr<const LensMap> lensMap = impl_ && impl_->lens ? impl_->lens->map() : nullptr;
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

        // Tilt moves the crop up for a positive value, toward the picture's first rows.
        im->crop.x = cropAxis(width, look.zoom, look.pan);
        im->crop.y = cropAxis(height, look.zoom, -look.tilt);

        std::vector<Rgb> bars = barRow(width), ramp = rampRow(width);
        for (std::vector<Rgb>* row : {&bars, &ramp}) {
            if (look.zoom != 100) *row = throughCropRow(*row, im->crop.x);
            std::transform(row->begin(), row->end(), row->begin(), adjust);
            if (im->flipH) std::reverse(row->begin(), row->end());
        }
        // The first frame row that shows the ramp band, rounded up to even so that no 4:2:0
        // chroma row straddles the two bands.
        const int barRows = im->layout.barRows;
        int split = 0;
        while (split < height && im->crop.y.pictureAt(split) < barRows) ++split;
        split = std::min(height, split + split % 2);
        im->topBand = encodeSegment(*info, im->flipV ? ramp : bars);
        im->bottomBand = encodeSegment(*info, im->flipV ? bars : ramp);
        im->splitRow = im->flipV ? height - split : split;

        const PatternLayout& l = im->layout;
        // Rounding both ends to even makes the square at most two columns wider than its
        // scaled side.
        im->elementWidth = std::min<int>(width, int(int64_t(l.elementSide) * width / im->crop.x.length) + 2);
        if (look.zoom == 100) im->elementWidth = std::min(width, l.elementSide);
        im->elementWidth -= im->elementWidth % info->widthMultiple;
        im->element =
            encodeSegment(*info, std::vector<Rgb>(size_t(im->elementWidth), adjust(kElementColour)));
        im->white = encodeSegment(*info, std::vector<Rgb>(size_t(l.cell), kStampWhite));
        im->black = encodeSegment(*info, std::vector<Rgb>(size_t(l.cell), kStampBlack));

        im->lensModel = lens;
        if (lens) {
            const Impl::Square square = im->squareAt(0);  // its rows are the same in every frame
            LensScene scene{im->flipV ? ramp : bars, im->flipV ? bars : ramp, im->splitRow,
                            adjust(kElementColour), square.y0, square.y1};
            if (!lensMap || lensMap->lens() != *lens || lensMap->width() != width ||
                lensMap->height() != height)
                lensMap = std::make_shared<const LensMap>(*lens, width, height);
            im->lens = std::make_unique<LensDrawing>(std::move(lensMap), *info, scene);
        }

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
                                   const ImageAdjustments& adj,
                                   const std::optional<LensModel>& lens) const {
    if (!impl_ || impl_->format != format || impl_->width != width || impl_->height != height ||
        impl_->lensModel != lens)
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
