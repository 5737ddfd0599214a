#include "rules/rule_cells.h"

#include <charconv>
#include <cstdint>

#include "base/c_scan.h"
#include "rules/rule_numbers.h"
#include "rules/rule_pattern.h"

namespace {

// The editor's CPU field holds at most this many characters.
constexpr size_t kMaxCpuChars = 63;

std::wstring Unsigned(uint64_t value) {
    return std::to_wstring(value);
}

// "%.0f" of the C locale: the exact binary value rounded half to even, as printf does.
std::wstring WholePercent(double value) {
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 0);
    return std::wstring(buffer, result.ptr);
}

std::wstring LimitOrDash(uint64_t value) {
    return value == 0 ? L"-" : Unsigned(value);
}

std::wstring LimitOrBlank(uint64_t value) {
    return value == 0 ? L"" : Unsigned(value);
}

// A C integer ("%d" then kept as 32 unsigned bits); no digits give 0.
uint32_t CellInteger(std::wstring_view text) {
    size_t pos = 0;
    uint32_t value = 0;
    return ReadCUnsigned(text, pos, value) ? value : 0;
}

double CDouble(std::wstring_view text) {
    size_t pos = 0;
    double value = 0.0;
    return ReadCDouble(text, pos, value) ? value : 0.0;
}

// The dialog-integer reading of an unsigned field: leading blanks, digits and nothing else;
// anything else, or a value beyond 32 bits, is 0.
uint32_t EditorUnsigned(std::wstring_view text) {
    size_t pos = 0;
    SkipCBlanks(text, pos);
    CDigits digits;
    if (pos == text.size() || !IsCDigit(text[pos]) || !ScanCDigits(text, pos, digits) || pos != text.size() ||
        digits.Overflow || digits.Magnitude > UINT32_MAX) {
        return 0;
    }
    return static_cast<uint32_t>(digits.Magnitude);
}

uint32_t* CountField(ThresholdRule& rule, int column) {
    switch (column) {
    case 2: return &rule.MaxHandles;
    case 6: return &rule.MaxThreads;
    case 7: return &rule.MaxGDI;
    case 8: return &rule.MaxUSER;
    default: return nullptr;
    }
}

}  // namespace

std::wstring RuleCellText(const ThresholdRule& rule, int column) {
    switch (column) {
    case 0: return rule.Enabled ? L"Yes" : L"No";
    case 1: return rule.ProcessPattern;
    case 2: return LimitOrDash(rule.MaxHandles);
    case 3: return rule.MaxWorkingSetBytes == 0 ? L"-" : Unsigned(rule.MaxWorkingSetBytes / kBytesPerMB);
    case 4: return rule.MaxPrivateBytes == 0 ? L"-" : Unsigned(rule.MaxPrivateBytes / kBytesPerMB);
    case 5: return rule.MaxCPU > 0.0 ? WholePercent(rule.MaxCPU) : L"-";
    case 6: return LimitOrDash(rule.MaxThreads);
    case 7: return LimitOrDash(rule.MaxGDI);
    case 8: return LimitOrDash(rule.MaxUSER);
    default: return L"";
    }
}

bool ApplyRuleCellText(ThresholdRule& rule, int column, std::wstring_view text) {
    switch (column) {
    case 0: rule.Enabled = !rule.Enabled; return true;
    case 1:
        if (IsBlankPattern(text)) {
            return false;
        }
        rule.ProcessPattern = StorablePatternText(text);
        return true;
    case 3: rule.MaxWorkingSetBytes = CellInteger(text) * kBytesPerMB; return true;
    case 4: rule.MaxPrivateBytes = CellInteger(text) * kBytesPerMB; return true;
    case 5: rule.MaxCPU = CDouble(text); return true;
    default:
        if (uint32_t* field = CountField(rule, column)) {
            *field = CellInteger(text);
            return true;
        }
        return false;
    }
}

std::wstring RuleEditorText(const ThresholdRule& rule, RuleEditorField field) {
    switch (field) {
    case RuleEditorField::Pattern: return rule.ProcessPattern;
    case RuleEditorField::Handles: return LimitOrBlank(rule.MaxHandles);
    case RuleEditorField::WorkingSet:
        return rule.MaxWorkingSetBytes == 0 ? L"" : Unsigned(rule.MaxWorkingSetBytes / kBytesPerMB);
    case RuleEditorField::PrivateBytes:
        return rule.MaxPrivateBytes == 0 ? L"" : Unsigned(rule.MaxPrivateBytes / kBytesPerMB);
    case RuleEditorField::Cpu: return rule.MaxCPU > 0.0 ? WholePercent(rule.MaxCPU) : L"";
    case RuleEditorField::Threads: return LimitOrBlank(rule.MaxThreads);
    case RuleEditorField::Gdi: return LimitOrBlank(rule.MaxGDI);
    case RuleEditorField::User: return LimitOrBlank(rule.MaxUSER);
    case RuleEditorField::Cooldown: return Unsigned(rule.CooldownSec);
    case RuleEditorField::Sustain: return Unsigned(rule.SustainSec);
    }
    return L"";
}

void ApplyRuleEditorText(ThresholdRule& rule, RuleEditorField field, std::wstring_view text) {
    switch (field) {
    case RuleEditorField::Pattern: rule.ProcessPattern = StorablePatternText(text); break;
    case RuleEditorField::Handles: rule.MaxHandles = EditorUnsigned(text); break;
    case RuleEditorField::WorkingSet: rule.MaxWorkingSetBytes = EditorUnsigned(text) * kBytesPerMB; break;
    case RuleEditorField::PrivateBytes: rule.MaxPrivateBytes = EditorUnsigned(text) * kBytesPerMB; break;
    case RuleEditorField::Cpu: rule.MaxCPU = CDouble(text.substr(0, kMaxCpuChars)); break;
    case RuleEditorField::Threads: rule.MaxThreads = EditorUnsigned(text); break;
    case RuleEditorField::Gdi: rule.MaxGDI = EditorUnsigned(text); break;
    case RuleEditorField::User: rule.MaxUSER = EditorUnsigned(text); break;
    case RuleEditorField::Cooldown: rule.CooldownSec = EditorUnsigned(text); break;
    case RuleEditorField::Sustain: rule.SustainSec = EditorUnsigned(text); break;
    }
}
