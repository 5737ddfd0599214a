#include "update/update_check_win.h"

#include <cstring>

#include "base/debug_trace.h"
#include "settings/registry_value_win.h"
#include "settings/settings_store_win.h"
#include "update/internet_handle_win.h"
#include "update/update_source.h"
#include "update/version.h"

namespace {

constexpr DWORD kTimeoutMs = 30000;
constexpr DWORD kChunkBytes = 16384;

bool UpdateChecksDisabled() {
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    return ReadRegistryDword(key.get(), L"UpdateChecksDisabled").value_or(0) != 0;
}

std::wstring AnsiToWide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    }
    return wide;
}

}  // namespace

bool DownloadToMemory(const std::wstring& url, uint32_t maxBytes, std::string& bytes) {
    DebugTrace(L"DownloadFile URL: %ls\n", url.c_str());
    // A plain-text answer could come from anyone on the way; only TLS to the named host counts.
    if (!IsHttpsAddress(url)) {
        DebugTrace(L"ERROR: not an https address: %ls", url.c_str());
        return false;
    }
    const UniqueHInternet internet(InternetOpenW(L"Watchkeep", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) {
        DebugTrace(L"\n ERROR: Open Internet 1");
        return false;
    }
    // Windows applies these to every request made from the root handle; Wine accepts and ignores them.
    DWORD timeout = kTimeoutMs;
    InternetSetOptionW(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(internet.get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    const UniqueHInternet request(
        InternetOpenUrlW(internet.get(), url.c_str(), nullptr, 0, INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request) {
        DebugTrace(L"ERROR - AS_ERROR_CONNECT_GENERAL");
        return false;
    }
    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize, nullptr) &&
        status != 200) {
        DebugTrace(L"HTTP error %u for URL: %ls", static_cast<unsigned>(status), url.c_str());
        return false;
    }
    std::string received;
    char chunk[kChunkBytes];
    DWORD read = 0;
    // A failed read ends the body like its end does: what came until then is the reply.
    while (InternetReadFile(request.get(), chunk, kChunkBytes, &read) && read > 0) {
        if (read > maxBytes - received.size()) {
            DebugTrace(L"ERROR: download larger than %u bytes: %ls", static_cast<unsigned>(maxBytes), url.c_str());
            return false;
        }
        received.append(chunk, read);
    }
    DebugTrace(L"Returned download size of %u bytes", static_cast<unsigned>(received.size()));
    bytes = std::move(received);
    return true;
}

std::optional<std::wstring> CheckForUpdate(const std::wstring& server, bool includeBetas) {
    if (UpdateChecksDisabled()) {
        return std::nullopt;
    }
    std::string reply;
    if (!DownloadToMemory(VersionInfoUrl(server, includeBetas), kVersionTextMaxBytes, reply) || reply.empty() ||
        reply[0] == '\0') {
        DebugTrace(L"ERROR checking update");
        return kDisplayVersion;
    }
    // The reply text ends at its first NUL byte.
    reply.resize(std::strlen(reply.c_str()));
    const std::wstring version = FilterVersionText(AnsiToWide(reply));
    if (ParseVersion(version.c_str()) == 0) {
        DebugTrace(L"WARNING: Invalid version string received: %ls", version.c_str());
        return kDisplayVersion;
    }
    return version;
}
