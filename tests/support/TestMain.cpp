// Test main shared by every test binary: an isolated environment first, then a Qt
// application (offscreen unless the caller chose a platform), then the tests.
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstring>

#include <execinfo.h>
#include <unistd.h>

namespace {

// A crash says which test it was in and where, so a failure seen once on a CI machine
// can be read from its log. The sanitizers report crashes themselves and keep theirs.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
void writeText(const char* text)
{
    (void)!::write(STDERR_FILENO, text, std::strlen(text));
}

// The running test's name, kept where the handler can read it without taking a lock.
char g_test[512];

class RememberTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& test) override
    {
        std::snprintf(g_test, sizeof g_test, " in %s.%s", test.test_suite_name(), test.name());
    }
    void OnTestEnd(const ::testing::TestInfo&) override { g_test[0] = '\0'; }
};

void reportCrash(int signal)
{
    writeText("\n*** Fatal signal ");
    writeText(sigdescr_np(signal) != nullptr ? sigdescr_np(signal) : "?");
    writeText(g_test);
    writeText("; the stack:\n");
    void* frames[64];
    ::backtrace_symbols_fd(frames, ::backtrace(frames, 64), STDERR_FILENO);
    // SA_RESETHAND put the default action back: the signal ends the process as it would have.
    ::raise(signal);
}

void reportCrashes()
{
    // backtrace() loads its unwinder on first use, which a signal handler must not do.
    void* frame[1];
    (void)::backtrace(frame, 1);
    static char stack[64 * 1024];
    stack_t alternate{};
    alternate.ss_sp = stack;
    alternate.ss_size = sizeof stack;
    ::sigaltstack(&alternate, nullptr);
    struct sigaction action {};
    action.sa_handler = reportCrash;
    action.sa_flags = SA_RESETHAND | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
        ::sigaction(signal, &action, nullptr);
    ::testing::UnitTest::GetInstance()->listeners().Append(new RememberTest);
}
#else
void reportCrashes() {}
#endif

}  // namespace

int main(int argc, char** argv)
{
    testsupport::isolateEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    reportCrashes();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
