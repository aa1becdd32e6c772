#pragma once
// Per-column settings of the shown table or saved query. Descriptor i belongs
// to grid column i and data-set field i; the main window keeps them by value
// in one vector, so emptying the vector frees them and nothing else owns them.
// Widths, decimals and filters live here so that they survive every re-query.
#include <QString>

#include <cstdint>
#include <vector>

struct TFieldDescriptor {
    QString FieldName;
    std::uint8_t DataType = 0;  // field-type code (db::FieldType numbering)
    int FilterCondition = 0;    // 0 = no filter, 1..9 see view::FilterCondition
    QString CompareA;
    QString CompareB;
    int ColumnWidth = 80;  // pixels
    int Decimals = 1;      // 0..10, shown digits of a float column

    TFieldDescriptor() = default;
    TFieldDescriptor(const QString& name, int type)
        : FieldName(name), DataType(static_cast<std::uint8_t>(type)) {}
};

using FieldDescriptorList = std::vector<TFieldDescriptor>;

namespace view {

// True when any descriptor carries a filter (the filter panel's state).
bool anyFilterSet(const FieldDescriptorList& descriptors);

}  // namespace view
