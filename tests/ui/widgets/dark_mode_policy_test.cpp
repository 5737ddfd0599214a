#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "ui/widgets/dark_mode_policy.h"

namespace {

// What the filled table's functions saw; reset by each test.
struct Calls {
    int platform = 0, appMode = -1;
    void* ncWindow = nullptr;
    std::wstring ncClassList;
} calls;
bool systemDark = true, highContrast = false;

DarkModeEntryPoints FullTable() {
    DarkModeEntryPoints entries;
    entries.openNcThemeData = [](void* window, const wchar_t* classList) -> void* {
        ++calls.platform;
        calls.ncWindow = window;
        calls.ncClassList = classList;
        return &calls;
    };
    entries.refreshImmersiveColorPolicy = [] { ++calls.platform; };
    entries.refreshHighContrastCache = [](int) { return ++calls.platform > 0; };
    entries.shouldAppsUseDarkMode = [] { return systemDark; };
    entries.allowDarkModeForWindow = [](void*, bool) { return ++calls.platform > 0; };
    entries.allowDarkModeForApp = [](int mode) { return calls.appMode = mode; };
    entries.isDarkModeAllowedForWindow = [](void*) { return true; };
    entries.isHighContrast = [] { return highContrast; };
    return entries;
}

// Version, ShouldAppsUseDarkMode present, high contrast, supported, enabled; 0xF0004563: the top bits are flags.
TEST(DarkModePolicy, GateNeedsWindows10Build17763AndEveryRequiredEntry) {
    const std::tuple<NtVersion, bool, bool, bool, bool> cases[] = {
        {{10, 0, 17762}, 1, 0, 0, 0}, {{10, 0, 17763}, 1, 0, 1, 1}, {{10, 0, 0xF0004563}, 1, 0, 1, 1},
        {{10, 0, 18362}, 1, 1, 1, 0}, {{6, 0, 19041}, 1, 0, 0, 0},  {{10, 1, 19041}, 1, 0, 0, 0},
        {{10, 0, 19041}, 0, 0, 0, 0}};
    for (const auto& [version, complete, contrast, supported, enabled] : cases) {
        calls = {};
        highContrast = contrast;
        DarkModeEntryPoints entries = FullTable();
        entries.shouldAppsUseDarkMode = complete ? entries.shouldAppsUseDarkMode : nullptr;
        const DarkModeState state = StartDarkMode(version, entries);
        EXPECT_EQ(state.windowsBuild, version.build & 0x0FFFFFFF);
        EXPECT_EQ(std::tuple(state.supported, state.enabled, AnswerColourMessages(state)),
                  std::tuple(supported, enabled, enabled))
            << version.build;
        // Unsupported: not one entry was called, the unrelated ones behind 49/104/106 included.
        EXPECT_EQ(std::pair(calls.platform, calls.appMode), supported ? std::pair(1, 1) : std::pair(0, -1));
    }
    highContrast = false;
}

TEST(DarkModePolicy, TitleBarSwitchesMechanismAt18362FollowsTheLiveSystemStateAndOnlyExactScrollBarsAreRedirected) {
    DarkModeEntryPoints entries = FullTable();
    EXPECT_EQ(TitleBarMechanismFor({18361, true, true}, entries), TitleBarMechanism::WindowProperty);
    EXPECT_EQ(TitleBarMechanismFor({18362, true, true}, entries), TitleBarMechanism::None);
    EXPECT_EQ(TitleBarMechanismFor({18362, false, false}, entries), TitleBarMechanism::None);
    entries.setWindowCompositionAttribute = [](void*, void*) { return 1; };
    EXPECT_EQ(TitleBarMechanismFor({18362, true, false}, entries), TitleBarMechanism::CompositionAttribute);
    for (const auto& [dark, contrast] : {std::pair(false, false), std::pair(true, true), std::pair(true, false)}) {
        systemDark = dark;
        highContrast = contrast;
        EXPECT_EQ(TitleBarShouldBeDark(entries, nullptr), dark && !contrast);
    }
    int window = 0;
    const std::tuple<bool, const wchar_t*, bool> cases[] = {
        {true, L"ScrollBar", true},   {true, L"scrollbar", false}, {true, L"ScrollBar;Tab", false},
        {false, L"ScrollBar", false}, {true, L"Tab", false},
    };
    for (const auto& [enabled, classList, redirected] : cases) {
        calls = {};
        EXPECT_EQ(OpenScrollBarTheme({17763, true, enabled}, entries, &window, classList), &calls);
        EXPECT_EQ(calls.ncWindow, redirected ? nullptr : &window) << classList;
        EXPECT_EQ(calls.ncClassList, redirected ? L"Explorer::ScrollBar" : classList);
    }
}

// Default push button, user button, check boxes before and from Windows 11, group box.
TEST(DarkModePolicy, ButtonTypesTakeTheirVisualStyle) {
    using enum VisualStyle;
    const std::tuple<const wchar_t*, uint32_t, bool, uint32_t, VisualStyle, VisualStyle> cases[] = {
        {L"Button", 0x50010001, true, 21999, Explorer, Explorer},
        {L"BUTTON", 0x8, true, 21999, Explorer, None},
        {L"Button", 0x3, true, 21999, None, None},
        {L"Button", 0x3, false, 21999, Explorer, None},
        {L"Button", 0xB, true, 22000, Explorer, None},
        {L"Button", 0x2, false, 22000, Explorer, None},
        {L"Button", 0x7, true, 22000, None, None},
        {L"combobox", 0, true, 21999, None, None},
        {L"Edit", 0, true, 21999, Unchanged, None}};
    for (const auto& [className, style, enabled, build, child, listed] : cases) {
        EXPECT_EQ(ChildWindowStyle(className, style, enabled, IsWindows11Build(build)), child) << style << " " << build;
        EXPECT_EQ(ListedControlStyle(className, style), listed) << style;
    }
}

}  // namespace
