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

// The size of an open file in bytes, or -1; also beyond 2 GiB.
int64_t FileSize(std::FILE* file);

// Moves to the offset from the start of the file, also beyond 2 GiB; false when it cannot.
bool SeekFile(std::FILE* file, uint64_t offset);

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

// The write AppendWhole makes; a test replaces it with one that stops half-way, as a full disk does.
using FileWrite = bool (*)(std::FILE* file, std::string_view bytes);

// One write of the bytes straight to the file's descriptor, past the stream's buffer, so that a
// failure leaves nothing behind to be written later; true when every byte was written.
bool WriteOnce(std::FILE* file, std::string_view bytes);

// Appends the bytes at the end of a file opened "ab+" with one write. A write cut short is taken
// back (the file cut to its length before it), so the bytes are there whole or not at all; false then.
bool AppendWhole(std::FILE* file, std::string_view bytes, FileWrite write = WriteOnce);

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

// Copies the file byte for byte, whatever its size, to a new file at `to`; false (no file left at
// `to`) when it cannot be read, or `to` exists already or cannot be written.
bool CopyFileBytes(const std::wstring& from, const std::wstring& to);

// True when something (a file or a folder) is at the path, also one that cannot be opened.
bool PathExists(const std::wstring& path);

// Deletes the file; false when it did not exist or could not be deleted.
bool RemoveFile(const std::wstring& path);
// Deletes the file; true when none is left at the path, also when there was none.
bool RemoveFileIfPresent(const std::wstring& path);
