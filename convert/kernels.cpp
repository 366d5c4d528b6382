// The pixel kernels (kernels.h), written once with Highway's portable vectors. foreach_target.h
// includes this file again for every instruction set it compiles, each time into its own
// namespace; the functions at the end dispatch to the best one the processor runs.
//
// The 2- and 3-byte pixel work is done by Highway's interleaved loads and stores: a load splits
// YUY2's bytes into a vector of lumas and one of (U, V) pairs, RGB565's into low and high bytes,
// RGB's into three channel vectors; a store of three vectors writes 3-byte pixels. What lies
// between is arithmetic on whole vectors, in the lanes' order, which is the pixels' order.

// ---- Once: the scalar pixels, for the ends of runs shorter than a vector --------------------
#ifndef LENTRA_CONVERT_KERNELS_SCALAR
#define LENTRA_CONVERT_KERNELS_SCALAR

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kernels.h"

namespace lentra_convert {
namespace kernels {
namespace scalar {

inline std::uint8_t clip(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// One pixel of BT.601 limited range, as the frames' documentation writes it; R and B are the
// byte positions of red and blue in the picture's pixel.
template <int R, int B>
inline void yuv_pixel(int y, int u, int v, std::uint8_t* out) {
    const int c = 298 * (y - 16) + 128, d = u - 128, e = v - 128;
    out[R] = clip((c + 409 * e) >> 8);
    out[1] = clip((c - 100 * d - 208 * e) >> 8);
    out[B] = clip((c + 516 * d) >> 8);
}

inline std::uint8_t luma(int r, int g, int b) {
    return static_cast<std::uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

// Pixel pairs from `first` to `last` (pair indices) of packed 4:2:2; Y0 at byte y_at of the
// four, U at u_at, Y1 at y_at + 2, V at u_at + 2.
template <int R, int B>
void packed422(const std::uint8_t* src, std::size_t first, std::size_t last, int y_at, int u_at,
               std::uint8_t* out) {
    for (std::size_t k = first; k < last; ++k) {
        const std::uint8_t* s = src + 4 * k;
        yuv_pixel<R, B>(s[y_at], s[u_at], s[u_at + 2], out + 6 * k);
        yuv_pixel<R, B>(s[y_at + 2], s[u_at], s[u_at + 2], out + 6 * k + 3);
    }
}

template <int R, int B>
void nv12(const std::uint8_t* y, const std::uint8_t* uv, std::size_t first, std::size_t last,
          std::uint8_t* out) {
    for (std::size_t i = first; i < last; ++i) {
        yuv_pixel<R, B>(y[i], uv[i & ~std::size_t(1)], uv[i | 1], out + 3 * i);
    }
}

// RGB565, low byte first.
inline void rgb565(const std::uint8_t* p, int& r, int& g, int& b) {
    const unsigned w = p[0] | (unsigned(p[1]) << 8);
    r = int((w >> 11) << 3);
    g = int(((w >> 5) & 0x3F) << 2);
    b = int((w & 0x1F) << 3);
}

}  // namespace scalar
}  // namespace kernels
}  // namespace lentra_convert

#endif  // LENTRA_CONVERT_KERNELS_SCALAR

// ---- Per instruction set ----------------------------------------------------------------------
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace lentra_convert {
namespace kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D8 = hn::ScalableTag<std::uint8_t>;
using V8 = hn::Vec<D8>;

#if HWY_TARGET != HWY_SCALAR
// Vectors of bytes seen as 16-bit lanes: lane k holds byte 2k in its low half and byte 2k + 1 in
// its high half, so the even pixels' values and the odd pixels' are each a vector of 16-bit
// numbers, and (even | odd << 8) is the bytes in pixel order again.
//
// Products by constants are unsigned high multiplies of a byte moved to the lane's high half:
// MulHigh(b << 8, k << 8) = b * k exactly for b, k < 256. One instruction, which the compiler
// leaves alone (a plain multiply by a constant it turns into shifts and adds, several times
// the instructions).
using D16 = hn::Repartition<std::uint16_t, D8>;
using DI16 = hn::RebindToSigned<D16>;
using V16 = hn::Vec<D16>;
using VI16 = hn::Vec<DI16>;

// A vector of K in every 16-bit lane.
template <std::uint16_t K>
HWY_INLINE V16 Const() {
    return hn::Set(D16(), K);
}
template <std::int16_t K>
HWY_INLINE VI16 ConstI() {
    return hn::Set(DI16(), K);
}
// The even bytes, the odd bytes, and each moved to the high half.
HWY_INLINE V16 Even(V16 v) { return hn::And(v, Const<0x00FF>()); }
HWY_INLINE V16 Odd(V16 v) { return hn::ShiftRight<8>(v); }
HWY_INLINE V16 EvenHigh(V16 v) { return hn::ShiftLeft<8>(v); }
HWY_INLINE V16 OddHigh(V16 v) { return hn::And(v, Const<0xFF00>()); }
// b * K of a byte b given as b << 8.
template <std::uint16_t K>
HWY_INLINE V16 Times(V16 high) {
    return hn::MulHigh(high, Const<static_cast<std::uint16_t>(K << 8)>());
}

// Even and odd pixels' 16-bit values clipped to 0..255, as bytes in pixel order.
HWY_INLINE V8 Bytes(VI16 even, VI16 odd) {
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL || HWY_TARGET == HWY_AVX2 || \
    HWY_TARGET == HWY_SSE4 || HWY_TARGET == HWY_SSSE3
    // x86's saturating pack clips both in one instruction, leaving each 16-byte block as
    // eight even pixels then eight odd ones; one byte shuffle puts them in order.
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
    const V8 packed{_mm512_packus_epi16(even.raw, odd.raw)};
#elif HWY_TARGET == HWY_AVX2
    const V8 packed{_mm256_packus_epi16(even.raw, odd.raw)};
#else
    const V8 packed{_mm_packus_epi16(even.raw, odd.raw)};
#endif
    alignas(16) static constexpr std::uint8_t kZip[16] = {0, 8, 1, 9, 2, 10, 3, 11,
                                                          4, 12, 5, 13, 6, 14, 7, 15};
    return hn::TableLookupBytes(packed, hn::LoadDup128(D8(), kZip));
#else
    const DI16 di;
    const VI16 zero = hn::Zero(di), top = hn::Set(di, 255);
    even = hn::Min(hn::Max(even, zero), top);
    odd = hn::Min(hn::Max(odd, zero), top);
    return hn::BitCast(D8(), hn::Or(even, hn::ShiftLeft<8>(odd)));
#endif
}

// A value the compiler must keep as it is. GCC makes a constant vector again in every pass of a
// loop (an immediate moved to a register and broadcast, the broadcast on the port the byte
// shuffles need) rather than keep it in a register; a constant made before the loop and passed
// through an empty asm statement is kept.
template <class V>
HWY_INLINE V Opaque(V v) {
#if HWY_ARCH_X86 && (HWY_COMPILER_GCC || HWY_COMPILER_CLANG) && HWY_TARGET != HWY_EMU128
    asm("" : "+v"(v.raw));
#endif
    return v;
}

// BT.601 limited range to RGB, exactly the formula of the frames' documentation,
//   R = (298 C + 409 E + 128) >> 8, G = (298 C - 100 D - 208 E + 128) >> 8,
//   B = (298 C + 516 D + 128) >> 8,  with C = Y - 16, D = U - 128, E = V - 128,
// in 16-bit lanes. The sums need 18 bits, but writing 298 = 256 + 42, 409 = 256 + 153,
// 208 = 256 - 48 and 516 = 512 + 4 takes the multiples of 256 out of the shift exactly; with
// C = Y - 16 and the constants gathered,
//   R = Y + (V - 144)  + ((42 Y + 153 V - 20128) >> 8)
//   G = Y + (112 - V)  + ((42 Y - 100 U + 48 V + 6112) >> 8)
//   B = Y + (2 U - 272) + ((42 Y + 4 U - 1056) >> 8)
// Every term in the shifts stays within 16 bits (from -20128 to 29597; 153 V alone may pass
// 32767, but wrapping sums come back in range exactly). The chroma terms are computed once per
// pixel pair. Its constants are made once, before a kernel's loop.
class YuvToRgb {
  public:
    YuvToRgb()
        : low_(Opaque(Const<0x00FF>())), high_(Opaque(Const<0xFF00>())),
          k42_(Opaque(Const<42 << 8>())), k153_(Opaque(Const<153 << 8>())),
          k48_(Opaque(Const<48 << 8>())), k100_(Opaque(Const<100 << 8>())),
          r0_(Opaque(Const<20128>())), g0_(Opaque(Const<6112>())), b0_(Opaque(ConstI<1056>())),
          lr0_(Opaque(ConstI<144>())), lg0_(Opaque(ConstI<112>())), lb0_(Opaque(ConstI<272>())) {}

    // `y` holds lumas in pixel order, `uv` the pairs' (U, V) bytes.
    HWY_INLINE void operator()(V8 y, V8 uv, V8& r, V8& g, V8& b) const {
        const D16 d16;
        const DI16 di;
        const V16 yy = hn::BitCast(d16, y), cc = hn::BitCast(d16, uv);
        const V16 u_high = hn::ShiftLeft<8>(cc), v_high = hn::And(cc, high_);
        const VI16 u = hn::BitCast(di, hn::And(cc, low_)), v = hn::BitCast(di, hn::ShiftRight<8>(cc));
        const VI16 kr = hn::BitCast(di, hn::Sub(hn::MulHigh(v_high, k153_), r0_));
        const VI16 kg = hn::BitCast(
            di, hn::Add(hn::Sub(hn::MulHigh(v_high, k48_), hn::MulHigh(u_high, k100_)), g0_));
        const VI16 kb = hn::Sub(hn::ShiftLeft<2>(u), b0_);
        const VI16 lr = hn::Sub(v, lr0_);
        const VI16 lg = hn::Sub(lg0_, v);
        const VI16 lb = hn::Sub(hn::Add(u, u), lb0_);

        const VI16 y_even = hn::BitCast(di, hn::And(yy, low_));
        const VI16 y_odd = hn::BitCast(di, hn::ShiftRight<8>(yy));
        const VI16 t_even = hn::BitCast(di, hn::MulHigh(hn::ShiftLeft<8>(yy), k42_));
        const VI16 t_odd = hn::BitCast(di, hn::MulHigh(hn::And(yy, high_), k42_));
        const auto channel = [](VI16 luma, VI16 t, VI16 linear, VI16 k) {
            return hn::Add(hn::Add(luma, linear), hn::ShiftRight<8>(hn::Add(t, k)));
        };
        r = Bytes(channel(y_even, t_even, lr, kr), channel(y_odd, t_odd, lr, kr));
        g = Bytes(channel(y_even, t_even, lg, kg), channel(y_odd, t_odd, lg, kg));
        b = Bytes(channel(y_even, t_even, lb, kb), channel(y_odd, t_odd, lb, kb));
    }

  private:
    V16 low_, high_, k42_, k153_, k48_, k100_, r0_, g0_;
    VI16 b0_, lr0_, lg0_, lb0_;
};

// BT.601 limited-range luma ((66 R + 129 G + 25 B + 128) >> 8) + 16, in unsigned 16-bit lanes
// (the largest sum, 56228, fits).
HWY_INLINE V8 Luma(V8 r, V8 g, V8 b) {
    const D16 d16;
    const V16 rr = hn::BitCast(d16, r), gg = hn::BitCast(d16, g), bb = hn::BitCast(d16, b);
    const V16 half = Const<128>();
    const V16 even = hn::ShiftRight<8>(
        hn::Add(hn::Add(Times<66>(EvenHigh(rr)), Times<129>(EvenHigh(gg))),
                hn::Add(Times<25>(EvenHigh(bb)), half)));
    const V16 odd = hn::ShiftRight<8>(
        hn::Add(hn::Add(Times<66>(OddHigh(rr)), Times<129>(OddHigh(gg))),
                hn::Add(Times<25>(OddHigh(bb)), half)));
    // Each result is at most 219, so adding 16 to the bytes carries nowhere.
    return hn::Add(hn::BitCast(D8(), hn::Or(even, hn::ShiftLeft<8>(odd))), hn::Set(D8(), 16));
}

template <bool kRgb>
HWY_INLINE void Store3(V8 r, V8 g, V8 b, std::uint8_t* HWY_RESTRICT out) {
    if (kRgb) {
        hn::StoreInterleaved3(r, g, b, D8(), out);
    } else {
        hn::StoreInterleaved3(b, g, r, D8(), out);
    }
}

// RGB565's channels from its low and high bytes: R = hi & 0xF8, G = bits 5..10 << 2,
// B = lo << 3.
HWY_INLINE void Rgb565(V8 lo, V8 hi, V8& r, V8& g, V8& b) {
    const D8 d8;
    r = hn::And(hi, hn::Set(d8, 0xF8));
    g = hn::And(hn::Or(hn::ShiftLeft<5>(hi), hn::ShiftRight<3>(lo)), hn::Set(d8, 0xFC));
    b = hn::ShiftLeft<3>(lo);
}

// Whole vectors of pixels from the start; returns the pixels done (the rest is the caller's).
template <bool kRgb, bool kYuy2>
std::size_t Packed422Vectors(const std::uint8_t* HWY_RESTRICT src, std::size_t pixels,
                             std::uint8_t* HWY_RESTRICT out) {
    const D8 d8;
    const std::size_t n = hn::Lanes(d8);  // even: a vector holds whole pairs
    const YuvToRgb yuv_to_rgb;
    std::size_t i = 0;
    for (; i + n <= pixels; i += n) {
        V8 a, b;
        hn::LoadInterleaved2(d8, src + 2 * i, a, b);
        V8 r, g, bl;
        yuv_to_rgb(kYuy2 ? a : b, kYuy2 ? b : a, r, g, bl);
        Store3<kRgb>(r, g, bl, out + 3 * i);
    }
    return i;
}

template <bool kRgb>
std::size_t Nv12Vectors(const std::uint8_t* HWY_RESTRICT y, const std::uint8_t* HWY_RESTRICT uv,
                        std::size_t width, std::uint8_t* HWY_RESTRICT out) {
    const D8 d8;
    const std::size_t n = hn::Lanes(d8);
    const YuvToRgb yuv_to_rgb;
    std::size_t i = 0;
    for (; i + n <= width; i += n) {
        V8 r, g, b;
        yuv_to_rgb(hn::LoadU(d8, y + i), hn::LoadU(d8, uv + i), r, g, b);
        Store3<kRgb>(r, g, b, out + 3 * i);
    }
    return i;
}

template <bool kRgb>
std::size_t RgbGrayVectors(const std::uint8_t* HWY_RESTRICT src, std::size_t pixels,
                           std::uint8_t* HWY_RESTRICT out) {
    const D8 d8;
    const std::size_t n = hn::Lanes(d8);
    std::size_t i = 0;
    for (; i + n <= pixels; i += n) {
        V8 a, b, c;
        hn::LoadInterleaved3(d8, src + 3 * i, a, b, c);
        hn::StoreU(kRgb ? Luma(a, b, c) : Luma(c, b, a), d8, out + i);
    }
    return i;
}

template <bool kRgb>
std::size_t Rgb565Vectors(const std::uint8_t* HWY_RESTRICT src, std::size_t pixels,
                          std::uint8_t* HWY_RESTRICT out) {
    const D8 d8;
    const std::size_t n = hn::Lanes(d8);
    std::size_t i = 0;
    for (; i + n <= pixels; i += n) {
        V8 lo, hi, r, g, b;
        hn::LoadInterleaved2(d8, src + 2 * i, lo, hi);
        Rgb565(lo, hi, r, g, b);
        Store3<kRgb>(r, g, b, out + 3 * i);
    }
    return i;
}

std::size_t Rgb565GrayVectors(const std::uint8_t* HWY_RESTRICT src, std::size_t pixels,
                              std::uint8_t* HWY_RESTRICT out) {
    const D8 d8;
    const std::size_t n = hn::Lanes(d8);
    std::size_t i = 0;
    for (; i + n <= pixels; i += n) {
        V8 lo, hi, r, g, b;
        hn::LoadInterleaved2(d8, src + 2 * i, lo, hi);
        Rgb565(lo, hi, r, g, b);
        hn::StoreU(Luma(r, g, b), d8, out + i);
    }
    return i;
}

#else  // HWY_SCALAR: one lane per vector; the scalar loops do all the work.

template <bool, bool>
std::size_t Packed422Vectors(const std::uint8_t*, std::size_t, std::uint8_t*) { return 0; }
template <bool>
std::size_t Nv12Vectors(const std::uint8_t*, const std::uint8_t*, std::size_t, std::uint8_t*) { return 0; }
template <bool>
std::size_t RgbGrayVectors(const std::uint8_t*, std::size_t, std::uint8_t*) { return 0; }
template <bool>
std::size_t Rgb565Vectors(const std::uint8_t*, std::size_t, std::uint8_t*) { return 0; }
std::size_t Rgb565GrayVectors(const std::uint8_t*, std::size_t, std::uint8_t*) { return 0; }

#endif  // HWY_TARGET != HWY_SCALAR

// ---- The kernels: whole vectors, then the rest pixel by pixel --------------------------------

template <bool kYuy2>
void Packed422ToRgb(const std::uint8_t* src, std::size_t pixels, bool rgb, std::uint8_t* out) {
    const int y_at = kYuy2 ? 0 : 1, u_at = kYuy2 ? 1 : 0;
    if (rgb) {
        const std::size_t done = Packed422Vectors<true, kYuy2>(src, pixels, out);
        scalar::packed422<0, 2>(src, done / 2, pixels / 2, y_at, u_at, out);
    } else {
        const std::size_t done = Packed422Vectors<false, kYuy2>(src, pixels, out);
        scalar::packed422<2, 0>(src, done / 2, pixels / 2, y_at, u_at, out);
    }
}

void Yuy2ToRgb(const std::uint8_t* src, std::size_t pixels, bool rgb, std::uint8_t* out) {
    Packed422ToRgb<true>(src, pixels, rgb, out);
}

void UyvyToRgb(const std::uint8_t* src, std::size_t pixels, bool rgb, std::uint8_t* out) {
    Packed422ToRgb<false>(src, pixels, rgb, out);
}

void Nv12RowToRgb(const std::uint8_t* y, const std::uint8_t* uv, std::size_t width, bool rgb,
                  std::uint8_t* out) {
    if (rgb) {
        scalar::nv12<0, 2>(y, uv, Nv12Vectors<true>(y, uv, width, out), width, out);
    } else {
        scalar::nv12<2, 0>(y, uv, Nv12Vectors<false>(y, uv, width, out), width, out);
    }
}

void RgbToGray(const std::uint8_t* src, std::size_t pixels, bool rgb, std::uint8_t* out) {
    std::size_t i = rgb ? RgbGrayVectors<true>(src, pixels, out) : RgbGrayVectors<false>(src, pixels, out);
    const int r_at = rgb ? 0 : 2;
    for (; i < pixels; ++i) {
        out[i] = scalar::luma(src[3 * i + r_at], src[3 * i + 1], src[3 * i + 2 - r_at]);
    }
}

void Rgb565ToRgb(const std::uint8_t* src, std::size_t pixels, bool rgb, std::uint8_t* out) {
    std::size_t i = rgb ? Rgb565Vectors<true>(src, pixels, out) : Rgb565Vectors<false>(src, pixels, out);
    const int r_at = rgb ? 0 : 2;
    for (; i < pixels; ++i) {
        int r, g, b;
        scalar::rgb565(src + 2 * i, r, g, b);
        out[3 * i + r_at] = static_cast<std::uint8_t>(r);
        out[3 * i + 1] = static_cast<std::uint8_t>(g);
        out[3 * i + 2 - r_at] = static_cast<std::uint8_t>(b);
    }
}

void Rgb565ToGray(const std::uint8_t* src, std::size_t pixels, std::uint8_t* out) {
    for (std::size_t i = Rgb565GrayVectors(src, pixels, out); i < pixels; ++i) {
        int r, g, b;
        scalar::rgb565(src + 2 * i, r, g, b);
        out[i] = scalar::luma(r, g, b);
    }
}

// The instruction set this copy was compiled for.
std::int64_t CompiledTarget() { return HWY_TARGET; }

}  // namespace HWY_NAMESPACE
}  // namespace kernels
}  // namespace lentra_convert
HWY_AFTER_NAMESPACE();

// ---- Once: dispatch ---------------------------------------------------------------------------
#if HWY_ONCE
#include <algorithm>

namespace lentra_convert {
namespace kernels {

HWY_EXPORT(Yuy2ToRgb);
HWY_EXPORT(UyvyToRgb);
HWY_EXPORT(Nv12RowToRgb);
HWY_EXPORT(RgbToGray);
HWY_EXPORT(Rgb565ToRgb);
HWY_EXPORT(Rgb565ToGray);
HWY_EXPORT(CompiledTarget);

void yuy2_to_rgb(const std::uint8_t* src, std::size_t pixels, Order order, std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(Yuy2ToRgb)(src, pixels, order == Order::rgb, out);
}
void uyvy_to_rgb(const std::uint8_t* src, std::size_t pixels, Order order, std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(UyvyToRgb)(src, pixels, order == Order::rgb, out);
}
void nv12_row_to_rgb(const std::uint8_t* y, const std::uint8_t* uv, std::size_t width, Order order,
                     std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(Nv12RowToRgb)(y, uv, width, order == Order::rgb, out);
}
void rgb_to_gray(const std::uint8_t* src, std::size_t pixels, Order order, std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(RgbToGray)(src, pixels, order == Order::rgb, out);
}
void rgb565_to_rgb(const std::uint8_t* src, std::size_t pixels, Order order, std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(Rgb565ToRgb)(src, pixels, order == Order::rgb, out);
}
void rgb565_to_gray(const std::uint8_t* src, std::size_t pixels, std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(Rgb565ToGray)(src, pixels, out);
}

namespace {

// The targets compiled here that the processor runs, read before any choice is forced (a
// forced choice narrows what Highway reports as supported).
const std::vector<std::int64_t>& available() {
    static const std::vector<std::int64_t> targets = hwy::SupportedAndGeneratedTargets();
    return targets;
}

}  // namespace

std::vector<std::string> targets() {
    std::vector<std::string> names;
    for (std::int64_t t : available()) names.emplace_back(hwy::TargetName(t));
    return names;
}

bool use_target(const std::string& name) {
    if (name.empty()) {
        available();
        hwy::SetSupportedTargetsForTest(0);
        return true;
    }
    for (std::int64_t t : available()) {
        if (name == hwy::TargetName(t)) {
            hwy::SetSupportedTargetsForTest(t);
            return true;
        }
    }
    return false;
}

std::string target_in_use() { return hwy::TargetName(HWY_DYNAMIC_DISPATCH(CompiledTarget)()); }

}  // namespace kernels
}  // namespace lentra_convert
#endif  // HWY_ONCE
