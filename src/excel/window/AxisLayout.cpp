#include "excel/window/AxisLayout.h"

#include <algorithm>

namespace excel::window {

AxisLayout::AxisLayout(std::vector<double> sizes) : sizes_(std::move(sizes)) {
    starts_.resize(sizes_.size() + 1);
    starts_[0] = 0;
    for (size_t i = 0; i < sizes_.size(); ++i)
        starts_[i + 1] = starts_[i] + std::max(0.0, sizes_[i]);
}

double AxisLayout::length(int first, int last) const {
    if (last < first) return 0;
    return start(last + 1) - start(first);
}

int AxisLayout::indexAt(double pos) const {
    if (sizes_.empty()) return 0;
    // The first leading edge beyond pos closes the span that holds it.
    auto it = std::upper_bound(starts_.begin(), starts_.end(), pos);
    int index = static_cast<int>(it - starts_.begin()) - 1;
    return std::clamp(index, 0, count() - 1);
}

}  // namespace excel::window
