#include "framework/FormScaling.h"
#include "framework/Application.h"
#include "framework/Exception.h"
#include <algorithm>
#include <string>

HFONT TScaledResources::Font(const TFontSpec& spec) {
    const bool inherited =
        !spec.Name && spec.Height == 0 && spec.Style == 0 && spec.Charset == DEFAULT_CHARSET;
    if (!inherited)
        return Make(spec);
    if (!FFormFont)
        FFormFont = Make(*FBase);
    return FFormFont;
}

HFONT TScaledResources::Make(const TFontSpec& spec) {
    const TFontSpec& base = *FBase;
    const TFontSpec& face = spec.Name ? spec : base;
    HFONT font = CreateFontA(
        Scaled(spec.Height ? spec.Height : base.Height, FDpi), 0, 0, 0,
        (spec.Style & fsBold) ? FW_BOLD : FW_NORMAL, (spec.Style & fsItalic) ? TRUE : FALSE,
        (spec.Style & fsUnderline) ? TRUE : FALSE, FALSE,
        spec.Name || spec.Charset != DEFAULT_CHARSET ? spec.Charset : base.Charset,
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
        face.Name);
    if (!font)
        throw Exception("Error creating font");
    FFonts.emplace_back(font);
    return font;
}

HICON TScaledResources::Icon(const char* name, int size) {
    HINSTANCE instance = Application().Instance();
    // The shared icon where it has the size wanted; another size is picked from the icon's
    // images for this form alone, rather than stretched by the control.
    if (size == GetSystemMetrics(SM_CXICON))
        return LoadIconA(instance, name);
    auto icon = static_cast<HICON>(LoadImageA(instance, name, IMAGE_ICON, size, size, 0));
    if (icon)
        FIcons.emplace_back(icon);
    return icon;
}

void ScaleControl(const TControlRow& row, TControl& control, TScaledResources& resources,
                  bool redraw) {
    SendMessageA(control.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(resources.Font(row.Font)),
                 redraw);
    const int dpi = resources.Dpi();
    // A list box takes its font's line height with a new font: its own comes after.
    if (row.Field.Kind() == TControlKind::ListBox && row.ItemHeight > 0)
        static_cast<TListBox&>(control).SetItemHeight(Scaled(row.ItemHeight, dpi));
    if (row.Field.Kind() == TControlKind::Image && row.Icon)
        static_cast<TImage&>(control).SetIcon(
            resources.Icon(row.Icon, Scaled(row.Bounds, dpi).Width));
}

// Each glyph's width is rounded on its own, and a font may stand in for the one designed (Wine
// substitutes its own for "MS Sans Serif"): at any DPI, the design's 96 included, a label's
// text may need a little more than the table gives it.
TRect WidenedToText(const TControlRow& row, const TControl& control, TRect bounds) {
    if (row.Field.Kind() != TControlKind::Label || (row.Options & (coWordWrap | coFixedSize)))
        return bounds;
    const std::string text = control.Text();
    if (text.empty())
        return bounds;
    TWindowDC dc(control.Handle());
    TSelectObject font(dc.Get(), control.Font());
    SIZE extent{};
    GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    // A glyph may reach out of its cell ("v" to the left in some fonts): that ink is drawn too.
    ABC first{}, last{};
    if (GetCharABCWidthsA(dc.Get(), static_cast<unsigned char>(text.front()),
                          static_cast<unsigned char>(text.front()), &first) &&
        GetCharABCWidthsA(dc.Get(), static_cast<unsigned char>(text.back()),
                          static_cast<unsigned char>(text.back()), &last))
        extent.cx += std::max(0, -first.abcA) + std::max(0, -static_cast<int>(last.abcC));
    if (extent.cx > bounds.Width) {
        if (row.Options & coRightAlign)
            bounds.Left -= extent.cx - bounds.Width;
        bounds.Width = extent.cx;
    }
    return bounds;
}
