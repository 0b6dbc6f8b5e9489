#include "tests/support/win/UiTest.h"
#include "framework/Application.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>

namespace {
TDialogAnswerer* gAnswerer = nullptr;

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

bool IsClass(HWND window, const char* className) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, className) == 0;
}

struct TChildSearch {
    const char* ClassName;
    std::vector<std::string> Texts;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM param) noexcept {
    auto& search = *reinterpret_cast<TChildSearch*>(param);
    try {
        if (IsClass(child, search.ClassName))
            search.Texts.push_back(WindowText(child));
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) noexcept {
    try {
        // Message boxes and dialogs, and the program's report window.
        if ((IsClass(window, "#32770") || IsClass(window, "OstrevaneReport")) &&
            IsWindowVisible(window))
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}
} // namespace

void PumpMessages() {
    Application().ProcessMessages();
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        PumpMessages();
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 20)),
                                  QS_ALLINPUT);
    }
}

std::vector<std::string> ChildTexts(HWND window, const char* className) {
    TChildSearch search{className, {}};
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&search));
    return search.Texts;
}

TDialogAnswerer::TDialogAnswerer(TAction action) : FAction(std::move(action)) {
    FPrevious = gAnswerer;
    gAnswerer = this;
    FTimer = SetTimer(nullptr, 0, 50, Tick);
    EXPECT_NE(FTimer, 0u);
}

TDialogAnswerer::~TDialogAnswerer() {
    KillTimer(nullptr, FTimer);
    gAnswerer = FPrevious;
}

void CALLBACK TDialogAnswerer::Tick(HWND, UINT, UINT_PTR, DWORD) noexcept {
    try {
        if (gAnswerer)
            gAnswerer->Check();
    } catch (const std::exception& failure) {
        ADD_FAILURE() << "dialog answerer: " << failure.what();
    }
}

void TDialogAnswerer::Check() {
    std::vector<HWND> dialogs;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    // Forget answered windows that are gone, so a reused handle counts as new.
    std::erase_if(FAnswered, [](HWND window) { return !IsWindow(window); });
    for (HWND dialog : dialogs) {
        if (std::find(FAnswered.begin(), FAnswered.end(), dialog) != FAnswered.end())
            continue;
        FAnswered.push_back(dialog);
        TDialogSeen seen;
        seen.Window = dialog;
        seen.Caption = WindowText(dialog);
        for (std::string& text : ChildTexts(dialog, "Static")) {
            if (text.empty())
                continue;
            if (!seen.Text.empty())
                seen.Text += '\n';
            seen.Text += text;
            seen.Statics.push_back(std::move(text));
        }
        // The report's list follows its summary, a line break for each "\r\n".
        if (IsClass(dialog, "OstrevaneReport"))
            for (std::string text : ChildTexts(dialog, "Edit")) {
                std::erase(text, '\r');
                seen.Text += '\n' + text;
            }
        FSeen.push_back(seen);
        if (FAction)
            FAction(dialog, seen);
    }
}

void TDialogAnswerer::PressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button)
        SendMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

void TDialogAnswerer::PressOk(HWND dialog, const TDialogSeen&) {
    PressButton(dialog, IDOK);
}

void TDialogAnswerer::PressCancel(HWND dialog, const TDialogSeen&) {
    PressButton(dialog, IDCANCEL);
}

TWindowPicture WindowPicture(HWND window) {
    TWindowPicture picture;
    RECT bounds{};
    if (!GetWindowRect(window, &bounds))
        return picture;
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0)
        return picture;
    UpdateWindow(window);
    HDC source = GetWindowDC(window);
    if (!source)
        return picture;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != 0;
    SelectObject(memory, old);

    BITMAPINFOHEADER& info = picture.Info;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    info.biSizeImage = stride * static_cast<DWORD>(height);
    picture.Pixels.resize(info.biSizeImage);
    const bool read =
        copied && GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), picture.Pixels.data(),
                            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
    if (!read)
        picture.Pixels.clear();
    return picture;
}

bool SaveWindowPicture(HWND window, const std::string& path) {
    const TWindowPicture picture = WindowPicture(window);
    if (picture.Pixels.empty())
        return false;
    const BITMAPINFOHEADER& info = picture.Info;
    const std::vector<char>& pixels = picture.Pixels;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}
