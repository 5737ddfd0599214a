#include "ui/preset_menu_win.h"

#include <array>

#include "base/resource_strings_win.h"
#include "base/handles_win.h"
#include "res/resource.h"
#include "rules/rule_presets.h"

namespace {

struct PresetMenuItem {
    UINT menuId;
    UINT labelStringId;
};

// Item ids and labels of the presets, in the order of RulePresets().
constexpr std::array<PresetMenuItem, kRulePresetCount> kPresetMenuItems = {{
    {IDM_PRESET_BROWSERS, IDS_PRESET_BROWSERS},
    {IDM_PRESET_RUNAWAY_CPU, IDS_PRESET_RUNAWAY_CPU},
    {IDM_PRESET_HANDLE_LEAK, IDS_PRESET_HANDLE_LEAK},
    {IDM_PRESET_MEMORY_HOG, IDS_PRESET_MEMORY_HOG},
    {IDM_PRESET_GDI_LEAK, IDS_PRESET_GDI_LEAK},
    {IDM_PRESET_THREAD_BOMB, IDS_PRESET_THREAD_BOMB},
}};

}  // namespace

std::optional<size_t> ChooseRulePreset(HWND dialog, HWND button) {
    UniqueHMenu popup(CreatePopupMenu());
    if (!popup) {
        return std::nullopt;
    }
    for (const PresetMenuItem& item : kPresetMenuItems) {
        AppendMenuW(popup.get(), MF_STRING, item.menuId, LoadStringResource(item.labelStringId).c_str());
    }
    RECT rect = {};
    GetWindowRect(button, &rect);
    const auto chosen = static_cast<UINT>(TrackPopupMenu(popup.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD,
                                                         rect.left, rect.bottom, 0, dialog, nullptr));
    for (size_t index = 0; index < kPresetMenuItems.size(); ++index) {
        if (kPresetMenuItems[index].menuId == chosen) {
            return index;
        }
    }
    return std::nullopt;
}
