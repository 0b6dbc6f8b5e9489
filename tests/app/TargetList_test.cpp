#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "settings/Settings.h"
#include <gtest/gtest.h>
#include <shlobj.h>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void MakeFile(const std::string& path, const std::string& content = "content") {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

void MakeFolder(const std::string& path) {
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The names of a folder in the order the platform lists them.
std::vector<std::string> ListingOrder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.emplace_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

bool ListedBefore(const std::string& folder, const std::string& first, const std::string& second) {
    const std::vector<std::string> names = ListingOrder(folder);
    const auto a = std::find(names.begin(), names.end(), first);
    const auto b = std::find(names.begin(), names.end(), second);
    EXPECT_TRUE(a != names.end() && b != names.end()) << first << ", " << second;
    return a < b;
}

// A shell shortcut (.lnk) to `target`, as Explorer makes one.
bool MakeShortcut(const std::string& path, const std::string& target) {
    const bool started = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    bool made =
        SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->SetPath(std::filesystem::path(target).wstring().c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Save(std::filesystem::path(path).wstring().c_str(), TRUE));
    if (file)
        file->Release();
    if (link)
        link->Release();
    if (started)
        CoUninitialize();
    return made && Exists(path);
}

std::string StoredSearchPath() {
    RawValue value;
    return GetRawValue("SearchPath", value) ? value.bytes : "<none>";
}

class TargetList : public MainWindowTest {
protected:
    // The scratch folder as the program names it, with its trailing delimiter.
    std::string Folder() const { return FDir.Path().string() + "\\"; }
    std::string In(const std::string& name) const { return Folder() + name; }

    std::vector<TDialogSeen> Pick(const std::vector<std::string>& names) {
        return Click(Form().btnBrowse, TypeIntoPicker(Quoted(names)));
    }
    void Drop(const std::string& name) { Form().DnDForm1DnDItem(nullptr, name); }

    TempDir FDir;
};

// --- The file picker -------------------------------------------------------------------------

TEST_F(TargetList, PickedFilesAreListedInTheOrderTyped) {
    MakeFile(In("a.txt"));
    MakeFile(In("b.txt"));
    WriteSetting("SearchPath", Folder());

    const auto seen = Pick({"b.txt", "a.txt"});

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Caption, kPickerTitle);
    EXPECT_EQ(Entries(), (std::vector<std::string>{In("b.txt"), In("a.txt")}));
    EXPECT_TRUE(Form().btnWipe.Enabled());
    EXPECT_EQ(Form().HListBox1.HorizontalExtent(), Form().HListBox1.MaxWidth());
    EXPECT_GT(Form().HListBox1.MaxWidth(), 0);
}

// A shortcut is a file of its own, as when it is dropped: never followed to its target.
// Wine's picker gives a typed shortcut as itself in any case; Windows' gives its target
// unless told not to (OFN_NODEREFERENCELINKS).
TEST_F(TargetList, APickedShortcutIsListedAsItself) {
    MakeFile(In("target.txt"));
    ASSERT_TRUE(MakeShortcut(In("target.lnk"), In("target.txt")));
    WriteSetting("SearchPath", Folder());

    Pick({"target.lnk"});

    EXPECT_EQ(Entries(), std::vector<std::string>{In("target.lnk")});
    EXPECT_NE(Form().odWipe.Options & OFN_NODEREFERENCELINKS, 0u);
}

TEST_F(TargetList, ThePickerOpensInTheRememberedFolder) {
    TempDir other;
    const std::string remembered = other.Path().string() + "\\";
    MakeFile(remembered + "c.txt");
    WriteSetting("SearchPath", remembered);

    Pick({"c.txt"});

    EXPECT_EQ(Entries(), std::vector<std::string>{remembered + "c.txt"});
}

TEST_F(TargetList, TheFolderOfTheFirstFileIsRememberedWithItsDelimiter) {
    TempDir other;
    const std::string second = other.Path().string() + "\\";
    MakeFile(In("a.txt"));
    // A full path typed into the picker: nothing remembered yet.
    ASSERT_EQ(StoredSearchPath(), "<none>");

    Pick({In("a.txt")});

    ASSERT_EQ(Entries(), std::vector<std::string>{In("a.txt")});
    EXPECT_EQ(StoredSearchPath(), Folder() + std::string(1, '\0'));
    EXPECT_EQ(ReadSetting("SearchPath", ""), Folder());

    MakeFile(second + "z.txt");
    Pick({second + "z.txt"});
    EXPECT_EQ(ReadSetting("SearchPath", ""), second);
}

TEST_F(TargetList, AnExactDuplicateIsSkippedButOtherLetterCaseIsListed) {
    MakeFile(In("a.txt"));
    WriteSetting("SearchPath", Folder());
    Pick({"a.txt"});

    Pick({"a.txt", "A.TXT"});

    EXPECT_EQ(Entries(), (std::vector<std::string>{In("a.txt"), In("A.TXT")}));
}

TEST_F(TargetList, ANameThatDoesNotExistIsAcceptedAsTyped) {
    WriteSetting("SearchPath", Folder());

    Pick({"not there yet.bin"});

    EXPECT_EQ(Entries(), std::vector<std::string>{In("not there yet.bin")});
    EXPECT_FALSE(Exists(In("not there yet.bin")));
    EXPECT_TRUE(Form().btnWipe.Enabled());
    EXPECT_EQ(ReadSetting("SearchPath", ""), Folder());
}

TEST_F(TargetList, TheNextShowingOffersThePreviousFirstFileAgain) {
    MakeFile(In("a.txt"));
    MakeFile(In("b.txt"));
    WriteSetting("SearchPath", Folder());
    Pick({"a.txt", "b.txt"});

    std::string offered;
    Click(Form().btnBrowse, [&](HWND dialog, const TDialogSeen& seen) {
        offered = PickerFileName(dialog);
        TDialogAnswerer::PressOk(dialog, seen);
    });

    EXPECT_NE(offered.find("a.txt"), std::string::npos) << offered;
    // Still listed with the same text: not added again.
    EXPECT_EQ(Entries(), (std::vector<std::string>{In("a.txt"), In("b.txt")}));

    // Once removed, the same confirmation lists it again.
    Click(Form().Button1);
    ASSERT_TRUE(Entries().empty());
    Click(Form().btnBrowse, TDialogAnswerer::PressOk);
    EXPECT_EQ(Entries(), std::vector<std::string>{In("a.txt")});
}

TEST_F(TargetList, ACancelOnAnEmptyListDisablesShreddingAndRemembersNothing) {
    // A vanished drop has enabled the button on an empty list.
    Drop(In("vanished.txt"));
    ASSERT_TRUE(Form().btnWipe.Enabled());

    const auto seen = Click(Form().btnBrowse, TDialogAnswerer::PressCancel);

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Caption, kPickerTitle);
    EXPECT_FALSE(Form().btnWipe.Enabled());
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(StoredSearchPath(), "<none>");
}

TEST_F(TargetList, ACancelKeepsAFilledListAndItsFolder) {
    MakeFile(In("a.txt"));
    WriteSetting("SearchPath", Folder());
    Pick({"a.txt"});

    Click(Form().btnBrowse, TDialogAnswerer::PressCancel);

    EXPECT_EQ(Entries(), std::vector<std::string>{In("a.txt")});
    EXPECT_TRUE(Form().btnWipe.Enabled());
    EXPECT_EQ(ReadSetting("SearchPath", ""), Folder());
}

TEST_F(TargetList, ASearchPathNoFolderCanHaveOpensThePickerAtItsDefault) {
    for (const std::string& stored :
         std::vector<std::string>{std::string(1000, 'a'), "C:\\a\tb\\"}) {
        WriteSetting("SearchPath", stored);
        const auto seen = Click(Form().btnBrowse, TDialogAnswerer::PressCancel);
        ASSERT_EQ(seen.size(), 1u) << stored.size();
        EXPECT_EQ(seen[0].Caption, kPickerTitle);
    }
}

TEST_F(TargetList, ASearchPathStoredAsANumberShowsOnlyTheErrorReportEveryTime) {
    MakeFile(In("a.txt"));
    Drop(In("a.txt"));
    PutRawValue("SearchPath", REG_DWORD, std::string("\x07\x00\x00\x00", 4));

    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        const auto seen = Click(Form().btnBrowse, TypeIntoPicker("a.txt"));
        ASSERT_EQ(seen.size(), 1u) << "no picker, only the report";
        EXPECT_EQ(seen[0].Caption, "Windows Ostrevane");
        EXPECT_EQ(seen[0].Text, "Invalid data type for 'SearchPath'");
        EXPECT_EQ(Entries(), std::vector<std::string>{In("a.txt")});
    }
    RawValue value;
    ASSERT_TRUE(GetRawValue("SearchPath", value));
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
}

// Names to type so that the picker's answer (the folder, each name, each with its zero, and a
// closing zero) takes exactly `total` characters.
std::vector<std::string> NamesTaking(std::size_t total, const std::string& folder) {
    std::size_t left = total - (folder.size() - 1 + 1) - 1; // the folder comes without "\\"
    std::vector<std::string> names;
    for (int i = 0; left > 0; ++i) {
        const std::size_t take = left > 400 ? 200 : (left > 200 ? left / 2 : left);
        const std::string number = std::to_string(10000 + i);
        names.push_back(std::string(take - 1 - number.size(), 'n') + number);
        left -= take;
    }
    return names;
}

TEST_F(TargetList, AChoiceOfUpTo65519CharactersIsTakenWhole) {
    WriteSetting("SearchPath", Folder());
    const std::vector<std::string> names = NamesTaking(65519, Folder());

    Click(Form().btnBrowse, TypeIntoPicker(Quoted(names)));

    const std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), names.size());
    EXPECT_EQ(entries.front(), In(names.front()));
    EXPECT_EQ(entries.back(), In(names.back()));
    EXPECT_TRUE(Form().btnWipe.Enabled());
}

TEST_F(TargetList, AChoiceOneCharacterLongerCountsAsACancel) {
    WriteSetting("SearchPath", Folder());
    const std::vector<std::string> names = NamesTaking(65520, Folder());

    const auto seen = Click(Form().btnBrowse, TypeIntoPicker(Quoted(names)));

    ASSERT_GE(seen.size(), 1u);
    EXPECT_EQ(seen[0].Caption, kPickerTitle);
    // Nothing listed, not even the names that would have fitted.
    EXPECT_TRUE(Entries().empty());
    EXPECT_FALSE(Form().btnWipe.Enabled());
    EXPECT_EQ(ReadSetting("SearchPath", ""), Folder()) << "unchanged";
}

TEST_F(TargetList, AChoiceFarTooLongIsNeverCutShort) {
    WriteSetting("SearchPath", Folder());
    // Beyond any room the picker is given: a picker that cuts instead of failing must not
    // hand over a cut name.
    const std::vector<std::string> names = NamesTaking(150000, Folder());

    Click(Form().btnBrowse, TypeIntoPicker(Quoted(names)));

    EXPECT_TRUE(Entries().empty());
}

// A list box that refuses every new line, as one whose capacity is exhausted does.
LRESULT CALLBACK RefusingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const auto previous = reinterpret_cast<WNDPROC>(GetPropA(window, "previous"));
    if (message == LB_ADDSTRING || message == LB_INSERTSTRING)
        return LB_ERRSPACE;
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

TEST_F(TargetList, AnEntryTheListRefusesEndsThePickInTheErrorReport) {
    MakeFile(In("a.txt"));
    MakeFile(In("b.txt"));
    Drop(In("a.txt"));
    HWND list = Form().HListBox1.Handle();
    SetPropA(list, "previous", reinterpret_cast<HANDLE>(GetWindowLongPtrA(list, GWLP_WNDPROC)));
    SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefusingProc));
    WriteSetting("SearchPath", In("elsewhere\\"));

    const auto seen = Click(Form().btnBrowse, TypeIntoPicker(In("b.txt")));

    SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetPropA(list, "previous")));
    RemovePropA(list, "previous");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].Caption, kPickerTitle);
    EXPECT_EQ(seen[1].Caption, "Windows Ostrevane");
    EXPECT_EQ(seen[1].Text, "Unable to insert a line.");
    EXPECT_EQ(Entries(), std::vector<std::string>{In("a.txt")});
    // The handler ended there: the folder of the pick is not remembered.
    EXPECT_EQ(ReadSetting("SearchPath", ""), In("elsewhere\\"));
}

// --- Removing --------------------------------------------------------------------------------

TEST_F(TargetList, TheSelectedEntryAloneIsRemoved) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        MakeFile(In(name));
        Drop(In(name));
    }
    Form().HListBox1.SetItemIndex(1);

    Click(Form().Button1);

    EXPECT_EQ(Entries(), (std::vector<std::string>{In("a.txt"), In("c.txt")}));
    EXPECT_TRUE(Form().btnWipe.Enabled());
    // Removing does not touch the files.
    EXPECT_TRUE(Exists(In("b.txt")));
}

TEST_F(TargetList, WithNothingSelectedEverythingIsRemovedButTheScrollRangeStays) {
    const std::string longName = In(std::string(150, 'x') + ".txt");
    MakeFile(In("a.txt"));
    MakeFile(longName);
    Drop(In("a.txt"));
    Drop(longName);
    const int widest = Form().HListBox1.MaxWidth();

    Click(Form().Button1);

    EXPECT_TRUE(Entries().empty());
    EXPECT_FALSE(Form().btnWipe.Enabled());
    EXPECT_EQ(Form().HListBox1.MaxWidth(), widest);
    EXPECT_EQ(Form().HListBox1.HorizontalExtent(), widest);
}

// --- Dropped names and folders ---------------------------------------------------------------

TEST_F(TargetList, ADroppedFileIsListedEveryTimeItIsDropped) {
    MakeFile(In("a.txt"));
    Drop(In("a.txt"));
    Drop(In("a.txt"));
    EXPECT_EQ(Entries(), (std::vector<std::string>{In("a.txt"), In("a.txt")}));
    EXPECT_TRUE(Form().btnWipe.Enabled());
}

TEST_F(TargetList, ADroppedFolderBringsItsFilesDepthFirst) {
    const std::string f = In("F");
    MakeFolder(f);
    MakeFile(f + "\\a.txt");
    MakeFolder(f + "\\sub");
    MakeFile(f + "\\sub\\b.txt");
    MakeFolder(f + "\\sub\\deeper");
    MakeFile(f + "\\sub\\deeper\\c.txt");
    MakeFolder(f + "\\empty");

    Drop(f);

    // The subfolder's files come where the listing meets the subfolder.
    std::vector<std::string> sub = {f + "\\sub\\b.txt", f + "\\sub\\deeper\\c.txt"};
    if (ListedBefore(f + "\\sub\\", "deeper", "b.txt"))
        std::swap(sub[0], sub[1]);
    std::vector<std::string> expected = sub;
    if (ListedBefore(f + "\\", "a.txt", "sub"))
        expected.insert(expected.begin(), f + "\\a.txt");
    else
        expected.push_back(f + "\\a.txt");
    EXPECT_EQ(Entries(), expected);
    EXPECT_TRUE(Form().btnWipe.Enabled());

    // A folder named with its trailing delimiter gives the same names.
    Click(Form().Button1);
    Drop(f + "\\");
    EXPECT_EQ(Entries(), expected);
}

TEST_F(TargetList, AnEmptyFolderAddsNothingButEnablesShredding) {
    MakeFolder(In("empty"));
    Drop(In("empty"));
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(Form().btnWipe.Enabled());
}

TEST_F(TargetList, AVanishedNameAddsNothingButEnablesShredding) {
    Drop(In("gone.txt"));
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(Form().btnWipe.Enabled());
}

TEST_F(TargetList, FolderExpansionNeverFollowsALink) {
    const std::string host = EnvOrEmpty("OSTREVANE_LINK_FOLDER");
    if (host.empty())
        GTEST_SKIP() << "needs the folder made by tests/app/with-link-folder";
    const std::string f = HostPath(host);
    ASSERT_EQ(GetFileAttributesA((f + "\\up").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT,
              static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT))
        << "the platform must show the link as one";

    Drop(f);

    std::vector<std::string> expected = {f + "\\a.txt", f + "\\sub\\b.txt"};
    if (ListedBefore(f + "\\", "sub", "a.txt"))
        std::swap(expected[0], expected[1]);
    EXPECT_EQ(Entries(), expected);
}

} // namespace
