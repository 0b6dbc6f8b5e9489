#pragma once
// The colours a form paints with. A form's fixed colours (black window, silver heading, red
// pattern, yellow title, blue links) hold while high contrast is off. While it is on, the user
// has chosen every colour for readability, so each fixed colour yields to the system colour of
// what it paints.
#include "framework/Colors.h"

// What a colour paints: decides the system colour that stands in for a fixed one.
enum class TColorPart {
    Background,           // a window's or control's own background: the window colour
    Text,                 // text on the window colour: the window-text colour
    TextOnButtonFace,     // text on the button face: the button-text colour
    Link,                 // a link's text: the hot-light colour
    ProgressBarBackground // the system's own (clDefault)
};

// Whether high contrast is on, as last read.
bool HighContrast() noexcept;
// Reads the setting again: forms call it when the system says settings or colours changed.
void ReadHighContrast() noexcept;

// Where the setting comes from: SystemParametersInfoA unless replaced. Tests replace it, since
// Wine refuses to turn high contrast on. Returns the one it replaces; reads the new one at once.
using THighContrastQuery = bool (*)() noexcept;
THighContrastQuery SetHighContrastQuery(THighContrastQuery query) noexcept;

// The colour to paint `part` with when the form asks for `design`: `design` itself, or while
// high contrast is on and `design` is a fixed colour, the system colour of `part`.
TColor ShownColor(TColor design, TColorPart part) noexcept;
