#include <gtest/gtest.h>

#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "update/version.h"
#include "win/support/main_dialog_driver.h"

TEST_F(MainDialogTest, NoUpdateFoundResetsTheVersionLinkAndTypingFindsARuleByItsFirstCell) {
    app_->Rules().AddNewRules({{.ProcessPattern = L"a.exe"},
                             {.ProcessPattern = L"b.exe", .Enabled = false},
                             {.ProcessPattern = L"c.exe", .Enabled = false}});
    Open();
    // A check that found nothing is posted by another thread; the dialog's own thread sets its link.
    const std::wstring check = FillPlaceholder(LoadStringResource(IDS_VERSION_LINK_CHECK), kDisplayVersion);
    SetDlgItemTextW(dialog_, IDC_VERSION_LINK, L"stale");
    PostMessageW(dialog_, UWM_NO_UPDATE_FOUND, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return DialogItemText(dialog_, IDC_VERSION_LINK) == check; }));
    // The virtual list answers a typed search from the rules it shows: "n" lands on the first "No".
    SendMessageW(List(), WM_CHAR, L'n', 1);  // a repeat count of one, as a key press gives
    EXPECT_EQ(SelectedListRow(List()), 1);
}
