#pragma once
// Other processes for tests under Wine: commands of the host, and this test program again.
#ifdef _WIN32
#include <windows.h>
#include <string>

// Starts a host program (Z:\bin\...) and waits until `done` holds: Wine cannot wait for a
// host process itself. False when it could not start or `done` never held within the guard
// against a hang.
template <typename Done>
bool RunOnHost(const char* program, std::string command, Done done, int guardSeconds = 5) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    // A host program has no Windows process: Wine gives no process handle for it and leaves
    // garbage in the thread handle, whose closing could close a handle of this process (a
    // file the test holds) instead.
    if (process.hProcess) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (int i = 0; i < guardSeconds * 100 && !done(); ++i)
        Sleep(10);
    return done();
}

// This test program again, running only the tests `filter` names, disabled ones included;
// the caller closes both handles. Null handles when it cannot start.
inline PROCESS_INFORMATION StartThisTest(const std::string& filter) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command =
        std::string("\"") + self + "\" --gtest_also_run_disabled_tests --gtest_filter=" + filter;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
        return {};
    return process;
}

// The same, to its end: its exit code (0 when its tests passed), or 1 when it cannot start. A
// hung copy is ended by CTest's time limit, as the calling test is.
inline DWORD RunThisTest(const std::string& filter) {
    const PROCESS_INFORMATION process = StartThisTest(filter);
    if (!process.hProcess)
        return 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}
#endif
