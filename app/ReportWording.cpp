#include "app/ReportWording.h"

#include <algorithm>
#include <cctype>
#include <set>

// Every reason says what happened, what it means for the user's files, and what to do, in the
// user's words: no file-system terms without plain words first. A reason speaks of "the file":
// each of the names below it. "Unchanged" is said only of a file that was there and is so.

namespace {

constexpr const char* kShredAgain = "press Shred NOW! again.";

std::string Why(LeftReason reason) {
    const std::string again = kShredAgain;
    switch (reason) {
    case LeftReason::RefusedName:
        return "Windows reads the name as another one, because it ends in a blank or a dot. The "
               "file was left unchanged. Rename it so that its name ends in another character, "
               "then list it again.";
    case LeftReason::Gone:
        return "The file was no longer there when its turn came, so nothing was done. If it was "
               "moved, list it again where it is now.";
    case LeftReason::Appeared:
        return "No file had the name when you listed it, but one has it now. That file was left "
               "unchanged, and no unused space was overwritten. To shred the file, list it "
               "again.";
    case LeftReason::Changed:
        return "The file was replaced by another file with the same name after you listed it. "
               "The new file was left unchanged. To shred it, list it again.";
    case LeftReason::OtherNames:
        return "The file has other names as well: the same file opens under each of them, so "
               "shredding it would destroy it under those names too. It was left unchanged. To "
               "shred it, delete its other names first, then " +
               again;
    case LeftReason::Link:
        return "The name leads through a link to a file or folder somewhere else, so nothing was "
               "done. To shred that file, list it from its own folder.";
    case LeftReason::NotDiskFile:
        return "The name belongs to a device, not to a file on a disk, so nothing was done. "
               "Check the name.";
    case LeftReason::NoFreeSpace:
        return "No file has the name, and the unused space of its drive could not be read, so "
               "nothing was overwritten. Check that the drive is there, then " +
               again;
    case LeftReason::NotWritten:
        return "Windows would not let the file be overwritten. It was left unchanged. Check that "
               "the drive is not full or write-protected, then " +
               again;
    case LeftReason::PartlyOverwritten:
        return "Overwriting the file stopped part way. Part of it is destroyed, but the file is "
               "still there and the rest may still be read. Press Shred NOW! again.";
    case LeftReason::Resized:
        return "Another program changed the length of the file while it was being overwritten. "
               "The file is still there and may hold content that was not overwritten. Close "
               "that program, then " +
               again;
    case LeftReason::NotDeleted:
        return "The file was overwritten seven times, but Windows would not delete it. Its "
               "content is destroyed; the file itself is still there. Delete it yourself.";
    case LeftReason::NameMoved:
        return "The file was overwritten seven times, but meanwhile its name came to lead to "
               "another file (the file was replaced, or a folder on its way was moved), so it "
               "was not deleted. Whatever has this name now was not touched. If a folder was "
               "moved, the overwritten file is in it: delete it there yourself.";
    case LeftReason::NotWiped:
        return "No file has the name, and the unused space of its drive could not be "
               "overwritten. Check that the drive is there and not write-protected, then " +
               again;
    case LeftReason::NoFolder:
        return "No file has the name, and the folder it names does not exist, so nothing was "
               "overwritten for this name. Check the folder's name (a letter may be mistyped), "
               "then list the name again.";
    case LeftReason::InUse:
        return "Another program has the file open, so it was left unchanged. Close that program, "
               "then " +
               again;
    case LeftReason::NotOpened:
        return "Windows would not let the file be opened, so it was left unchanged. Check that "
               "you may change it (it may be protected or belong to another user), then " +
               again;
    case LeftReason::StreamNotOverwritten:
        return "The main content of the file was overwritten seven times, but a part that "
               "programs keep beside it (a named stream) could not be. The file is still there, "
               "and that part may still be read. Close any program that uses the file, then " +
               again;
    case LeftReason::StreamInUse:
        return "The main content of the file was overwritten seven times, but another program "
               "has a part that programs keep beside it (a named stream) open, so that part "
               "could not be overwritten and the file was not deleted. That part may still be "
               "read. Close that program, then " +
               again;
    case LeftReason::OtherFileRenamed:
        return "The file was overwritten seven times, but while its name was being hidden a "
               "folder on its way was moved, and another file that had come to have its name "
               "was renamed by mistake. That file got its name back at once; nothing else of it "
               "was touched. This file was not deleted: its content is destroyed, but the file "
               "itself is still there. Delete it yourself where it is now.";
    case LeftReason::OtherFileNotGivenBack:
        return "The file was overwritten seven times, but while its name was being hidden a "
               "folder on its way was moved, and another file that had come to have its name "
               "was renamed by mistake to a name of repeated letters (such as zzzzzz.zzz), "
               "which could not be undone: give that file its name back yourself. This file "
               "was not deleted: its content is destroyed, but the file itself is still there. "
               "Delete it yourself where it is now.";
    case LeftReason::StreamsUnlisted:
        return "The main content of the file was overwritten seven times, but Windows would not "
               "tell which parts programs keep beside it (named streams), so the file was not "
               "deleted and those parts may still be read. Press Shred NOW! again. If the same "
               "happens, delete the file yourself, then overwrite the unused space of its drive: "
               "list a name that no file there has and shred it.";
    }
    return "";
}

// Windows writes such a file's new content into new places on the drive.
std::string KeptElsewhere(const char* how) {
    return std::string("The file was shredded, but Windows kept it ") + how +
           " and wrote the passes to new places on the drive: its earlier content may remain in "
           "the drive's unused space. To overwrite that too, list a name that no file on that "
           "drive has and shred it.";
}

std::string Why(ToldReason reason) {
    switch (reason) {
    case ToldReason::NameNotHidden:
        return "The file was shredded, but its name and size could not be hidden: the drive's "
               "records may still show them.";
    case ToldReason::WipedFreeSpace:
        return "No file had the name, so the unused space of its drive was overwritten instead. "
               "No file was shredded under this name. If you meant a file, check its name and "
               "list it again.";
    case ToldReason::QuotaLimited:
        return "No file had the name, so the unused space of its drive was overwritten instead, "
               "but only as much of it as your disk quota allows. No file was shredded under this "
               "name. If you meant a file, check its name and list it again.";
    case ToldReason::Compressed:
        return KeptElsewhere("compressed");
    case ToldReason::Sparse:
        return KeptElsewhere("as a sparse file");
    case ToldReason::Encrypted:
        return KeptElsewhere("encrypted");
    case ToldReason::IntegrityStreams:
        return KeptElsewhere("with integrity streams (ReFS)");
    case ToldReason::OverlayCompressed:
        return KeptElsewhere("compressed to save space (CompactOS)");
    case ToldReason::Deduplicated:
        return "The file was shredded, but Windows' data deduplication keeps its content in a "
               "store it shares between files on the drive, which overwriting the file does not "
               "reach, nor does overwriting the drive's unused space. Only erasing the whole "
               "drive removes it.";
    case ToldReason::InCloud:
        return "The file was shredded on this computer, but it is a cloud file: the cloud's "
               "version history keeps earlier versions of it. Delete those in the cloud service "
               "too.";
    }
    return "";
}

std::string Why(UnlistedReason reason) {
    switch (reason) {
    case UnlistedReason::OtherName:
        return "Windows reads the name as another one, because it ends in a blank or a dot, so "
               "the file was not added to the list. Rename it so that its name ends in another "
               "character, then drop it again.";
    case UnlistedReason::TooLong:
        return "The full name is longer than the 260 characters Windows lets the program use, so "
               "the file was not added to the list. Move the file to a folder with a shorter "
               "path, or give it a shorter name, then drop it again.";
    case UnlistedReason::NotLookedUp:
        return "Windows would not let the program look at the file, so it was not added to the "
               "list. Check that you may open it, then drop it again.";
    case UnlistedReason::FolderUnread:
        return "The folder could not be opened, so none of its files were added to the list. "
               "Check that you may open it, then drop it again.";
    case UnlistedReason::FolderPartlyRead:
        return "The folder could be read only in part, so some of its files were not added to "
               "the list. Check that you may open it, then drop it again.";
    }
    return "";
}

// "1,000".
std::string Number(std::size_t count) {
    const std::string digits = std::to_string(count);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

// "1 file", "1,000 files".
std::string Count(std::size_t count, const char* one, const char* many) {
    return Number(count) + " " + (count == 1 ? one : many);
}

// Where the unused space of a path's drive is: "drive E:", or a network share.
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

// "No file is called cv.doc in Q:\Letters, so ..."
std::string OneWipe(const std::string& path, bool quota) {
    const std::size_t slash = path.find_last_of('\\');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == ':')
        folder += "\\";
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return "No file is called " + ShownName(name) + (folder.empty() ? "" : " in " + folder) +
           ", so the unused space of " + DriveOf(path) + " was overwritten instead" +
           (quota ? ", but only as much of it as your disk quota allows" : "") +
           ". No file was shredded under this name.";
}

// A wipe that did not happen: no file is shredded under such a name either.
bool AskedForWipe(LeftReason reason) {
    return reason == LeftReason::Appeared || reason == LeftReason::NoFreeSpace ||
           reason == LeftReason::NotWiped || reason == LeftReason::NoFolder;
}

void Add(std::vector<TReportGroup>& groups, const std::string& reason, TReportItem item) {
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const TReportGroup& g) { return g.Reason == reason; });
    if (group == groups.end())
        group = groups.insert(groups.end(), TReportGroup{"", reason, {}});
    group->Items.push_back(std::move(item));
}

void AddSentence(std::string& summary, const std::string& sentence) {
    summary += (summary.empty() ? "" : " ") + sentence;
}

// The other names of a file, as many as can be read at a glance, and where they are.
constexpr std::size_t kOtherNamesShown = 5;

std::vector<std::string> OtherNamesDetails(const TRunFacts& run, const std::string& path) {
    std::vector<std::string> details;
    const auto names = run.OtherNames ? run.OtherNames(path) : std::nullopt;
    if (!names) {
        details.push_back("Windows did not tell what its other names are.");
    } else if (names->empty()) {
        details.push_back("It has no other name now: " + std::string(kShredAgain));
    } else {
        const std::size_t shown = std::min(names->size(), kOtherNamesShown);
        for (std::size_t i = 0; i < shown; ++i)
            details.push_back(
                "also named " + ShownName((*names)[i].path) +
                ((*names)[i].sameFolder ? ", in the same folder" : ", in another folder"));
        if (names->size() > shown)
            details.push_back("and " + Count(names->size() - shown, "more name", "more names"));
    }
    if (run.OtherNamesListed && run.OtherNamesListed(path))
        details.push_back("Another line of the list names this file too.");
    return details;
}

// Where a file left behind is now, where that is not the listed name, which may lead to
// another file by now.
std::string WhereNow(const LeftEntry& entry) {
    if (!entry.folderLost)
        return "It is now named " + ShownName(entry.now) + ".";
    const std::size_t slash = entry.path.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? "" : entry.path.substr(0, slash);
    return "It is now named " + ShownName(entry.now) + ", in the folder that was " + folder +
           ". That folder has been moved, and Windows did not tell where to: look for it by "
           "its own name.";
}

// "50 files", "files in 2 folders".
std::string Unlisted(const std::vector<UnlistedEntry>& unlisted) {
    const auto folders = static_cast<std::size_t>(
        std::count_if(unlisted.begin(), unlisted.end(), [](const UnlistedEntry& entry) {
            return entry.reason == UnlistedReason::FolderUnread ||
                   entry.reason == UnlistedReason::FolderPartlyRead;
        }));
    const std::size_t files = unlisted.size() - folders;
    std::string text = files > 0 ? Count(files, "file", "files") : "";
    if (folders > 0)
        text += (text.empty() ? "" : " and ") + std::string("files in ") +
                Count(folders, "folder", "folders");
    return text;
}

void AddUnlisted(TReport& report, const std::vector<UnlistedEntry>& unlisted,
                 const std::string& heading) {
    std::vector<TReportGroup> groups;
    for (const UnlistedEntry& entry : unlisted)
        Add(groups, Why(entry.reason), {ShownName(entry.path)});
    if (!groups.empty())
        groups.front().Heading = heading;
    report.Groups.insert(report.Groups.end(), groups.begin(), groups.end());
}

// This run's own count: of the files listed (not the names that asked for a wipe), how many
// were shredded.
std::string FilesShredded(std::size_t files, std::size_t left) {
    const std::size_t shredded = files - left;
    if (left == 0)
        return Count(shredded, "file was shredded.", "files were shredded.");
    if (shredded == 0)
        return files == 1 ? "The file was not shredded: see why below."
                          : "None of the " + Number(files) + " files were shredded: see why below.";
    return Number(shredded) + " of " + Count(files, "file", "files") +
           (shredded == 1 ? " was" : " were") + " shredded. " + Number(left) +
           (left == 1 ? " was" : " were") + " not: see why below.";
}

} // namespace

std::string ShownName(const std::string& path) {
    if (!path.empty() && (path.back() == ' ' || path.back() == '.'))
        return "\"" + path + "\"";
    return path;
}

TReport RunReport(const TRunFacts& run) {
    TReport report;
    std::size_t wipesLeft = 0;
    for (const LeftEntry& entry : run.Left) {
        TReportItem item{ShownName(entry.path)};
        if (entry.reason == LeftReason::OtherNames)
            item.Details = OtherNamesDetails(run, entry.path);
        if (!entry.now.empty())
            item.Details.push_back(WhereNow(entry));
        Add(report.Groups, Why(entry.reason), std::move(item));
        wipesLeft += AskedForWipe(entry.reason) ? 1 : 0;
    }
    std::vector<const ToldEntry*> wipes;
    std::set<std::string> quota, unhidden, kept;
    for (const ToldEntry& entry : run.Told)
        if (entry.reason == ToldReason::QuotaLimited)
            quota.insert(entry.path);
    for (const ToldEntry& entry : run.Told)
        if (entry.reason == ToldReason::WipedFreeSpace) {
            wipes.push_back(&entry);
            const bool limited = quota.count(entry.path) != 0;
            Add(report.Groups, Why(limited ? ToldReason::QuotaLimited : entry.reason),
                {ShownName(entry.path)});
        }
    for (const ToldEntry& entry : run.Told) {
        if (entry.reason == ToldReason::WipedFreeSpace || entry.reason == ToldReason::QuotaLimited)
            continue;
        Add(report.Groups, Why(entry.reason), {ShownName(entry.path)});
        (entry.reason == ToldReason::NameNotHidden ? unhidden : kept).insert(entry.path);
    }

    const std::size_t filesLeft = run.Left.size() - wipesLeft;
    const std::size_t asked = wipes.size() + wipesLeft;
    const std::size_t files = std::max(run.Taken > asked ? run.Taken - asked : 0, filesLeft);
    if (files > 0)
        AddSentence(report.Summary, FilesShredded(files, filesLeft));
    if (wipes.size() == 1)
        AddSentence(report.Summary,
                    OneWipe(wipes.front()->path, quota.count(wipes.front()->path) != 0));
    else if (wipes.size() > 1)
        AddSentence(report.Summary,
                    Number(wipes.size()) +
                        " names in the list were no file, so the unused space of their drives "
                        "was overwritten instead. No file was shredded under these names.");
    if (wipesLeft > 0)
        AddSentence(report.Summary,
                    "Nothing was overwritten for " +
                        Count(wipesLeft, "name that no file had", "names that no file had") +
                        ": see why below.");
    if (!unhidden.empty())
        AddSentence(report.Summary, "The name and size of " +
                                        Count(unhidden.size(), "shredded file", "shredded files") +
                                        " may still be seen on the drive: see below.");
    if (!kept.empty())
        AddSentence(report.Summary,
                    Count(kept.size(), "shredded file", "shredded files") +
                        " may have left earlier content where overwriting does not reach: see "
                        "below.");
    if (!run.Unlisted.empty()) {
        const std::string heading =
            "Also not shredded: " + Unlisted(run.Unlisted) + " that could not be added to the list";
        report.Summary += (report.Summary.empty() ? "" : "\r\n\r\n") + heading;
        AddUnlisted(report, run.Unlisted, heading);
    }
    return report;
}

TReport DropReport(const std::vector<UnlistedEntry>& unlisted) {
    TReport report;
    std::string what = Unlisted(unlisted);
    if (!what.empty())
        what[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(what[0])));
    const bool one = unlisted.size() == 1 && what.rfind("Files", 0) != 0;
    report.Summary = what + " could not be added to the list, so " + (one ? "it" : "they") +
                     " will not be shredded: see why below.";
    AddUnlisted(report, unlisted, "");
    return report;
}

std::string ReportBody(const TReport& report) {
    std::string body;
    for (const TReportGroup& group : report.Groups) {
        if (!body.empty())
            body += "\r\n\r\n";
        // Underlined, so that it does not read as one more reason.
        if (!group.Heading.empty())
            body += group.Heading + "\r\n" + std::string(group.Heading.size(), '-') + "\r\n\r\n";
        body += group.Reason + "\r\n";
        for (const TReportItem& item : group.Items) {
            body += "\r\n    " + item.Name;
            for (const std::string& detail : item.Details)
                body += "\r\n        " + detail;
        }
    }
    return body;
}

std::string ReportText(const std::string& caption, const TReport& report) {
    const std::string rule = "---------------------------\r\n";
    return rule + caption + "\r\n" + rule + report.Summary + "\r\n\r\n" + ReportBody(report) +
           "\r\n" + rule + "OK\r\n" + rule;
}
