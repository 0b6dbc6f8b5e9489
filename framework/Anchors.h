#pragma once
// Where a control goes when its parent's client area changes size. One pure function, applied
// to every control of a form on each resize, always from the design-time rectangle so that
// rounding never accumulates. Layouts are designed at 96 DPI; Scaled turns a design length
// into pixels at a window's DPI.
#include <algorithm>

enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;
constexpr TAnchors akLeftTop = akLeft | akTop;

// Docking: alBottom keeps a control along the bottom edge over the full width.
enum class TAlign { alNone, alBottom };

struct TRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

struct TSize {
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

// Layout tables give pixels at 100 %, 96 dots per inch.
constexpr int kDesignDpi = 96;

// A length designed at `fromDpi`, in pixels at `dpi`: rounded to the nearest, halves away from
// zero, as MulDiv does (font heights are negative).
constexpr int Scaled(int value, int dpi, int fromDpi = kDesignDpi) {
    const long long product = static_cast<long long>(value) * dpi;
    const long long half = fromDpi / 2;
    return static_cast<int>((product + (product < 0 ? -half : half)) / fromDpi);
}

constexpr TSize Scaled(TSize size, int dpi) {
    return {Scaled(size.Width, dpi), Scaled(size.Height, dpi)};
}

// Edges are scaled, not widths: controls that do not overlap as designed never overlap scaled.
constexpr TRect Scaled(TRect r, int dpi) {
    const int left = Scaled(r.Left, dpi);
    const int top = Scaled(r.Top, dpi);
    return {left, top, Scaled(r.Left + r.Width, dpi) - left, Scaled(r.Top + r.Height, dpi) - top};
}

namespace anchors_detail {
// One axis: both edges anchored stretches, the far edge alone moves, the near edge alone keeps
// still, neither keeps the control's centre at the same proportion of the parent.
inline void Axis(int& pos, int& size, int designExtent, int extent, bool nearEdge, bool farEdge) {
    const int delta = extent - designExtent;
    if (nearEdge && farEdge)
        size = std::max(0, size + delta);
    else if (farEdge)
        pos += delta;
    else if (!nearEdge && designExtent > 0)
        pos = (2 * pos + size) * extent / (2 * designExtent) - size / 2;
}
} // namespace anchors_detail

inline TRect AnchoredBounds(TRect design, TSize designClient, TSize client, TAnchors anchors,
                            TAlign align = TAlign::alNone) {
    if (align == TAlign::alBottom)
        return {0, client.Height - design.Height, client.Width, design.Height};
    TRect r = design;
    anchors_detail::Axis(r.Left, r.Width, designClient.Width, client.Width, (anchors & akLeft) != 0,
                         (anchors & akRight) != 0);
    anchors_detail::Axis(r.Top, r.Height, designClient.Height, client.Height,
                         (anchors & akTop) != 0, (anchors & akBottom) != 0);
    return r;
}
