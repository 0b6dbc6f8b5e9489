#pragma once
// Which programs have a file open, as the Restart Manager tells: a file left because another
// program holds it is named in the report with that program, so that the user knows what to
// close.
#include <windows.h>

#include <restartmanager.h>

#include <functional>
#include <string>
#include <vector>

// The Restart Manager's calls, as Windows declares them (one file registered), apart so that
// a Windows answer can be given where Wine has none. Empty where the system lacks them.
struct RestartManagerCalls {
    std::function<DWORD(DWORD* session, WCHAR* key)> start;
    std::function<DWORD(DWORD session, const std::wstring& file)> registerFile;
    std::function<DWORD(DWORD session, UINT* needed, UINT* count, RM_PROCESS_INFO* programs,
                        DWORD* reasons)>
        list;
    std::function<DWORD(DWORD session)> end;
};
RestartManagerCalls SystemRestartManager();

// The names of the programs that have the file `path` open, as the user knows them ("Microsoft
// Word"); none where the system cannot tell.
std::vector<std::string> ProgramsHolding(const std::string& path,
                                         const RestartManagerCalls& calls = SystemRestartManager());
