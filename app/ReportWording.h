#pragma once
// What the report after a run or a drop says: a one-line summary, then each entry's name with
// what happened to it, what that means, and what to do.
#include "engine/ShredRun.h"

#include <functional>
#include <string>
#include <vector>

// Why a dropped name, or a name below a dropped folder, was not listed.
enum class UnlistedReason {
    OtherName,        // the system would look it up as another name (trailing dot or blank)
    TooLong,          // longer than the system's functions take
    NotLookedUp,      // there, but the system would not look it up
    FolderUnread,     // a folder that could not be listed at all
    FolderPartlyRead, // a folder whose listing stopped part way
};

struct UnlistedEntry {
    std::string path;
    UnlistedReason reason;
};

struct TReportEntry {
    std::string Name; // as shown: quoted where its end would not show
    std::string Reason;
};

struct TReport {
    std::string Summary;
    std::vector<TReportEntry> Entries;
    bool Empty() const noexcept { return Entries.empty(); }
};

// A name as the report shows it: one that ends in a blank or a dot is quoted, so that the
// end can be seen.
std::string ShownName(const std::string& path);

// What a run did not do, what it did that the list's mark does not say, and what an earlier
// drop could not list. `otherNamesListed` tells whether the file of an entry refused for its
// other names has another of them in the list too.
TReport RunReport(const std::vector<LeftEntry>& left, const std::vector<ToldEntry>& told,
                  const std::vector<UnlistedEntry>& unlisted,
                  const std::function<bool(const std::string&)>& otherNamesListed);
// What a drop could not list.
TReport DropReport(const std::vector<UnlistedEntry>& unlisted);

// The whole report as text, as a message box copies itself: caption, summary, entries, button.
std::string ReportText(const std::string& caption, const TReport& report);
