#pragma once
// A list box that can be scrolled sideways as far as the widest line ever added to it.
#include "framework/Controls.h"
#include "framework/GdiObject.h"
#include <optional>
#include <string>

class THListBox : public TListBox {
public:
    // Single selection, with a horizontal scroll bar.
    THListBox() noexcept;

    // While one lives, lines are added without a repaint each and measured in one device
    // context; the list repaints once when the outermost goes, also when a failure ends the
    // additions. They nest.
    class TBulkAdd {
    public:
        explicit TBulkAdd(THListBox& list);
        TBulkAdd(const TBulkAdd&) = delete;
        TBulkAdd& operator=(const TBulkAdd&) = delete;
        ~TBulkAdd();

    private:
        friend class THListBox;
        THListBox& FList;
        std::optional<TWindowDC> FDC;
        std::optional<TSelectObject> FFont;
        int FAveCharWidth = 0;
    };

    // The width of `text` in the list box's font plus one average character, in pixels, cut
    // to its low 16 bits.
    int GetTextWidth(const std::string& text);
    // Appends `text` with `data` kept beside it, first widening the scroll range when it is
    // the widest line so far. Fails with "Unable to insert a line" when the list box refuses
    // it; the widening stays.
    void AddString(const std::string& text, LPARAM data = 0);

    // The widest line measured so far: it never shrinks, so neither does the scroll range, as
    // long as the form's DPI stays the same.
    int MaxWidth() const noexcept { return FMaxWidth; }
    // The widest line and the scroll range follow the new scale of the list's font.
    void ScaleChanged(int fromDpi, int toDpi) override;

private:
    int FMaxWidth = 0;
    TBulkAdd* FBulk = nullptr; // the outermost bulk addition under way
};
