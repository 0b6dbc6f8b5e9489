#include "framework/ColorChoice.h"

namespace {

bool SystemHighContrast() noexcept {
    HIGHCONTRASTA setting{};
    setting.cbSize = sizeof setting;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

THighContrastQuery gQuery = SystemHighContrast;
// Read once and kept: the colours are asked for at every paint of every control.
int gHighContrast = -1;

} // namespace

bool HighContrast() noexcept {
    if (gHighContrast < 0)
        ReadHighContrast();
    return gHighContrast == 1;
}

void ReadHighContrast() noexcept {
    gHighContrast = gQuery() ? 1 : 0;
}

THighContrastQuery SetHighContrastQuery(THighContrastQuery query) noexcept {
    const THighContrastQuery previous = gQuery;
    gQuery = query;
    ReadHighContrast();
    return previous;
}

TColor ShownColor(TColor design, TColorPart part) noexcept {
    // A system colour follows the user's scheme already; "not given" is the control's own.
    if (design == clDefault || (design & clSystemColor) || !HighContrast())
        return design;
    switch (part) {
    case TColorPart::Background:
        return clWindow;
    case TColorPart::Text:
        return clWindowText;
    case TColorPart::TextOnButtonFace:
        return clBtnText;
    case TColorPart::Link:
        return clHotLight;
    case TColorPart::ProgressBarBackground:
        break;
    }
    return clDefault;
}
