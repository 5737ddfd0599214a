#include "rules/rule_presets.h"

#include "res/resource.h"

namespace {

constexpr uint64_t kFourGiB = 4096 * kBytesPerMB;

ThresholdRule PresetRule(const wchar_t* pattern, uint32_t cooldownSec) {
    ThresholdRule rule;
    rule.ProcessPattern = pattern;
    rule.CooldownSec = cooldownSec;
    return rule;
}

std::vector<RulePreset> MakePresets() {
    RuleList browsers;
    for (const wchar_t* pattern : {L"chrome.exe", L"firefox.exe", L"msedge.exe"}) {
        ThresholdRule rule = PresetRule(pattern, 120);
        rule.MaxHandles = 5000;
        rule.MaxWorkingSetBytes = kFourGiB;
        rule.MaxPrivateBytes = kFourGiB;
        browsers.push_back(rule);
    }
    ThresholdRule cpu = PresetRule(L"*", 300);
    cpu.MaxCPU = 95.0;
    ThresholdRule handles = PresetRule(L"*", 120);
    handles.MaxHandles = 20000;
    ThresholdRule memory = PresetRule(L"*", 120);
    memory.MaxWorkingSetBytes = kFourGiB;
    memory.MaxPrivateBytes = kFourGiB;
    ThresholdRule gdi = PresetRule(L"*", 120);
    gdi.MaxGDI = 8000;
    ThresholdRule threads = PresetRule(L"*", 60);
    threads.MaxThreads = 500;
    return {
        {IDM_PRESET_BROWSERS, IDS_PRESET_BROWSERS, browsers},
        {IDM_PRESET_RUNAWAY_CPU, IDS_PRESET_RUNAWAY_CPU, {cpu}},
        {IDM_PRESET_HANDLE_LEAK, IDS_PRESET_HANDLE_LEAK, {handles}},
        {IDM_PRESET_MEMORY_HOG, IDS_PRESET_MEMORY_HOG, {memory}},
        {IDM_PRESET_GDI_LEAK, IDS_PRESET_GDI_LEAK, {gdi}},
        {IDM_PRESET_THREAD_BOMB, IDS_PRESET_THREAD_BOMB, {threads}},
    };
}

}  // namespace

const std::vector<RulePreset>& RulePresets() {
    static const std::vector<RulePreset> presets = MakePresets();
    return presets;
}

const RulePreset* FindRulePreset(uint32_t menuId) {
    for (const RulePreset& preset : RulePresets()) {
        if (preset.MenuId == menuId) {
            return &preset;
        }
    }
    return nullptr;
}

bool AddRulePreset(RuleStore& store, uint32_t menuId) {
    const RulePreset* preset = FindRulePreset(menuId);
    if (!preset) {
        return false;
    }
    store.AddNewRules(preset->Rules);
    return true;
}
