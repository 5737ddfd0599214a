#include "ui/widgets/dark_mode_win.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cstring>
#include <string>

#include "base/debug_trace.h"

namespace {

DarkModeState darkModeState;
DarkModeEntryPoints darkModeEntries;

constexpr wchar_t kTitleBarProperty[] = L"UseImmersiveDarkModeColors";
constexpr WORD kOpenNcThemeDataOrdinal = 49;
constexpr DWORD kUseDarkTitleBarAttribute = 26;

struct CompositionAttributeData {
    DWORD attribute;
    void* data;
    SIZE_T size;
};

// Through void*: GetProcAddress's generic type would warn against every real signature.
template <typename Function>
void Resolve(Function& function, HMODULE module, const char* name) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

template <typename Function>
void ResolveOrdinal(Function& function, HMODULE module, WORD ordinal) {
    Resolve(function, module, MAKEINTRESOURCEA(ordinal));
}

bool ReadNtVersion(NtVersion& version) {
    void(WINAPI * getVersion)(DWORD*, DWORD*, DWORD*) = nullptr;
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        Resolve(getVersion, ntdll, "RtlGetNtVersionNumbers");
    }
    if (!getVersion) {
        return false;
    }
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    getVersion(&major, &minor, &build);
    version = {major, minor, build};
    return true;
}

void ResolveThemeEntryPoints(DarkModeEntryPoints& entries, std::wstring& found) {
    // Kept loaded for the life of the process: the table points into it.
    HMODULE uxtheme = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!uxtheme) {
        return;
    }
    ResolveOrdinal(entries.openNcThemeData, uxtheme, kOpenNcThemeDataOrdinal);
    ResolveOrdinal(entries.refreshImmersiveColorPolicy, uxtheme, 104);
    ResolveOrdinal(entries.refreshHighContrastCache, uxtheme, 106);
    ResolveOrdinal(entries.shouldAppsUseDarkMode, uxtheme, 132);
    ResolveOrdinal(entries.allowDarkModeForWindow, uxtheme, 133);
    ResolveOrdinal(entries.allowDarkModeForApp, uxtheme, 135);
    ResolveOrdinal(entries.isDarkModeAllowedForWindow, uxtheme, 137);
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
        Resolve(entries.setWindowCompositionAttribute, user32, "SetWindowCompositionAttribute");
    }
    const std::pair<bool, const wchar_t*> entryNames[] = {
        {entries.openNcThemeData != nullptr, L" 49"},
        {entries.refreshImmersiveColorPolicy != nullptr, L" 104"},
        {entries.refreshHighContrastCache != nullptr, L" 106"},
        {entries.shouldAppsUseDarkMode != nullptr, L" 132"},
        {entries.allowDarkModeForWindow != nullptr, L" 133"},
        {entries.allowDarkModeForApp != nullptr, L" 135"},
        {entries.isDarkModeAllowedForWindow != nullptr, L" 137"},
        {entries.setWindowCompositionAttribute != nullptr, L" SetWindowCompositionAttribute"},
    };
    for (const auto& [present, name] : entryNames) {
        if (present) {
            found += name;
        }
    }
}

HTHEME WINAPI ScrollBarThemeRedirect(HWND window, LPCWSTR classList) {
    return static_cast<HTHEME>(OpenScrollBarTheme(darkModeState, darkModeEntries, window, classList));
}

// The common controls open the scroll bars' theme through a delay-loaded import of entry 49; its
// slot is pointed at the redirect, which hands plain scroll bars the dark Explorer ones.
void RedirectScrollBarTheme() {
    HMODULE comctl = LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!comctl) {
        return;
    }
    auto* base = reinterpret_cast<BYTE*>(comctl);
    const auto* headers =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return;
    }
    for (auto* module = reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(base + directory.VirtualAddress);
         module->DllNameRVA != 0; ++module) {
        if (_stricmp(reinterpret_cast<const char*>(base + module->DllNameRVA), "uxtheme.dll") != 0) {
            continue;
        }
        auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + module->ImportNameTableRVA);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->ImportAddressTableRVA);
        for (; name->u1.Ordinal != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) && IMAGE_ORDINAL(name->u1.Ordinal) == kOpenNcThemeDataOrdinal) {
                DWORD protection = 0;
                if (VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE, &protection)) {
                    slot->u1.Function = reinterpret_cast<ULONG_PTR>(&ScrollBarThemeRedirect);
                    VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), protection, &protection);
                }
                return;
            }
        }
        return;
    }
}

void AllowDarkMode(HWND window) {
    darkModeEntries.allowDarkModeForWindow(window, darkModeState.enabled);
}

void SetVisualStyle(HWND window, VisualStyle style) {
    if (style == VisualStyle::Explorer) {
        SetWindowTheme(window, L"Explorer", nullptr);
    } else if (style == VisualStyle::None) {
        SetWindowTheme(window, L"", L"");
    }
}

std::wstring ClassName(HWND window) {
    wchar_t name[32] = {};
    return std::wstring(name, static_cast<size_t>(GetClassNameW(window, name, 32)));
}

}  // namespace

const DarkModeState& DarkMode() {
    return darkModeState;
}

const DarkModeEntryPoints& DarkModeEntries() {
    return darkModeEntries;
}

void InitDarkMode() {
    NtVersion version;
    if (!ReadNtVersion(version)) {
        return;
    }
    DarkModeEntryPoints entries;
    entries.isHighContrast = [] { return IsHighContrast(); };
    std::wstring found;
    if (DarkModeVersionSupported(version)) {
        ResolveThemeEntryPoints(entries, found);
    }
    darkModeState = StartDarkMode(version, entries);
    if (darkModeState.supported) {
        darkModeEntries = entries;
        RedirectScrollBarTheme();
    }
    DebugTrace(L"DarkMode::Init - Windows %u.%u build %u, entries:%ls, supported %d, enabled %d", version.major,
               version.minor, darkModeState.windowsBuild, found.c_str(), darkModeState.supported,
               darkModeState.enabled);
}

bool IsHighContrast() {
    HIGHCONTRASTW highContrast = {};
    highContrast.cbSize = sizeof(highContrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(highContrast), &highContrast, 0) &&
           (highContrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool IsWindows11OrLater() {
    OSVERSIONINFOEXW wanted = {};
    wanted.dwOSVersionInfoSize = sizeof(wanted);
    wanted.dwMajorVersion = 10;
    ULONGLONG condition = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
    condition = VerSetConditionMask(condition, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    NtVersion version;
    return VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, condition) &&
           ReadNtVersion(version) && IsWindows11Build(version.build);
}

void RefreshTitleBarTheme(HWND window) {
    const TitleBarMechanism mechanism = TitleBarMechanismFor(darkModeState, darkModeEntries);
    if (mechanism == TitleBarMechanism::None) {
        return;
    }
    BOOL dark = TitleBarShouldBeDark(darkModeEntries, window) ? TRUE : FALSE;
    if (mechanism == TitleBarMechanism::WindowProperty) {
        SetPropW(window, kTitleBarProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(dark)));
    } else {
        CompositionAttributeData data = {kUseDarkTitleBarAttribute, &dark, sizeof(dark)};
        darkModeEntries.setWindowCompositionAttribute(window, &data);
    }
}

void AllowDarkModeFor(HWND window) {
    if (darkModeState.supported) {
        AllowDarkMode(window);
    }
}

void ThemeListedControl(HWND control) {
    AllowDarkModeFor(control);
    // Light mode too: without a visual style the colour messages decide the colours.
    SetVisualStyle(control,
                   ListedControlStyle(ClassName(control), static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE))));
    SendMessageW(control, WM_THEMECHANGED, 0, 0);
}

void ForgetTitleBarTheme(HWND window) {
    RemovePropW(window, kTitleBarProperty);
}

BOOL CALLBACK ThemeChildWindow(HWND child, LPARAM) {
    if (darkModeState.supported) {
        AllowDarkMode(child);
    }
    const std::wstring className = ClassName(child);
    const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    SetVisualStyle(child, ChildWindowStyle(className, style, IsWindowEnabled(child), IsWindows11OrLater()));
    return TRUE;
}
