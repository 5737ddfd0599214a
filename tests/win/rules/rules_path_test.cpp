#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "app/file_io.h"
#include "rules/rule_store.h"

namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The prefix's rules file may belong to another test of this build: keep and restore it.
class KeptFile {
public:
    explicit KeptFile(std::wstring path) : path_(std::move(path)), existed_(ReadFileBytes(path_, bytes_)) {}
    ~KeptFile() {
        if (existed_) {
            WriteFileBytes(path_, bytes_);
        } else {
            DeleteFileW(path_.c_str());
        }
    }

private:
    std::wstring path_;
    std::string bytes_;
    bool existed_;
};

}  // namespace

TEST(RulesPathWin, RulesLiveInTheRoamingFolderWhichIsCreatedOnDemand) {
    wchar_t appData[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData), S_OK);
    const std::wstring folder = std::wstring(appData) + L"\\Watchkeep";
    // Under Wine this is C:\users\<user>\AppData\Roaming inside the build's own prefix.
    EXPECT_NE(folder.find(L"\\AppData\\Roaming\\Watchkeep"), std::wstring::npos) << folder.c_str();

    const std::wstring path = folder + L"\\rules.csv";
    KeptFile kept(path);
    DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());  // succeeds only when the folder is empty
    EXPECT_EQ(GetRulesFilePath(), path);
    EXPECT_TRUE(IsFolder(folder));

    RuleStore store;
    ThresholdRule rule;
    rule.RuleId = store.NewRuleId();
    rule.ProcessPattern = L"caf\u00e9,\"x\".exe";
    rule.MaxWorkingSetBytes = 1572864;
    store.Add(rule);
    ASSERT_TRUE(store.Save(GetRulesFilePath()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes,
              "\xEF\xBB\xBF"
              "RuleId,ProcessPattern,Enabled,MaxHandles,MaxWorkingSetMB,MaxPrivateBytesMB,MaxCPU,MaxThreads,MaxGDI,"
              "MaxUSER,AlertActions,CooldownSec\r\n"
              "1,\"caf\xC3\xA9,\"\"x\"\".exe\",1,0,1.5,0.0,0.0,0,0,0,3,60\r\n");
    EXPECT_EQ(GetFileAttributesW((path + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    RuleStore loaded;
    ASSERT_TRUE(loaded.Load(GetRulesFilePath()));
    EXPECT_EQ(*loaded.Snapshot(), *store.Snapshot());
}
