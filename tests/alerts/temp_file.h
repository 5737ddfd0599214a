#pragma once

#include <filesystem>
#include <random>
#include <string>

#include "app/file_io.h"

// A file name of its own in the temp folder (test programs run in parallel), removed at the end.
class TempFile {
public:
    explicit TempFile(const std::string& stem) {
        std::random_device random;
        path_ = (std::filesystem::temp_directory_path() /
                 ("watchkeep_" + stem + "_" + std::to_string(random()) + ".log")).wstring();
    }
    ~TempFile() { RemoveFile(path_); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};
