#pragma once
// Text between a code page and UTF-16, for the wide functions that have no ANSI form. The
// program's own code page (CP_ACP) is UTF-8, which its manifest chooses.
#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

inline std::wstring Widened(std::string_view text, UINT codePage = CP_ACP) {
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

// A character the code page lacks becomes its default character ('?').
inline std::string Narrowed(const std::wstring& wide, UINT codePage = CP_ACP) {
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(length, 0)), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}
