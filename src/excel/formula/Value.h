#pragma once
// The values a formula computes with: the cell values of the sheet plus a
// reference (a rectangle of cells on a sheet, read only when an operator or a
// function needs its contents) and an array (what an operator gives for
// ranges, e.g. (A1:A3="x")*B1:B3 inside SUMPRODUCT).
#include <QString>
#include <memory>
#include <vector>

#include "excel/Model.h"

namespace excel::formula {

// The error values a cell can hold, as written in a cell.
namespace err {
inline const QString Null = QStringLiteral("#NULL!");
inline const QString Div0 = QStringLiteral("#DIV/0!");
inline const QString Value = QStringLiteral("#VALUE!");
inline const QString Ref = QStringLiteral("#REF!");
inline const QString Name = QStringLiteral("#NAME?");
inline const QString Num = QStringLiteral("#NUM!");
inline const QString NA = QStringLiteral("#N/A");
}  // namespace err

struct Value;
using Array = std::vector<Value>;

struct Value {
    enum class Kind : unsigned char { Blank, Number, Text, Bool, Error, Ref, Array };
    Kind kind = Kind::Blank;
    double num = 0;  // Number; Bool as 0/1
    QString text;    // Text; Error ("#N/A")
    // Ref: the sheet (index in the book) and the rectangle.
    int sheet = -1;
    RangeRef range;
    // Array: rows x cols values, row by row.
    std::shared_ptr<const Array> array;
    int rows = 0, cols = 0;

    static Value number(double n) {
        Value v;
        v.kind = Kind::Number;
        v.num = n;
        return v;
    }
    static Value string(QString s) {
        Value v;
        v.kind = Kind::Text;
        v.text = std::move(s);
        return v;
    }
    static Value boolean(bool b) {
        Value v;
        v.kind = Kind::Bool;
        v.num = b ? 1 : 0;
        return v;
    }
    static Value error(const QString& code) {
        Value v;
        v.kind = Kind::Error;
        v.text = code;
        return v;
    }
    static Value ref(int sheet, const RangeRef& range) {
        Value v;
        v.kind = Kind::Ref;
        v.sheet = sheet;
        v.range = range;
        return v;
    }
    static Value makeArray(Array values, int rows, int cols) {
        Value v;
        v.kind = Kind::Array;
        v.array = std::make_shared<const Array>(std::move(values));
        v.rows = rows;
        v.cols = cols;
        return v;
    }

    bool isError() const { return kind == Kind::Error; }
    bool isBlank() const { return kind == Kind::Blank; }
    bool isNumber() const { return kind == Kind::Number; }
    bool isText() const { return kind == Kind::Text; }
    bool isBool() const { return kind == Kind::Bool; }
    bool isRef() const { return kind == Kind::Ref; }
    bool isArray() const { return kind == Kind::Array; }
    const Value& at(int r, int c) const { return (*array)[std::size_t(r * cols + c)]; }
};

}  // namespace excel::formula
