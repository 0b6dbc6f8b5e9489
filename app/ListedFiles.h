#pragma once
// What the target list keeps beside each line, as its item data: the entry's kind and, for a
// listed file, the identity the file had when it was listed. An identity does not fit beside
// the kind in one item's data, so the window keeps the identities here and a line holds its
// place among them.
#include "engine/DisplayElements.h"
#include "platform/FileSystem.h"

#include <windows.h>

#include <cstddef>
#include <vector>

class TListedFiles {
public:
    // The item data of a new line.
    LPARAM Data(EntryKind kind, const FileId& id = {}) {
        if (!id.known)
            return static_cast<LPARAM>(kind);
        FIds.push_back(id);
        return static_cast<LPARAM>(kind) | static_cast<LPARAM>(FIds.size() << kKindBits);
    }

    static EntryKind Kind(LPARAM data) { return static_cast<EntryKind>(data & kKindMask); }

    FileId Id(LPARAM data) const {
        const auto place = static_cast<std::size_t>(data) >> kKindBits;
        return place >= 1 && place <= FIds.size() ? FIds[place - 1] : FileId{};
    }

    // Once the list is empty no line holds a place any more.
    void Clear() noexcept { FIds.clear(); }

private:
    static constexpr int kKindBits = 2;
    static constexpr LPARAM kKindMask = (1 << kKindBits) - 1;
    std::vector<FileId> FIds;
};
