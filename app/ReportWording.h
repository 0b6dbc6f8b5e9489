#pragma once
// What the report after a run or a drop says: a summary that starts with what the run did,
// then the names it speaks of, grouped by reason: each reason once, in plain words with what
// to do, followed by the names it applies to.
#include "engine/ShredRun.h"
#include "platform/Win32OtherNames.h"

#include <cstddef>
#include <functional>
#include <optional>
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

// One name a reason applies to, with what the report adds of it (a file's other names).
struct TReportItem {
    std::string Name; // as shown: quoted where its end would not show
    std::vector<std::string> Details = {};
    std::string Path = {}; // as listed
};

struct TReportGroup {
    // Where a part of the report of its own starts (what an earlier drop could not list).
    std::string Heading;
    std::string Reason;
    std::vector<TReportItem> Items;
    // The reason in a few words, found again at a glance among many names.
    std::string Title = {};
};

struct TReport {
    std::string Summary;
    std::vector<TReportGroup> Groups;
    bool Empty() const noexcept { return Groups.empty(); }
};

// What the report after a run is made of.
struct TRunFacts {
    // The files the run shredded (not the names that asked for a wipe, nor lines marked before).
    std::size_t Shredded = 0;
    std::vector<LeftEntry> Left = {};
    std::vector<ToldEntry> Told = {};
    // What the drops since the list was last empty could not list.
    std::vector<UnlistedEntry> Unlisted = {};
    // The other names of a file left for having them; none where the system cannot tell.
    std::function<std::optional<std::vector<OtherName>>(const std::string&)> OtherNames = {};
    // Whether another line of the list names the same file as this unshredded one.
    std::function<bool(const std::string&)> OtherNamesListed = {};
    // The programs that have a file open, as the user knows them; none where none can be told.
    std::function<std::vector<std::string>(const std::string&)> Holders = {};
};

// A name as the report shows it: one that ends in a blank or a dot is quoted, so that the
// end can be seen.
std::string ShownName(const std::string& path);

// Why a run left a name unmarked: what happened, what it means, and what to do.
std::string Why(LeftReason reason);

TReport RunReport(const TRunFacts& run);
// What a drop could not list.
TReport DropReport(const std::vector<UnlistedEntry>& unlisted);

// The text below the summary: each group's title with how many names it covers, its reason,
// then its names set apart (indented); names that share a folder below it, named once.
std::string ReportBody(const TReport& report);
// The whole report as text, as a message box copies itself: caption, summary, groups, button.
std::string ReportText(const std::string& caption, const TReport& report);
