#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <string_view>

#include "base/file_io.h"

// A fresh folder under the temporary folder, removed with everything in it. The name is random:
// several builds run the same tests at once.
class TestFolder {
public:
    TestFolder() { std::filesystem::create_directories(folder_); }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    std::wstring Path(const wchar_t* name) const { return (folder_ / name).wstring(); }
    std::wstring Write(const wchar_t* name, std::string_view bytes) const {
        EXPECT_TRUE(WriteFileBytes(Path(name), bytes));
        return Path(name);
    }
    static std::string Read(const std::wstring& path) {
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(path, bytes));
        return bytes;
    }

private:
    std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() / ("watchkeep_test_" + std::to_string(std::random_device()()));
};
