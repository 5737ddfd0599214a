#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

// Every file of the program goes through here: binary mode, so the bytes (UTF-8, CR LF written
// explicitly) are the same on both builds. Windows opens by wide path, POSIX by the UTF-8 path.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// mode: "rb", "wb", "ab" or "ab+" (binary is implied where the runtime cares).
FilePtr OpenFile(const std::wstring& path, const char* mode);

enum class FileRead { Done, Missing, Failed };

// Reads the whole file when it holds at most maxBytes; a larger one is never read. Missing when it
// does not exist, Failed when it exists but cannot be opened or read (locked, offline) or is too
// large. bytes is untouched unless Done.
FileRead ReadFileBytesUpTo(const std::wstring& path, uint64_t maxBytes, std::string& bytes);

// Reads the whole file; false (bytes untouched) when it cannot be opened or read.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);

// Writes the bytes with one call; true when the file was opened and every byte was written.
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);

// Writes a single buffer with one fwrite and flushes it, so the data never lands half-written
// in the runtime's buffer.
bool WriteAll(std::FILE* file, std::string_view bytes);

// Replaces the file's content crash-safely: the bytes go to "<path>.<process>.<save>.tmp", a name
// no other save uses, reach the disk, and that file is then moved over the old one in one step
// (retried for under a second while another program holds the old one). A process killed at any
// moment leaves either the old or the new complete file. False (old file untouched) when any step
// fails; error then receives the reason as an errno value (ENOENT, EACCES, ...). A file rewritten
// again soon anyway may skip the waits for the disk (Flush::Skip): the move stays one step, only a
// power loss may then cost the last version.
enum class Flush { ToDisk, Skip };
bool ReplaceFileBytes(const std::wstring& path, std::string_view bytes, int* error = nullptr,
                      Flush flush = Flush::ToDisk);

// Deletes the file; false when it did not exist or could not be deleted.
bool RemoveFile(const std::wstring& path);
// Deletes the file; true when none is left at the path, also when there was none.
bool RemoveFileIfPresent(const std::wstring& path);
