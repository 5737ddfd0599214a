#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/file_io.h"

TEST(FileIo, BytesRoundTripThroughANonAsciiPath) {
    const std::wstring dir = std::filesystem::temp_directory_path().wstring();
    const std::wstring path = dir + L"/watchkeep_file_io_\u00e9\u4e2d.txt";
    const std::string bytes = std::string(
                                  "\xEF\xBB\xBF"
                                  "line one\r\nline \xC3\xA9\n") +
                              std::string(1, '\0') + "end";

    ASSERT_TRUE(WriteFileBytes(path, bytes));
    std::string read = "untouched";
    ASSERT_TRUE(ReadFileBytes(path, read));
    EXPECT_EQ(read, bytes);  // binary: no CR LF translation, NUL kept

    FilePtr append = OpenFile(path, "ab");
    ASSERT_TRUE(append);
    EXPECT_TRUE(WriteAll(append.get(), "!\r\n"));
    append.reset();
    ASSERT_TRUE(ReadFileBytes(path, read));
    EXPECT_EQ(read, bytes + "!\r\n");

    EXPECT_TRUE(RemoveFile(path));
    EXPECT_FALSE(RemoveFile(path));
    read = "untouched";
    EXPECT_FALSE(ReadFileBytes(path, read));
    EXPECT_EQ(read, "untouched");
}
