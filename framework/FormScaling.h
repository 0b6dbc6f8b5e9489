#pragma once
// A form's controls at its window's DPI: the fonts and icons made for one scale, and what the
// scale decides besides a control's place (its font, a list's line height, an image's icon, a
// one-line label's width).
#include "framework/GdiObject.h"
#include "framework/Layout.h"
#include <vector>

// The fonts and icons of one display scale. A form holds one set; on a DPI change it makes a
// new set, hands its controls the new objects, and only then lets the old set go.
class TScaledResources {
public:
    TScaledResources(const TFontSpec& formFont, int dpi) : FBase(&formFont), FDpi(dpi) {}

    int Dpi() const noexcept { return FDpi; }
    // A control's font; one spec that names nothing of its own shares the form's.
    HFONT Font(const TFontSpec& spec);
    // The program's icon resource `name` at `size` pixels square.
    HICON Icon(const char* name, int size);

private:
    HFONT Make(const TFontSpec& spec);

    const TFontSpec* FBase;
    int FDpi;
    HFONT FFormFont = nullptr;
    std::vector<GdiObject> FFonts;
    std::vector<IconHandle> FIcons;
};

// Gives a control what the scale decides besides its place.
void ScaleControl(const TControlRow& row, TControl& control, TScaledResources& resources,
                  bool redraw);

// Text does not grow in proportion with the DPI, and a substitute font may be wider than the
// one designed: a one-line label gets at least its text's width.
TRect WidenedToText(const TControlRow& row, const TControl& control, TRect bounds);
