#include "platform/Win32Holders.h"
#include "framework/CodePages.h"
#include "framework/SystemFunction.h"

#include <algorithm>

namespace {

using StartFunction = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using RegisterFunction = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT,
                                        LPCWSTR*);
using ListFunction = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
using EndFunction = DWORD(WINAPI*)(DWORD);

// The list may grow between the call that sizes it and the one that fills it: asked again a
// few times, then given up.
constexpr int kListTries = 3;

} // namespace

RestartManagerCalls SystemRestartManager() {
    static const auto start = SystemFunction<StartFunction>("rstrtmgr.dll", "RmStartSession");
    static const auto enrol =
        SystemFunction<RegisterFunction>("rstrtmgr.dll", "RmRegisterResources");
    static const auto list = SystemFunction<ListFunction>("rstrtmgr.dll", "RmGetList");
    static const auto end = SystemFunction<EndFunction>("rstrtmgr.dll", "RmEndSession");
    if (!start || !enrol || !list || !end)
        return {};
    return {[](DWORD* session, WCHAR* key) { return start(session, 0, key); },
            [](DWORD session, const std::wstring& file) {
                LPCWSTR files[] = {file.c_str()};
                return enrol(session, 1, files, 0, nullptr, 0, nullptr);
            },
            list, end};
}

std::vector<std::string> ProgramsHolding(const std::string& path,
                                         const RestartManagerCalls& calls) {
    std::vector<std::string> programs;
    if (!calls.start || !calls.registerFile || !calls.list || !calls.end)
        return programs;
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (calls.start(&session, key) != ERROR_SUCCESS)
        return programs;
    std::vector<RM_PROCESS_INFO> found;
    bool listed = false;
    if (calls.registerFile(session, Widened(path)) == ERROR_SUCCESS) {
        for (int tries = 0; tries < kListTries && !listed; ++tries) {
            UINT needed = 0;
            UINT count = static_cast<UINT>(found.size());
            DWORD reasons = 0;
            const DWORD answer = calls.list(session, &needed, &count, found.data(), &reasons);
            listed = answer == ERROR_SUCCESS;
            if (listed)
                found.resize(std::min<std::size_t>(count, found.size()));
            else if (answer == ERROR_MORE_DATA)
                found.resize(needed);
            else
                break;
        }
    }
    calls.end(session);
    if (!listed)
        found.clear();
    for (const RM_PROCESS_INFO& program : found) {
        const std::string name = Narrowed(program.strAppName);
        if (!name.empty() && std::find(programs.begin(), programs.end(), name) == programs.end())
            programs.push_back(name);
    }
    return programs;
}
