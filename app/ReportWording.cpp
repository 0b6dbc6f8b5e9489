#include "app/ReportWording.h"

#include <algorithm>
#include <cctype>
#include <set>

// Every reason says what happened, what it means for the user's data, and what to do, in
// the user's words: no "hard link" without saying what it is, no file-system terms.

namespace {

std::string Why(LeftReason reason) {
    switch (reason) {
    case LeftReason::RefusedName:
        return "Windows reads this name as another one, because it ends in a blank or a dot. "
               "Nothing was done to the file. Rename it so that its name ends in another "
               "character, then list it again.";
    case LeftReason::Gone:
        return "This file was no longer there when its turn came. Nothing was done. If it was "
               "moved, list it again where it is now.";
    case LeftReason::Appeared:
        return "No file had this name when you listed it, but one has it now. The new file was "
               "not touched. List it again to shred it.";
    case LeftReason::Changed:
        return "This file was replaced by another file with the same name after you listed it. "
               "The new file was not touched. List it again to shred it.";
    case LeftReason::OtherNames:
        return "This file also has other names (it is reached from other folders too), and not "
               "all of them are in the list. Shredding it would destroy it under those names as "
               "well, so it was not touched. Delete its other names first, or shred a copy of "
               "it.";
    case LeftReason::Link:
        return "This name leads through a link to a file or folder somewhere else. Nothing was "
               "done. To shred that file, list it from its own folder.";
    case LeftReason::NotDiskFile:
        return "This name belongs to a device, not to a file on a disk. Nothing was done. Check "
               "the name.";
    case LeftReason::NoFreeSpace:
        return "No file has this name, and the free space of its drive could not be read, so "
               "nothing was wiped. Check that the drive is there, then shred it again.";
    case LeftReason::NotWritten:
        return "This file could not be overwritten. It is unchanged. Check that the drive is "
               "not full or write-protected, then shred it again.";
    case LeftReason::PartlyOverwritten:
        return "Overwriting this file failed part way. Part of it is destroyed, but the file is "
               "still there and may still be read. Shred it again.";
    case LeftReason::Resized:
        return "Another program changed the length of this file while it was overwritten. The "
               "file is still there and may hold data that was not overwritten. Close that "
               "program, then shred it again.";
    case LeftReason::NotDeleted:
        return "This file was overwritten seven times, but Windows would not delete it. Its "
               "content is destroyed; the file itself is still there. Delete it yourself.";
    case LeftReason::NameMoved:
        return "This file was overwritten seven times, but meanwhile its name came to lead to "
               "another file (the file was replaced, or a folder on its way was moved), so it "
               "was not deleted. Whatever has this name now was not touched. If a folder was "
               "moved, the overwritten file is in it: delete it there yourself.";
    case LeftReason::NotWiped:
        return "No file has this name, and the free space of its drive could not be wiped. "
               "Check that the drive is not full or write-protected, then shred it again.";
    case LeftReason::InUse:
        return "Another program has this file open. It is unchanged. Close that program, then "
               "shred it again.";
    case LeftReason::NotOpened:
        return "Windows would not let this file be opened. It is unchanged. Check that you may "
               "change it (it may be protected or belong to another user), then shred it again.";
    case LeftReason::StreamNotOverwritten:
        return "The main content of this file was overwritten seven times, but a part that "
               "programs keep beside it (a named stream) could not be. The file is still there, "
               "and that part may still be read. Close any program that uses the file, then "
               "shred it again.";
    case LeftReason::StreamsUnlisted:
        return "The main content of this file was overwritten seven times, but Windows would "
               "not tell which parts programs keep beside it (named streams), so the file was "
               "not deleted and those parts may still be read. Shred it again, or shred a copy "
               "of it and delete it yourself.";
    }
    return "";
}

// Where the free space of a path's drive is: "drive E:", or a network share.
std::string DriveOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])))
        return "drive " +
               std::string(1,
                           static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])))) +
               ":";
    if (path.rfind("\\\\", 0) == 0) {
        const std::size_t server = path.find('\\', 2);
        const std::size_t share =
            server == std::string::npos ? server : path.find('\\', server + 1);
        return "the network share " + path.substr(0, share);
    }
    return "its drive";
}

// Windows writes such a file's new content into new places on the drive.
std::string KeptElsewhere(const std::string& path, const char* how) {
    return std::string("This file was shredded, but Windows kept it ") + how +
           " and wrote the passes to new places on the drive: its earlier content may remain in "
           "the free space of " +
           DriveOf(path) + ". To wipe that too, list a name that no file there has and shred it.";
}

std::string Why(ToldReason reason, const std::string& path) {
    switch (reason) {
    case ToldReason::NameNotHidden:
        return "This file was shredded, but its name and size could not be hidden: the drive's "
               "records may still show them.";
    case ToldReason::WipedFreeSpace:
        return "No file had this name, so the free space of " + DriveOf(path) +
               " was wiped instead. If you meant a file, check its name.";
    case ToldReason::QuotaLimited:
        return "No file had this name, so the free space of " + DriveOf(path) +
               " was wiped instead, but only as much as your disk quota allows: the rest of it "
               "was not wiped. If you meant a file, check its name.";
    case ToldReason::Compressed:
        return KeptElsewhere(path, "compressed");
    case ToldReason::Sparse:
        return KeptElsewhere(path, "as a sparse file");
    case ToldReason::Encrypted:
        return KeptElsewhere(path, "encrypted");
    case ToldReason::InCloud:
        return "This file was shredded on this computer, but it is a cloud file: the cloud's "
               "version history keeps earlier versions of it. Delete those in the cloud "
               "service too.";
    }
    return "";
}

std::string Why(UnlistedReason reason) {
    switch (reason) {
    case UnlistedReason::OtherName:
        return "Windows reads this name as another one, because it ends in a blank or a dot, "
               "so it was not listed and will not be shredded. Rename it so that its name ends "
               "in another character, then drop it again.";
    case UnlistedReason::TooLong:
        return "This name is longer than Windows lets the program use, so it was not listed "
               "and will not be shredded. Move it to a folder with a shorter name, then drop "
               "it again.";
    case UnlistedReason::NotLookedUp:
        return "Windows would not let the program look at this file, so it was not listed and "
               "will not be shredded. Check that you may open it, then drop it again.";
    case UnlistedReason::FolderUnread:
        return "This folder could not be opened, so none of its files were listed and none "
               "will be shredded. Check that you may open it, then drop it again.";
    case UnlistedReason::FolderPartlyRead:
        return "This folder could be read only in part, so some of its files were not listed "
               "and will not be shredded. Check that you may open it, then drop it again.";
    }
    return "";
}

// "One entry was", "3 entries were".
std::string Count(std::size_t count, const char* one, const char* many) {
    return count == 1 ? std::string("One ") + one : std::to_string(count) + " " + many;
}

// Whether the file is exactly as it was after an entry was left for this reason. Asked of
// every reason, so that a new one cannot be taken for harmless unawares.
bool Untouched(LeftReason reason) {
    switch (reason) {
    case LeftReason::PartlyOverwritten:
    case LeftReason::Resized:
    case LeftReason::NotDeleted:
    case LeftReason::NameMoved:
    case LeftReason::StreamNotOverwritten:
    case LeftReason::StreamsUnlisted:
        return false;
    case LeftReason::RefusedName:
    case LeftReason::Gone:
    case LeftReason::Appeared:
    case LeftReason::Changed:
    case LeftReason::OtherNames:
    case LeftReason::Link:
    case LeftReason::NotDiskFile:
    case LeftReason::NoFreeSpace:
    case LeftReason::NotWritten:
    case LeftReason::NotWiped:
    case LeftReason::InUse:
    case LeftReason::NotOpened:
        return true;
    }
    return false;
}

bool Has(const std::vector<ToldEntry>& told, const std::string& path, ToldReason reason) {
    return std::any_of(told.begin(), told.end(), [&](const ToldEntry& entry) {
        return entry.reason == reason && entry.path == path;
    });
}

void AddSentence(std::string& summary, const std::string& sentence) {
    summary += (summary.empty() ? "" : " ") + sentence;
}

void AddUnlisted(TReport& report, const std::vector<UnlistedEntry>& unlisted) {
    for (const UnlistedEntry& entry : unlisted)
        report.Entries.push_back({ShownName(entry.path), Why(entry.reason)});
}

} // namespace

std::string ShownName(const std::string& path) {
    if (!path.empty() && (path.back() == ' ' || path.back() == '.'))
        return "\"" + path + "\"";
    return path;
}

TReport RunReport(const std::vector<LeftEntry>& left, const std::vector<ToldEntry>& told,
                  const std::vector<UnlistedEntry>& unlisted,
                  const std::function<bool(const std::string&)>& otherNamesListed) {
    TReport report;
    for (const LeftEntry& entry : left) {
        std::string why = Why(entry.reason);
        if (entry.reason == LeftReason::OtherNames && otherNamesListed(entry.path))
            why = "This file also has other names (it is reached from other folders too), and "
                  "they are in the list as well. A file with several names cannot be shredded "
                  "safely under any of them, so it was not touched. Delete its other names "
                  "first, or shred a copy of it.";
        report.Entries.push_back({ShownName(entry.path), why});
    }
    if (!left.empty()) {
        const bool untouched = std::all_of(left.begin(), left.end(), [](const LeftEntry& entry) {
            return Untouched(entry.reason);
        });
        report.Summary =
            Count(left.size(), "entry was not shredded.", "entries were not shredded.");
        if (untouched)
            AddSentence(report.Summary,
                        left.size() == 1 ? "Its file is unchanged." : "Their files are unchanged.");
    }
    AddUnlisted(report, unlisted);
    if (!unlisted.empty())
        AddSentence(report.Summary, Count(unlisted.size(), "dropped name could not be listed",
                                          "dropped names could not be listed") +
                                        ", so nothing was done there.");
    std::size_t wipes = 0, unhidden = 0;
    // A file may be kept out of reach in more than one way: counted once.
    std::set<std::string> kept;
    for (const ToldEntry& entry : told) {
        // A wipe held to a quota says so in its one entry.
        if (entry.reason == ToldReason::WipedFreeSpace &&
            Has(told, entry.path, ToldReason::QuotaLimited))
            continue;
        report.Entries.push_back({ShownName(entry.path), Why(entry.reason, entry.path)});
        switch (entry.reason) {
        case ToldReason::NameNotHidden:
            ++unhidden;
            break;
        case ToldReason::WipedFreeSpace:
        case ToldReason::QuotaLimited:
            ++wipes;
            break;
        case ToldReason::Compressed:
        case ToldReason::Sparse:
        case ToldReason::Encrypted:
        case ToldReason::InCloud:
            kept.insert(entry.path);
            break;
        }
    }
    if (wipes > 0)
        AddSentence(report.Summary, Count(wipes, "name was no file,", "names were no file,") +
                                        " so free space was wiped instead.");
    if (unhidden > 0)
        AddSentence(report.Summary, Count(unhidden, "file was shredded, but its name",
                                          "files were shredded, but their names") +
                                        " may still show on the drive.");
    if (!kept.empty())
        AddSentence(report.Summary,
                    Count(kept.size(), "shredded file may have", "shredded files may have") +
                        " earlier content kept elsewhere.");
    return report;
}

TReport DropReport(const std::vector<UnlistedEntry>& unlisted) {
    TReport report;
    report.Summary = Count(unlisted.size(), "name could not be listed, so it",
                           "names could not be listed, so they") +
                     " will not be shredded.";
    AddUnlisted(report, unlisted);
    return report;
}

std::string ReportText(const std::string& caption, const TReport& report) {
    const std::string rule = "---------------------------\r\n";
    std::string text = rule + caption + "\r\n" + rule + report.Summary + "\r\n";
    for (const TReportEntry& entry : report.Entries)
        text += "\r\n" + entry.Name + "\r\n" + entry.Reason + "\r\n";
    return text + rule + "OK\r\n" + rule;
}
