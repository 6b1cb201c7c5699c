// The server list's rows in the order shown, each the table index of the server it shows. Portable (no Win32).
//
// The list view holds no rows of its own (it asks for each cell as it paints), so this is the one record of which
// servers are listed and where: listing ten thousand rows again is a vector's work, not ten thousand insertions
// into a control.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

class ServerRows {
public:
    int32_t Count() const { return static_cast<int32_t>(rows_.size()); }
    const std::vector<int32_t>& Indices() const { return rows_; }

    // The table index row `row` shows, or -1 outside the rows.
    int32_t IndexAt(int64_t row) const {
        return row >= 0 && row < static_cast<int64_t>(rows_.size()) ? rows_[static_cast<size_t>(row)] : -1;
    }

    // The row that shows table index `index`, or -1 when none does.
    int32_t RowOf(int32_t index) const {
        auto found = std::find(rows_.begin(), rows_.end(), index);
        return found == rows_.end() ? -1 : static_cast<int32_t>(found - rows_.begin());
    }

    // Lists `index` after every row that sorts equal to it, which is where appending it and sorting every row again
    // (the sort is stable) would put it; returns its row. `compare(a, b)` is negative, zero or positive as table
    // index a sorts before, with or after b.
    template <class Compare> int32_t InsertSorted(int32_t index, Compare compare) {
        auto place = std::upper_bound(rows_.begin(), rows_.end(), index,
                                      [&](int32_t a, int32_t b) { return compare(a, b) < 0; });
        auto row = place - rows_.begin(); // before the insertion, which may move the rows
        rows_.insert(place, index);
        return static_cast<int32_t>(row);
    }

    // Sorts the rows, keeping the order of rows that sort equal.
    template <class Compare> void Sort(Compare compare) {
        std::stable_sort(rows_.begin(), rows_.end(), [&](int32_t a, int32_t b) { return compare(a, b) < 0; });
    }

    // The rows become `indices`, in their order.
    void Assign(std::vector<int32_t> indices) { rows_ = std::move(indices); }
    void Clear() { rows_.clear(); }

private:
    std::vector<int32_t> rows_;
};
