#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "base/file_io.h"
#include "rules/rule_csv.h"

// Tests that start the program put their own rules file in place: this one leaves none behind.
TEST(RulesPathWin, RulesLiveInTheRoamingFolderWhichIsCreatedOnDemand) {
    wchar_t appData[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData), S_OK);
    const std::wstring folder = std::wstring(appData) + L"\\Watchkeep";
    const std::wstring path = folder + L"\\rules.csv";
    // Under Wine this is C:\users\<user>\AppData\Roaming inside the build's own prefix.
    EXPECT_NE(folder.find(L"\\AppData\\Roaming\\Watchkeep"), std::wstring::npos);
    DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());  // succeeds only when the folder is empty
    EXPECT_EQ(GetRulesFilePath(), path);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));

    RuleStore store;
    store.Add({.RuleId = store.NewRuleId(), .ProcessPattern = L"caf\u00e9,\"x\".exe", .MaxWorkingSetBytes = 1572864});
    ASSERT_TRUE(store.Save(GetRulesFilePath()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes, "\xEF\xBB\xBF" + std::string(kRulesCsvHeader) +
                         "\r\n1,\"caf\xC3\xA9,\"\"x\"\".exe\",1,0,1.5,0.0,0.0,0,0,0,3,60\r\n");
    EXPECT_EQ(GetFileAttributesW((path + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    RuleStore loaded;
    ASSERT_TRUE(loaded.Load(GetRulesFilePath()));
    EXPECT_EQ(*loaded.Snapshot(), *store.Snapshot());
    DeleteFileW(path.c_str());
}
