#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
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
#endif

// A guard against a hung test, not a measure of speed: the slowest test takes seconds. A
// test still running after this long is stuck (a modal loop nobody answers, a wait for a
// message that never comes) and ends the program, naming the test, instead of waiting for
// CTest's limit.
constexpr std::chrono::seconds kHangGuard{180};

class HangGuard : public testing::EmptyTestEventListener {
public:
    HangGuard() : FWatch([this] { Watch(); }) {}
    ~HangGuard() override {
        {
            const std::lock_guard lock(FMutex);
            FDone = true;
        }
        FChanged.notify_one();
        FWatch.join();
    }

private:
    void OnTestStart(const testing::TestInfo& test) override {
        const std::lock_guard lock(FMutex);
        FTest = std::string(test.test_suite_name()) + "." + test.name();
        ++FStarted;
        FChanged.notify_one();
    }

    void Watch() {
        std::unique_lock lock(FMutex);
        while (!FDone) {
            const unsigned started = FStarted;
            if (!FChanged.wait_for(lock, kHangGuard,
                                   [&] { return FDone || FStarted != started; }) &&
                started != 0) {
                std::fprintf(stderr, "\n%s still runs after %lld s: it hangs; the program ends\n",
                             FTest.c_str(), static_cast<long long>(kHangGuard.count()));
                std::fflush(stderr);
                std::_Exit(4);
            }
        }
    }

    std::mutex FMutex;
    std::condition_variable FChanged;
    std::string FTest;
    unsigned FStarted = 0;
    bool FDone = false;
    std::thread FWatch;
};

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // No system error box may ever wait for a click during a test run.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
#endif
    testing::InitGoogleTest(&argc, argv);
    testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
    auto* guard = new HangGuard;
    listeners.Append(guard);
    const int result = RUN_ALL_TESTS();
    // Its thread ends here, not in the static destructors after main.
    delete listeners.Release(guard);
    return result;
}
