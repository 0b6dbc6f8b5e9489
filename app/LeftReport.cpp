#include "app/LeftReport.h"

#include <algorithm>

namespace {

const char* Why(LeftReason reason) {
    switch (reason) {
    case LeftReason::RefusedName:
        return "Windows would take its name (ending in a dot or a blank) for another file's; "
               "nothing was done.";
    case LeftReason::Gone:
        return "the file is no longer there.";
    case LeftReason::Appeared:
        return "a file has appeared under this name, which was listed to wipe free space; "
               "it was left alone.";
    case LeftReason::Changed:
        return "the name now leads to another file than the one listed (replaced or "
               "recreated since); it was left alone.";
    case LeftReason::OtherNames:
        return "the file has other names (hard links) that were not listed; it was left whole.";
    case LeftReason::Link:
        return "it is reached through a symbolic link or junction; it was left alone.";
    case LeftReason::NotDiskFile:
        return "it is not a file on a disk; it was left alone.";
    case LeftReason::NoFreeSpace:
        return "the free space of its drive could not be read; nothing was done.";
    case LeftReason::NotWritten:
        return "it could not be overwritten; its content is whole.";
    case LeftReason::PartlyOverwritten:
        return "a pass failed: its content is partly overwritten and the file was not deleted.";
    case LeftReason::Resized:
        return "another program changed its length while it was overwritten; the file was not "
               "deleted and may hold data that was not overwritten.";
    case LeftReason::NotDeleted:
        return "it was overwritten seven times but could not be deleted.";
    case LeftReason::NotWiped:
        return "the free space could not be wiped.";
    case LeftReason::InUse:
        return "another program is using it; close that program and shred it again.";
    case LeftReason::NotOpened:
        return "Windows would not open it; it was left whole.";
    }
    return "";
}

} // namespace

std::string LeftReport(const std::vector<LeftEntry>& left, const std::vector<ToldEntry>& told) {
    std::vector<std::string> unhidden;
    for (const ToldEntry& entry : told)
        if (entry.reason == ToldReason::NameNotHidden)
            unhidden.push_back(entry.path);
    std::string text;
    if (!left.empty()) {
        text = left.size() == 1 ? "One entry was not shredded:"
                                : std::to_string(left.size()) + " entries were not shredded:";
        for (const LeftEntry& entry : left)
            text += "\n\n" + entry.path + "\n" + Why(entry.reason);
    }
    if (!unhidden.empty()) {
        if (!text.empty())
            text += "\n\n";
        text += unhidden.size() == 1
                    ? "One file was shredded, but its name and size could not be hidden: the "
                      "drive's records may still show them:"
                    : std::to_string(unhidden.size()) +
                          " files were shredded, but their names and sizes could not be hidden: "
                          "the drive's records may still show them:";
        for (const std::string& path : unhidden)
            text += "\n" + path;
    }
    return text;
}

bool LeftReportNeeded(const std::vector<LeftEntry>& left, const std::vector<ToldEntry>& told) {
    return !left.empty() || std::any_of(told.begin(), told.end(), [](const ToldEntry& entry) {
        return entry.reason == ToldReason::NameNotHidden;
    });
}
