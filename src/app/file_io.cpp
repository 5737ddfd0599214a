#include "app/file_io.h"

#include "app/utf8.h"

FilePtr OpenFile(const std::wstring& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return FilePtr(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return FilePtr(std::fopen(WideToUtf8(path).c_str(), mode));
#endif
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    FilePtr file = OpenFile(path, "rb");
    if (!file) {
        return false;
    }
    std::string content;
    char chunk[65536];
    size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        content.append(chunk, read);
    }
    if (std::ferror(file.get())) {
        return false;
    }
    bytes = std::move(content);
    return true;
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

bool RemoveFile(const std::wstring& path) {
#ifdef _WIN32
    return _wremove(path.c_str()) == 0;
#else
    return std::remove(WideToUtf8(path).c_str()) == 0;
#endif
}
