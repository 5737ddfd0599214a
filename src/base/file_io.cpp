#include "base/file_io.h"

#include <cerrno>
#include <mutex>

#include "base/utf8.h"

#ifdef _WIN32
#include <io.h>
// Declared here rather than through <windows.h>, which the portable core never includes.
extern "C" __declspec(dllimport) int __stdcall MoveFileExW(const wchar_t* existing, const wchar_t* target,
                                                           unsigned long flags);
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Pushes the file's data from the operating system's cache to the disk.
bool SyncToDisk(std::FILE* file) {
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// The size of an open file, or -1.
int64_t FileSize(std::FILE* file) {
#ifdef _WIN32
    return _filelengthi64(_fileno(file));
#else
    struct stat info {};
    return fstat(fileno(file), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
#endif
}

bool MoveReplacing(const std::wstring& from, const std::wstring& to) {
#ifdef _WIN32
    constexpr unsigned long kMoveFileReplaceExisting = 0x1;
    constexpr unsigned long kMoveFileWriteThrough = 0x8;
    return MoveFileExW(from.c_str(), to.c_str(), kMoveFileReplaceExisting | kMoveFileWriteThrough) != 0;
#else
    if (std::rename(WideToUtf8(from).c_str(), WideToUtf8(to).c_str()) != 0) {
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    std::string folder = WideToUtf8(to);
    const size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : folder.substr(0, slash + (slash == 0 ? 1 : 0));
    const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (handle >= 0) {
        fsync(handle);
        close(handle);
    }
    return true;
#endif
}

// Saves of one file from two threads must not share the temporary file.
std::mutex& ReplaceMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

FilePtr OpenFile(const std::wstring& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return FilePtr(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return FilePtr(std::fopen(WideToUtf8(path).c_str(), mode));
#endif
}

FileRead ReadFileBytesUpTo(const std::wstring& path, uint64_t maxBytes, std::string& bytes) {
    errno = 0;
    FilePtr file = OpenFile(path, "rb");
    if (!file) {
        return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
    }
    const int64_t size = FileSize(file.get());
    if (size < 0 || static_cast<uint64_t>(size) > maxBytes) {
        return FileRead::Failed;
    }
    std::string content;
    content.reserve(static_cast<size_t>(size));
    char chunk[65536];
    size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        content.append(chunk, read);
    }
    if (std::ferror(file.get())) {
        return FileRead::Failed;
    }
    bytes = std::move(content);
    return FileRead::Done;
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    return ReadFileBytesUpTo(path, UINT64_MAX, bytes) == FileRead::Done;
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    FilePtr file = OpenFile(path, "wb");
    if (!file) {
        return false;
    }
    const bool written = WriteAll(file.get(), bytes);
    return std::fclose(file.release()) == 0 && written;
}

bool WriteAll(std::FILE* file, std::string_view bytes) {
    if (bytes.empty()) {
        return true;
    }
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
}

bool ReplaceFileBytes(const std::wstring& path, std::string_view bytes) {
    const std::wstring temporary = path + L".tmp";
    std::lock_guard<std::mutex> lock(ReplaceMutex());
    FilePtr file = OpenFile(temporary, "wb");
    if (!file) {
        return false;
    }
    const bool written = WriteAll(file.get(), bytes) && SyncToDisk(file.get());
    if (std::fclose(file.release()) != 0 || !written || !MoveReplacing(temporary, path)) {
        RemoveFile(temporary);
        return false;
    }
    return true;
}

bool RemoveFile(const std::wstring& path) {
#ifdef _WIN32
    return _wremove(path.c_str()) == 0;
#else
    return std::remove(WideToUtf8(path).c_str()) == 0;
#endif
}
