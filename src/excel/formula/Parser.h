#pragma once
// Reads a formula as a workbook stores it (A1 references, no leading "=")
// into a tree. Operators bind as a spreadsheet binds them, loosest first:
// comparisons, "&", "+ -", "* /", "^", "%", unary minus, ":".
#include <QString>
#include <memory>
#include <vector>

#include "excel/Model.h"

namespace excel::formula {

struct Function;

struct Node {
    enum class Op : unsigned char {
        Number, Text, Bool, Error, Ref, Name, Call, Missing, ArrayConst,
        Neg, Plus, Percent,
        Add, Sub, Mul, Div, Pow, Concat, Eq, Ne, Lt, Le, Gt, Ge, Range,
    };
    Op op = Op::Number;
    double num = 0;
    QString text;    // Text, Error, Name; Ref: the sheet name ("" = the formula's own sheet)
    RangeRef range;  // Ref
    const Function* function = nullptr;  // Call
    int rows = 0, cols = 0;              // ArrayConst: args hold rows*cols constants
    std::vector<Node> args;
};

struct Parsed {
    Node root;
    // False when the text does not parse, or uses a function, an external
    // workbook or a construct we do not compute: the cell then keeps the
    // value it was stored with.
    bool supported = true;
};

std::shared_ptr<const Parsed> parseFormula(const QString& text);

// The function a name stands for (upper case, without "_xlfn." prefixes);
// null for a function we do not compute.
const Function* findFunction(const QString& upperName);

}  // namespace excel::formula
