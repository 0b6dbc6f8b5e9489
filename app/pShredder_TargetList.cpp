// Filling and emptying the target list: the file picker, dropped names, folder expansion and
// the remove command.
#include "platform/FileSystem.h"
#include "app/pShredder.h"
#include "engine/DisplayElements.h"
#include "settings/Settings.h"
#include <algorithm>
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

// A stored folder that no folder name can be (too long, control characters) would only make
// the picker fail to open: it counts as none.
std::string UsableFolder(std::string folder) {
    const bool usable =
        folder.size() < MAX_PATH && std::none_of(folder.begin(), folder.end(), [](char c) {
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
    if (HListBox1.Count() == 0)
        FListed.Clear();
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
    // Even when nothing was added (the name vanished meanwhile).
    btnWipe.SetEnabled(true);
}

namespace {

// A lookup of this path finds exactly the entry the listing returned: no wildcards.
bool LooksUpAsListed(const std::string& dir, const std::string& name) {
    return dir.find_first_of("*?") == std::string::npos &&
           name.find_first_of("*?") == std::string::npos;
}

} // namespace

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
    files.ListDirectory(dir, [&](const DirectoryEntry& entry) {
        entries.push_back(entry);
        if (!entry.IsDirectory() && !entry.IsLink()) {
            ++found;
            characters += dir.size() + entry.name.size() + 1;
        }
    });
    const THListBox::TBulkAdd bulk(HListBox1);
    if (found > 0)
        HListBox1.InitStorage(found, characters);
    for (const DirectoryEntry& entry : entries) {
        // A link or junction is neither entered nor listed: one to a parent would recurse
        // without end, and any other would put files outside the folder up for destruction.
        if (entry.IsLink())
            continue;
        // A name the system would look up as another ("report." as "report") could be
        // shredded only as that other file: neither it nor anything below it is listed.
        if (!files.NamesItself(dir + entry.name))
            continue;
        if (entry.IsDirectory() && entry.name != "." && entry.name != "..")
            AddFolder(dir + entry.name + delimiter);
        // An entry the listing itself returned as no folder is an existing regular file: a
        // second lookup per file would cost more than the listing did.
        if (LooksUpAsListed(dir, entry.name) ? !entry.IsDirectory()
                                             : files.IsRegularFile(dir + entry.name))
            HListBox1.AddString(dir + entry.name, FListed.Data(EntryKind::File, entry.id));
    }
}
