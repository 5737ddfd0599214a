#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "app/file_io.h"

// A fresh folder under the temporary folder for one test, removed with everything in it.
class RuleTestFolder {
public:
    RuleTestFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  (std::string("watchkeep_rules_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    ~RuleTestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    RuleTestFolder(const RuleTestFolder&) = delete;
    RuleTestFolder& operator=(const RuleTestFolder&) = delete;

    std::wstring Path(const wchar_t* name) const { return (folder_ / name).wstring(); }

    std::wstring Write(const wchar_t* name, std::string_view bytes) const {
        const std::wstring path = Path(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    static std::string Read(const std::wstring& path) {
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(path, bytes));
        return bytes;
    }

private:
    std::filesystem::path folder_;
};
