#include "ui/widgets/dark_mode_policy.h"

namespace {

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

uint32_t ButtonType(uint32_t windowStyle) {
    return windowStyle & 0xF;
}

}  // namespace

bool DarkModeVersionSupported(const NtVersion& version) {
    return version.major == 10 && version.minor == 0 && (version.build & kNtBuildMask) >= kFirstDarkModeBuild;
}

bool IsWindows11Build(uint32_t build) {
    return (build & kNtBuildMask) >= kFirstWindows11Build;
}

DarkModeState StartDarkMode(const NtVersion& version, const DarkModeEntryPoints& entries) {
    DarkModeState state;
    state.windowsBuild = version.build & kNtBuildMask;
    // Entries 49 and 104 resolve to unrelated functions on systems without the rest (Wine): all
    // required ones must be there before any is called.
    if (!DarkModeVersionSupported(version) || !entries.openNcThemeData || !entries.refreshImmersiveColorPolicy ||
        !entries.shouldAppsUseDarkMode || !entries.allowDarkModeForWindow || !entries.allowDarkModeForApp ||
        !entries.isDarkModeAllowedForWindow || !entries.isHighContrast) {
        return state;
    }
    state.supported = true;
    entries.allowDarkModeForApp(1);
    entries.refreshImmersiveColorPolicy();
    state.enabled = entries.shouldAppsUseDarkMode() && !entries.isHighContrast();
    return state;
}

bool TitleBarShouldBeDark(const DarkModeEntryPoints& entries, void* window) {
    return entries.isDarkModeAllowedForWindow(window) && entries.shouldAppsUseDarkMode() && !entries.isHighContrast();
}

TitleBarMechanism TitleBarMechanismFor(const DarkModeState& state, const DarkModeEntryPoints& entries) {
    if (!state.supported) {
        return TitleBarMechanism::None;
    }
    if (state.windowsBuild < kPreferredAppModeBuild) {
        return TitleBarMechanism::WindowProperty;
    }
    return entries.setWindowCompositionAttribute ? TitleBarMechanism::CompositionAttribute : TitleBarMechanism::None;
}

bool AnswerColourMessages(const DarkModeState& state) {
    return state.supported && state.enabled;
}

VisualStyle ListedControlStyle(std::wstring_view className, uint32_t windowStyle) {
    const bool pushButton = EqualsIgnoringAsciiCase(className, L"Button") && ButtonType(windowStyle) <= 1;
    return pushButton ? VisualStyle::Explorer : VisualStyle::None;
}

VisualStyle ChildWindowStyle(std::wstring_view className, uint32_t windowStyle, bool enabled, bool windows11) {
    if (EqualsIgnoringAsciiCase(className, L"ComboBox")) {
        return VisualStyle::None;
    }
    if (!EqualsIgnoringAsciiCase(className, L"Button")) {
        return VisualStyle::Unchanged;
    }
    switch (ButtonType(windowStyle)) {
    case 0:
    case 1:
    case 8: return VisualStyle::Explorer;
    // Check boxes, plain and automatic: before Windows 11 an enabled one draws its text in the
    // dialog's colours only without a visual style; a disabled one keeps the themed grey.
    case 2:
    case 3:
    case 6:
    case 10:
    case 11:
    case 14: return windows11 || !enabled ? VisualStyle::Explorer : VisualStyle::None;
    default: return VisualStyle::None;
    }
}

void* OpenScrollBarTheme(const DarkModeState& state, const DarkModeEntryPoints& entries, void* window,
                         const wchar_t* classList) {
    if (state.enabled && classList && std::wstring_view(classList) == L"ScrollBar") {
        return entries.openNcThemeData(nullptr, L"Explorer::ScrollBar");
    }
    return entries.openNcThemeData(window, classList);
}
