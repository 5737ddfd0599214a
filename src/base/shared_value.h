#pragma once

#include <memory>
#include <mutex>
#include <utility>

// A value that one thread replaces whole while others read it: readers take an immutable
// snapshot under a lock held only for the pointer copy, so no reader ever sees a torn value
// and none waits for a writer's work.
template <typename T>
class SharedValue {
public:
    SharedValue() : value_(std::make_shared<const T>()) {}
    explicit SharedValue(T initial) : value_(std::make_shared<const T>(std::move(initial))) {}

    std::shared_ptr<const T> Snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }
    T Get() const { return *Snapshot(); }
    void Set(T value) {
        auto replacement = std::make_shared<const T>(std::move(value));
        std::lock_guard<std::mutex> lock(mutex_);
        value_.swap(replacement);
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const T> value_;
};
