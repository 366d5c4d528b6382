#include "frames/lens_distortion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

namespace lentra {

bool LensModel::operator==(const LensModel& o) const {
    return fx == o.fx && fy == o.fy && cx == o.cx && cy == o.cy && k1 == o.k1 && k2 == o.k2 &&
           p1 == o.p1 && p2 == o.p2 && k3 == o.k3;
}

std::optional<LensModel> lensAt(const LxIntrinsics& k, int width, int height) {
    if (k.model != LX_DISTORTION_MODEL::LX_DIST_MODEL_RADTAN) return std::nullopt;
    if (k.w < 1 || k.h < 1 || width < 1 || height < 1) return std::nullopt;
    for (float v : {k.fx, k.fy, k.cx, k.cy})
        if (!std::isfinite(v)) return std::nullopt;
    if (!(k.fx > 0 && k.fy > 0)) return std::nullopt;
    bool distorts = false;
    for (float c : k.coeffs) {
        if (!std::isfinite(c)) return std::nullopt;
        distorts = distorts || c != 0;
    }
    if (!distorts) return std::nullopt;
    const double sx = double(width) / k.w, sy = double(height) / k.h;
    LensModel m;
    m.fx = k.fx * sx;
    m.fy = k.fy * sy;
    m.cx = (k.cx + 0.5) * sx - 0.5;
    m.cy = (k.cy + 0.5) * sy - 0.5;
    m.k1 = k.coeffs[0];
    m.k2 = k.coeffs[1];
    m.p1 = k.coeffs[2];
    m.p2 = k.coeffs[3];
    m.k3 = k.coeffs[4];
    return m;
}

namespace {

// Where the normalised point (x, y) shows, and the Jacobian of that mapping.
struct Distorted {
    double x, y;
    double dxdx, dxdy, dydx, dydy;
    double det() const { return dxdx * dydy - dxdy * dydx; }
};

Distorted distort(const LensModel& m, double x, double y) {
    const double r2 = x * x + y * y;
    const double radial = 1 + r2 * (m.k1 + r2 * (m.k2 + r2 * m.k3));
    const double slope = m.k1 + r2 * (2 * m.k2 + r2 * 3 * m.k3);  // d radial / d r2
    Distorted d;
    d.x = x * radial + 2 * m.p1 * x * y + m.p2 * (r2 + 2 * x * x);
    d.y = y * radial + m.p1 * (r2 + 2 * y * y) + 2 * m.p2 * x * y;
    d.dxdx = radial + 2 * x * x * slope + 2 * m.p1 * y + 6 * m.p2 * x;
    d.dxdy = 2 * x * y * slope + 2 * m.p1 * x + 2 * m.p2 * y;
    d.dydx = 2 * x * y * slope + 2 * m.p1 * x + 2 * m.p2 * y;
    d.dydy = radial + 2 * y * y * slope + 6 * m.p1 * y + 2 * m.p2 * x;
    return d;
}

// The squared radius where the radial part of the lens first folds back (the distorted radius
// stops growing), within the radii up to `most`; infinity when it does not fold there. Points
// at or past it are not the picture's: a lens shows each point once, from the inner sheet.
double foldRadius2(const LensModel& m, double most) {
    auto grows = [&m](double s) {  // d(r * radial)/dr at r2 = s
        return 1 + s * (3 * m.k1 + s * (5 * m.k2 + s * 7 * m.k3)) > 0;
    };
    constexpr int kSteps = 4096;
    double before = 0;
    for (int i = 1; i <= kSteps; ++i) {
        double after = most * i / kSteps;
        if (!grows(after)) {
            for (int j = 0; j < 40; ++j) {  // bisect between the last growing radius and this
                const double mid = (before + after) / 2;
                (grows(mid) ? before : after) = mid;
            }
            return before;
        }
        before = after;
    }
    return std::numeric_limits<double>::infinity();
}

// The normalised picture point that shows at the distorted point (xd, yd), by Newton's method
// from (xd, yd). False when it does not converge, or converges past the fold.
bool undistort(const LensModel& m, double fold2, double xd, double yd, double& x, double& y) {
    const double tolerance = 1e-12 * (1 + std::fabs(xd) + std::fabs(yd));
    x = xd;
    y = yd;
    for (int i = 0; i < 30; ++i) {
        const Distorted d = distort(m, x, y);
        const double ex = d.x - xd, ey = d.y - yd;
        if (!(std::isfinite(ex) && std::isfinite(ey))) return false;
        const double det = d.det();
        if (std::fabs(ex) <= tolerance && std::fabs(ey) <= tolerance)
            return det > 0 && x * x + y * y < fold2;
        if (!(std::fabs(det) > 1e-12)) return false;
        x -= (d.dydy * ex - d.dxdy * ey) / det;
        y -= (d.dxdx * ey - d.dydx * ex) / det;
    }
    return false;
}

// For each frame pixel, the picture point it shows, in the picture's pixels. The inverse is
// solved exactly at the nodes of a grid 8 pixels apart and interpolated bilinearly inside a cell
// where that is exact enough: all four nodes solved, near the picture, and the interpolation at
// the cell's centre within kTolerance pixels of the exact point there (the error of bilinear
// interpolation is largest at the centre). In other cells, each pixel is solved itself: near a
// fold, or where the picture ends, the mapping bends too fast to interpolate. A cell none of
// whose nodes has a solution near the picture shows nothing: its pixels would only fail
// Newton's iterations or land far outside the picture.
class SourceMap {
public:
    SourceMap(const LensModel& m, int width, int height) : m_(m), width_(width), height_(height) {
        // The largest radius that matters: the picture's corners; a point beyond shows black.
        double most = 0;
        for (double u : {-0.5, width - 0.5})
            for (double v : {-0.5, height - 0.5}) {
                const double x = (u - m.cx) / m.fx, y = (v - m.cy) / m.fy;
                most = std::max(most, x * x + y * y);
            }
        fold2_ = foldRadius2(m, 1.1 * most);
        columns_ = (width - 1 + kStep - 1) / kStep + 1;
        rows_ = (height - 1 + kStep - 1) / kStep + 1;
        nodes_.resize(std::size_t(columns_) * rows_);
        for (int j = 0; j < rows_; ++j)
            for (int i = 0; i < columns_; ++i)
                nodes_[std::size_t(j) * columns_ + i] = solve(double(i * kStep), double(j * kStep));
        cells_.resize(std::size_t(columns_ - 1) * (rows_ - 1));
        for (int j = 0; j + 1 < rows_; ++j)
            for (int i = 0; i + 1 < columns_; ++i) {
                bool usable = true, none = true;
                for (const Node* n : {&node(i, j), &node(i + 1, j), &node(i, j + 1), &node(i + 1, j + 1)}) {
                    usable = usable && n->valid && near(*n);
                    none = none && !(n->valid && near(*n));
                }
                if (usable) {
                    const Node centre = solve((i + 0.5) * kStep, (j + 0.5) * kStep);
                    double x = 0, y = 0;
                    interpolate(i, j, 0.5, 0.5, x, y);
                    usable = centre.valid && std::fabs(x - centre.x) <= kTolerance &&
                             std::fabs(y - centre.y) <= kTolerance;
                }
                cells_[std::size_t(j) * (columns_ - 1) + i] =
                    usable ? Cell::Smooth : none ? Cell::Empty : Cell::Solved;
            }
    }

    // The picture point that pixel (u, v) shows; false when it shows none.
    bool at(int u, int v, double& sx, double& sy) const {
        const int i = std::min(u / kStep, columns_ - 2), j = std::min(v / kStep, rows_ - 2);
        const Cell cell = cells_[std::size_t(j) * (columns_ - 1) + i];
        if (cell == Cell::Empty) return false;
        if (cell == Cell::Solved) {
            const Node exact = solve(u, v);
            sx = exact.x;
            sy = exact.y;
            return exact.valid;
        }
        interpolate(i, j, double(u - i * kStep) / kStep, double(v - j * kStep) / kStep, sx, sy);
        return true;
    }

private:
    static constexpr int kStep = 8;
    static constexpr double kTolerance = 0.005;  // pixels
    struct Node {
        double x = 0, y = 0;
        bool valid = false;
    };

    const Node& node(int i, int j) const { return nodes_[std::size_t(j) * columns_ + i]; }

    // Within two cells of the picture.
    bool near(const Node& n) const {
        const double margin = 2 * kStep + 0.5;
        return n.x >= -margin && n.x <= width_ - 1 + margin && n.y >= -margin &&
               n.y <= height_ - 1 + margin;
    }

    void interpolate(int i, int j, double s, double t, double& sx, double& sy) const {
        const Node& a = node(i, j);
        const Node& b = node(i + 1, j);
        const Node& c = node(i, j + 1);
        const Node& d = node(i + 1, j + 1);
        sx = (1 - t) * ((1 - s) * a.x + s * b.x) + t * ((1 - s) * c.x + s * d.x);
        sy = (1 - t) * ((1 - s) * a.y + s * b.y) + t * ((1 - s) * c.y + s * d.y);
    }

    Node solve(double u, double v) const {
        Node n;
        double x = 0, y = 0;
        n.valid = undistort(m_, fold2_, (u - m_.cx) / m_.fx, (v - m_.cy) / m_.fy, x, y);
        n.x = m_.fx * x + m_.cx;
        n.y = m_.fy * y + m_.cy;
        n.valid = n.valid && std::isfinite(n.x) && std::isfinite(n.y);
        return n;
    }

    LensModel m_;
    int width_, height_;
    double fold2_ = 0;
    int columns_ = 0, rows_ = 0;  // at least 3 each: frames are at least 16 pixels a side
    std::vector<Node> nodes_;
    // Per cell: interpolated, solved pixel by pixel, or showing nothing (no node has a
    // solution: deep inside the part of the frame that shows no picture).
    enum class Cell : uint8_t { Smooth, Solved, Empty };
    std::vector<Cell> cells_;
};

// Bilinear mixing with weights in 1/256, rounded.
inline uint8_t mix(int a, int b, int c, int d, int wx, int wy) {
    const int top = a * (256 - wx) + b * wx;
    const int bottom = c * (256 - wx) + d * wx;
    return static_cast<uint8_t>((top * (256 - wy) + bottom * wy + 32768) >> 16);
}

inline Rgb mixRgb(const Rgb* topLeft, int stride, int wx, int wy) {
    const Rgb &a = topLeft[0], &b = topLeft[1], &c = topLeft[stride], &d = topLeft[stride + 1];
    return Rgb{mix(a.r, b.r, c.r, d.r, wx, wy), mix(a.g, b.g, c.g, d.g, wx, wy),
               mix(a.b, b.b, c.b, d.b, wx, wy)};
}

int roundDown(int v, int multiple) { return v - v % multiple; }
int roundUp(int v, int multiple) { return roundDown(v + multiple - 1, multiple); }

}  // namespace

LensMap::LensMap(const LensModel& lens, int width, int height)
    : lens_(lens), width_(width), height_(height) {
    samples_.resize(std::size_t(width) * std::size_t(height));
    const SourceMap map(lens, width, height);
    Sample* out = samples_.data();
    for (int v = 0; v < height; ++v) {
        for (int u = 0; u < width; ++u, ++out) {
            double sx = 0, sy = 0;
            if (!map.at(u, v, sx, sy)) continue;
            if (!(sx >= -0.5 && sx <= width - 0.5 && sy >= -0.5 && sy <= height - 0.5)) continue;
            sx = std::clamp(sx, 0.0, width - 1.0);
            sy = std::clamp(sy, 0.0, height - 1.0);
            const int x0 = std::min(int(sx), width - 2), y0 = std::min(int(sy), height - 2);
            // The fractions are in [0, 1]: adding a half and truncating rounds them; the last
            // 1/256 of a pixel is taken as 255/256 to keep the weight in a byte.
            const int wx = std::min(255, int((sx - x0) * 256 + 0.5));
            const int wy = std::min(255, int((sy - y0) * 256 + 0.5));
            *out = Sample{uint16_t(x0), uint16_t(y0), uint8_t(wx), uint8_t(wy)};
        }
    }
}

LensDrawing::LensDrawing(std::shared_ptr<const LensMap> map, const PixelFormatInfo& info,
                         const LensScene& scene)
    : map_(std::move(map)), info_(info), width_(map_->width()), height_(map_->height()),
      element_(scene.element), elementTop_(std::clamp(scene.elementTop, 0, height_)),
      elementBottom_(std::clamp(scene.elementBottom, 0, height_)) {
    const int width = width_, height = height_;
    const std::size_t w = std::size_t(width);
    planeOffset_[1] = planeRowBytes(info.planes[0], width) * planeRows(info.planes[0], height);
    if (info.planeCount == 2) chroma_.resize(planeRowBytes(info.planes[1], width));
    auto pictureRow = [&](int y) {
        return (y < scene.splitRow ? scene.top : scene.bottom).data();
    };

    // The picture rows the square's pixels sample: its rows and one above (bilinear taps).
    const bool square = elementBottom_ > elementTop_;
    bandTop_ = std::max(0, elementTop_ - 1);
    const int bandBottom = square ? std::min(height, elementBottom_ + 1) : bandTop_;
    for (int y = bandTop_; y < bandBottom; ++y)
        bandBackground_.insert(bandBackground_.end(), pictureRow(y), pictureRow(y) + w);
    band_ = bandBackground_;

    std::vector<Rgb> frame(w * std::size_t(height));  // black where the lens shows nothing
    std::vector<int32_t> columns;
    const LensMap::Sample* sample = map_->samples();
    for (int32_t pixel = 0; pixel < int32_t(frame.size()); ++pixel, ++sample) {
        if (sample->x == LensMap::kNone) continue;
        const int x0 = sample->x, y0 = sample->y, wx = sample->wx, wy = sample->wy;
        const Rgb* above = pictureRow(y0);
        const Rgb* below = pictureRow(y0 + 1);
        const Rgb &a = above[x0], &b = above[x0 + 1], &c = below[x0], &d = below[x0 + 1];
        frame[std::size_t(pixel)] = Rgb{mix(a.r, b.r, c.r, d.r, wx, wy),
                                        mix(a.g, b.g, c.g, d.g, wx, wy),
                                        mix(a.b, b.b, c.b, d.b, wx, wy)};
        if (square && y0 >= elementTop_ - 1 && y0 < elementBottom_) {
            taps_.push_back(Tap{pixel, int32_t(std::size_t(y0 - bandTop_) * w + std::size_t(x0)),
                                uint16_t(wx), uint16_t(wy)});
            columns.push_back(x0);
        }
    }

    background_.resize(rawFrameBytes(info, width, height));
    encodeRect(frame.data(), 0, height, 0, width, background_.data());

    // Taps in the order of the column they sample first, so a frame finds the square's in one
    // search; and the background of the rows they lie on.
    std::vector<std::size_t> order(taps_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&columns](std::size_t a, std::size_t b) { return columns[a] < columns[b]; });
    std::vector<Tap> sorted;
    sorted.reserve(taps_.size());
    tapColumns_.reserve(taps_.size());
    int first = height, last = 0;
    for (std::size_t i : order) {
        sorted.push_back(taps_[i]);
        tapColumns_.push_back(columns[i]);
        const int row = int(std::size_t(taps_[i].pixel) / w);
        first = std::min(first, row);
        last = std::max(last, row + 1);
    }
    taps_ = std::move(sorted);
    if (!taps_.empty()) {
        rgbFirst_ = roundDown(first, info.heightMultiple);
        const int end = std::min(height, roundUp(last, info.heightMultiple));
        backgroundRgb_.assign(frame.begin() + std::ptrdiff_t(std::size_t(rgbFirst_) * w),
                              frame.begin() + std::ptrdiff_t(std::size_t(end) * w));
    }
}

void LensDrawing::draw(uint8_t* frame, int left, int right) {
    std::memcpy(frame, background_.data(), background_.size());
    left = std::max(left, 0);
    right = std::min(right, width_);
    if (right <= left || taps_.empty()) return;
    const std::size_t w = std::size_t(width_);

    for (int y = elementTop_; y < elementBottom_; ++y)
        std::fill_n(band_.begin() + std::ptrdiff_t(std::size_t(y - bandTop_) * w + std::size_t(left)),
                    right - left, element_);
    // The pixels whose samples reach columns [left, right): first column left - 1 to right - 1.
    const auto from = std::lower_bound(tapColumns_.begin(), tapColumns_.end(), left - 1);
    const auto to = std::upper_bound(from, tapColumns_.end(), right - 1);
    if (from != to) {
        // The rectangle of frame pixels they lie in, widened to whole chroma groups; only it is
        // encoded again.
        const std::size_t a = std::size_t(from - tapColumns_.begin());
        const std::size_t b = std::size_t(to - tapColumns_.begin());
        int top = height_, bottom = 0, first = width_, end = 0;
        for (std::size_t i = a; i < b; ++i) {
            const int row = int(std::size_t(taps_[i].pixel) / w);
            const int column = int(std::size_t(taps_[i].pixel) % w);
            top = std::min(top, row);
            bottom = std::max(bottom, row + 1);
            first = std::min(first, column);
            end = std::max(end, column + 1);
        }
        top = roundDown(top, info_.heightMultiple);
        bottom = std::min(height_, roundUp(bottom, info_.heightMultiple));
        first = roundDown(first, info_.widthMultiple);
        end = std::min(width_, roundUp(end, info_.widthMultiple));
        const std::size_t span = std::size_t(end - first);
        rows_.resize(std::size_t(bottom - top) * span);
        for (int y = top; y < bottom; ++y) {
            const auto source = backgroundRgb_.begin() +
                                std::ptrdiff_t(std::size_t(y - rgbFirst_) * w + std::size_t(first));
            std::copy_n(source, span, rows_.begin() + std::ptrdiff_t(std::size_t(y - top) * span));
        }
        for (std::size_t i = a; i < b; ++i) {
            const Tap& t = taps_[i];
            const std::size_t row = std::size_t(t.pixel) / w, column = std::size_t(t.pixel) % w;
            rows_[(row - std::size_t(top)) * span + (column - std::size_t(first))] =
                mixRgb(&band_[std::size_t(t.source)], width_, t.wx, t.wy);
        }
        encodeRect(rows_.data(), top, bottom - top, first, end - first, frame);
    }
    for (int y = elementTop_; y < elementBottom_; ++y) {
        const std::size_t at = std::size_t(y - bandTop_) * w + std::size_t(left);
        std::copy_n(bandBackground_.begin() + std::ptrdiff_t(at), right - left,
                    band_.begin() + std::ptrdiff_t(at));
    }
}

// Encodes the frame's rows [top, top + rowCount), columns [left, left + columns) (each a multiple
// of the format's height or width multiple) from `pixels`, `columns` to a row.
void LensDrawing::encodeRect(const Rgb* pixels, int top, int rowCount, int left, int columns,
                             uint8_t* frame) {
    const std::size_t span = std::size_t(columns);
    if (info_.planeCount == 1) {
        const PixelPlane& plane = info_.planes[0];
        const std::size_t rowBytes = planeRowBytes(plane, width_);
        const std::size_t leftBytes = std::size_t(left / plane.pixelsPerGroup) * plane.bytesPerGroup;
        for (int r = 0; r < rowCount; ++r) {
            uint8_t* const out[2] = {frame + std::size_t(top + r) * rowBytes + leftBytes, nullptr};
            info_.encode(pixels + std::size_t(r) * span, columns, out);
        }
        return;
    }
    // NV12: the luma of each row, and the chroma of each 2 x 2 block (the table's encoder
    // assumes two equal rows, which a picture through a lens does not have). Luma rows are
    // `width_` bytes, chroma rows `width_` bytes of U, V pairs.
    const std::size_t w = std::size_t(width_);
    for (int r = 0; r < rowCount; r += 2) {
        const int y = top + r;
        uint8_t* luma = frame + std::size_t(y) * w + std::size_t(left);
        uint8_t* chroma = frame + planeOffset_[1] + std::size_t(y / 2) * w + std::size_t(left);
        const Rgb* upper = pixels + std::size_t(r) * span;
        const Rgb* lower = upper + span;
        uint8_t* const first[2] = {luma, chroma_.data()};
        uint8_t* const second[2] = {luma + w, chroma_.data()};
        info_.encode(upper, columns, first);
        info_.encode(lower, columns, second);
        for (std::size_t x = 0; x + 1 < span; x += 2) {
            const Yuv p = rgbToYuv(upper[x]), q = rgbToYuv(upper[x + 1]);
            const Yuv s = rgbToYuv(lower[x]), t = rgbToYuv(lower[x + 1]);
            chroma[x] = static_cast<uint8_t>((p.u + q.u + s.u + t.u + 2) >> 2);
            chroma[x + 1] = static_cast<uint8_t>((p.v + q.v + s.v + t.v + 2) >> 2);
        }
    }
}

}  // namespace lentra
