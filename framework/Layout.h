#pragma once
// A form declared as data: one row for the form itself, one per control, and the menu. Rows bind
// to the form's named member fields and member-function handlers by member pointer, so a table
// reads like the design's layout table and the compiler checks every name in it. Every length
// in a table is in pixels at 96 DPI; the form scales it to its window's DPI.
#include "framework/Anchors.h"
#include "framework/Colors.h"
#include "framework/Controls.h"
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

class TForm;

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4 };
using TFontStyles = unsigned;

struct TFontSpec {
    const char* Name = nullptr; // nullptr: the form's font
    int Height = 0;             // CreateFontA height in pixels at 96 DPI
    TFontStyles Style = 0;
    TColor Color = clDefault; // clDefault: the form's font colour
    BYTE Charset = DEFAULT_CHARSET;
};

constexpr TFontSpec Font(const char* name, int height, TFontStyles style = 0,
                         TColor color = clDefault, BYTE charset = DEFAULT_CHARSET) {
    return {name, height, style, color, charset};
}

// A colour alone, on the form's font.
constexpr TFontSpec FontColor(TColor color) {
    return {nullptr, 0, 0, color, DEFAULT_CHARSET};
}

enum TControlOption : unsigned {
    coWordWrap = 1u << 0,
    coTransparent = 1u << 1, // label drawn on its parent's background
    coReadOnly = 1u << 2,
    coDisabled = 1u << 3,
    coDefault = 1u << 4, // the button Enter presses
    coCancel = 1u << 5,  // the button Escape presses
    coRightAlign = 1u << 6,
    coFixedSize = 1u << 7, // never sized by its content, not even widened to its text when scaled
    coHandPoint = 1u << 8,
    coHScroll = 1u << 9,
    coHidden = 1u << 10,
};
using TControlOptions = unsigned;

namespace layout_detail {
// Member pointers kept as bytes behind a plain function pointer that knows their real type.
// Unlike std::function this keeps the rows trivially copyable and destructible (GCC's
// optimiser reports false "maybe uninitialized" errors on std::function in static tables).
constexpr std::size_t kMemberPointerSize = 32;
template <class P> void Store(unsigned char (&bytes)[kMemberPointerSize], P pointer) {
    static_assert(sizeof(P) <= kMemberPointerSize && std::is_trivially_copyable_v<P>);
    std::memcpy(bytes, &pointer, sizeof pointer);
}
template <class P> P Load(const unsigned char (&bytes)[kMemberPointerSize]) {
    P pointer;
    std::memcpy(&pointer, bytes, sizeof pointer);
    return pointer;
}
} // namespace layout_detail

// A member field of a form: `&TfrmX::btnGo`. Its type gives the control's kind.
class TFieldRef {
public:
    TFieldRef() = default;
    template <class TF, class T>
    TFieldRef(T TF::*field) // NOLINT: implicit, so tables read `.Field = &TfrmX::btnGo`
        : FGet([](const TFieldRef& self, TForm& form) -> TControl& {
              return static_cast<TF&>(form).*layout_detail::Load<T TF::*>(self.FField);
          }),
          FKind(T::kKind) {
        layout_detail::Store(FField, field);
    }

    explicit operator bool() const noexcept { return FGet != nullptr; }
    TControl& operator()(TForm& form) const { return FGet(*this, form); }
    TControlKind Kind() const noexcept { return FKind; }

private:
    TControl& (*FGet)(const TFieldRef&, TForm&) = nullptr;
    unsigned char FField[layout_detail::kMemberPointerSize] = {};
    TControlKind FKind = TControlKind::Label;
};

// A handler: `&TfrmX::btnGoClick`, a member function void(TObject* Sender).
class TNotifyRef {
public:
    TNotifyRef() = default;
    template <class TF>
    TNotifyRef(void (TF::*handler)(TObject*)) // NOLINT: implicit, as TFieldRef
        : FCall([](const TNotifyRef& self, TForm& form, TObject* sender) {
              using THandler = void (TF::*)(TObject*);
              (static_cast<TF&>(form).*layout_detail::Load<THandler>(self.FHandler))(sender);
          }) {
        layout_detail::Store(FHandler, handler);
    }

    explicit operator bool() const noexcept { return FCall != nullptr; }
    void operator()(TForm& form, TObject* sender) const { FCall(*this, form, sender); }

private:
    void (*FCall)(const TNotifyRef&, TForm&, TObject*) = nullptr;
    unsigned char FHandler[layout_detail::kMemberPointerSize] = {};
};

struct TControlRow {
    const char* Name = "";
    TFieldRef Field = {};
    TFieldRef Parent = {}; // a panel of the same form; empty: the form
    TRect Bounds = {};     // left, top, width, height in the parent's client area
    const char* Caption = "";
    TFontSpec Font = {};
    TAnchors Anchors = akLeftTop;
    TAlign Align = TAlign::alNone;
    // -1: after the numbered ones, in table order; a link takes the focus only when given one.
    int TabOrder = -1;
    TControlOptions Options = 0;
    TColor Color = clDefault; // opaque background; clDefault: the parent's
    TNotifyRef OnClick = {};
    int ItemHeight = 0;         // list box, 0: the font's
    int Min = 0;                // progress bar
    int Max = 100;              // progress bar
    const char* Icon = nullptr; // image: icon resource name in the program
};

enum class TBorderStyle { bsSizeable, bsDialog };
// The buttons a sizeable form's caption has besides Close.
enum TBorderIcon : unsigned { biMinimize = 1, biMaximize = 2 };
enum class TPosition { poDesigned, poScreenCenter };

struct TFormRow {
    const char* Caption = "";
    // The window class; nullptr: the one forms share. One of its own lets other programs
    // (and tests) tell the form's windows from the rest.
    const char* ClassName = nullptr;
    TPosition Position = TPosition::poDesigned;
    int Left = 0;
    int Top = 0;
    int Width = 0; // outer size; ignored when a client size is given
    int Height = 0;
    int ClientWidth = 0;
    int ClientHeight = 0;
    TBorderStyle Border = TBorderStyle::bsSizeable;
    unsigned BorderIcons = biMinimize | biMaximize;
    TColor Color = clBtnFace;
    TFontSpec Font = {"MS Sans Serif", -11, 0, clWindowText, DEFAULT_CHARSET};
    TNotifyRef OnShow = {};
};

// A menu item. On the bar, an item without sub-items acts at once, with no drop-down.
struct TMenuRow {
    const char* Name = "";
    const char* Caption = "";
    TNotifyRef OnClick = {};
    std::vector<TMenuRow> Items = {};
};

// A label with a click handler is a link: drawn as one, and with a tab order, reached by the
// keyboard too.
inline bool IsLink(const TControlRow& row) {
    return row.Field.Kind() == TControlKind::Label && row.OnClick;
}

struct TFormLayout {
    TFormRow Form = {};
    std::vector<TControlRow> Controls = {};
    std::vector<TMenuRow> Menu = {};
};
