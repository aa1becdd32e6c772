#pragma once
// The evaluator's interface to its functions: the cell being computed, how
// a reference is read, and the conversions between values that operators
// and functions share. Internal to the formula engine.
#include <QString>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "excel/formula/Parser.h"
#include "excel/formula/Value.h"

namespace excel {
struct WorkbookImpl;
}

namespace excel::formula {

class Evaluator;

struct Function {
    const char* name;
    int minArgs;
    int maxArgs;  // -1: any number
    // Null for the forms the evaluator computes itself because they leave
    // arguments unevaluated (IF, IFS, IFERROR, IFNA, CHOOSE, AND, OR).
    Value (*compute)(Evaluator&, std::vector<Value>& args);
};

// Thrown when a formula needs a construct we do not compute (a defined name
// we cannot read); the cell keeps its stored value.
struct NotComputable {};

class Evaluator {
public:
    explicit Evaluator(WorkbookImpl& impl);
    virtual ~Evaluator() = default;

    // The cell being computed.
    int sheet = 0;
    CellRef at;
    bool date1904 = false;

    Value evaluate(const Node& node);
    // The value of one cell, its formula computed first when it has one.
    virtual Value cell(int sheet, int row, int col) = 0;
    // Visits the cells of a reference that hold a value (blank cells are
    // skipped; a formula's "" is not blank), or every element of an array,
    // or the value itself.
    void forEachValue(const Value& v, const std::function<void(const Value&)>& visit);
    // The values of a reference or array as rows x cols; a reference is cut
    // to the part of its sheet that holds cells (a whole column is as long
    // as the sheet), so the shape may be smaller than the reference.
    Array values(const Value& v, int& rows, int& cols);
    // Element (r, c) of a reference or array relative to its top-left;
    // blank outside.
    Value elementAt(const Value& v, int r, int c);
    // A single value: a one-cell reference read, a larger one cut down to
    // the cell in the formula's row or column, an array's first element.
    Value scalar(const Value& v);

    // Conversions of a scalar; an error value is returned as the failure.
    std::optional<Value> toNumber(const Value& v, double& out);
    std::optional<Value> toText(const Value& v, QString& out);
    std::optional<Value> toBool(const Value& v, bool& out);

    WorkbookImpl& impl;

protected:
    int sheetIndex(const QString& name);
    Value name(const QString& name);
    std::unordered_map<QString, int> sheetNames_;
    std::unordered_map<QString, std::shared_ptr<const Parsed>> names_;
    // The last row and column of a sheet that hold cells.
    std::unordered_map<int, CellRef> extent_;
    CellRef extent(int sheet);
    int nameDepth_ = 0;
    int nesting_ = 0;  // of evaluate() calls

private:
    Value call(const Node& node);
    Value binaryOp(Node::Op op, const Value& a, const Value& b);
    Value unaryOp(Node::Op op, const Value& a);
};

// Shared conversions.
QString numberToText(double v);
// A text that reads as a number: "1,234.5", "12%", "2024/3/5", "9:30".
std::optional<double> textToNumber(QStringView text, bool date1904);
// v to fifteen significant digits: two numbers that agree that far are
// equal, as a spreadsheet shows and compares them (0.1+0.2 equals 0.3).
double to15(double v);
// Orders two scalars as a comparison operator does: numbers before texts
// before booleans, texts without letter case.
int compareValues(const Value& a, const Value& b);

}  // namespace excel::formula
