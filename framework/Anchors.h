#pragma once
// Where a control goes when its parent's client area changes size. One pure function, applied
// to every control of a form on each resize, always from the design-time rectangle so that
// rounding never accumulates.
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
