#include "rules/rule_store.h"

#include <algorithm>

std::shared_ptr<const RuleList> RuleStore::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return rules_;
}

size_t RuleStore::Count() const {
    return Snapshot()->size();
}

void RuleStore::Publish(std::shared_ptr<const RuleList> rules) {
    keepUnreadFile_ = false;
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.swap(rules);
}

namespace {

std::unordered_set<uint32_t> IdsOf(const RuleList& rules) {
    std::unordered_set<uint32_t> ids;
    for (const ThresholdRule& rule : rules) {
        ids.insert(rule.RuleId);
    }
    return ids;
}

}  // namespace

// A loaded id of 4294967295 wraps the counter; skipping 0 and ids in use keeps a new rule from
// sharing an id with an old one, which Remove and Update would then act on instead.
uint32_t RuleStore::TakeFreeId(const std::unordered_set<uint32_t>& used) {
    uint32_t id = 0;
    do {
        id = nextRuleId_++;
    } while (id == 0 || used.contains(id));
    return id;
}

uint32_t RuleStore::NewRuleId() {
    std::lock_guard<std::mutex> lock(changeMutex_);
    return TakeFreeId(IdsOf(*Snapshot()));
}

void RuleStore::Add(const ThresholdRule& rule) {
    std::lock_guard<std::mutex> lock(changeMutex_);
    auto rules = std::make_shared<RuleList>(*Snapshot());
    rules->push_back(rule);
    Publish(std::move(rules));
}

void RuleStore::AddNewRules(RuleList added) {
    if (added.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(changeMutex_);
    auto rules = std::make_shared<RuleList>(*Snapshot());
    const std::unordered_set<uint32_t> used = IdsOf(*rules);
    rules->reserve(rules->size() + added.size());
    for (ThresholdRule& rule : added) {
        rule.RuleId = TakeFreeId(used);  // the counter only rises: added rules never share one
        rules->push_back(std::move(rule));
    }
    Publish(std::move(rules));
}

void RuleStore::PutBefore(RuleList loaded) {
    std::lock_guard<std::mutex> lock(changeMutex_);
    const auto current = Snapshot();
    const std::unordered_set<uint32_t> loadedIds = IdsOf(loaded);
    std::unordered_set<uint32_t> used = IdsOf(*current);
    for (const uint32_t id : loadedIds) {
        used.insert(id);
        nextRuleId_ = std::max(nextRuleId_, id + 1);  // the highest id wraps and leaves it as it is
    }
    auto rules = std::make_shared<RuleList>(std::move(loaded));
    for (ThresholdRule rule : *current) {
        if (loadedIds.contains(rule.RuleId)) {
            rule.RuleId = TakeFreeId(used);
            used.insert(rule.RuleId);
        }
        rules->push_back(std::move(rule));
    }
    Publish(std::move(rules));
}

std::optional<ThresholdRule> RuleStore::FindById(uint32_t id) const {
    const auto rules = Snapshot();
    const auto found =
        std::find_if(rules->begin(), rules->end(), [id](const ThresholdRule& r) { return r.RuleId == id; });
    if (found == rules->end()) {
        return std::nullopt;
    }
    return *found;
}

void RuleStore::Update(const ThresholdRule& rule) {
    std::lock_guard<std::mutex> lock(changeMutex_);
    const auto current = Snapshot();
    const auto found =
        std::find_if(current->begin(), current->end(), [&](const ThresholdRule& r) { return r.RuleId == rule.RuleId; });
    if (found == current->end()) {
        return;
    }
    auto rules = std::make_shared<RuleList>(*current);
    (*rules)[static_cast<size_t>(found - current->begin())] = rule;
    Publish(std::move(rules));
}

void RuleStore::Remove(uint32_t id) {
    std::lock_guard<std::mutex> lock(changeMutex_);
    const auto current = Snapshot();
    const auto found =
        std::find_if(current->begin(), current->end(), [id](const ThresholdRule& r) { return r.RuleId == id; });
    if (found == current->end()) {
        return;
    }
    auto rules = std::make_shared<RuleList>(*current);
    rules->erase(rules->begin() + (found - current->begin()));
    Publish(std::move(rules));
}

void RuleStore::Clear() {
    std::lock_guard<std::mutex> lock(changeMutex_);
    Publish(std::make_shared<const RuleList>());
}
