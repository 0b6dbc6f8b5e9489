// Filling and emptying the target list: the file picker, dropped names, folder expansion and
// the remove command.
#include "platform/FileSystem.h"
#include "app/pShredder.h"
#include "engine/DisplayElements.h"
#include "settings/Settings.h"
#include <algorithm>
#include <string>
#include <vector>

// Each entry keeps whether it named a file when it was listed, and which file: a listed file
// that is gone or replaced by the time of the run is left alone, and only a name that never
// was a file asks for a free-space wipe.

bool TfrmShredder::Listed(const std::string& path) const {
    const int count = HListBox1.Count();
    for (int i = 0; i < count; ++i)
        if (HListBox1.Strings(i) == path)
            return true;
    return false;
}

namespace {

// A lookup of this path finds exactly the entry the listing returned: no wildcards, and short
// enough for every system (beyond MAX_PATH only where the system allows long paths).
bool LooksUpAsListed(const std::string& dir, const std::string& name) {
    return dir.find_first_of("*?") == std::string::npos &&
           name.find_first_of("*?") == std::string::npos &&
           Utf16Length(dir) + Utf16Length(name) < MAX_PATH;
}

UnlistedReason WhyNotListed(FileSystem& files, const std::string& path) {
    if (!files.NamesItself(path))
        return UnlistedReason::OtherName;
    if (Utf16Length(path) >= MAX_PATH)
        return UnlistedReason::TooLong;
    return UnlistedReason::NotLookedUp;
}

// A stored folder that no folder name can be (too long, control characters) would only make
// the picker fail to open: it counts as none.
std::string UsableFolder(std::string folder) {
    const bool usable =
        Utf16Length(folder) < MAX_PATH && std::none_of(folder.begin(), folder.end(), [](char c) {
            const auto code = static_cast<unsigned char>(c);
            return code < 0x20 || code == 0x7F;
        });
    return usable ? folder : std::string();
}

} // namespace

void TfrmShredder::btnBrowseClick(TObject*) {
    // A failed read (a value of the wrong type) ends the handler before the picker shows.
    odWipe.InitialDir = UsableFolder(ReadSetting("SearchPath", ""));
    if (odWipe.Execute(Handle())) {
        const THListBox::TBulkAdd bulk(HListBox1);
        // Byte for byte: the same file picked with other letter case is listed again.
        FileSystem& files = SystemFileSystem();
        for (const std::string& file : odWipe.Files())
            if (!Listed(file))
                HListBox1.AddString(file, files.IsRegularFile(file)
                                              ? FListed.Data(EntryKind::File, files.Identify(file))
                                              : FListed.Data(EntryKind::NoFile));
    }
    btnWipe.SetEnabled(HListBox1.Count() > 0);
    if (!odWipe.Files().empty())
        WriteSetting("SearchPath", ExtractFilePath(odWipe.Files().front()));
}

void TfrmShredder::Button1Click(TObject*) {
    const int selected = HListBox1.ItemIndex();
    if (selected >= 0)
        HListBox1.Delete(selected);
    else
        HListBox1.Clear();
    // What earlier drops could not list is told after each run only while they still fill it.
    if (HListBox1.Count() == 0) {
        FListed.Clear();
        FUnlisted.clear();
    }
    HListBox1.Repaint();
    btnWipe.SetEnabled(HListBox1.Count() > 0);
}

void TfrmShredder::DnDForm1DnDItem(TObject*, const std::string& Item) {
    if (FRun)
        return;
    FileSystem& files = SystemFileSystem();
    if (files.IsRegularFile(Item))
        HListBox1.AddString(Item, FListed.Data(EntryKind::File, files.Identify(Item)));
    else if (files.IsDirectory(Item))
        AddFolder(Item);
    // A name that vanished meanwhile leaves nothing to destroy and goes without a word; one
    // that is there but out of reach must not.
    else if (!files.NamesItself(Item) || !files.CanLookUp(Item))
        Unlisted(Item, WhyNotListed(files, Item));
    // Even when nothing was added.
    btnWipe.SetEnabled(true);
}

void TfrmShredder::Unlisted(const std::string& path, UnlistedReason why) {
    FDropUnlisted.push_back({path, why});
    // A name dropped again is told once.
    if (std::none_of(FUnlisted.begin(), FUnlisted.end(),
                     [&](const UnlistedEntry& entry) { return entry.path == path; }))
        FUnlisted.push_back({path, why});
}

void TfrmShredder::ReportUnlisted() {
    if (!FDropUnlisted.empty())
        ShowReport(DropReport(FDropUnlisted));
    FDropUnlisted.clear();
}

void TfrmShredder::AddFolder(const std::string& path) {
    FileSystem& files = SystemFileSystem();
    const char delimiter = files.Delimiter();
    std::string dir = path;
    if (dir.empty() || dir.back() != delimiter)
        dir += delimiter;
    // The whole level is read first, so that the list box can make room for its files at
    // once; the additions still follow the listing's order, a subfolder's files where the
    // subfolder was met. A folder that cannot be listed adds nothing; the expansion goes on.
    std::vector<DirectoryEntry> entries;
    int found = 0;
    std::size_t characters = 0;
    const bool read = files.ListDirectory(dir, [&](const DirectoryEntry& entry) {
        entries.push_back(entry);
        if (!entry.IsDirectory() && !entry.IsLink()) {
            ++found;
            characters += dir.size() + entry.name.size() + 1;
        }
    });
    if (!read)
        Unlisted(dir, Utf16Length(dir) + 3 >= MAX_PATH ? UnlistedReason::TooLong
                      : entries.empty()                ? UnlistedReason::FolderUnread
                                                       : UnlistedReason::FolderPartlyRead);
    const THListBox::TBulkAdd bulk(HListBox1);
    if (found > 0)
        HListBox1.InitStorage(found, characters);
    for (const DirectoryEntry& entry : entries) {
        // A link or junction is neither entered nor listed: one to a parent would recurse
        // without end, and any other would put files outside the folder up for destruction.
        if (entry.IsLink())
            continue;
        const std::string name = dir + entry.name;
        // A name the system would look up as another ("report." as "report") could be
        // shredded only as that other file: neither it nor anything below it is listed.
        if (!files.NamesItself(name)) {
            Unlisted(name, WhyNotListed(files, name));
        } else if (entry.IsDirectory()) {
            if (entry.name != "." && entry.name != "..")
                AddFolder(name + delimiter);
        } else if (LooksUpAsListed(dir, entry.name) || files.IsRegularFile(name)) {
            // An entry the listing itself returned as no folder is an existing regular file:
            // a second lookup per file would cost more than the listing did.
            HListBox1.AddString(name, FListed.Data(EntryKind::File, entry.id));
        } else {
            Unlisted(name, WhyNotListed(files, name));
        }
    }
}
