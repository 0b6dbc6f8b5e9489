#include "app/ReportWording.h"
#include "platform/Win32Paths.h"

#include <algorithm>
#include <cctype>
#include <set>

// Every reason says what happened, what it means for the user's files, and what to do, in the
// user's words: no file-system terms without plain words first. A reason speaks of "the file":
// each of the names below it. "Unchanged" is said only of a file that was there and is so.

namespace {
constexpr const char* kShredAgain = "press Shred NOW! again.";
} // namespace

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

namespace {

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

// Each reason in a few words, as the summary counts it and as its part of the report is
// headed: "600 open in another program".
const char* Title(LeftReason reason) {
    switch (reason) {
    case LeftReason::RefusedName:
        return "with a name ending in a blank or a dot";
    case LeftReason::Gone:
        return "no longer there";
    case LeftReason::Appeared:
        return "a file has the name now";
    case LeftReason::Changed:
        return "replaced after listing";
    case LeftReason::OtherNames:
        return "with other names";
    case LeftReason::Link:
        return "reached through a link";
    case LeftReason::NotDiskFile:
        return "naming a device";
    case LeftReason::NoFreeSpace:
        return "unused space could not be read";
    case LeftReason::NotWritten:
        return "not overwritten";
    case LeftReason::PartlyOverwritten:
        return "overwritten only in part";
    case LeftReason::Resized:
        return "resized by another program";
    case LeftReason::NotDeleted:
        return "overwritten but not deleted";
    case LeftReason::NameMoved:
        return "overwritten but not deleted (name moved)";
    case LeftReason::NotWiped:
        return "unused space could not be overwritten";
    case LeftReason::NoFolder:
        return "in a folder that does not exist";
    case LeftReason::InUse:
        return "open in another program";
    case LeftReason::NotOpened:
        return "refused by Windows";
    case LeftReason::StreamNotOverwritten:
        return "overwritten but for a named stream";
    case LeftReason::StreamInUse:
        return "overwritten but for a named stream in use";
    case LeftReason::OtherFileRenamed:
        return "overwritten but not deleted (folder moved)";
    case LeftReason::OtherFileNotGivenBack:
        return "overwritten but not deleted (another file renamed)";
    case LeftReason::StreamsUnlisted:
        return "overwritten but not deleted (named streams unknown)";
    }
    return "";
}

const char* Title(ToldReason reason) {
    switch (reason) {
    case ToldReason::NameNotHidden:
        return "shredded, but the name not hidden";
    case ToldReason::WipedFreeSpace:
        return "no such file: unused space overwritten";
    case ToldReason::QuotaLimited:
        return "no such file: unused space overwritten up to your quota";
    case ToldReason::Compressed:
        return "shredded, but kept compressed";
    case ToldReason::Sparse:
        return "shredded, but kept as a sparse file";
    case ToldReason::Encrypted:
        return "shredded, but kept encrypted";
    case ToldReason::IntegrityStreams:
        return "shredded, but kept with integrity streams";
    case ToldReason::OverlayCompressed:
        return "shredded, but kept compressed to save space";
    case ToldReason::Deduplicated:
        return "shredded, but deduplicated";
    case ToldReason::InCloud:
        return "shredded, but a cloud file";
    }
    return "";
}

const char* Title(UnlistedReason reason) {
    switch (reason) {
    case UnlistedReason::OtherName:
        return "not listed: the name ends in a blank or a dot";
    case UnlistedReason::TooLong:
        return "not listed: the name is too long";
    case UnlistedReason::NotLookedUp:
        return "not listed: Windows would not let it be looked at";
    case UnlistedReason::FolderUnread:
        return "a folder that could not be opened";
    case UnlistedReason::FolderPartlyRead:
        return "a folder read only in part";
    }
    return "";
}

constexpr const char* kAllNamesListed =
    "Each of the file's names is in the list, but a file with more than one name is not "
    "shredded: it opens under every one of them. It was left unchanged. To shred it, delete all "
    "of its names but one (with Shift+Delete, so that none stays in the Recycle Bin), then "
    "press Shred NOW! again.";

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

void Add(std::vector<TReportGroup>& groups, const std::string& reason, const char* title,
         const std::string& path, std::vector<std::string> details = {}) {
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const TReportGroup& g) { return g.Reason == reason; });
    if (group == groups.end())
        group = groups.insert(groups.end(), TReportGroup{"", reason, {}, title});
    group->Items.push_back({ShownName(path), std::move(details), path});
}

// Headed with how many names each covers.
void CountNames(std::vector<TReportGroup>& groups) {
    for (TReportGroup& group : groups) {
        group.Title[0] =
            static_cast<char>(std::toupper(static_cast<unsigned char>(group.Title[0])));
        group.Title += " (" + Count(group.Items.size(), "name", "names") + ")";
    }
}

// "a, b and c".
std::string Listing(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text;
}

// How many held files are named with the programs that hold them.
constexpr std::size_t kHoldersAsked = 20;

// A reason that asks to close the program that holds the file.
bool HeldByAnother(LeftReason reason) {
    return reason == LeftReason::InUse || reason == LeftReason::StreamInUse ||
           reason == LeftReason::Resized;
}

// Whether the file listed was still there when the run came to it: a number a file had when it
// was listed may be another file's by now (Wine's are inode numbers, given again).
bool FoundThere(LeftReason reason) {
    switch (reason) {
    case LeftReason::RefusedName:
    case LeftReason::Gone:
    case LeftReason::Appeared:
    case LeftReason::Changed:
    case LeftReason::Link:
    case LeftReason::NotDiskFile:
    case LeftReason::NoFreeSpace:
    case LeftReason::NameMoved:
    case LeftReason::NotWiped:
    case LeftReason::NoFolder:
        return false;
    default:
        return true;
    }
}

// Two lines of one file: the same identity, on a known volume, of files found there.
bool SameFile(const LeftEntry& a, const LeftEntry& b) {
    if (a.file.known && b.file.known && a.file.volume != 0 && b.file.volume != 0 &&
        FoundThere(a.reason) && FoundThere(b.reason))
        return a.file == b.file;
    return a.path == b.path;
}

void AddSentence(std::string& summary, const std::string& sentence) {
    summary += (summary.empty() ? "" : " ") + sentence;
}

// The other names of a file, as many as can be read at a glance, and where they are.
constexpr std::size_t kOtherNamesShown = 5;

// Whether every other name of the file is also a line this run left for having them.
bool AllNamesListed(const TRunFacts& run, const std::vector<OtherName>& names) {
    return !names.empty() && std::all_of(names.begin(), names.end(), [&](const OtherName& name) {
        return std::any_of(run.Left.begin(), run.Left.end(), [&](const LeftEntry& entry) {
            return entry.reason == LeftReason::OtherNames &&
                   SameNameIgnoringCase(entry.path, name.path);
        });
    });
}

std::vector<std::string> OtherNamesDetails(const TRunFacts& run,
                                           const std::optional<std::vector<OtherName>>& names,
                                           const std::string& path) {
    std::vector<std::string> details;
    if (!names) {
        details.push_back("Windows did not tell its other names, so they could not be found "
                          "here. They are on the same drive, and as large as this file.");
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
    if ((!names || !AllNamesListed(run, *names)) && run.OtherNamesListed &&
        run.OtherNamesListed(path))
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
        Add(groups, Why(entry.reason), Title(entry.reason), entry.path);
    CountNames(groups);
    if (!groups.empty())
        groups.front().Heading = heading;
    report.Groups.insert(report.Groups.end(), groups.begin(), groups.end());
}

// This run's own count: of the files listed (not the names that asked for a wipe), how many
// were shredded, and why the others were not: "600 open in another program, ...".
std::string FilesShredded(std::size_t shredded, std::size_t left,
                          const std::vector<std::pair<LeftReason, std::size_t>>& why) {
    const std::size_t files = shredded + left;
    if (left == 0)
        return Count(shredded, "file was shredded.", "files were shredded.");
    std::vector<std::string> parts;
    for (const auto& [reason, count] : why)
        parts.push_back(left == 1 ? Title(reason) : Number(count) + " " + Title(reason));
    const std::string because = ": " + Listing(parts) + ". See why below.";
    if (shredded == 0)
        return files == 1 ? "The file was not shredded" + because
                          : "None of the " + Number(files) + " files were shredded" + because;
    return Number(shredded) + " of " + Count(files, "file", "files") +
           (shredded == 1 ? " was" : " were") + " shredded. " + Number(left) +
           (left == 1 ? " was" : " were") + " not" + because;
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
    // One file however many lines name it, counted under the first reason it was left for.
    std::vector<const LeftEntry*> filesLeft;
    std::vector<std::pair<LeftReason, std::size_t>> why;
    std::size_t holdersAsked = 0;
    for (const LeftEntry& entry : run.Left) {
        std::vector<std::string> details;
        std::string reason = Why(entry.reason);
        const char* title = Title(entry.reason);
        if (entry.reason == LeftReason::OtherNames) {
            const auto names = run.OtherNames ? run.OtherNames(entry.path) : std::nullopt;
            details = OtherNamesDetails(run, names, entry.path);
            if (names && AllNamesListed(run, *names)) {
                reason = kAllNamesListed;
                title = "with other names, every one of them listed";
            }
        }
        // Each asking takes a session of the Restart Manager: the first files tell the user
        // what to close, however many another program holds.
        if (HeldByAnother(entry.reason) && run.Holders && ++holdersAsked <= kHoldersAsked) {
            const std::vector<std::string> programs = run.Holders(entry.path);
            if (!programs.empty())
                details.push_back("It is open in " + Listing(programs) + ".");
        }
        if (!entry.now.empty())
            details.push_back(WhereNow(entry));
        Add(report.Groups, reason, title, entry.path, std::move(details));
        if (AskedForWipe(entry.reason)) {
            ++wipesLeft;
            continue;
        }
        if (std::any_of(filesLeft.begin(), filesLeft.end(),
                        [&](const LeftEntry* file) { return SameFile(*file, entry); }))
            continue;
        filesLeft.push_back(&entry);
        auto counted = std::find_if(why.begin(), why.end(),
                                    [&](const auto& count) { return count.first == entry.reason; });
        if (counted == why.end())
            counted = why.insert(why.end(), {entry.reason, 0});
        ++counted->second;
    }
    std::vector<const ToldEntry*> wipes;
    std::set<std::string> quota, unhidden, kept;
    for (const ToldEntry& entry : run.Told)
        if (entry.reason == ToldReason::QuotaLimited)
            quota.insert(entry.path);
    for (const ToldEntry& entry : run.Told)
        if (entry.reason == ToldReason::WipedFreeSpace) {
            wipes.push_back(&entry);
            const ToldReason told =
                quota.count(entry.path) != 0 ? ToldReason::QuotaLimited : entry.reason;
            Add(report.Groups, Why(told), Title(told), entry.path);
        }
    for (const ToldEntry& entry : run.Told) {
        if (entry.reason == ToldReason::WipedFreeSpace || entry.reason == ToldReason::QuotaLimited)
            continue;
        Add(report.Groups, Why(entry.reason), Title(entry.reason), entry.path);
        (entry.reason == ToldReason::NameNotHidden ? unhidden : kept).insert(entry.path);
    }
    CountNames(report.Groups);

    if (run.Shredded + filesLeft.size() > 0)
        AddSentence(report.Summary, FilesShredded(run.Shredded, filesLeft.size(), why));
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

namespace {

// "Q:\Letters\" of "Q:\Letters\cv.doc" and of "Q:\Letters\Old\", a folder; empty where the
// name has no folder.
std::string FolderOf(const std::string& path) {
    const std::size_t slash =
        path.size() < 2 ? std::string::npos : path.find_last_of('\\', path.size() - 2);
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

void AddItem(std::string& body, const TReportItem& item, const std::string& shown,
             const std::string& indent) {
    body += "\r\n" + indent + shown;
    for (const std::string& detail : item.Details)
        body += "\r\n" + indent + "    " + detail;
}

} // namespace

std::string ReportBody(const TReport& report) {
    std::string body;
    for (const TReportGroup& group : report.Groups) {
        if (!body.empty())
            body += "\r\n\r\n";
        // Underlined, so that it does not read as one more reason.
        if (!group.Heading.empty())
            body += group.Heading + "\r\n" + std::string(group.Heading.size(), '-') + "\r\n\r\n";
        if (!group.Title.empty())
            body += group.Title + ":\r\n";
        body += group.Reason + "\r\n";
        // Names that share a folder are set below it, the folder named once: a long folder
        // repeated on every line would push the names, which tell them apart, out of sight.
        std::vector<bool> done(group.Items.size());
        for (std::size_t i = 0; i < group.Items.size(); ++i) {
            if (done[i])
                continue;
            const TReportItem& item = group.Items[i];
            const std::string folder = FolderOf(item.Path);
            std::vector<std::size_t> shared;
            for (std::size_t j = i; j < group.Items.size() && !folder.empty(); ++j)
                if (!done[j] && FolderOf(group.Items[j].Path) == folder)
                    shared.push_back(j);
            if (shared.size() < 2) {
                AddItem(body, item, item.Name, "    ");
                continue;
            }
            body += "\r\n    " + folder;
            for (const std::size_t j : shared) {
                done[j] = true;
                AddItem(body, group.Items[j], ShownName(group.Items[j].Path.substr(folder.size())),
                        "        ");
            }
        }
    }
    return body;
}

std::string ReportText(const std::string& caption, const TReport& report) {
    const std::string rule = "---------------------------\r\n";
    return rule + caption + "\r\n" + rule + report.Summary + "\r\n\r\n" + ReportBody(report) +
           "\r\n" + rule + "OK\r\n" + rule;
}
