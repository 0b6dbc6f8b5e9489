#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#include <cstdio>
#endif

#ifdef _WIN32
namespace {
// Wine ignores the error mode and opens its crash dialog, which would hold the test until
// CTest's time limit: a crash ends the test program at once, saying where it happened.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* pointers) noexcept {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    std::fprintf(stderr, "\nunhandled exception 0x%08lX at %p: the test program ends here\n",
                 static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}
} // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // No system error box may ever wait for a click during a test run.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
