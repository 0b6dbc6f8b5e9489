#include "HostProcess.h"
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "engine/Random.h"
#include "engine/DisplayElements.h"
#include "engine/ShredRun.h"
#include "framework/CodePages.h"
#include "platform/FileSystem.h"
#include "platform/Win32Paths.h"
#include "settings/Settings.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

void WriteText(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void MakeFile(const std::string& path, std::size_t size, char fill = 'x') {
    WriteText(path, std::string(size, fill));
}

std::string Content(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string content(1 << 20, '\0');
    DWORD read = 0;
    ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
    CloseHandle(file);
    content.resize(read);
    return content;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Sets all of a file's times: Wine reads a file's creation time as its last write.
void SetTimes(const std::string& path, std::uint64_t time) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    const FILETIME when{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    EXPECT_TRUE(SetFileTime(file, &when, &when, &when)) << path;
    CloseHandle(file);
}

// What the host calls a name of this process.
std::string HostName(const std::wstring& name) {
    using UnixName = char*(__cdecl*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    return unixName(name.c_str());
}

std::string Marked(const std::string& path) {
    return std::string(kDoneMarker) + path;
}

std::string LastStatus(const std::string& path, std::size_t size) {
    return "shredding " + path + ": size is " + std::to_string(size) + " bytes ... Pass 7";
}

class ShredFromWindow : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        RequireScratch();
    }
    std::string Folder() const { return FDir.Path().string() + "\\"; }
    std::string In(const std::string& name) const { return Folder() + name; }
    void Drop(const std::string& name) { Form().DnDForm1DnDItem(nullptr, name); }
    // A name as Windows programs made elsewhere may hold it: "\\?\" keeps a trailing dot.
    static std::string Exact(const std::string& path) { return "\\\\?\\" + path; }

    TempDir FDir{ScratchBase()};
};

TEST_F(ShredFromWindow, AWholeRunMarksEveryEntryAndLeavesTheLastPassOnShow) {
    const std::vector<std::pair<std::string, std::size_t>> files = {
        {In("empty.txt"), 0}, {In("small.txt"), 1000}, {In("three chunks.bin"), 40000}};
    for (const auto& [path, size] : files) {
        MakeFile(path, size);
        Drop(path);
    }
    Form().HListBox1.SetItemIndex(1);

    const auto seen = Click(Form().btnWipe);

    EXPECT_TRUE(seen.empty()) << seen.front().Text;
    std::vector<std::string> expected;
    for (const auto& [path, size] : files) {
        expected.push_back(Marked(path));
        EXPECT_FALSE(Exists(path)) << path;
    }
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(Form().HListBox1.ItemIndex(), 1) << "a selected entry stays selected";
    EXPECT_EQ(Form().Edit1.Text(), LastStatus(In("three chunks.bin"), 40000));
    EXPECT_EQ(Form().pbWiping.Position(), 0);
    const std::string pattern = Form().Label2.Text();
    ASSERT_EQ(pattern.size(), 120u);
    const auto at = kBitPattern.find(pattern);
    ASSERT_NE(at, std::string_view::npos);
    EXPECT_EQ(at % 2, 0u) << "the pattern starts on a digit";
    EXPECT_TRUE(Form().btnWipe.Enabled());
    EXPECT_EQ(Form().Edit1.FontColor(), clBlack);
    EXPECT_EQ(Form().HListBox1.FontColor(), clBlack);

    // What the user sees: red digits on black.
    EXPECT_TRUE(ShowsColor(Form().Label2.Handle(), RGB(255, 0, 0)));
    const std::string artifacts = EnvOrEmpty("OSTREVANE_ARTIFACTS");
    if (!artifacts.empty()) {
        EXPECT_TRUE(SaveWindowPicture(Form().Handle(), HostPath(artifacts) + "\\main-window.bmp"));
    }
}

// The window paints only at a steady rate, far less often than a run of small files starts
// and ends passes: the run's end must paint its exact last state all the same.
TEST_F(ShredFromWindow, AfterARunOfManyFilesTheWindowShowsItsLastPassPainted) {
    constexpr std::size_t kFiles = 150;
    std::vector<std::string> paths;
    // Each file is named for its size.
    for (std::size_t size = 100; size < 100 + kFiles; ++size) {
        paths.push_back(In(std::to_string(size)));
        MakeFile(paths.back(), size);
    }
    Drop(FDir.Path().string());
    ASSERT_EQ(Entries().size(), paths.size());
    const std::string last = Entries().back();
    // Lines above and below the ones in sight are marked too.
    Form().HListBox1.SetItemIndex(70);
    Form().HListBox1.SetTopIndex(65);

    TDialogAnswerer answerer;
    Form().btnWipe.Click();

    // Nothing may be left for a later paint: the list, the status line and the pattern.
    for (const TControl* control :
         std::initializer_list<const TControl*>{&Form().HListBox1, &Form().Edit1, &Form().Label2})
        EXPECT_FALSE(GetUpdateRect(control->Handle(), nullptr, FALSE));
    PumpMessages();
    EXPECT_TRUE(answerer.Seen().empty());
    for (const std::string& entry : Entries())
        EXPECT_EQ(entry.rfind(kDoneMarker, 0), 0u) << entry;
    for (int i = 0; i < Form().HListBox1.Count(); ++i)
        EXPECT_EQ(Form().HListBox1.ItemData(i), static_cast<LPARAM>(EntryKind::Shredded)) << i;
    EXPECT_EQ(Form().HListBox1.ItemIndex(), 70);
    EXPECT_EQ(Form().HListBox1.TopIndex(), 65);
    EXPECT_EQ(Entries().back(), Marked(last));
    EXPECT_EQ(Form().Edit1.Text(), LastStatus(last, std::stoul(last.substr(Folder().size()))));
    // The run's last draw chose the pattern of the last pass's one chunk.
    auto start = static_cast<std::uint32_t>((std::uint64_t{RandomState()} * 99) >> 32);
    if (start % 2 == 0)
        ++start;
    EXPECT_EQ(Form().Label2.Text(), kBitPattern.substr(start - 1, 120));
    EXPECT_EQ(Form().pbWiping.Position(), 0);
}

TEST_F(ShredFromWindow, AnEmptyListOnlyTurnsTheTextBlack) {
    Drop(In("vanished.txt")); // enables the button on an empty list
    ASSERT_NE(Form().Edit1.FontColor(), clBlack);

    const auto seen = Click(Form().btnWipe);

    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(Form().Edit1.Text(), "");
    EXPECT_EQ(Form().Label2.Text(), "");
    EXPECT_EQ(Form().Edit1.FontColor(), clBlack);
    EXPECT_EQ(Form().HListBox1.FontColor(), clBlack);
}

// Holds the files the parent test names in OSTREVANE_HOLD (separated by '|') with no sharing,
// as an antivirus or a preview does, until the parent ends it.
TEST(OtherProgram, DISABLED_HoldsFiles) {
    const std::string names = EnvOrEmpty("OSTREVANE_HOLD");
    for (std::size_t start = 0; start < names.size();) {
        std::size_t end = names.find('|', start);
        if (end == std::string::npos)
            end = names.size();
        const HANDLE held = CreateFileA(names.substr(start, end - start).c_str(), GENERIC_READ, 0,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        start = end + 1;
    }
    Sleep(INFINITE);
}

// Another program that holds these files until it is ended; started once it holds them all.
class OtherHolder {
public:
    explicit OtherHolder(const std::vector<std::string>& paths) {
        std::string names;
        for (const std::string& path : paths)
            names += (names.empty() ? "" : "|") + path;
        SetEnvironmentVariableA("OSTREVANE_HOLD", names.c_str());
        FProcess = StartThisTest("OtherProgram.DISABLED_HoldsFiles");
        EXPECT_TRUE(FProcess.hProcess);
        EXPECT_TRUE(PumpUntil([&] {
            const HANDLE probe = CreateFileA(paths.back().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, 0, nullptr);
            if (probe != INVALID_HANDLE_VALUE)
                CloseHandle(probe);
            return probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
        }));
    }
    OtherHolder(const OtherHolder&) = delete;
    OtherHolder& operator=(const OtherHolder&) = delete;
    ~OtherHolder() {
        if (!FProcess.hProcess)
            return;
        TerminateProcess(FProcess.hProcess, 0);
        WaitForSingleObject(FProcess.hProcess, INFINITE);
        CloseHandle(FProcess.hProcess);
        CloseHandle(FProcess.hThread);
    }

private:
    PROCESS_INFORMATION FProcess{};
};

constexpr const char* kInUseTitle = "Open in another program";
constexpr const char* kInUseReason = "Another program has the file open, so it was left "
                                     "unchanged. Close that program, then press Shred NOW! again.";

// Another program holds the third of five files through the whole run: the run goes on with
// the rest, and the message after it names the held file with the entry left before it.
TEST_F(ShredFromWindow, AFileAnotherProgramHoldsIsLeftWholeAndTheRunGoesOn) {
    std::vector<std::string> paths;
    for (int i = 1; i <= 5; ++i) {
        paths.push_back(In("file" + std::to_string(i) + ".txt"));
        MakeFile(paths.back(), 3000, static_cast<char>('0' + i));
        Drop(paths.back());
    }
    // Listed, then gone before the run.
    DeleteFileA(paths[1].c_str());
    std::vector<TDialogSeen> seen;
    {
        const OtherHolder holder({paths[2]});
        seen = Click(Form().btnWipe);
    }

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Text, "3 of 5 files were shredded. 2 were not: 1 no longer there and 1 "
                            "open in another program. See why below.\n" +
                                Grouped(kGoneTitle, kGoneReason, {paths[1]}) + "\n\n" +
                                Grouped(kInUseTitle, kInUseReason, {paths[2]}));
    EXPECT_EQ(Entries(), (std::vector<std::string>{Marked(paths[0]), paths[1], paths[2],
                                                   Marked(paths[3]), Marked(paths[4])}));
    EXPECT_EQ(Content(paths[2]), std::string(3000, '3'));
    for (const std::size_t i : {0u, 3u, 4u})
        EXPECT_FALSE(Exists(paths[i])) << paths[i];
    EXPECT_EQ(Form().Edit1.Text(), LastStatus(paths[4], 3000));

    // Let go, it is shredded by the next run, which counts only what it took up itself.
    seen = Click(Form().btnWipe);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Text, "1 of 2 files was shredded. 1 was not: no longer there. See why "
                            "below.\n" +
                                Grouped(kGoneTitle, kGoneReason, {paths[1]}));
    EXPECT_FALSE(Exists(paths[2]));
}

// A folder another program holds: while the run waits for its files, the window answers what
// other programs send it (Windows would call it "Not responding" otherwise) and says which
// file it waits for, the reason first; the report names every file. Another program reading
// the status line again and again reads the same file waited for several times: a window that
// answered only between one wait and the next would answer once per file.
TEST_F(ShredFromWindow, TwentyHeldFilesKeepTheWindowAnsweringAndAreAllNamed) {
    std::vector<std::string> paths;
    for (int i = 1; i <= 20; ++i) {
        paths.push_back(In("held" + std::to_string(i) + ".txt"));
        MakeFile(paths.back(), 100);
        Drop(paths.back());
    }
    const OtherHolder holder(paths);
    // Another program reads the status line, again and again, until the report is shown.
    std::atomic<bool> reported{false};
    std::map<std::string, int> waitedFor;
    const HWND status = Form().Edit1.Handle();
    std::thread reader([&] {
        while (!reported) {
            char text[1024] = {};
            SendMessageA(status, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
            if (std::string_view(text).starts_with(kWaitingStatus))
                ++waitedFor[text];
            Sleep(20);
        }
    });

    const auto seen = Click(Form().btnWipe, [&](HWND report, const TDialogSeen& shown) {
        reported = true;
        TDialogAnswerer::PressOk(report, shown);
    });
    reported = true;
    reader.join();

    int mostReads = 0;
    for (const auto& [line, reads] : waitedFor) {
        // The name whole, or its folders shortened in the middle where the line is too narrow.
        const std::string shown = line.substr(kWaitingStatus.size());
        EXPECT_TRUE(std::any_of(paths.begin(), paths.end(), [&](const std::string& path) {
            const std::size_t dots = shown.find("\\...\\");
            return shown == path ||
                   (dots != std::string::npos && path.starts_with(shown.substr(0, dots + 1)) &&
                    path.ends_with(shown.substr(dots + 4)));
        })) << line;
        mostReads = std::max(mostReads, reads);
    }
    EXPECT_GE(mostReads, 3) << "read while the run waited for one file";
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Text, "None of the 20 files were shredded: 20 open in another program. See "
                            "why below.\n" +
                                Grouped(kInUseTitle, kInUseReason, paths));
    EXPECT_EQ(Entries(), paths);
}

TEST_F(ShredFromWindow, ANameOutsideEveryLegacyCodePageIsPickedShreddedAndMarked) {
    ASSERT_EQ(GetACP(), 65001u) << "the program's manifest makes UTF-8 the ANSI code page";
    // é, 中 and an emoji (U+1F600), in UTF-8.
    const std::string name = "caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80.txt";
    MakeFile(In(name), 5000);
    WriteSetting("SearchPath", Folder());

    Click(Form().btnBrowse, TypeIntoPicker(Quoted({name})));
    ASSERT_EQ(Entries(), std::vector<std::string>{In(name)});
    const auto seen = Click(Form().btnWipe);

    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(Entries(), std::vector<std::string>{Marked(In(name))});
    EXPECT_FALSE(Exists(In(name)));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((Folder() + "*.txt").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left behind: " << found.cFileName;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

// A dropped folder of names in any script is listed whole and shredded: Japanese, Korean,
// accented and emoji names, and one whose UTF-8 form (286 bytes) is longer than the code-page
// listing's field, which only NTFS keeps (made by tools/with-scratch-fs): Wine's code-page
// listing cuts it, Windows' fails there and lists nothing after it.
TEST_F(ShredFromWindow, ADroppedFolderOfNamesInAnyScriptIsListedWholeAndShredded) {
    const std::string drive = EnvOrEmpty("OSTREVANE_NTFS_DRIVE");
    const std::string folder = drive + "\\scripts";
    std::string longName;
    for (int i = 0; i < 94; ++i)
        longName += "\xE3\x81\x82"; // HIRAGANA A
    const auto wide = [](const std::string& path) { return Widened(path, CP_UTF8); };
    const std::string made = folder + "\\" + longName + ".txt";
    if (drive.empty() || GetFileAttributesW(wide(made).c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "needs the NTFS of tools/with-scratch-fs";
    ASSERT_TRUE(CreateDirectoryA((folder + "\\\xE6\x96\x87\xE6\x9B\xB8").c_str(), nullptr));
    const std::vector<std::string> names = {
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt",
        "\xC3\x89l\xC3\xA9ments.docx",
        "caf\xC3\xA9 \xF0\x9F\x98\x80.txt",
        "\xE6\x96\x87\xE6\x9B\xB8\\\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4.txt",
    };
    std::set<std::string> paths = {made};
    for (const std::string& name : names) {
        MakeFile(folder + "\\" + name, 3000, 's');
        paths.insert(folder + "\\" + name);
    }

    PostMessageA(Form().Handle(), WM_DROPFILES, DropHandle({folder}), 0);
    PumpMessages();
    const std::vector<std::string> listed = Entries();
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), paths);
    const auto seen = Click(Form().btnWipe);

    EXPECT_TRUE(seen.empty());
    for (const std::string& entry : Entries())
        EXPECT_TRUE(entry.starts_with(kDoneMarker)) << entry;
    for (const std::string& path : paths)
        EXPECT_EQ(GetFileAttributesW(wide(path).c_str()), INVALID_FILE_ATTRIBUTES) << path;
    RemoveDirectoryA((folder + "\\\xE6\x96\x87\xE6\x9B\xB8").c_str());
    EXPECT_TRUE(RemoveDirectoryA(folder.c_str())) << "a file is left in " << folder;
}

// Wine gives a file's last write time as its creation time: a file edited in place since it
// was listed is still the listed file, and so is one a run overwrote but could not delete (a
// folder that forbade deleting) at the next run.
TEST_F(ShredFromWindow, AFileWrittenSinceItWasListedIsStillTheListedFile) {
    const std::string ext4 = EnvOrEmpty("OSTREVANE_EXT4_DRIVE");
    if (ext4.empty())
        GTEST_SKIP() << "needs the ext4 of tools/with-scratch-fs";
    const std::string edited = In("edited.txt"), locked = ext4 + "\\locked",
                      kept = locked + "\\victim.bin";
    MakeFile(edited, 3000, 'e');
    SetTimes(edited, 0x01DC000000000000ull);
    Drop(edited);
    Drop(kept);
    MakeFile(edited, 4000, 'f');
    SetTimes(edited, 0x01DC000100000000ull);

    const auto seen = Click(Form().btnWipe);

    EXPECT_EQ(Entries(), (std::vector<std::string>{Marked(edited), kept}));
    EXPECT_FALSE(Exists(edited));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].Text.find("overwritten seven times, but Windows would not delete it"),
              std::string::npos)
        << seen[0].Text;
    // The folder lets its files go now.
    const std::string unlocked = In("unlocked");
    ASSERT_TRUE(RunOnHost("Z:\\bin\\sh",
                          "sh -c \"chattr -i " +
                              HostName(std::wstring(locked.begin(), locked.end())) + " && touch " +
                              HostName(std::wstring(unlocked.begin(), unlocked.end())) + "\"",
                          [&] { return Exists(unlocked); }));
    EXPECT_TRUE(Click(Form().btnWipe).empty());
    EXPECT_EQ(Entries(), (std::vector<std::string>{Marked(edited), Marked(kept)}));
    EXPECT_FALSE(Exists(kept));
}

// A name typed into the picker in a folder that does not exist (a letter mistyped) is said
// as such, not as a drive that could not be wiped.
TEST_F(ShredFromWindow, ANameInAMistypedFolderIsSaidToBeInNoFolder) {
    const std::string typed = In("Letetrs\\cv.doc");
    Click(Form().btnBrowse, TypeIntoPicker(typed));
    ASSERT_EQ(Entries(), std::vector<std::string>{typed});

    const auto seen = Click(Form().btnWipe);

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Text,
              "Nothing was overwritten for 1 name that no file had: see why below.\n" +
                  Grouped("In a folder that does not exist",
                          "No file has the name, and the folder it names does not "
                          "exist, so nothing was overwritten for this name. Check "
                          "the folder's name (a letter may be mistyped), then list "
                          "the name again.",
                          {typed}));
    EXPECT_EQ(Entries(), std::vector<std::string>{typed});
}

// Names that reach another file than the one listed, or a file no longer there: no pass,
// no wipe, no mark, and every byte of every file where it was.
TEST_F(ShredFromWindow, ANameThatIsNotTheListedFileIsNeverShreddedNorWiped) {
    const std::string dotted = In("report."), plain = In("report");
    MakeFile(Exact(dotted), 3000, 'd');
    MakeFile(plain, 2000, 'p');
    CreateDirectoryA(In("only").c_str(), nullptr);
    MakeFile(Exact(In("only\\diary.")), 4000, 'y');

    // Dropped beside its namesake, the dotted name is not listed; with its folder, the
    // namesake alone is.
    Drop(dotted);
    EXPECT_TRUE(Entries().empty());
    Drop(FDir.Path().string());
    EXPECT_EQ(Entries(), std::vector<std::string>{plain});
    // Typed into the picker, it is listed as typed but never taken for a free-space wipe.
    Click(Form().btnBrowse, TypeIntoPicker(In("only\\diary.")));
    ASSERT_EQ(Entries(), (std::vector<std::string>{plain, In("only\\diary.")}));
    // Picked, then deleted before the run: no wipe under its name.
    MakeFile(In("picked.txt"), 1000);
    Click(Form().btnBrowse, TypeIntoPicker(In("picked.txt")));
    DeleteFileA(In("picked.txt").c_str());

    const auto seen = Click(Form().btnWipe);

    // One message after the run names what was left, and why.
    ASSERT_EQ(seen.size(), 1u);
    // The dotted names, quoted so that their end shows, were also not listed at their drop.
    const std::string diary = Quoted({In("only\\diary.")});
    EXPECT_EQ(seen[0].Text,
              "1 of 3 files was shredded. 2 were not: 1 with a name ending in a blank or a dot and "
              "1 no longer there. See why below.\r\n\r\nAlso not shredded: 2 files that could "
              "not be added to the list\n" +
                  Grouped("With a name ending in a blank or a dot",
                          "Windows reads the name as another one, because it ends in a blank or a "
                          "dot. The file was left unchanged. Rename it so that its name ends in "
                          "another character, then list it again.",
                          {diary}) +
                  "\n\n" + Grouped(kGoneTitle, kGoneReason, {In("picked.txt")}) +
                  "\n\nAlso not shredded: 2 files that could not be added to the list\n" +
                  std::string(62, '-') + "\n\n" +
                  Grouped("Not listed: the name ends in a blank or a dot",
                          "Windows reads the name as another one, because it ends in a blank or a "
                          "dot, so the file was not added to the list. Rename it so that its name "
                          "ends in another character, then drop it again.",
                          {Quoted({dotted}), diary}));
    EXPECT_EQ(Entries(),
              (std::vector<std::string>{Marked(plain), In("only\\diary."), In("picked.txt")}));
    EXPECT_EQ(Form().Edit1.Text(), LastStatus(plain, 2000)) << "no pass after the namesake";
    EXPECT_EQ(Content(Exact(dotted)), std::string(3000, 'd'));
    EXPECT_EQ(Content(Exact(In("only\\diary."))), std::string(4000, 'y'));
    EXPECT_FALSE(Exists(In("picked.txt")));
    DeleteFileA(Exact(dotted).c_str());
    DeleteFileA(Exact(In("only\\diary.")).c_str());
}

// A mistyped name wipes free space, as any name that is no file does; the mark stays as it is,
// and the report says what was done instead: after what the run did to the files listed, and
// before what an earlier drop could not list.
TEST_F(ShredFromWindow, ATypedNameThatWasNoFileIsNamedAfterItsWipe) {
    MakeFile(In("old cv.docx"), 2000, 'c');
    const std::string deep = In(std::string(120, 'd'));
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    std::vector<std::string> tooLong;
    // Made through the wide functions, which take names of any length.
    const auto wide = [](const std::string& path) {
        return L"\\\\?\\" + std::wstring(path.begin(), path.end());
    };
    for (const char letter : {'p', 'q', 'r'}) {
        tooLong.push_back(deep + "\\" + std::string(150, letter) + ".txt");
        CloseHandle(CreateFileW(wide(tooLong.back()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                0, nullptr));
    }
    Drop(deep);
    MakeFile(In("letter.txt"), 1000);
    Drop(In("letter.txt"));
    MakeFile(In("moved.txt"), 1000);
    Drop(In("moved.txt"));
    DeleteFileA(In("moved.txt").c_str());

    Click(Form().btnBrowse, TypeIntoPicker(In("old cv.doc")));
    const auto seen = Click(Form().btnWipe, [](HWND report, const TDialogSeen& shown) {
        const std::string artifacts = EnvOrEmpty("OSTREVANE_ARTIFACTS");
        if (!artifacts.empty()) {
            EXPECT_TRUE(SaveWindowPicture(report, HostPath(artifacts) + "\\report-after-typo.bmp"));
        }
        TDialogAnswerer::PressOk(report, shown);
    });

    ASSERT_EQ(seen.size(), 1u);
    const std::string dropped = "Also not shredded: 3 files that could not be added to the list";
    const std::string summary = "1 of 2 files was shredded. 1 was not: no longer there. See why "
                                "below. No file is called old cv.doc in " +
                                Folder().substr(0, Folder().size() - 1) +
                                ", so the unused space of drive " + Folder().substr(0, 2) +
                                " was overwritten instead. No file was shredded under this "
                                "name.\r\n\r\n" +
                                dropped;
    EXPECT_EQ(seen[0].Statics.front(), summary);
    const std::string wiped = "No file had the name, so the unused space of its drive was "
                              "overwritten instead. No file was shredded under this name. If you "
                              "meant a file, check its name and list it again.";
    const std::string before =
        summary + "\n" + Grouped(kGoneTitle, kGoneReason, {In("moved.txt")}) + "\n\n" +
        Grouped("No such file: unused space overwritten", wiped, {In("old cv.doc")}) + "\n\n" +
        dropped + "\n" + std::string(dropped.size(), '-') + "\n\n";
    EXPECT_EQ(seen[0].Text.substr(0, before.size()), before);
    EXPECT_NE(seen[0].Text.find("\n    " + deep + "\\\n"), std::string::npos);
    for (const std::string& name : tooLong)
        EXPECT_NE(seen[0].Text.find("\n        " + name.substr(deep.size() + 1)), std::string::npos)
            << name;
    EXPECT_EQ(Entries(), (std::vector<std::string>{Marked(In("letter.txt")), In("moved.txt"),
                                                   Marked(In("old cv.doc"))}));
    EXPECT_EQ(Content(In("old cv.docx")), std::string(2000, 'c'));
    EXPECT_FALSE(Exists(In("old cv.doc")));
    for (const std::string& name : tooLong)
        DeleteFileW(wide(name).c_str());
    RemoveDirectoryA(deep.c_str());
}

// Two drive letters of one folder, as subst or a mapped share gives (tools/with-scratch-fs
// makes them; Wine learns their volume's serial only when it starts).
TEST_F(ShredFromWindow, OneFileUnderTwoDriveLettersIsShreddedOnceAndNeverWiped) {
    const std::string one = EnvOrEmpty("OSTREVANE_ALIAS1_DRIVE"),
                      two = EnvOrEmpty("OSTREVANE_ALIAS2_DRIVE");
    if (one.empty() || two.empty())
        GTEST_SKIP() << "needs the aliased folder of tools/with-scratch-fs";
    const std::string first = one + "\\twin.bin", second = two + "\\twin.bin";
    MakeFile(first, 5000);
    Drop(first);
    Drop(second);

    const auto seen = Click(Form().btnWipe);

    // The second entry names the file the first one shredded: marked, with no wipe.
    EXPECT_TRUE(seen.empty()) << seen.front().Text;
    EXPECT_EQ(Entries(), (std::vector<std::string>{Marked(first), Marked(second)}));
    EXPECT_EQ(Form().Edit1.Text(), LastStatus(first, 5000));
    EXPECT_FALSE(Exists(first));
}

// Two volumes formatted alike give their first files the same number: each is its own file,
// also where both read serial 0 and the files tell one time, so that no identity tells them
// apart (Wine knows no serial of a drive mapped after its mount manager started; some drivers
// and sticks imaged alike give 0, or one serial, too).
TEST_F(ShredFromWindow, FilesWithTheSameNumberOnTwoVolumesAreTwoFiles) {
    const struct {
        const char *first, *second;
        bool serialZero;
    } rows[] = {
        {"OSTREVANE_TWIN1_DRIVE", "OSTREVANE_TWIN2_DRIVE", false},
        {"OSTREVANE_LATE1_DRIVE", "OSTREVANE_LATE2_DRIVE", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        const std::string first = EnvOrEmpty(row.first), second = EnvOrEmpty(row.second);
        if (first.empty() || second.empty())
            GTEST_SKIP() << "needs the twin volumes of tools/with-scratch-fs";
        const std::string one = first + "\\same.txt", two = second + "\\same.txt";
        for (const auto& [path, fill] : {std::pair{one, '1'}, std::pair{two, '2'}}) {
            MakeFile(path, 3000, fill);
            SetTimes(path, 0x01DC000000000000ull);
        }
        const FileId oneId = SystemFileSystem().Identify(one),
                     twoId = SystemFileSystem().Identify(two);
        ASSERT_EQ(oneId.index, twoId.index) << "the copies give the file one number";
        if (row.serialZero) {
            ASSERT_EQ(oneId, twoId) << "the files tell one identity";
        } else {
            ASSERT_NE(oneId.volume, twoId.volume);
        }

        Drop(one);
        Drop(two);
        const auto seen = Click(Form().btnWipe);

        EXPECT_TRUE(seen.empty());
        EXPECT_EQ(Entries(), (std::vector<std::string>{Marked(one), Marked(two)}));
        EXPECT_FALSE(Exists(one));
        EXPECT_FALSE(Exists(two));
        Click(Form().Button1);
    }
}

// The two copies of one image whose letters Wine's mount manager never learnt: both read serial
// 0, and their same.txt has one number (tools/with-scratch-fs). Each file is made anew, with
// its bytes and time, in the same order on both, so that the number stays the same.
class ShredOnSerialZero : public ShredFromWindow {
protected:
    void SetUp() override {
        ShredFromWindow::SetUp();
        if (IsSkipped())
            return;
        first = EnvOrEmpty("OSTREVANE_LATE1_DRIVE");
        second = EnvOrEmpty("OSTREVANE_LATE2_DRIVE");
        if (first.empty() || second.empty())
            GTEST_SKIP() << "needs the late drives of tools/with-scratch-fs";
    }
    void MakeSame(const std::string& drive, char fill, std::uint64_t time) {
        MakeFile(drive + "\\same.txt", 3000, fill);
        SetTimes(drive + "\\same.txt", time);
    }

public:
    // Gives each letter the other's volume, or back. Both move at once: Wine names a file by
    // one letter of its volume, and a letter whose volume has another letter too would read
    // as a link.
    bool SwapLetters(bool swapped) {
        const std::string dosdevices = EnvOrEmpty("OSTREVANE_WINE_STATE") + "/prefix/dosdevices/";
        const std::string one = EnvOrEmpty("OSTREVANE_LATE1"), two = EnvOrEmpty("OSTREVANE_LATE2");
        const auto letter = [&](const std::string& drive) {
            return dosdevices + static_cast<char>(std::tolower(drive[0])) + ":";
        };
        // Both links made, the shell leaves a mark: before that the letters may lead to one
        // volume for a moment.
        const std::string mark = In("letters-swapped");
        DeleteFileA(mark.c_str());
        const std::string command = "ln -sfn " + (swapped ? two : one) + " " + letter(first) +
                                    " && ln -sfn " + (swapped ? one : two) + " " + letter(second) +
                                    " && touch " + HostName(std::wstring(mark.begin(), mark.end()));
        const char fill = swapped ? '2' : '1';
        // Wine learns which letter names a folder only once a second: until then it would
        // name the file by the other letter.
        return RunOnHost("Z:\\bin\\sh", "sh -c \"" + command + "\"", [&] {
            const std::string path = first + "\\same.txt";
            HANDLE file =
                CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
            const std::string final = file != INVALID_HANDLE_VALUE ? FinalPathOf(file) : "";
            CloseHandle(file);
            return Exists(mark) && final == "\\\\?\\" + path &&
                   Content(path) == std::string(3000, fill);
        });
    }

protected:
    std::string first, second;
};

// The letter of a listed file comes to lead to the other drive, whose file has the listed
// number: only its creation time tells it apart. It is another file: it stays whole, and the
// entry is left and said.
TEST_F(ShredOnSerialZero, AFileOfTheListedNumberWhereTheLetterNowLeadsIsLeftWhole) {
    MakeSame(first, '1', 0x01DC000000000000ull);
    MakeSame(second, '2', 0x01DC000100000000ull);
    const std::string listed = first + "\\same.txt";
    ASSERT_EQ(SystemFileSystem().Identify(listed).index,
              SystemFileSystem().Identify(second + "\\same.txt").index);
    Drop(listed);
    ASSERT_TRUE(SwapLetters(true));
    // However the test ends, the letters lead back where the other tests expect them.
    struct SwapBack {
        ShredOnSerialZero& test;
        ~SwapBack() { EXPECT_TRUE(test.SwapLetters(false)); }
    } back{*this};

    const auto seen = Click(Form().btnWipe);

    EXPECT_EQ(Entries(), std::vector<std::string>{listed});
    EXPECT_EQ(Content(listed), std::string(3000, '2')) << "the file the letter leads to now";
    EXPECT_EQ(Content(second + "\\same.txt"), std::string(3000, '1')) << "the listed file";
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].Text.find("\n    " + listed), std::string::npos) << seen[0].Text;
    EXPECT_NE(seen[0].Text.find("replaced by another file"), std::string::npos)
        << "[" << seen[0].Text << "]";
}

} // namespace

namespace {

// What becomes of a listed file between its listing and the run, by the hand of another program.
struct Changed {
    const char* what;
    void (*change)(const std::string& listed, const std::string& folder);
    const char* kept;       // the file whose bytes must come through whole
    const char* alsoListed; // another name listed after the file, or nullptr
    bool marked;            // the file is shredded all the same
    const char* summary;    // as the report after the run gives it
    const char* title;      // of the reason, for all listed names
    const char* reason;
    const char* details; // below each listed name, a line each
};

constexpr const char* kReplaced =
    "The file was replaced by another file with the same name after you listed it. The new file "
    "was left unchanged. To shred it, list it again.";
constexpr const char* kOtherNames =
    "The file has other names as well: the same file opens under each of them, so shredding it "
    "would destroy it under those names too. It was left unchanged. To shred it, delete its "
    "other names first, then press Shred NOW! again.";

void GiveSecondName(const std::string& listed, const std::string& folder) {
    CreateHardLinkA((folder + "second.bin").c_str(), listed.c_str(), nullptr);
}

const Changed kChanged[] = {
    {"replaced",
     [](const std::string& listed, const std::string& folder) {
         MakeFile(folder + "new.bin", 700, 'n');
         MoveFileExA((folder + "new.bin").c_str(), listed.c_str(), MOVEFILE_REPLACE_EXISTING);
     },
     "listed.bin", nullptr, false,
     "The file was not shredded: replaced after listing. See why below.", "Replaced after listing",
     kReplaced, ""},
    {"given a second name", GiveSecondName, "second.bin", nullptr, false,
     "The file was not shredded: with other names. See why below.", "With other names", kOtherNames,
     kNamesUntold},
    // Every name listed: still refused, counted once, and said truthfully (Wine tells no
    // names, so that they are all listed cannot be known).
    {"given a second name that is listed too", GiveSecondName, "second.bin", "second.bin", false,
     "The file was not shredded: with other names. See why below.", "With other names", kOtherNames,
     "Windows did not tell its other names, so they could not be found here. They are on the "
     "same drive, and as large as this file.\nAnother line of the list names this file too."},
    // Wine's drives are case-sensitive folders, where Windows' lookup finds the namesake. It is
    // made before the deletion: Wine's file numbers are inode numbers, which a file made after
    // it could take over.
    {"deleted beside a namesake in capitals",
     [](const std::string& listed, const std::string& folder) {
         // Wine's own calls would take LISTED.BIN for the listed file: the host makes it.
         const std::string made = folder + "new.bin";
         MakeFile(made, 700, 'n');
         const std::string host = HostName(std::wstring(made.begin(), made.end()));
         EXPECT_TRUE(RunOnHost("Z:\\bin\\mv",
                               "mv " + host + " " + host.substr(0, host.size() - 7) + "LISTED.BIN",
                               [&] { return !Exists(made); }));
         DeleteFileA(listed.c_str());
     },
     "LISTED.BIN", nullptr, false,
     "The file was not shredded: replaced after listing. See why below.", "Replaced after listing",
     kReplaced, ""},
    // Shredded, but its name could not be hidden: the report says so, also when it is all
    // the run has to say.
    {"every name of one letter taken beside it",
     [](const std::string&, const std::string& folder) {
         // The hiding names keep the dot of "listed.bin".
         for (char letter = 'A'; letter <= 'Z'; ++letter)
             MakeFile(folder + std::string(6, letter) + "." + std::string(3, letter), 10, letter);
     },
     "AAAAAA.AAA", nullptr, true,
     "1 file was shredded. The name and size of 1 shredded file may still be seen on the drive: "
     "see below.",
     "Shredded, but the name not hidden",
     "The file was shredded, but its name and size could not be hidden: the drive's records may "
     "still show them.",
     ""},
};

} // namespace

TEST_F(ShredFromWindow, AListedFileThatIsNotTheFileThereNowIsLeftWholeAndSaid) {
    for (const Changed& c : kChanged) {
        SCOPED_TRACE(c.what);
        const std::string listed = In("listed.bin");
        MakeFile(listed, 3000, 'l');
        Drop(listed);
        c.change(listed, Folder());
        std::vector<std::string> names = {listed};
        if (c.alsoListed) {
            names.push_back(In(c.alsoListed));
            Drop(names.back());
        }
        const std::string kept = Content(In(c.kept));
        ASSERT_NE(kept, "<missing>");

        const auto seen = Click(Form().btnWipe);

        const std::string report =
            c.summary + std::string("\n") + Grouped(c.title, c.reason, names, c.details);
        EXPECT_EQ(Entries(), c.marked ? std::vector<std::string>{Marked(listed)} : names);
        EXPECT_EQ(Content(In(c.kept)), kept);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].Text, report);
        Click(Form().Button1);
        for (const char* name : {"listed.bin", "second.bin", "LISTED.BIN"})
            DeleteFileA(In(name).c_str());
        for (char letter = 'A'; letter <= 'Z'; ++letter)
            DeleteFileA(In(std::string(6, letter) + "." + std::string(3, letter)).c_str());
    }
}
