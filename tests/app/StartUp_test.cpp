// The program's start-up, before anything else it does: afterwards a DLL lying beside the
// program is no longer loaded by its name, and a drive without a medium shows no box.
#include "app/StartUp.h"
#include "framework/Application.h"
#include "tests/settings/ProgramKey.h"
#include <windows.h>
#include <gtest/gtest.h>

namespace {

// Built beside this test by CMake.
constexpr const char* kPlanted = "ostrevane-planted-probe.dll";

TEST(StartUp, LeavesADllBesideTheProgramUnloadedAndNoInsertADiskBox) {
    HMODULE planted = LoadLibraryA(kPlanted);
    ASSERT_NE(planted, nullptr) << "before start-up the folder of the program is searched";
    FreeLibrary(planted);
    // The test runner turns the boxes off itself; start-up must do so on its own.
    const UINT runnerMode = SetErrorMode(0);

    ProgramKeySandbox sandbox;
    sandbox.Enter();
    StartUp();
    Application().DestroyForms();
    sandbox.Leave();

    EXPECT_EQ(LoadLibraryA(kPlanted), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(SetErrorMode(runnerMode) & SEM_FAILCRITICALERRORS, 0u);
}

} // namespace
