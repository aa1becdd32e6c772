#pragma once
#include <vector>

namespace excel::window {

// Where the rows (or the columns) of a sheet lie along one axis, in points.
// Index 0 is the first row or column. Built once per sheet and kept: with
// prefix sums, finding the row under a point of a 100,000-row sheet is a
// binary search, not a walk.
class AxisLayout {
public:
    AxisLayout() = default;
    explicit AxisLayout(std::vector<double> sizes);

    int count() const { return static_cast<int>(sizes_.size()); }
    double size(int index) const { return sizes_.at(index); }
    // Leading edge of index; start(count()) is the total length.
    double start(int index) const { return starts_.at(index); }
    double end(int index) const { return starts_.at(index + 1); }
    double total() const { return starts_.back(); }
    // Sum of the sizes from first to last inclusive; 0 when last < first.
    double length(int first, int last) const;
    // The index whose span holds pos; positions before the start give 0 and
    // those past the end give count() - 1. A hidden (zero-size) index is
    // never returned when a visible one holds the position.
    int indexAt(double pos) const;

private:
    std::vector<double> sizes_;
    std::vector<double> starts_{0.0};
};

}  // namespace excel::window
