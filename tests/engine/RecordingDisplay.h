#pragma once
// A display that keeps what the engine showed, in the order it was shown.
#include "engine/DisplayElements.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

class RecordingDisplay : public DisplayElements {
public:
    explicit RecordingDisplay(std::vector<std::string> entries = {}) : list(std::move(entries)) {}

    void SetStatusText(const std::string& text) override {
        statusLines.push_back(text);
        if (onStatus)
            onStatus(text);
    }
    void SetStatusColor(std::uint32_t color) override { statusColor = color; }
    void RepaintStatus() override { ++statusRepaints; }
    void SetPatternCaption(std::string_view caption) override { patterns.emplace_back(caption); }
    void RepaintPattern() override { ++patternRepaints; }
    void SetProgressRange(std::int64_t minimum, std::int64_t maximum) override {
        progressMin = minimum;
        progressMax = maximum;
    }
    void SetProgressPosition(std::int64_t position) override {
        progress = position;
        progressHistory.push_back(position);
    }
    // No time passes: what another program does meanwhile, the test does in `onStatus`.
    void Wait(std::chrono::milliseconds time) override { waits.push_back(time); }
    int ListCount() override { return static_cast<int>(list.size()); }
    std::string ListText(int index) override { return list.at(static_cast<std::size_t>(index)); }
    void ListReplace(int index, const std::string& text) override {
        list.at(static_cast<std::size_t>(index)) = text;
    }
    // Entries without a kind of their own are Unknown, as a list that never looked.
    EntryKind ListKind(int index) override {
        const auto i = static_cast<std::size_t>(index);
        return i < kinds.size() ? kinds[i] : EntryKind::Unknown;
    }
    FileId ListIdentity(int index) override {
        const auto i = static_cast<std::size_t>(index);
        return i < ids.size() ? ids[i] : FileId{};
    }
    // Lists one more entry as the window does: a file with its kind and identity, any other
    // name as a request to wipe free space.
    void List(const std::string& path, FileSystem& files) {
        list.push_back(path);
        const bool file = files.IsRegularFile(path);
        SetListKind(ListCount() - 1, file ? EntryKind::File : EntryKind::NoFile);
        ids.resize(list.size());
        ids.back() = file ? files.Identify(path) : FileId{};
    }
    void SetListKind(int index, EntryKind kind) override {
        kinds.resize(std::max(kinds.size(), list.size()), EntryKind::Unknown);
        kinds.at(static_cast<std::size_t>(index)) = kind;
    }
    void SetListColor(std::uint32_t color) override { listColor = color; }
    void RepaintList() override { ++listRepaints; }

    std::vector<std::string> list;
    std::vector<EntryKind> kinds;
    std::vector<FileId> ids;
    // Called with every status line, as another program could act at that moment.
    std::function<void(const std::string&)> onStatus;
    std::vector<std::string> statusLines;
    std::vector<std::string> patterns;
    std::vector<std::int64_t> progressHistory;
    std::vector<std::chrono::milliseconds> waits;
    std::uint32_t statusColor = 0xFFFFFFFF;
    std::uint32_t listColor = 0xFFFFFFFF;
    std::int64_t progressMin = -1, progressMax = -1, progress = -1;
    int statusRepaints = 0, patternRepaints = 0, listRepaints = 0;
};
