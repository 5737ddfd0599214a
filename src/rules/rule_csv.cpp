#include "rules/rule_csv.h"

#include "base/c_scan.h"
#include "base/utf16.h"
#include "base/utf8.h"
#include "rules/rule_numbers.h"
#include "rules/rule_pattern.h"

namespace {

// Lines are read in pieces of at most 2047 UTF-16 units, as the Windows C runtime counts them;
// counting the same way natively gives both builds one result.
constexpr size_t kLinePieceUnits = 2047;

bool NeedsQuotes(std::wstring_view pattern) {
    return pattern.find_first_of(L",\"") != std::wstring_view::npos;
}

void AppendPattern(std::string& out, const std::wstring& pattern) {
    if (!NeedsQuotes(pattern)) {
        out += WideToUtf8(pattern);
        return;
    }
    out.push_back('"');
    for (const char c : WideToUtf8(pattern)) {
        if (c == '"') {
            out.push_back('"');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

// A quoted field ("a,b.exe", inner quotes doubled) closed by a quote that a comma follows.
bool ReadQuotedPattern(std::wstring_view line, size_t& pos, std::wstring& pattern) {
    std::wstring value;
    size_t units = 0;
    for (size_t i = pos + 1; i < line.size(); ++i) {
        if (line[i] == L'"') {
            if (i + 1 < line.size() && line[i + 1] == L'"') {
                ++i;
            } else {
                if (value.empty() || i + 1 >= line.size() || line[i + 1] != L',') {
                    return false;
                }
                pattern = std::move(value);
                pos = i + 1;
                return true;
            }
        }
        units += Utf16Units(line[i]);
        if (units > kMaxPatternUnits) {
            return false;
        }
        value.push_back(line[i]);
    }
    return false;
}

// Up to 255 units other than ','; at least one.
bool ReadPlainPattern(std::wstring_view line, size_t& pos, std::wstring& pattern) {
    size_t end = pos;
    size_t units = 0;
    while (end < line.size() && line[end] != L',' && units + Utf16Units(line[end]) <= kMaxPatternUnits) {
        units += Utf16Units(line[end]);
        ++end;
    }
    if (end == pos) {
        return false;
    }
    pattern.assign(line.substr(pos, end - pos));
    pos = end;
    return true;
}

bool ReadComma(std::wstring_view line, size_t& pos) {
    if (pos < line.size() && line[pos] == L',') {
        ++pos;
        return true;
    }
    return false;
}

// Strips one line break as the C runtime's line reader leaves it: the last character if it is
// LF or CR, then the one before it likewise.
std::wstring_view StripLineBreak(std::wstring_view piece) {
    const size_t nul = piece.find(L'\0');
    if (nul != std::wstring_view::npos) {
        piece = piece.substr(0, nul);  // the runtime's scanner sees the text up to a NUL only
    }
    const size_t readLength = piece.size();
    auto isBreak = [](wchar_t c) { return c == L'\n' || c == L'\r'; };
    if (!piece.empty() && isBreak(piece.back())) {
        piece.remove_suffix(1);
        if (readLength > 1 && isBreak(piece.back())) {
            piece.remove_suffix(1);
        }
    }
    return piece;
}

}  // namespace

bool ParseRuleCsvLine(std::wstring_view line, ThresholdRule& rule) {
    ThresholdRule parsed;
    size_t pos = 0;
    if (!ReadCUnsigned(line, pos, parsed.RuleId) || !ReadComma(line, pos)) {
        return false;
    }
    const bool quoted = pos < line.size() && line[pos] == L'"' && ReadQuotedPattern(line, pos, parsed.ProcessPattern);
    if (!quoted && !ReadPlainPattern(line, pos, parsed.ProcessPattern)) {
        return false;
    }
    if (!IsStorablePattern(parsed.ProcessPattern)) {
        return false;
    }
    uint32_t enabled = 0;
    if (!ReadComma(line, pos) || !ReadCUnsigned(line, pos, enabled)) {
        return false;
    }
    parsed.Enabled = enabled != 0;

    // Matching stops at the first field that does not match; the rest keep their defaults.
    double workingSetMB = 0.0;
    double privateMB = 0.0;
    [&] {
        if (!ReadComma(line, pos) || !ReadCUnsigned(line, pos, parsed.MaxHandles)) {
            return;
        }
        if (!ReadComma(line, pos) || !ReadCDouble(line, pos, workingSetMB)) {
            return;
        }
        if (!ReadComma(line, pos) || !ReadCDouble(line, pos, privateMB)) {
            return;
        }
        if (!ReadComma(line, pos) || !ReadCDouble(line, pos, parsed.MaxCPU)) {
            return;
        }
        for (uint32_t* field : {&parsed.MaxThreads, &parsed.MaxGDI, &parsed.MaxUSER, &parsed.AlertActions,
                                &parsed.CooldownSec, &parsed.SustainSec}) {
            if (!ReadComma(line, pos) || !ReadCUnsigned(line, pos, *field)) {
                return;
            }
        }
    }();
    parsed.MaxWorkingSetBytes = MegabytesToBytes(workingSetMB);
    parsed.MaxPrivateBytes = MegabytesToBytes(privateMB);
    rule = std::move(parsed);
    return true;
}

bool ParseRulesCsv(std::string_view bytes, RuleList& rules, size_t& droppedLines) {
    const std::wstring text = DecodeTextFile(bytes);
    if (text.empty()) {
        return false;
    }
    size_t pos = 0;
    NextLinePiece(text, pos, kLinePieceUnits, true);  // the header, whatever it holds
    RuleList parsed;
    size_t dropped = 0;
    while (pos < text.size()) {
        const std::wstring_view piece = NextLinePiece(text, pos, kLinePieceUnits, true);
        ThresholdRule rule;
        if (ParseRuleCsvLine(StripLineBreak(piece), rule)) {
            parsed.push_back(std::move(rule));
        } else if (piece.find_first_not_of(L"\r\n") != std::wstring_view::npos) {
            ++dropped;  // blank lines lose nothing
        }
    }
    rules = std::move(parsed);
    droppedLines = dropped;
    return true;
}

std::string FormatRulesCsv(const RuleList& rules) {
    std::string out;
    out.reserve(64 + rules.size() * 64);
    out += kUtf8Bom;
    out += kRulesCsvHeader;
    out += "\r\n";
    for (const ThresholdRule& rule : rules) {
        AppendUnsigned(out, rule.RuleId);
        out.push_back(',');
        AppendPattern(out, rule.ProcessPattern);
        out += rule.Enabled ? ",1," : ",0,";
        AppendUnsigned(out, rule.MaxHandles);
        out.push_back(',');
        AppendOneDecimal(out, static_cast<double>(rule.MaxWorkingSetBytes) / static_cast<double>(kBytesPerMB));
        out.push_back(',');
        AppendOneDecimal(out, static_cast<double>(rule.MaxPrivateBytes) / static_cast<double>(kBytesPerMB));
        out.push_back(',');
        AppendOneDecimal(out, rule.MaxCPU);
        for (const uint32_t value :
             {rule.MaxThreads, rule.MaxGDI, rule.MaxUSER, rule.AlertActions, rule.CooldownSec, rule.SustainSec}) {
            out.push_back(',');
            AppendUnsigned(out, value);
        }
        out += "\r\n";
    }
    return out;
}
