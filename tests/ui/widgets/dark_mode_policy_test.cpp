#include <gtest/gtest.h>

#include <string>

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

TEST(DarkModePolicy, GateNeedsWindows10Build17763AndEveryRequiredEntry) {
    // Version, drop ShouldAppsUseDarkMode, high contrast, supported, enabled; 0xF0004563: the top bits are flags.
    const struct {
        NtVersion version;
        bool dropShouldAppsUseDarkMode, highContrast, supported, enabled;
    } cases[] = {{{10, 0, 17762}, 0, 0, 0, 0}, {{10, 0, 17763}, 0, 0, 1, 1}, {{10, 0, 0xF0004563}, 0, 0, 1, 1},
                 {{10, 0, 18362}, 0, 1, 1, 0}, {{6, 3, 19041}, 0, 0, 0, 0},  {{10, 1, 19041}, 0, 0, 0, 0},
                 {{10, 0, 19041}, 1, 0, 0, 0}};
    for (const auto& c : cases) {
        calls = {};
        highContrast = c.highContrast;
        DarkModeEntryPoints entries = FullTable();
        if (c.dropShouldAppsUseDarkMode) {
            entries.shouldAppsUseDarkMode = nullptr;
        }
        const DarkModeState state = StartDarkMode(c.version, entries);
        SCOPED_TRACE(c.version.build);
        EXPECT_EQ(state.windowsBuild, c.version.build & 0x0FFFFFFF);
        EXPECT_EQ(state.supported, c.supported);
        EXPECT_EQ(state.enabled, c.enabled);
        EXPECT_EQ(AnswerColourMessages(state), c.enabled);
        // Unsupported: not one entry was called, the unrelated ones behind 49/104/106 included.
        EXPECT_EQ(calls.platform, c.supported ? 1 : 0);
        EXPECT_EQ(calls.appMode, c.supported ? 1 : -1);
    }
    highContrast = false;
}

TEST(DarkModePolicy, TitleBarSwitchesMechanismAt18362AndFollowsTheLiveSystemState) {
    DarkModeEntryPoints entries = FullTable();
    EXPECT_EQ(TitleBarMechanismFor({18361, true, true}, entries), TitleBarMechanism::WindowProperty);
    EXPECT_EQ(TitleBarMechanismFor({18362, true, true}, entries), TitleBarMechanism::None);
    EXPECT_EQ(TitleBarMechanismFor({18362, false, false}, entries), TitleBarMechanism::None);
    entries.setWindowCompositionAttribute = [](void*, void*) { return 1; };
    EXPECT_EQ(TitleBarMechanismFor({18362, true, false}, entries), TitleBarMechanism::CompositionAttribute);
    systemDark = false;
    EXPECT_FALSE(TitleBarShouldBeDark(entries, nullptr));
    systemDark = true;
    highContrast = true;
    EXPECT_FALSE(TitleBarShouldBeDark(entries, nullptr));
    highContrast = false;
    EXPECT_TRUE(TitleBarShouldBeDark(entries, nullptr));
}

TEST(DarkModePolicy, ButtonTypesTakeTheirVisualStyle) {
    constexpr auto kNone = VisualStyle::None, kExplorer = VisualStyle::Explorer;
    // Default push button, user button, check boxes before and from Windows 11, group box, radio button.
    const struct {
        const wchar_t* className;
        uint32_t style;
        bool enabled;
        uint32_t build;
        VisualStyle child, listed;
    } cases[] = {{L"Button", 0x50010001, true, 21999, kExplorer, kExplorer},
                 {L"BUTTON", 0x8, true, 21999, kExplorer, kNone},
                 {L"Button", 0x3, true, 21999, kNone, kNone},
                 {L"Button", 0x3, false, 21999, kExplorer, kNone},
                 {L"Button", 0xB, true, 22000, kExplorer, kNone},
                 {L"Button", 0x2, false, 22000, kExplorer, kNone},
                 {L"Button", 0x7, true, 22000, kNone, kNone},
                 {L"Button", 0x9, true, 22000, kNone, kNone},
                 {L"combobox", 0, true, 21999, kNone, kNone},
                 {L"Edit", 0, true, 21999, VisualStyle::Unchanged, kNone}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.style << " enabled " << c.enabled << " build " << c.build);
        EXPECT_EQ(ChildWindowStyle(c.className, c.style, c.enabled, IsWindows11Build(c.build)), c.child);
        EXPECT_EQ(ListedControlStyle(c.className, c.style), c.listed);
    }
}

TEST(DarkModePolicy, OnlyTheExactScrollBarClassListIsRedirected) {
    const DarkModeEntryPoints entries = FullTable();
    int window = 0;
    const struct {
        bool enabled;
        const wchar_t* classList;
        bool redirected;
    } cases[] = {{true, L"ScrollBar", true},
                 {true, L"scrollbar", false},
                 {true, L"ScrollBar;Tab", false},
                 {false, L"ScrollBar", false},
                 {true, L"Tab", false}};
    for (const auto& c : cases) {
        calls = {};
        EXPECT_EQ(OpenScrollBarTheme({17763, true, c.enabled}, entries, &window, c.classList), &calls);
        EXPECT_EQ(calls.ncWindow, c.redirected ? nullptr : &window) << c.classList;
        EXPECT_EQ(calls.ncClassList, c.redirected ? L"Explorer::ScrollBar" : c.classList);
    }
}

}  // namespace
