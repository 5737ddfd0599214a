#include "base/file_io.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "base/utf8.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
// Declared here rather than through <windows.h>, which the portable core never includes.
extern "C" __declspec(dllimport) int __stdcall MoveFileExW(const wchar_t* existing, const wchar_t* target,
                                                           unsigned long flags);
extern "C" __declspec(dllimport) unsigned long __stdcall GetLastError();
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

bool MoveReplacing(const std::wstring& from, const std::wstring& to, Flush flush) {
#ifdef _WIN32
    constexpr unsigned long kErrorFileNotFound = 2;
    constexpr unsigned long kErrorPathNotFound = 3;
    constexpr unsigned long kMoveFileReplaceExisting = 0x1;
    constexpr unsigned long kMoveFileWriteThrough = 0x8;
    constexpr unsigned long kErrorAccessDenied = 5;
    constexpr unsigned long kErrorSharingViolation = 32;
    constexpr unsigned long kErrorLockViolation = 33;
    // A scanner or editor holding the old file for a moment is ridden out; a lasting hold still
    // fails the save within a second.
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        kMoveFileReplaceExisting | (flush == Flush::ToDisk ? kMoveFileWriteThrough : 0))) {
            return true;
        }
        const unsigned long error = GetLastError();
        const bool held =
            error == kErrorSharingViolation || error == kErrorLockViolation || error == kErrorAccessDenied;
        if (!held || attempt == kAttempts) {
            // The runtime's view of the system error, so callers read one kind of reason.
            errno = held ? EACCES : error == kErrorFileNotFound || error == kErrorPathNotFound ? ENOENT : EIO;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
#else
    if (std::rename(WideToUtf8(from).c_str(), WideToUtf8(to).c_str()) != 0) {
        return false;
    }
    if (flush == Flush::Skip) {
        return true;
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

// Unique per process and save: two saves never share a temporary file, and a stale one left by a
// crash (or a folder of that name) never blocks a save.
std::wstring TemporaryName(const std::wstring& path) {
    static std::atomic<unsigned> saves{0};
#ifdef _WIN32
    const int process = _getpid();
#else
    const int process = static_cast<int>(getpid());
#endif
    return path + L"." + std::to_wstring(process) + L"." + std::to_wstring(++saves) + L".tmp";
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

int64_t FileSize(std::FILE* file) {
#ifdef _WIN32
    return _filelengthi64(_fileno(file));
#else
    struct stat info {};
    return fstat(fileno(file), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
#endif
}

bool SeekFile(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
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

bool WriteOnce(std::FILE* file, std::string_view bytes) {
#ifdef _WIN32
    const int written = _write(_fileno(file), bytes.data(), static_cast<unsigned>(bytes.size()));
#else
    const ssize_t written = ::write(fileno(file), bytes.data(), bytes.size());
#endif
    return written >= 0 && static_cast<size_t>(written) == bytes.size();
}

bool AppendWhole(std::FILE* file, std::string_view bytes, FileWrite write) {
    if (std::fseek(file, 0, SEEK_END) != 0) {
        return false;
    }
    const int64_t before = FileSize(file);
    if (before < 0 || write(file, bytes)) {
        return before >= 0;
    }
    std::clearerr(file);
#ifdef _WIN32
    _chsize_s(_fileno(file), before);
#else
    [[maybe_unused]] const int cut = ftruncate(fileno(file), static_cast<off_t>(before));
#endif
    return false;
}

bool ReplaceFileBytes(const std::wstring& path, std::string_view bytes, int* error, Flush flush) {
    const std::wstring temporary = TemporaryName(path);
    errno = 0;
    FilePtr file = OpenFile(temporary, "wb");
    bool replaced = false;
    if (file) {
        const bool written = WriteAll(file.get(), bytes) && (flush == Flush::Skip || SyncToDisk(file.get()));
        replaced = std::fclose(file.release()) == 0 && written && MoveReplacing(temporary, path, flush);
        const int reason = errno;
        if (!replaced) {
            RemoveFile(temporary);
        }
        errno = reason;
    }
    if (!replaced && error != nullptr) {
        *error = errno != 0 ? errno : EIO;
    }
    return replaced;
}

bool CopyFileBytes(const std::wstring& from, const std::wstring& to) {
    FilePtr source = OpenFile(from, "rb");
    // An existing copy, perhaps the only one of older rules, is never written over.
    FilePtr target = source && !PathExists(to) ? OpenFile(to, "wb") : nullptr;
    if (!target) {
        return false;
    }
    char chunk[65536];
    size_t read = 0;
    bool copied = true;
    while (copied && (read = std::fread(chunk, 1, sizeof chunk, source.get())) > 0) {
        copied = std::fwrite(chunk, 1, read, target.get()) == read;
    }
    copied = copied && !std::ferror(source.get()) && SyncToDisk(target.get());
    if (std::fclose(target.release()) != 0 || !copied) {
        RemoveFile(to);
        return false;
    }
    return true;
}

bool PathExists(const std::wstring& path) {
    errno = 0;
    return OpenFile(path, "rb") || errno != ENOENT;
}

bool RemoveFile(const std::wstring& path) {
#ifdef _WIN32
    return _wremove(path.c_str()) == 0;
#else
    return std::remove(WideToUtf8(path).c_str()) == 0;
#endif
}

bool RemoveFileIfPresent(const std::wstring& path) {
    errno = 0;
    return RemoveFile(path) || errno == ENOENT;
}
