#include "rules/rule_presets.h"

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
    return {{browsers}, {{cpu}}, {{handles}}, {{memory}}, {{gdi}}, {{threads}}};
}

}  // namespace

const std::vector<RulePreset>& RulePresets() {
    static const std::vector<RulePreset> presets = MakePresets();
    return presets;
}

bool AddRulePreset(RuleStore& store, size_t index) {
    if (index >= RulePresets().size()) {
        return false;
    }
    store.AddNewRules(RulePresets()[index].Rules);
    return true;
}
