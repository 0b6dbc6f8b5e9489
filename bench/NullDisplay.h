#pragma once
// A display that shows nothing: it keeps only the target list, so a timed run measures the
// engine and the disk, not a window.
#include "engine/DisplayElements.h"

#include <string>
#include <thread>
#include <utility>
#include <vector>

class NullDisplay final : public DisplayElements {
public:
    // Every entry is listed as an existing file with its identity, as the window lists a
    // folder's files (before the timed run).
    NullDisplay(std::vector<std::string> entries, FileSystem& files)
        : FList(std::move(entries)), FKinds(FList.size(), EntryKind::File) {
        for (const std::string& entry : FList)
            FIds.push_back(files.Identify(entry));
    }

    void SetStatusText(const std::string&) override {}
    void SetStatusColor(std::uint32_t) override {}
    void RepaintStatus() override {}
    void SetPatternCaption(std::string_view) override {}
    void RepaintPattern() override {}
    void SetProgressRange(std::int64_t, std::int64_t) override {}
    void SetProgressPosition(std::int64_t) override {}
    void Wait(std::chrono::milliseconds time) override { std::this_thread::sleep_for(time); }
    int ListCount() override { return static_cast<int>(FList.size()); }
    std::string ListText(int index) override { return FList.at(static_cast<std::size_t>(index)); }
    void ListReplace(int index, const std::string& text) override {
        FList.at(static_cast<std::size_t>(index)) = text;
    }
    EntryKind ListKind(int index) override { return FKinds.at(static_cast<std::size_t>(index)); }
    FileId ListIdentity(int index) override { return FIds.at(static_cast<std::size_t>(index)); }
    void SetListKind(int index, EntryKind kind) override {
        FKinds.at(static_cast<std::size_t>(index)) = kind;
    }
    void SetListColor(std::uint32_t) override {}
    void RepaintList() override {}

    const std::vector<std::string>& List() const { return FList; }

private:
    std::vector<std::string> FList;
    std::vector<EntryKind> FKinds;
    std::vector<FileId> FIds;
};
