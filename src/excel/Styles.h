#pragma once
// The workbook's styles part, read into resolved CellStyle values for
// painting, plus the one change the engine makes to it: a copy of a cell's
// style with a date format, for a date written into a cell whose format shows
// no date.
#include <QByteArray>
#include <QColor>
#include <map>
#include <pugixml.hpp>
#include <vector>

#include "excel/Model.h"

namespace excel {

class Styles {
public:
    // bytes may be empty (a package without styles): defaults then apply.
    void load(const QByteArray& bytes, const QByteArray& themeBytes);
    const CellStyle& style(int xfIndex) const;  // index out of range -> default
    bool isDate(int xfIndex) const;
    // The style index to give a cell of style xfIndex that receives a date.
    // Adds a style to the part when needed (then changed() turns true).
    int dateStyleFor(int xfIndex);
    bool changed() const { return changed_; }
    QByteArray serialize() const;
    Font defaultFont() const { return style(0).font; }

private:
    QColor color(const pugi::xml_node& n) const;
    CellStyle resolve(const pugi::xml_node& xf) const;

    pugi::xml_document doc_;
    std::vector<QColor> theme_;
    std::vector<CellStyle> styles_;
    CellStyle fallback_;
    std::map<int, int> dateStyles_;
    bool changed_ = false;
};

}  // namespace excel
