#include <algorithm>
#include <string>

#include "base/debug_trace.h"
#include "base/file_io.h"
#include "rules/rule_csv.h"
#include "rules/rule_json.h"
#include "rules/rule_store.h"

namespace {

// Far beyond any list a user keeps; a larger file is not a rules file and is not read at all.
constexpr uint64_t kMaxRulesFileBytes = 64 * 1024 * 1024;

}  // namespace

bool RuleStore::Load(const std::wstring& path) {
    std::lock_guard<std::mutex> lock(changeMutex_);
    // A failed load leaves an empty list and a fresh counter.
    nextRuleId_ = 1;
    Publish(std::make_shared<const RuleList>());
    backupDue_ = false;
    unreadFile_ = false;

    std::string bytes;
    const FileRead read = ReadFileBytesUpTo(path, kMaxRulesFileBytes, bytes);
    if (read == FileRead::Missing) {
        DebugTrace(L"RuleStore::Load - Could not open %ls", path.c_str());
        return false;
    }
    if (read == FileRead::Failed) {
        // Saving the empty list at exit would wipe rules that were only out of reach for a while.
        keepUnreadFile_ = true;
        unreadFile_ = true;
        DebugTrace(L"RuleStore::Load - Could not read %ls; it is left as it is until the rules change", path.c_str());
        return false;
    }
    auto rules = std::make_shared<RuleList>();
    size_t dropped = 0;
    if (!ParseRulesCsv(bytes, *rules, dropped)) {
        return false;
    }
    uint32_t highestId = 0;
    for (const ThresholdRule& rule : *rules) {
        highestId = std::max(highestId, rule.RuleId);
    }
    nextRuleId_ = highestId + 1;  // may wrap to 0; new ids skip 0 and ids in use
    const auto count = static_cast<unsigned>(rules->size());
    Publish(std::move(rules));
    DebugTrace(L"RuleStore::Load - Loaded %u rules from %ls", count, path.c_str());
    if (dropped > 0) {
        backupDue_ = true;
        DebugTrace(
            L"RuleStore::Load - Dropped %u lines of %ls it could not read; the next save keeps the file as %ls.bak",
            static_cast<unsigned>(dropped), path.c_str(), path.c_str());
    }
    return true;
}

namespace {

// Written beside the old file and moved over it: a crash never leaves a truncated file, and a
// failed write keeps the old one. The traces name the path and, on success, the rule count.
bool WriteRulesFile(const std::wstring& path, const std::string& bytes, size_t count, const wchar_t* failedTrace,
                    const wchar_t* doneTrace) {
    if (!ReplaceFileBytes(path, bytes)) {
        DebugTrace(failedTrace, path.c_str());
        return false;
    }
    DebugTrace(doneTrace, static_cast<unsigned>(count), path.c_str());
    return true;
}

// Copies the file as it now stands to the next backup; true when it is kept or no longer exists.
bool KeepBackup(const std::wstring& path) {
    if (!PathExists(path)) {
        return true;
    }
    const std::wstring backup = NextBackupPath(path);
    if (!CopyFileBytes(path, backup)) {
        DebugTrace(L"RuleStore::Save - Could not keep %ls as %ls; it is left as it was", path.c_str(), backup.c_str());
        return false;
    }
    DebugTrace(L"RuleStore::Save - Kept %ls as loaded in %ls", path.c_str(), backup.c_str());
    return true;
}

}  // namespace

std::wstring NextBackupPath(const std::wstring& path) {
    std::wstring backup = path + L".bak";
    for (unsigned number = 1; PathExists(backup); ++number) {
        backup = path + L"." + std::to_wstring(number) + L".bak";
    }
    return backup;
}

// The rules a load could not read are never written over unseen: readable now, they join the
// list; still unreadable, the file is copied aside as it is.
bool RuleStore::TakeOverUnreadFile(const std::wstring& path) {
    std::string bytes;
    RuleList loaded;
    size_t dropped = 0;
    const FileRead read = ReadFileBytesUpTo(path, kMaxRulesFileBytes, bytes);
    if (read == FileRead::Done && ParseRulesCsv(bytes, loaded, dropped)) {
        const auto count = static_cast<unsigned>(loaded.size());
        PutBefore(std::move(loaded));
        backupDue_ = backupDue_ || dropped > 0;
        DebugTrace(L"RuleStore::Save - Read %ls now; its %u rules come before the changes made since", path.c_str(),
                   count);
    } else if (read != FileRead::Missing && !KeepBackup(path)) {
        return false;
    }
    unreadFile_ = false;
    return true;
}

bool RuleStore::Save(const std::wstring& path) {
    if (unreadFile_ && !TakeOverUnreadFile(path)) {
        return false;
    }
    // The lines a load dropped survive in the copy before this save overwrites them.
    if (backupDue_) {
        if (!KeepBackup(path)) {
            return false;
        }
        backupDue_ = false;
    }
    const auto rules = Snapshot();
    return WriteRulesFile(path, FormatRulesCsv(*rules), rules->size(),
                          L"RuleStore::Save - Could not open %ls for writing",
                          L"RuleStore::Save - Saved %u rules to %ls");
}

bool RuleStore::SaveAtExit(const std::wstring& path) {
    if (keepUnreadFile_) {
        DebugTrace(L"RuleStore::SaveAtExit - Left %ls as it was: it could not be read and the rules are unchanged",
                   path.c_str());
        return true;
    }
    return Save(path);
}

bool RuleStore::ExportJson(const std::wstring& path) const {
    const auto rules = Snapshot();
    return WriteRulesFile(path, FormatRulesJson(*rules), rules->size(),
                          L"RuleStore::ExportJson - Could not open %ls for writing",
                          L"RuleStore::ExportJson - Exported %u rules to %ls");
}

bool RuleStore::ImportJson(const std::wstring& path) {
    std::string bytes;
    // A file beyond the cap is no export of ours, and reading it whole could exhaust memory.
    if (ReadFileBytesUpTo(path, kMaxRulesFileBytes, bytes) != FileRead::Done) {
        DebugTrace(L"RuleStore::ImportJson - Could not open %ls", path.c_str());
        return false;
    }
    RuleList imported;
    if (!ParseRulesJson(bytes, imported)) {
        DebugTrace(L"RuleStore::ImportJson - No 'rules' array found");
        return false;
    }
    if (imported.empty()) {
        DebugTrace(L"RuleStore::ImportJson - No valid rules found in %ls", path.c_str());
        return false;
    }
    RuleList combined = *Snapshot();
    for (ThresholdRule rule : imported) {
        rule.RuleId = UINT32_MAX;  // the longest id a new rule can take
        combined.push_back(std::move(rule));
    }
    // The next start would not read a rules file this large, and every rule in it would be lost.
    if (FormatRulesCsv(combined).size() > kMaxRulesFileBytes) {
        DebugTrace(L"RuleStore::ImportJson - %ls would make the rules file larger than it can be read", path.c_str());
        return false;
    }
    const auto count = static_cast<unsigned>(imported.size());
    AddNewRules(std::move(imported));
    DebugTrace(L"RuleStore::ImportJson - Imported %u rules from %ls", count, path.c_str());
    return true;
}
