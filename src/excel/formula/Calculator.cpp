// Recalculation of a whole workbook. Every formula cell is computed once per
// pass, the cells it reads first (depth first, so the order of the sheet does
// not matter); a cell met again while it is being computed is part of a
// circle and gets an error value instead of looping. Deep chains of cells
// are computed from their far end first, so the depth of recursion stays
// bounded however long a chain is.
//
// The pass runs when a value is read or the book saved after any change
// (WorkbookImpl::calculate); results go into the cells as their cached
// values, which is what a saved file carries for readers that do not
// calculate.
#include <QDateTime>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "excel/NumberFormat.h"
#include "excel/TypedText.h"
#include "excel/WorkbookImpl.h"
#include "excel/formula/Eval.h"

namespace excel::formula {

// --- conversions ----------------------------------------------------------------

QString numberToText(double v) {
    if (v == 0) return QStringLiteral("0");
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    QString out = QString::fromLatin1(buf);
    const qsizetype e = out.indexOf(u'e');
    if (e >= 0) {
        // "1.5e+20" is written "1.5E+20" as a spreadsheet writes it.
        QString mantissa = out.left(e), exponent = out.mid(e + 1);
        const QChar sign = exponent[0];
        exponent = exponent.mid(1);
        while (exponent.size() > 2 && exponent.startsWith(u'0')) exponent.remove(0, 1);
        out = mantissa + u'E' + sign + exponent;
    }
    return out;
}

namespace {

std::optional<double> timeOfDay(QStringView t) {
    const auto parts = t.split(u':');
    if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
    double values[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok || values[i] < 0 || parts[i].trimmed().isEmpty()) return std::nullopt;
    }
    if (values[1] >= 60 || values[2] >= 60) return std::nullopt;
    return (values[0] * 3600 + values[1] * 60 + values[2]) / 86400.0;
}

}  // namespace

std::optional<double> textToNumber(QStringView text, bool date1904) {
    QStringView t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    double v = t.toDouble(&ok);
    if (ok && std::isfinite(v)) return v;
    // A percentage, or digits grouped with commas.
    bool percent = false;
    QString s = t.toString();
    if (s.endsWith(u'%')) {
        percent = true;
        s.chop(1);
    }
    if (s.contains(u',')) {
        static const QRegularExpression grouped(
            QStringLiteral("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d*)?$"));
        if (grouped.match(s).hasMatch()) s.remove(u',');
    }
    v = s.trimmed().toDouble(&ok);
    if (ok && std::isfinite(v)) return percent ? v / 100 : v;
    if (percent) return std::nullopt;
    // A date, a date with a time, or a time.
    if (auto dt = parseWholeDate(t)) return dateTimeToSerial(*dt, date1904);
    if (auto time = timeOfDay(t)) return *time;
    return std::nullopt;
}

double to15(double v) {
    if (v == 0 || !std::isfinite(v)) return v;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", v);
    return std::strtod(buf, nullptr);
}

namespace {

int rank(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Text:
            return 1;
        case Value::Kind::Bool:
            return 2;
        default:
            return 0;
    }
}

}  // namespace

int compareValues(const Value& a, const Value& b) {
    if (a.isBlank() && b.isBlank()) return 0;
    if (a.isBlank()) {
        if (b.isText()) return b.text.isEmpty() ? 0 : -1;
        return compareValues(b.isBool() ? Value::boolean(false) : Value::number(0), b);
    }
    if (b.isBlank()) return -compareValues(b, a);
    const int ra = rank(a), rb = rank(b);
    if (ra != rb) return ra < rb ? -1 : 1;
    if (a.isText()) {
        const int c = QString::compare(a.text, b.text, Qt::CaseInsensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    const double x = to15(a.num), y = to15(b.num);
    return x < y ? -1 : x > y ? 1 : 0;
}

// --- the evaluator ------------------------------------------------------------------

Evaluator::Evaluator(WorkbookImpl& book) : date1904(book.date1904), impl(book) {}

int Evaluator::sheetIndex(const QString& name) {
    if (sheetNames_.empty())
        for (std::size_t i = 0; i < impl.sheets.size(); ++i)
            sheetNames_.emplace(impl.sheets[i].name.toUpper(), int(i));
    const auto it = sheetNames_.find(name.toUpper());
    if (it == sheetNames_.end()) return -1;
    return impl.sheets[std::size_t(it->second)].isWorksheet ? it->second : -1;
}

Value Evaluator::name(const QString& n) {
    const DefinedName* found = nullptr;
    for (const DefinedName& d : impl.names) {
        if (d.name.compare(n, Qt::CaseInsensitive) != 0) continue;
        if (d.localSheet == sheet) {
            found = &d;
            break;
        }
        if (d.localSheet < 0) found = &d;
    }
    if (!found) return Value::error(err::Name);
    const QString key = QString::number(found->localSheet) + u'!' + found->name;
    auto it = names_.find(key);
    if (it == names_.end()) it = names_.emplace(key, parseFormula(found->value)).first;
    if (!it->second->supported || nameDepth_ > 16) throw NotComputable{};
    ++nameDepth_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{nameDepth_};
    return evaluate(it->second->root);
}

CellRef Evaluator::extent(int s) {
    auto it = extent_.find(s);
    if (it != extent_.end()) return it->second;
    CellRef e{0, 0};
    const SheetData& data = impl.sheetData(s);
    for (const StoredRow& row : data.cells.rows()) {
        if (row.cells.empty()) continue;
        e.row = row.row;
        e.col = std::max<int>(e.col, row.cells.back().col);
    }
    extent_.emplace(s, e);
    return e;
}

Value Evaluator::scalar(const Value& v) {
    if (v.isRef()) {
        const RangeRef& r = v.range;
        if (r.singleCell()) return cell(v.sheet, r.first.row, r.first.col);
        if (r.first.col == r.last.col && at.row >= r.first.row && at.row <= r.last.row)
            return cell(v.sheet, at.row, r.first.col);
        if (r.first.row == r.last.row && at.col >= r.first.col && at.col <= r.last.col)
            return cell(v.sheet, r.first.row, at.col);
        return Value::error(err::Value);
    }
    if (v.isArray()) return v.rows && v.cols ? scalar(v.at(0, 0)) : Value::error(err::Value);
    return v;
}

std::optional<Value> Evaluator::toNumber(const Value& in, double& out) {
    const Value v = scalar(in);
    switch (v.kind) {
        case Value::Kind::Blank:
            out = 0;
            return std::nullopt;
        case Value::Kind::Number:
        case Value::Kind::Bool:
            out = v.num;
            return std::nullopt;
        case Value::Kind::Text:
            if (auto n = textToNumber(v.text, date1904)) {
                out = *n;
                return std::nullopt;
            }
            return Value::error(err::Value);
        case Value::Kind::Error:
            return v;
        default:
            return Value::error(err::Value);
    }
}

std::optional<Value> Evaluator::toText(const Value& in, QString& out) {
    const Value v = scalar(in);
    switch (v.kind) {
        case Value::Kind::Blank:
            out.clear();
            return std::nullopt;
        case Value::Kind::Number:
            out = numberToText(v.num);
            return std::nullopt;
        case Value::Kind::Bool:
            out = v.num ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            return std::nullopt;
        case Value::Kind::Text:
            out = v.text;
            return std::nullopt;
        case Value::Kind::Error:
            return v;
        default:
            return Value::error(err::Value);
    }
}

std::optional<Value> Evaluator::toBool(const Value& in, bool& out) {
    const Value v = scalar(in);
    switch (v.kind) {
        case Value::Kind::Blank:
            out = false;
            return std::nullopt;
        case Value::Kind::Number:
        case Value::Kind::Bool:
            out = v.num != 0;
            return std::nullopt;
        case Value::Kind::Text:
            if (v.text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0) {
                out = true;
                return std::nullopt;
            }
            if (v.text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
                out = false;
                return std::nullopt;
            }
            return Value::error(err::Value);
        case Value::Kind::Error:
            return v;
        default:
            return Value::error(err::Value);
    }
}

void Evaluator::forEachValue(const Value& v, const std::function<void(const Value&)>& visit) {
    if (v.isArray()) {
        for (const Value& e : *v.array) visit(e);
        return;
    }
    if (!v.isRef()) {
        visit(v);
        return;
    }
    const RangeRef& r = v.range;
    const SheetData& data = impl.sheetData(v.sheet);
    const auto& rows = data.cells.rows();
    // Positions first: computing a formula met on the way may add texts,
    // never cells, but the walk should not depend on that.
    std::vector<CellRef> cells;
    for (std::size_t i = data.cells.lowerRow(r.first.row);
         i < rows.size() && rows[i].row <= r.last.row; ++i) {
        const auto& rc = rows[i].cells;
        auto c = std::lower_bound(rc.begin(), rc.end(), r.first.col,
                                  [](const StoredCell& s, int col) { return s.col < col; });
        for (; c != rc.end() && c->col <= r.last.col; ++c)
            if (c->kind != CellKind::None || (c->flags & StoredCell::HasFormula))
                cells.push_back({rows[i].row, c->col});
    }
    for (const CellRef& at : cells) {
        const Value x = cell(v.sheet, at.row, at.col);
        if (!x.isBlank()) visit(x);
    }
}

Value Evaluator::elementAt(const Value& v, int r, int c) {
    if (v.isRef()) {
        const int row = v.range.first.row + r, col = v.range.first.col + c;
        if (row < 1 || col < 1 || row > 1048576 || col > 16384) return {};
        return cell(v.sheet, row, col);
    }
    if (v.isArray()) {
        if (r < v.rows && c < v.cols) return v.at(r, c);
        // A single row or column is repeated along the other direction.
        if (v.rows == 1 && c < v.cols) return v.at(0, c);
        if (v.cols == 1 && r < v.rows) return v.at(r, 0);
        return Value::error(err::NA);
    }
    return v;
}

Array Evaluator::values(const Value& v, int& rows, int& cols) {
    if (v.isArray()) {
        rows = v.rows;
        cols = v.cols;
        return *v.array;
    }
    if (!v.isRef()) {
        rows = cols = 1;
        return {v};
    }
    RangeRef r = v.range;
    const CellRef e = extent(v.sheet);
    r.last.row = std::min(r.last.row, std::max(e.row, r.first.row));
    r.last.col = std::min(r.last.col, std::max(e.col, r.first.col));
    rows = r.last.row - r.first.row + 1;
    cols = r.last.col - r.first.col + 1;
    if (qint64(rows) * cols > 4000000) throw NotComputable{};
    Array out;
    out.reserve(std::size_t(rows * cols));
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) out.push_back(cell(v.sheet, r.first.row + i, r.first.col + j));
    return out;
}

Value Evaluator::unaryOp(Node::Op op, const Value& a) {
    if (a.isArray() || (a.isRef() && !a.range.singleCell())) {
        int rows = 0, cols = 0;
        Array in = values(a, rows, cols);
        for (Value& e : in) e = unaryOp(op, e);
        return Value::makeArray(std::move(in), rows, cols);
    }
    if (op == Node::Op::Plus) return scalar(a);
    double x = 0;
    if (auto e = toNumber(a, x)) return *e;
    return Value::number(op == Node::Op::Neg ? -x : x / 100);
}

Value Evaluator::binaryOp(Node::Op op, const Value& a, const Value& b) {
    const bool arrayA = a.isArray() || (a.isRef() && !a.range.singleCell());
    const bool arrayB = b.isArray() || (b.isRef() && !b.range.singleCell());
    if (arrayA || arrayB) {
        int ra = 1, ca = 1, rb = 1, cb = 1;
        Value va, vb;
        if (arrayA) {
            Array items = values(a, ra, ca);
            va = Value::makeArray(std::move(items), ra, ca);
        } else {
            va = scalar(a);
        }
        if (arrayB) {
            Array items = values(b, rb, cb);
            vb = Value::makeArray(std::move(items), rb, cb);
        } else {
            vb = scalar(b);
        }
        const int rows = std::max(ra, rb), cols = std::max(ca, cb);
        Array out;
        out.reserve(std::size_t(rows * cols));
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j)
                out.push_back(binaryOp(op, elementAt(va, i, j), elementAt(vb, i, j)));
        return Value::makeArray(std::move(out), rows, cols);
    }
    const Value x = scalar(a), y = scalar(b);
    switch (op) {
        case Node::Op::Concat: {
            QString s, t;
            if (auto e = toText(x, s)) return *e;
            if (auto e = toText(y, t)) return *e;
            return Value::string(s + t);
        }
        case Node::Op::Eq:
        case Node::Op::Ne:
        case Node::Op::Lt:
        case Node::Op::Le:
        case Node::Op::Gt:
        case Node::Op::Ge: {
            if (x.isError()) return x;
            if (y.isError()) return y;
            const int c = compareValues(x, y);
            switch (op) {
                case Node::Op::Eq:
                    return Value::boolean(c == 0);
                case Node::Op::Ne:
                    return Value::boolean(c != 0);
                case Node::Op::Lt:
                    return Value::boolean(c < 0);
                case Node::Op::Le:
                    return Value::boolean(c <= 0);
                case Node::Op::Gt:
                    return Value::boolean(c > 0);
                default:
                    return Value::boolean(c >= 0);
            }
        }
        default:
            break;
    }
    double p = 0, q = 0;
    if (auto e = toNumber(x, p)) return *e;
    if (auto e = toNumber(y, q)) return *e;
    double r = 0;
    switch (op) {
        case Node::Op::Add:
            r = p + q;
            // Sums that cancel to within rounding show as 0, as a spreadsheet shows them.
            if (std::fabs(r) < std::max(std::fabs(p), std::fabs(q)) * 1e-15) r = 0;
            break;
        case Node::Op::Sub:
            r = p - q;
            if (std::fabs(r) < std::max(std::fabs(p), std::fabs(q)) * 1e-15) r = 0;
            break;
        case Node::Op::Mul:
            r = p * q;
            break;
        case Node::Op::Div:
            if (q == 0) return Value::error(err::Div0);
            r = p / q;
            break;
        case Node::Op::Pow:
            if (p == 0 && q == 0) return Value::error(err::Num);
            if (p == 0 && q < 0) return Value::error(err::Div0);
            r = std::pow(p, q);
            break;
        default:
            return Value::error(err::Value);
    }
    if (!std::isfinite(r)) return Value::error(err::Num);
    return Value::number(r);
}

Value Evaluator::evaluate(const Node& node) {
    ++nesting_;
    struct Leave {
        int& n;
        ~Leave() { --n; }
    } leave{nesting_};
    switch (node.op) {
        case Node::Op::Number:
            return Value::number(node.num);
        case Node::Op::Text:
            return Value::string(node.text);
        case Node::Op::Bool:
            return Value::boolean(node.num != 0);
        case Node::Op::Error:
            return Value::error(node.text);
        case Node::Op::Missing:
            return {};
        case Node::Op::Ref: {
            const int s = node.text.isEmpty() ? sheet : sheetIndex(node.text);
            if (s < 0) return Value::error(err::Ref);
            return Value::ref(s, node.range);
        }
        case Node::Op::Name:
            return name(node.text);
        case Node::Op::ArrayConst: {
            Array items;
            items.reserve(node.args.size());
            for (const Node& n : node.args) items.push_back(evaluate(n));
            return Value::makeArray(std::move(items), node.rows, node.cols);
        }
        case Node::Op::Call:
            return call(node);
        case Node::Op::Neg:
        case Node::Op::Plus:
        case Node::Op::Percent:
            return unaryOp(node.op, evaluate(node.args[0]));
        case Node::Op::Range: {
            const Value a = evaluate(node.args[0]);
            const Value b = evaluate(node.args[1]);
            if (a.isError()) return a;
            if (b.isError()) return b;
            if (!a.isRef() || !b.isRef() || a.sheet != b.sheet) return Value::error(err::Value);
            RangeRef r;
            r.first = {std::min(a.range.first.row, b.range.first.row),
                       std::min(a.range.first.col, b.range.first.col)};
            r.last = {std::max(a.range.last.row, b.range.last.row),
                      std::max(a.range.last.col, b.range.last.col)};
            return Value::ref(a.sheet, r);
        }
        default:
            return binaryOp(node.op, evaluate(node.args[0]), evaluate(node.args[1]));
    }
}

Value Evaluator::call(const Node& node) {
    const Function* f = node.function;
    if (!f) throw NotComputable{};
    const int n = int(node.args.size());
    if (n < f->minArgs || (f->maxArgs >= 0 && n > f->maxArgs)) return Value::error(err::Value);
    if (!f->compute) {
        // The forms that evaluate only the arguments they need.
        const QLatin1StringView name(f->name);
        if (name == QLatin1String("IF")) {
            bool c = false;
            if (auto e = toBool(evaluate(node.args[0]), c)) return *e;
            if (c) return evaluate(node.args[1]);
            return n > 2 ? evaluate(node.args[2]) : Value::boolean(false);
        }
        if (name == QLatin1String("IFS")) {
            if (n % 2) return Value::error(err::Value);
            for (int i = 0; i < n; i += 2) {
                bool c = false;
                if (auto e = toBool(evaluate(node.args[std::size_t(i)]), c)) return *e;
                if (c) return evaluate(node.args[std::size_t(i + 1)]);
            }
            return Value::error(err::NA);
        }
        if (name == QLatin1String("IFERROR") || name == QLatin1String("IFNA")) {
            Value v = evaluate(node.args[0]);
            const Value s = v.isArray() || v.isRef() ? scalar(v) : v;
            const bool onlyNA = name == QLatin1String("IFNA");
            if (s.isError() && (!onlyNA || s.text == err::NA)) return evaluate(node.args[1]);
            return s;
        }
        if (name == QLatin1String("CHOOSE")) {
            double x = 0;
            if (auto e = toNumber(evaluate(node.args[0]), x)) return *e;
            const int i = int(std::trunc(x));
            if (i < 1 || i >= n) return Value::error(err::Value);
            return evaluate(node.args[std::size_t(i)]);
        }
        throw NotComputable{};
    }
    std::vector<Value> args;
    args.reserve(std::size_t(n));
    for (const Node& a : node.args) args.push_back(evaluate(a));
    return f->compute(*this, args);
}

// --- the pass over the workbook -----------------------------------------------------

namespace {

struct TooDeep {
    std::uint64_t key;
};

std::uint64_t cellKey(int sheet, int row, int col) {
    return (std::uint64_t(sheet) << 40) | CellStore::key(row, col);
}

class BookCalculation : public Evaluator {
public:
    explicit BookCalculation(WorkbookImpl& book) : Evaluator(book) {}

    void run() {
        std::vector<std::uint64_t> order;
        for (std::size_t i = 0; i < impl.sheets.size(); ++i) {
            if (!impl.sheets[i].isWorksheet) continue;
            SheetData& data = impl.sheetData(int(i));
            if (!data.sheetData) continue;
            impl.sheetObjects[i]->forEachFormula([&](const CellRef& at, const QString& text) {
                const std::uint64_t key = cellKey(int(i), at.row, at.col);
                Entry e;
                e.parsed = parsed(text);
                const auto f = data.cells.formulas.find(CellStore::key(at.row, at.col));
                if (f != data.cells.formulas.end() && spansCells(f->second)) e.supported = false;
                if (!e.parsed->supported) e.supported = false;
                if (!e.supported) {
                    e.state = State::Done;
                    impl.uncalculated.push_back({int(i), at});
                }
                entries_.emplace(key, e);
                order.push_back(key);
            });
        }
        for (std::uint64_t key : order) {
            if (entries_[key].state == State::Done) continue;
            std::vector<std::uint64_t> work{key};
            while (!work.empty()) {
                const std::uint64_t top = work.back();
                try {
                    compute(top);
                    work.pop_back();
                } catch (const TooDeep& deep) {
                    entries_[deep.key].state = State::Pending;
                    work.push_back(deep.key);
                }
            }
        }
    }

    Value cell(int s, int row, int col) override {
        SheetData& data = impl.sheetData(s);
        const StoredCell* c = data.cells.find(row, col);
        if (!c) return {};
        if (c->flags & StoredCell::HasFormula) {
            const std::uint64_t key = cellKey(s, row, col);
            auto it = entries_.find(key);
            if (it != entries_.end() && it->second.state != State::Done) {
                if (it->second.state != State::Waiting) return circular();
                compute(key);
            }
            c = data.cells.find(row, col);
        }
        return stored(data, *c);
    }

private:
    enum class State : unsigned char { Waiting, Pending, Running, Done };
    struct Entry {
        std::shared_ptr<const Parsed> parsed;
        State state = State::Waiting;
        bool supported = true;
    };
    std::unordered_map<std::uint64_t, Entry> entries_;
    int depth_ = 0;
    static constexpr int kMaxDepth = 200;
    static constexpr int kMaxNesting = 4000;

    static Value circular() { return Value::error(err::Value); }

    // A formula entered over several cells at once gives one result per
    // cell; only its first cell holds the formula, so it is not recomputed.
    static bool spansCells(const Formula& f) {
        const QByteArray& a = f.attributes;
        if (!a.contains("t=\"array\"")) return false;
        const qsizetype at = a.indexOf(" ref=\"");
        if (at < 0) return false;
        const qsizetype end = a.indexOf('"', at + 6);
        return a.mid(at + 6, end - at - 6).contains(':');
    }

    // Parsed trees are immutable and shared: by the cells of one book, and
    // by the books of one run (output opens the same template for every
    // document).
    std::shared_ptr<const Parsed> parsed(const QString& text) {
        auto& cache = impl.parsedFormulas;
        if (auto it = cache.find(text); it != cache.end()) return it->second;
        if (cache.size() > 200000) cache.clear();
        static std::mutex mutex;
        static std::unordered_map<QString, std::shared_ptr<const Parsed>> recent;
        std::shared_ptr<const Parsed> p;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (auto it = recent.find(text); it != recent.end()) p = it->second;
        }
        if (!p) {
            p = parseFormula(text);
            std::lock_guard<std::mutex> lock(mutex);
            if (recent.size() >= 4096) recent.clear();
            recent.emplace(text, p);
        }
        cache.emplace(text, p);
        return p;
    }

    Value stored(const SheetData& data, const StoredCell& c) {
        switch (c.kind) {
            case CellKind::None:
                return {};
            case CellKind::Number:
                return Value::number(c.number);
            case CellKind::SharedText:
                return Value::string(impl.sharedString(c.text).toString());
            case CellKind::Text:
                return Value::string(data.cells.texts.text(c.text));
            case CellKind::Boolean:
                return Value::boolean(c.number != 0);
            case CellKind::Error:
                return Value::error(data.cells.texts.text(c.text));
        }
        return {};
    }

    void compute(std::uint64_t key) {
        Entry& e = entries_[key];
        if (e.state == State::Done) return;
        // Cells met inside deeply nested formulas count by their nesting too,
        // so the stack stays bounded whatever the file holds.
        if (depth_ >= kMaxDepth || nesting_ > kMaxNesting) throw TooDeep{key};
        const int s = int(key >> 40);
        const int row = int((key >> 16) & 0xFFFFFF), col = int(key & 0xFFFF);
        struct Frame {
            BookCalculation& calc;
            Entry& entry;
            State before;
            int sheet;
            CellRef at;
            bool done = false;
            ~Frame() {
                --calc.depth_;
                calc.sheet = sheet;
                calc.at = at;
                if (!done) entry.state = before;
            }
        } frame{*this, e, e.state, sheet, at};
        ++depth_;
        e.state = State::Running;
        sheet = s;
        at = {row, col};
        Value result;
        try {
            result = finish(evaluate(e.parsed->root));
        } catch (const NotComputable&) {
            // Keeps its stored value and is reported.
            e.supported = false;
            e.state = State::Done;
            frame.done = true;
            impl.uncalculated.push_back({s, {row, col}});
            return;
        }
        store(s, row, col, result);
        e.state = State::Done;
        frame.done = true;
    }

    // What a cell shows of a result.
    Value finish(const Value& v) {
        Value r = v.isRef() || v.isArray() ? scalar(v) : v;
        if (r.isBlank()) return Value::number(0);
        if (r.isNumber() && !std::isfinite(r.num)) return Value::error(err::Num);
        if (r.isNumber() && r.num == 0) r.num = 0;  // no "-0"
        return r;
    }

    void store(int s, int row, int col, const Value& v) {
        SheetData& data = impl.sheetData(s);
        StoredCell* c = data.cells.find(row, col);
        if (!c) return;
        const QStringView current =
            c->kind == CellKind::SharedText ? impl.sharedString(c->text)
            : (c->kind == CellKind::Text || c->kind == CellKind::Error)
                ? data.cells.texts.view(c->text)
                : QStringView();
        switch (v.kind) {
            case Value::Kind::Number:
                if (c->kind == CellKind::Number && c->number == v.num) return;
                c->kind = CellKind::Number;
                c->number = v.num;
                break;
            case Value::Kind::Bool:
                if (c->kind == CellKind::Boolean && c->number == v.num) return;
                c->kind = CellKind::Boolean;
                c->number = v.num;
                break;
            case Value::Kind::Text:
                if ((c->kind == CellKind::Text || c->kind == CellKind::SharedText) &&
                    current == v.text)
                    return;
                c->text = data.cells.texts.add(v.text);
                c->kind = CellKind::Text;
                break;
            case Value::Kind::Error:
                if (c->kind == CellKind::Error && current == v.text) return;
                c->text = data.cells.texts.add(v.text);
                c->kind = CellKind::Error;
                break;
            default:
                return;
        }
        if (c->flags & StoredCell::HasExtra) {
            auto it = data.cells.extras.find(CellStore::key(row, col));
            if (it != data.cells.extras.end()) {
                it->second.verbatim.clear();
                it->second.verbatimType.clear();
            }
        }
        data.dirty = true;
    }
};

}  // namespace

}  // namespace excel::formula

namespace excel {

void WorkbookImpl::calculate() {
    if (formulaResultsCurrent || calculating || format == SourceFormat::Csv) return;
    calculating = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{calculating};
    uncalculated.clear();
    formula::BookCalculation calc(*this);
    calc.run();
    formulaResultsCurrent = true;
}

QStringList Workbook::uncalculatedCells() const {
    WorkbookImpl& impl = *impl_;
    impl.calculate();
    QStringList out;
    for (const auto& [sheet, at] : impl.uncalculated) {
        QString name = impl.sheets[std::size_t(sheet)].name;
        name.replace(u'\'', QStringLiteral("''"));
        out << u'\'' + name + QStringLiteral("'!") + cellRefText(at);
    }
    return out;
}

}  // namespace excel
