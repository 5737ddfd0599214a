#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "rules/threshold_rule.h"

using RuleList = std::vector<ThresholdRule>;

// The rule list and its id counter. Readers (a monitoring pass, alert delivery,
// the dialogs) work on an immutable snapshot; every change replaces the list whole under the lock.
class RuleStore {
public:
    // Reads rules.csv; true when it was read, also when some lines had to be dropped (the file is
    // then copied to a backup by the next save). False with an empty list when the file is absent
    // or cannot be read (locked, offline, over 64 MiB).
    bool Load(const std::wstring& path);
    // False, with a trace, when the file could not be written. After a load that could not read
    // the file, the first save reads it again and puts its rules before the changes made since,
    // or, still unreadable, copies it to a backup first; false when neither can be done.
    bool Save(const std::wstring& path);
    // True from a load that could not read an existing file until a save has taken it over.
    bool HoldsUnreadFile() const { return unreadFile_; }
    // Save, except that a file the last load could not read is left as it was until the list changes.
    bool SaveAtExit(const std::wstring& path);
    bool ExportJson(const std::wstring& path) const;
    bool ImportJson(const std::wstring& path);

    // Never 0 and never an id a rule of the list holds.
    uint32_t NewRuleId();
    void Add(const ThresholdRule& rule);
    std::optional<ThresholdRule> FindById(uint32_t id) const;
    void Update(const ThresholdRule& rule);
    void Remove(uint32_t id);
    void Clear();
    // Appends the rules in order, each with an id from the counter, as one change (import, presets).
    void AddNewRules(RuleList rules);

    // A consistent copy of the list in order; cheap (a reference count), never torn.
    std::shared_ptr<const RuleList> Snapshot() const;
    size_t Count() const;

private:
    // Serialises changes (copy, modify, swap) so that readers, who take only mutex_, never wait
    // for a copy of the list.
    std::mutex changeMutex_;
    mutable std::mutex mutex_;
    std::shared_ptr<const RuleList> rules_ = std::make_shared<const RuleList>();
    uint32_t nextRuleId_ = 1;  // guarded by changeMutex_
    // Set by a load that could not read the file, cleared by any change of the list.
    std::atomic<bool> keepUnreadFile_{false};
    // Set by a load that dropped lines, cleared once the file is kept beside itself.
    std::atomic<bool> backupDue_{false};
    // Set by a load that could not read the file, cleared once a save has read or copied it.
    std::atomic<bool> unreadFile_{false};

    // Under changeMutex_: replaces the list, which counts as a change.
    void Publish(std::shared_ptr<const RuleList> rules);
    uint32_t TakeFreeId(const std::unordered_set<uint32_t>& used);
    bool TakeOverUnreadFile(const std::wstring& path);
    // Puts the rules before the list; a rule of the list whose id they use takes a new one.
    void PutBefore(RuleList rules);
};

// Where the next backup of the rules file goes: "<path>.bak", or when that exists
// "<path>.1.bak", "<path>.2.bak" and so on, so that no older copy is written over.
std::wstring NextBackupPath(const std::wstring& path);
