#pragma once

#include <windows.h>

#include <optional>

#include "app/application_win.h"
#include "app/startup_win.h"
#include "base/resource_strings_win.h"
#include "win/support/watchkeep_process.h"

// The application started in this test process as the program starts it ("-tray"), from the
// program's resources linked into the test program, and ended as the program ends it: the tray
// window destroyed (settings and rules saved), then the application object.
class RunningApplication : public SavedStateTest {
protected:
    void SetUp() override {
        SavedStateTest::SetUp();
        ASSERT_TRUE(RegisterTrayWindowClass(ProgramModule()));
        app_.emplace(ProgramModule());
        ASSERT_TRUE(app_->Start(true));
    }
    void TearDown() override {
        if (app_ && IsWindow(app_->TrayWindow())) {
            DestroyWindow(app_->TrayWindow());
            // Destruction ends the program's loop: take the quit message out of this thread's queue.
            MSG quit;
            EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        }
        app_.reset();
        SavedStateTest::TearDown();
    }
    HWND Tray() const { return app_->TrayWindow(); }
    // Runs this thread's queue, where the tray window lives, until done() holds or time is up.
    template <typename Predicate>
    static bool PumpUntil(Predicate done, DWORD timeoutMs = 10000) {
        return WaitUntil(
            [&done] {
                for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
                    DispatchMessageW(&message);
                }
                return done();
            },
            timeoutMs);
    }
    std::optional<Application> app_;
};
