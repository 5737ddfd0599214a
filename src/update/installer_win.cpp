#include "update/installer_win.h"

#include <windows.h>
#include <bcrypt.h>
#include <shellapi.h>
#include <softpub.h>
#include <wintrust.h>

#include <string>
#include <vector>

#include "base/debug_trace.h"
#include "base/handles_win.h"
#include "update/install_mark_win.h"
#include "update/signer_pin.h"
#include "update/update_check_win.h"
#include "update/update_source.h"
#include "update/version.h"

namespace {

constexpr DWORD kTempPathChars = 4096;
constexpr DWORD kSha256Bytes = 32;

bool WriteInstaller(const std::wstring& path, const std::string& bytes) {
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DebugTrace(L"ERROR creating file");
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        DebugTrace(L"ERROR writing file");
        return false;
    }
    return true;
}

std::wstring Sha256Thumbprint(const BYTE* data, DWORD size) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
        return L"";
    }
    BYTE digest[kSha256Bytes] = {};
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool hashed = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    hashed = hashed && BCryptHashData(hash, const_cast<BYTE*>(data), size, 0) == 0 &&
             BCryptFinishHash(hash, digest, kSha256Bytes, 0) == 0;
    if (hash) {
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return hashed ? HexThumbprint(digest, kSha256Bytes) : L"";
}

// The signer's certificate thumbprint from a verification's state, empty when there is none.
std::wstring SignerThumbprint(HANDLE state) {
    CRYPT_PROVIDER_DATA* data = WTHelperProvDataFromStateData(state);
    CRYPT_PROVIDER_SGNR* signer = data ? WTHelperGetProvSignerFromChain(data, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* cert = signer ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
    if (!cert || !cert->pCert) {
        return L"";
    }
    return Sha256Thumbprint(cert->pCert->pbCertEncoded, cert->pCert->cbCertEncoded);
}

// The system's trust verdict on the held file's signature, 0 when it trusts it, and then the signer's
// thumbprint. The second call releases what the provider kept for the first, whatever the verdict.
LONG VerifySignature(const std::wstring& path, HANDLE file, std::wstring& thumbprint) {
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file;
    WINTRUST_DATA trust = {};
    trust.cbStruct = sizeof(trust);
    trust.dwUIChoice = WTD_UI_NONE;
    trust.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    trust.dwUnionChoice = WTD_CHOICE_FILE;
    trust.pFile = &fileInfo;
    trust.dwStateAction = WTD_STATEACTION_VERIFY;
    trust.dwProvFlags = WTD_SAFER_FLAG;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG verdict = WinVerifyTrust(nullptr, &action, &trust);
    if (verdict == 0) {
        thumbprint = SignerThumbprint(trust.hWVTStateData);
    }
    trust.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(nullptr, &action, &trust);
    return verdict;
}

// The product version of the file's version resource as "a.b.c.d", empty without one.
std::wstring InstallerVersion(const std::wstring& path) {
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (info.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()) ||
        !VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size) || size < sizeof(*fixed)) {
        return L"";
    }
    const auto part = [](DWORD word) { return std::to_wstring(word); };
    return part(HIWORD(fixed->dwProductVersionMS)) + L"." + part(LOWORD(fixed->dwProductVersionMS)) + L"." +
           part(HIWORD(fixed->dwProductVersionLS)) + L"." + part(LOWORD(fixed->dwProductVersionLS));
}

bool Launch(const std::wstring& path) {
    SHELLEXECUTEINFOW launch = {};
    launch.cbSize = sizeof(launch);
    launch.fMask = SEE_MASK_NOCLOSEPROCESS;
    launch.lpVerb = L"open";
    launch.lpFile = path.c_str();
    launch.lpParameters = L"/S";
    launch.nShow = SW_SHOWNORMAL;
    const bool started = ShellExecuteExW(&launch);
    // The installer runs on by itself; its handle is not waited for.
    const UniqueHandle process(launch.hProcess);
    return started && process;
}

// Whether the held installer must not run; the reason is traced.
bool Refused(const InstallerRequest& request, const std::wstring& path, HANDLE held) {
    std::wstring thumbprint;
    LONG verdict = VerifySignature(path, held, thumbprint);
    if (verdict == 0 && !SignerAllowed(request.signers, thumbprint)) {
        if (request.signers.empty()) {
            DebugTrace(L"ERROR: this build allows no installer signer");
        }
        DebugTrace(L"Installer signer %ls is not an allowed publisher", thumbprint.c_str());
        verdict = TRUST_E_SUBJECT_NOT_TRUSTED;
    }
    if (verdict != 0) {
        DebugTrace(L"WinVerifyTrust failed with 0x%08X for %ls", static_cast<unsigned>(verdict), path.c_str());
        DebugTrace(L"ERROR: digital signature verification failed for %ls", path.c_str());
        return true;
    }
    const std::wstring version = InstallerVersion(path);
    if (!InstallerVersionAcceptable(version.c_str(), request.announcedVersion.c_str(),
                                    request.runningVersion.c_str())) {
        DebugTrace(L"ERROR: installer version %ls is not the announced %ls or not newer than %ls", version.c_str(),
                   request.announcedVersion.c_str(), request.runningVersion.c_str());
        return true;
    }
    return false;
}

}  // namespace

bool DownloadAndRunInstaller(const InstallerRequest& request) {
    wchar_t temp[kTempPathChars] = {};
    GetTempPathW(kTempPathChars, temp);
    CreateDirectoryW(InstallerFolder(temp).c_str(), nullptr);
    const std::wstring path = InstallerPath(temp);
    DebugTrace(L"Download save path: %ls", path.c_str());
    {
        // The downloaded bytes live only as long as this block.
        std::string bytes;
        if (!DownloadToMemory(InstallerUrl(request.server, request.includeBetas), kInstallerMaxBytes, bytes) ||
            bytes.empty()) {
            DebugTrace(L"ERROR downloading file");
            return false;
        }
        if (!WriteInstaller(path, bytes)) {
            return false;
        }
    }
    // From here until the installer has started nobody may write, rename or delete the file, so what
    // runs is what was checked. The loader opens it sharing reading only, so the hold is read-only.
    UniqueHandle held(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held) {
        DebugTrace(L"ERROR opening file %ls", path.c_str());
        return false;
    }
    if (Refused(request, path, held.get())) {
        held.reset();
        DeleteFileW(path.c_str());
        return false;
    }
    DebugTrace(L"Launching installer: %ls", path.c_str());
    MarkInstallStarting(request.announcedVersion);
    if (request.beforeLaunch) {
        request.beforeLaunch(path);
    }
    if (Launch(path)) {
        return true;
    }
    DebugTrace(L"ERROR Launching %ls", path.c_str());
    ClearInstallMark();
    return false;
}
