#pragma once

#include <cstdint>
#include <string_view>

// The platform's dark-mode entry points, resolved at run time (most are exported by ordinal only)
// and null when absent. Windows and theme handles travel as void*, so the decisions below build
// and are tested without the platform; a test fills the table with its own functions.
struct DarkModeEntryPoints {
    // uxtheme 49: opens non-client theme data (scroll bars) for a window and a class list.
    void* (*openNcThemeData)(void* window, const wchar_t* classList) = nullptr;
    // uxtheme 104: refreshes the immersive colour policy.
    void (*refreshImmersiveColorPolicy)() = nullptr;
    // uxtheme 106, called with 1: refreshes the cached high-contrast state. Optional.
    bool (*refreshHighContrastCache)(int mode) = nullptr;
    // uxtheme 132: the system asks apps to use dark mode.
    bool (*shouldAppsUseDarkMode)() = nullptr;
    // uxtheme 133: allows or forbids dark mode for one window.
    bool (*allowDarkModeForWindow)(void* window, bool allow) = nullptr;
    // uxtheme 135: allows dark mode for the application (below build 18362 with true) or sets its
    // preferred mode (mode 1, allow dark); both take the value 1.
    int (*allowDarkModeForApp)(int allowOrMode) = nullptr;
    // uxtheme 137: dark mode is allowed for that window.
    bool (*isDarkModeAllowedForWindow)(void* window) = nullptr;
    // user32 "SetWindowCompositionAttribute": the dark title bar from build 18362. Optional.
    int (*setWindowCompositionAttribute)(void* window, void* data) = nullptr;
    // The documented high-contrast query, in the table so the decisions can be tested.
    bool (*isHighContrast)() = nullptr;
};

struct NtVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};

struct DarkModeState {
    uint32_t windowsBuild = 0;
    bool supported = false;
    bool enabled = false;
};

inline constexpr uint32_t kNtBuildMask = 0x0FFFFFFF;
inline constexpr uint32_t kFirstDarkModeBuild = 17763;
// From this build the application sets a preferred mode and title bars take a composition attribute.
inline constexpr uint32_t kPreferredAppModeBuild = 18362;
inline constexpr uint32_t kFirstWindows11Build = 22000;

bool DarkModeVersionSupported(const NtVersion& version);
// The build part of the Windows 11 test (the version part is the platform's own check).
bool IsWindows11Build(uint32_t build);

// Decides support from the version and the table, then switches the application to dark mode as
// the platform wants. Nothing in the table is called unless every required entry is present.
DarkModeState StartDarkMode(const NtVersion& version, const DarkModeEntryPoints& entries);

// The title bar is dark when the window allows it, the system asks for dark apps and high
// contrast is off: the live state, not the start-up one.
bool TitleBarShouldBeDark(const DarkModeEntryPoints& entries, void* window);

// Before build 18362 a window property darkens the title bar; from it a composition attribute,
// where the platform has it.
enum class TitleBarMechanism { None, WindowProperty, CompositionAttribute };
TitleBarMechanism TitleBarMechanismFor(const DarkModeState& state, const DarkModeEntryPoints& entries);

// The dialogs answer the colour messages with the dark brush only in dark mode.
bool AnswerColourMessages(const DarkModeState& state);

enum class VisualStyle { Unchanged, None, Explorer };

// A listed control of a dialog: push buttons keep the Explorer style, everything else loses its
// visual style so that the colour messages apply.
VisualStyle ListedControlStyle(std::wstring_view className, uint32_t windowStyle);
// Any child of a dark dialog, by class and button type.
VisualStyle ChildWindowStyle(std::wstring_view className, uint32_t windowStyle, bool enabled, bool windows11);

// Stands in for entry 49 inside the common controls: plain scroll bars take the Explorer ones.
void* OpenScrollBarTheme(const DarkModeState& state, const DarkModeEntryPoints& entries, void* window,
                         const wchar_t* classList);
