// Keeps the latest of a stream two at a time: when a third comes, the two before it go. A flood so shows its latest,
// while a text and the one right after it are both seen. The status line keeps its waiting texts so, and so does
// the reading of a run's texts between two takes (core/run/run_status.h). Portable (no Win32).
#pragma once

#include <cstddef>
#include <deque>
#include <utility>

template <typename T> class LatestTwo {
public:
    void Push(T item) {
        if (items_.size() == 2) {
            items_.clear();
        }
        items_.push_back(std::move(item));
    }
    bool Empty() const { return items_.empty(); }
    size_t Size() const { return items_.size(); }
    // The oldest kept, taken out.
    T TakeOldest() {
        T oldest = std::move(items_.front());
        items_.pop_front();
        return oldest;
    }
    void Clear() { items_.clear(); }

private:
    std::deque<T> items_;
};
