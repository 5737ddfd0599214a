#include <windows.h>

#include <gtest/gtest.h>

#include "base/handles_win.h"
#include "update/version.h"
#include "win/support/test_paths.h"

// The shipped program carries its version and a manifest asking for common controls 6 and
// per-monitor DPI. (Linked with runtime DLLs, it would not even start in the end-to-end tier.)
TEST(ProgramImage, CarriesVersionAndManifestAndIsA64BitGuiProgram) {
    const std::wstring exe = BuildBinaryPath(L"watchkeep.exe");
    std::vector<BYTE> data(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    wchar_t* product = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    const DWORD ms = fixed->dwFileVersionMS, ls = fixed->dwFileVersionLS;  // a.b and c.d, packed a byte each
    EXPECT_EQ(ms >> 16 << 24 | (ms & 255) << 16 | ls >> 16 << 8 | (ls & 255), ParseVersion(kVersionText));
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                               reinterpret_cast<void**>(&product), &size));
    EXPECT_STREQ(product, kDisplayVersion);
    UniqueHModule image(LoadLibraryExW(exe.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    ASSERT_TRUE(image);
    HRSRC resource = FindResourceW(image.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(resource, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(image.get(), resource))),
                               SizeofResource(image.get(), resource));
    for (const char* part : {"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "PerMonitorV2",
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
    const auto* base = reinterpret_cast<const BYTE*>(image.get());
    const auto* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    ASSERT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}
