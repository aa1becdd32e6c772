// The worksheet functions office forms use. Each takes its evaluated
// arguments (references unread, so a function sees blanks and ranges as a
// spreadsheet's function does) and gives a value or an error value.
#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

#include "excel/NumberFormat.h"
#include "excel/TypedText.h"
#include "excel/formula/Eval.h"
#include "text/Cp932.h"

namespace excel::formula {

namespace {

using Args = std::vector<Value>;

#define NUMBER(var, value)                       \
    double var = 0;                              \
    if (auto e_ = ev.toNumber((value), var)) return *e_
#define TEXT(var, value)                       \
    QString var;                               \
    if (auto e_ = ev.toText((value), var)) return *e_
#define BOOL(var, value)                       \
    bool var = false;                          \
    if (auto e_ = ev.toBool((value), var)) return *e_

bool isRange(const Value& v) {
    return v.isRef() || v.isArray();
}

Value numberOrError(double r) {
    if (!std::isfinite(r)) return Value::error(err::Num);
    return Value::number(r == 0 ? 0 : r);
}

// --- aggregates ------------------------------------------------------------------

// Visits the numbers of the arguments as SUM counts them: in a range only
// numbers, given directly also booleans and texts that read as numbers.
// The first error met is the result.
std::optional<Value> eachNumber(Evaluator& ev, Args& args, const std::function<void(double)>& f) {
    std::optional<Value> error;
    for (const Value& a : args) {
        if (isRange(a)) {
            ev.forEachValue(a, [&](const Value& v) {
                if (error) return;
                if (v.isError())
                    error = v;
                else if (v.isNumber())
                    f(v.num);
            });
        } else if (a.isError()) {
            error = a;
        } else if (!a.isBlank()) {
            double x = 0;
            if (auto e = ev.toNumber(a, x))
                error = *e;
            else
                f(x);
        }
        if (error) return error;
    }
    return std::nullopt;
}

Value fnSum(Evaluator& ev, Args& args) {
    double sum = 0;
    if (auto e = eachNumber(ev, args, [&](double x) { sum += x; })) return *e;
    return numberOrError(sum);
}

Value fnAverage(Evaluator& ev, Args& args) {
    double sum = 0;
    int n = 0;
    if (auto e = eachNumber(ev, args, [&](double x) {
            sum += x;
            ++n;
        }))
        return *e;
    if (!n) return Value::error(err::Div0);
    return numberOrError(sum / n);
}

Value fnMin(Evaluator& ev, Args& args) {
    double m = INFINITY;
    if (auto e = eachNumber(ev, args, [&](double x) { m = std::min(m, x); })) return *e;
    return Value::number(std::isfinite(m) ? m : 0);
}

Value fnMax(Evaluator& ev, Args& args) {
    double m = -INFINITY;
    if (auto e = eachNumber(ev, args, [&](double x) { m = std::max(m, x); })) return *e;
    return Value::number(std::isfinite(m) ? m : 0);
}

Value fnCount(Evaluator& ev, Args& args) {
    double n = 0;
    for (const Value& a : args) {
        if (isRange(a))
            ev.forEachValue(a, [&](const Value& v) { n += v.isNumber(); });
        else if (a.isNumber() || a.isBool() ||
                 (a.isText() && textToNumber(a.text, ev.date1904)))
            ++n;
    }
    return Value::number(n);
}

Value fnCountA(Evaluator& ev, Args& args) {
    double n = 0;
    for (const Value& a : args) {
        if (isRange(a))
            ev.forEachValue(a, [&](const Value&) { ++n; });
        else if (!a.isBlank())
            ++n;
    }
    return Value::number(n);
}

double area(const Value& v) {
    if (v.isRef())
        return double(v.range.last.row - v.range.first.row + 1) *
               (v.range.last.col - v.range.first.col + 1);
    if (v.isArray()) return double(v.rows) * v.cols;
    return 1;
}

Value fnCountBlank(Evaluator& ev, Args& args) {
    if (!args[0].isRef()) return Value::error(err::Value);
    double filled = 0;
    ev.forEachValue(args[0], [&](const Value& v) { filled += !(v.isText() && v.text.isEmpty()); });
    return Value::number(area(args[0]) - filled);
}

Value fnSumProduct(Evaluator& ev, Args& args) {
    std::vector<Array> arrays;
    int rows = -1, cols = -1;
    for (const Value& a : args) {
        int r = 0, c = 0;
        arrays.push_back(ev.values(a, r, c));
        if (rows >= 0 && (r != rows || c != cols)) return Value::error(err::Value);
        rows = r;
        cols = c;
    }
    double sum = 0;
    for (std::size_t i = 0; i < arrays[0].size(); ++i) {
        double p = 1;
        for (const Array& arr : arrays) {
            const Value& v = arr[i];
            if (v.isError()) return v;
            p *= v.isNumber() ? v.num : 0;
        }
        sum += p;
    }
    return numberOrError(sum);
}

Value fnProduct(Evaluator& ev, Args& args) {
    double p = 1;
    int n = 0;
    if (auto e = eachNumber(ev, args, [&](double x) {
            p *= x;
            ++n;
        }))
        return *e;
    return numberOrError(n ? p : 0);
}

// The numbers of the arguments in ascending order.
std::optional<Value> sortedNumbers(Evaluator& ev, Args& args, std::vector<double>& out) {
    if (auto e = eachNumber(ev, args, [&](double x) { out.push_back(x); })) return e;
    std::sort(out.begin(), out.end());
    return std::nullopt;
}
Value fnMedian(Evaluator& ev, Args& args) {
    std::vector<double> v;
    if (auto e = sortedNumbers(ev, args, v)) return *e;
    if (v.empty()) return Value::error(err::Num);
    const std::size_t h = v.size() / 2;
    return Value::number(v.size() % 2 ? v[h] : (v[h - 1] + v[h]) / 2);
}
Value nth(Evaluator& ev, Args& args, bool largest) {
    Args values{args[0]};
    std::vector<double> v;
    if (auto e = sortedNumbers(ev, values, v)) return *e;
    NUMBER(k, args[1]);
    const double i = std::ceil(k);
    if (i < 1 || i > double(v.size())) return Value::error(err::Num);
    return Value::number(largest ? v[v.size() - std::size_t(i)] : v[std::size_t(i) - 1]);
}
Value fnLarge(Evaluator& ev, Args& args) {
    return nth(ev, args, true);
}
Value fnSmall(Evaluator& ev, Args& args) {
    return nth(ev, args, false);
}

// --- criteria (SUMIF, COUNTIF, ...) -------------------------------------------------

QRegularExpression wildcardPattern(const QString& pattern) {
    QString rx = QStringLiteral("^");
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'~' && i + 1 < pattern.size() &&
            (pattern[i + 1] == u'*' || pattern[i + 1] == u'?' || pattern[i + 1] == u'~')) {
            rx += QRegularExpression::escape(QString(pattern[++i]));
        } else if (c == u'*') {
            rx += QStringLiteral(".*");
        } else if (c == u'?') {
            rx += u'.';
        } else {
            rx += QRegularExpression::escape(QString(c));
        }
    }
    rx += u'$';
    return QRegularExpression(rx, QRegularExpression::CaseInsensitiveOption |
                                      QRegularExpression::DotMatchesEverythingOption);
}

bool hasWildcards(const QString& s) {
    return s.contains(u'*') || s.contains(u'?') || s.contains(u'~');
}

struct Criterion {
    enum Op { Eq, Ne, Lt, Le, Gt, Ge } op = Eq;
    Value operand;  // Number, Text, Bool, Error or Blank
    bool explicitEq = false;
    std::optional<QRegularExpression> pattern;

    Criterion(Evaluator& ev, const Value& given) {
        const Value c = ev.scalar(given);
        if (!c.isText()) {
            operand = c.isBlank() ? Value::number(0) : c;
            return;
        }
        QString s = c.text;
        static const std::pair<const char*, Op> prefixes[] = {
            {"<=", Le}, {">=", Ge}, {"<>", Ne}, {"<", Lt}, {">", Gt}, {"=", Eq}};
        for (const auto& [p, o] : prefixes)
            if (s.startsWith(QLatin1String(p))) {
                op = o;
                explicitEq = o == Eq;
                s = s.mid(qsizetype(std::strlen(p)));
                break;
            }
        if (s.isEmpty()) {
            operand = {};
            return;
        }
        if (auto n = textToNumber(s, ev.date1904)) {
            operand = Value::number(*n);
        } else if (s.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 ||
                   s.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
            operand = Value::boolean(s.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0);
        } else if (s.startsWith(u'#')) {
            operand = Value::error(s.toUpper());
        } else {
            operand = Value::string(s);
            if ((op == Eq || op == Ne) && hasWildcards(s)) pattern = wildcardPattern(s);
        }
    }

    bool equal(const Value& v) const {
        if (operand.isBlank()) {
            // "=" matches empty cells only; "" also texts that are empty.
            if (v.isBlank()) return true;
            return !explicitEq && v.isText() && v.text.isEmpty();
        }
        if (operand.isText()) {
            if (!v.isText()) return false;
            if (pattern) return pattern->match(v.text).hasMatch();
            return v.text.compare(operand.text, Qt::CaseInsensitive) == 0;
        }
        if (operand.isError()) return v.isError() && v.text == operand.text;
        if (operand.kind != v.kind) return false;
        return to15(v.num) == to15(operand.num);
    }

    bool matches(const Value& v) const {
        switch (op) {
            case Eq:
                return equal(v);
            case Ne:
                if (operand.isBlank()) return !v.isBlank();
                return !equal(v);
            default:
                break;
        }
        if (v.isBlank() || v.isError() || operand.isBlank()) return false;
        if (operand.isNumber() != v.isNumber() || operand.isText() != v.isText()) return false;
        const int c = compareValues(v, operand);
        switch (op) {
            case Lt:
                return c < 0;
            case Le:
                return c <= 0;
            case Gt:
                return c > 0;
            default:
                return c >= 0;
        }
    }
};

// The shape a criteria range covers: its stored part for a long reference.
void shapeOf(Evaluator& ev, const Value& range, int& rows, int& cols) {
    if (range.isRef()) {
        rows = range.range.last.row - range.range.first.row + 1;
        cols = range.range.last.col - range.range.first.col + 1;
        if (double(rows) * cols > 65536) ev.values(range, rows, cols);  // cut to the sheet
        return;
    }
    if (range.isArray()) {
        rows = range.rows;
        cols = range.cols;
        return;
    }
    rows = cols = 1;
}

Value fnCountIf(Evaluator& ev, Args& args) {
    if (!isRange(args[0])) return Value::error(err::Value);
    const Criterion c(ev, args[1]);
    double n = 0, filled = 0;
    ev.forEachValue(args[0], [&](const Value& v) {
        ++filled;
        n += c.matches(v);
    });
    if (c.matches(Value())) n += area(args[0]) - filled;
    return Value::number(n);
}

// Rows x cols positions where every (range, criterion) pair matches.
template <typename F>
std::optional<Value> eachMatch(Evaluator& ev, const Args& args, std::size_t first,
                               const F& visit) {
    if ((args.size() - first) % 2 || args.size() <= first) return Value::error(err::Value);
    int rows = 0, cols = 0;
    shapeOf(ev, args[first], rows, cols);
    std::vector<Criterion> criteria;
    for (std::size_t i = first; i < args.size(); i += 2) {
        if (!isRange(args[i])) return Value::error(err::Value);
        int r = 0, c = 0;
        shapeOf(ev, args[i], r, c);
        if (args[i].isRef() && args[first].isRef() &&
            (args[i].range.last.row - args[i].range.first.row !=
                 args[first].range.last.row - args[first].range.first.row ||
             args[i].range.last.col - args[i].range.first.col !=
                 args[first].range.last.col - args[first].range.first.col))
            return Value::error(err::Value);
        criteria.emplace_back(ev, args[i + 1]);
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            bool all = true;
            for (std::size_t k = 0; k < criteria.size() && all; ++k)
                all = criteria[k].matches(ev.elementAt(args[first + 2 * k], r, c));
            if (all) visit(r, c);
        }
    return std::nullopt;
}

Value fnCountIfs(Evaluator& ev, Args& args) {
    double n = 0;
    if (auto e = eachMatch(ev, args, 0, [&](int, int) { ++n; })) return *e;
    return Value::number(n);
}

// Sums (and counts) the numbers of sumRange at the matching positions.
Value sumWhere(Evaluator& ev, const Value& sumRange, const Args& criteriaArgs, bool average) {
    double sum = 0;
    int n = 0;
    std::optional<Value> error;
    if (auto e = eachMatch(ev, criteriaArgs, 0, [&](int r, int c) {
            const Value v = ev.elementAt(sumRange, r, c);
            if (v.isError() && !error) error = v;
            if (v.isNumber()) {
                sum += v.num;
                ++n;
            }
        }))
        return *e;
    if (error) return *error;
    if (average) return n ? numberOrError(sum / n) : Value::error(err::Div0);
    return numberOrError(sum);
}

Value fnSumIf(Evaluator& ev, Args& args) {
    const Value& sumRange = args.size() > 2 ? args[2] : args[0];
    if (!isRange(sumRange)) return Value::error(err::Value);
    return sumWhere(ev, sumRange, {args[0], args[1]}, false);
}

Value fnAverageIf(Evaluator& ev, Args& args) {
    const Value& avgRange = args.size() > 2 ? args[2] : args[0];
    if (!isRange(avgRange)) return Value::error(err::Value);
    return sumWhere(ev, avgRange, {args[0], args[1]}, true);
}

Value fnSumIfs(Evaluator& ev, Args& args) {
    if (!isRange(args[0])) return Value::error(err::Value);
    const Args rest(args.begin() + 1, args.end());
    return sumWhere(ev, args[0], rest, false);
}

// --- arithmetic ------------------------------------------------------------------------

double roundAway(double x) {
    return x < 0 ? -std::floor(-x + 0.5) : std::floor(x + 0.5);
}

// Rounds to places decimals (negative: to tens, hundreds) the way a
// spreadsheet does, on the decimal value it shows rather than the binary
// one (ROUND(2.675,2) is 2.68).
Value roundTo(double x, double places, int mode) {
    const int d = int(std::trunc(places));
    if (d > 15 || d < -15) return Value::number(d > 0 ? x : 0);
    const double m = std::pow(10.0, std::abs(d));
    double y = to15(d >= 0 ? x * m : x / m);
    if (mode == 0)
        y = roundAway(y);
    else if (mode > 0)
        y = y < 0 ? -std::ceil(-y) : std::ceil(y);
    else
        y = std::trunc(y);
    return numberOrError(d >= 0 ? y / m : y * m);
}

Value fnRound(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    NUMBER(d, args[1]);
    return roundTo(x, d, 0);
}
Value fnRoundUp(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    NUMBER(d, args[1]);
    return roundTo(x, d, 1);
}
Value fnRoundDown(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    NUMBER(d, args[1]);
    return roundTo(x, d, -1);
}
Value fnTrunc(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    double d = 0;
    if (args.size() > 1)
        if (auto e = ev.toNumber(args[1], d)) return *e;
    return roundTo(x, d, -1);
}
Value fnInt(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    return numberOrError(std::floor(to15(x)));
}
Value fnMod(Evaluator& ev, Args& args) {
    NUMBER(a, args[0]);
    NUMBER(b, args[1]);
    if (b == 0) return Value::error(err::Div0);
    double r = a - b * std::floor(to15(a / b));
    if (std::fabs(r) < std::fabs(b) * 1e-15) r = 0;
    return numberOrError(r);
}
Value fnAbs(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    return numberOrError(std::fabs(x));
}
Value fnSqrt(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    if (x < 0) return Value::error(err::Num);
    return numberOrError(std::sqrt(x));
}
Value fnPower(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    NUMBER(y, args[1]);
    if (x == 0 && y == 0) return Value::error(err::Num);
    if (x == 0 && y < 0) return Value::error(err::Div0);
    return numberOrError(std::pow(x, y));
}
Value fnCeiling(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    double s = x < 0 ? -1 : 1;
    if (args.size() > 1)
        if (auto e = ev.toNumber(args[1], s)) return *e;
    if (x == 0 || s == 0) return Value::number(0);
    if (x > 0 && s < 0) return Value::error(err::Num);
    return numberOrError(std::ceil(to15(x / s)) * s);
}
Value fnFloor(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    double s = x < 0 ? -1 : 1;
    if (args.size() > 1)
        if (auto e = ev.toNumber(args[1], s)) return *e;
    if (x == 0) return Value::number(0);
    if (s == 0) return Value::error(err::Div0);
    if (x > 0 && s < 0) return Value::error(err::Num);
    return numberOrError(std::floor(to15(x / s)) * s);
}

// --- logic and information ------------------------------------------------------------

Value logical(Evaluator& ev, Args& args, bool isAnd) {
    bool result = isAnd, any = false;
    for (const Value& a : args) {
        std::optional<Value> error;
        auto take = [&](bool b) {
            any = true;
            result = isAnd ? (result && b) : (result || b);
        };
        if (isRange(a)) {
            ev.forEachValue(a, [&](const Value& v) {
                if (v.isError() && !error) error = v;
                if (v.isNumber() || v.isBool()) take(v.num != 0);
            });
        } else if (!a.isBlank()) {
            bool b = false;
            if (auto e = ev.toBool(a, b)) return *e;
            take(b);
        }
        if (error) return *error;
    }
    if (!any) return Value::error(err::Value);
    return Value::boolean(result);
}
Value fnAnd(Evaluator& ev, Args& args) {
    return logical(ev, args, true);
}
Value fnOr(Evaluator& ev, Args& args) {
    return logical(ev, args, false);
}
Value fnNot(Evaluator& ev, Args& args) {
    BOOL(b, args[0]);
    return Value::boolean(!b);
}
Value fnIsBlank(Evaluator& ev, Args& args) {
    return Value::boolean(ev.scalar(args[0]).isBlank());
}
Value fnIsNumber(Evaluator& ev, Args& args) {
    return Value::boolean(ev.scalar(args[0]).isNumber());
}
Value fnIsText(Evaluator& ev, Args& args) {
    return Value::boolean(ev.scalar(args[0]).isText());
}
Value fnIsError(Evaluator& ev, Args& args) {
    return Value::boolean(ev.scalar(args[0]).isError());
}

Value fnIsNA(Evaluator& ev, Args& args) {
    const Value v = ev.scalar(args[0]);
    return Value::boolean(v.isError() && v.text == err::NA);
}
Value fnIsErr(Evaluator& ev, Args& args) {
    const Value v = ev.scalar(args[0]);
    return Value::boolean(v.isError() && v.text != err::NA);
}
Value fnIsLogical(Evaluator& ev, Args& args) {
    return Value::boolean(ev.scalar(args[0]).isBool());
}
Value fnSign(Evaluator& ev, Args& args) {
    NUMBER(x, args[0]);
    return Value::number(x > 0 ? 1 : x < 0 ? -1 : 0);
}
Value fnN(Evaluator& ev, Args& args) {
    const Value v = ev.scalar(args[0]);
    if (v.isError()) return v;
    return Value::number(v.isNumber() || v.isBool() ? v.num : 0);
}
Value fnT(Evaluator& ev, Args& args) {
    const Value v = ev.scalar(args[0]);
    if (v.isError() || v.isText()) return v;
    return Value::string(QString());
}

// --- text -----------------------------------------------------------------------------

Value fnLen(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    return Value::number(double(s.size()));
}
Value fnLenB(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    return Value::number(double(text::cp932Length(s)));
}
Value fnLeft(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    double n = 1;
    if (args.size() > 1)
        if (auto e = ev.toNumber(args[1], n)) return *e;
    if (n < 0) return Value::error(err::Value);
    return Value::string(s.left(qsizetype(std::min<double>(n, s.size()))));
}
Value fnRight(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    double n = 1;
    if (args.size() > 1)
        if (auto e = ev.toNumber(args[1], n)) return *e;
    if (n < 0) return Value::error(err::Value);
    return Value::string(s.right(qsizetype(std::min<double>(n, s.size()))));
}
Value fnMid(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    NUMBER(start, args[1]);
    NUMBER(n, args[2]);
    if (start < 1 || n < 0) return Value::error(err::Value);
    if (start > s.size()) return Value::string(QString());
    return Value::string(
        s.mid(qsizetype(start) - 1, qsizetype(std::min<double>(n, s.size()))));
}
Value findText(Evaluator& ev, Args& args, bool search) {
    TEXT(what, args[0]);
    TEXT(within, args[1]);
    double start = 1;
    if (args.size() > 2)
        if (auto e = ev.toNumber(args[2], start)) return *e;
    if (start < 1 || start > within.size() + 1) return Value::error(err::Value);
    const qsizetype from = qsizetype(start) - 1;
    if (what.isEmpty()) return Value::number(start);
    qsizetype at = -1;
    if (!search) {
        at = within.indexOf(what, from, Qt::CaseSensitive);
    } else if (hasWildcards(what)) {
        QRegularExpression rx = wildcardPattern(what);
        // Unanchored: the pattern may start anywhere.
        QString p = rx.pattern();
        p = p.mid(1, p.size() - 2);
        rx.setPattern(p);
        const auto m = rx.match(within, from);
        if (m.hasMatch()) at = m.capturedStart();
    } else {
        at = within.indexOf(what, from, Qt::CaseInsensitive);
    }
    if (at < 0) return Value::error(err::Value);
    return Value::number(double(at + 1));
}
Value fnFind(Evaluator& ev, Args& args) {
    return findText(ev, args, false);
}
Value fnSearch(Evaluator& ev, Args& args) {
    return findText(ev, args, true);
}
Value fnSubstitute(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    TEXT(from, args[1]);
    TEXT(to, args[2]);
    if (from.isEmpty()) return Value::string(s);
    if (args.size() > 3) {
        NUMBER(nth, args[3]);
        if (nth < 1) return Value::error(err::Value);
        qsizetype at = -1;
        for (int i = 0; i < int(nth); ++i) {
            at = s.indexOf(from, at + 1);
            if (at < 0) return Value::string(s);
            if (i + 1 < int(nth)) at += from.size() - 1;
        }
        return Value::string(s.left(at) + to + s.mid(at + from.size()));
    }
    return Value::string(s.replace(from, to));
}
Value fnReplace(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    NUMBER(start, args[1]);
    NUMBER(n, args[2]);
    TEXT(with, args[3]);
    if (start < 1 || n < 0) return Value::error(err::Value);
    const qsizetype from = std::min<qsizetype>(qsizetype(start) - 1, s.size());
    return Value::string(s.left(from) + with + s.mid(from + qsizetype(std::min<double>(n, s.size()))));
}
Value fnExact(Evaluator& ev, Args& args) {
    TEXT(a, args[0]);
    TEXT(b, args[1]);
    return Value::boolean(a == b);
}
Value fnTrim(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    QString out;
    out.reserve(s.size());
    bool space = false;
    for (QChar c : s) {
        if (c == u' ') {
            space = !out.isEmpty();
            continue;
        }
        if (space) out += u' ';
        space = false;
        out += c;
    }
    return Value::string(out);
}
Value fnUpper(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    return Value::string(s.toUpper());
}
Value fnLower(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    return Value::string(s.toLower());
}

// Full-width katakana and their half-width forms, in the order of the
// half-width block from U+FF66.
const char16_t kKatakana[] = {
    0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3,
    0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1,
    0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6,
    0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8,
    0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3};
const std::pair<char16_t, char16_t> kPunctuation[] = {
    {0x3002, 0xFF61}, {0x300C, 0xFF62}, {0x300D, 0xFF63}, {0x3001, 0xFF64},
    {0x30FB, 0xFF65}, {0x309B, 0xFF9E}, {0x309C, 0xFF9F}};

bool voicable(char16_t full) {
    return (full >= 0x30AB && full <= 0x30C8) || (full >= 0x30CF && full <= 0x30DB) ||
           full == 0x30A6;
}

QString toHalfWidth(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar ch : s) {
        const char16_t c = ch.unicode();
        if (c >= 0xFF01 && c <= 0xFF5E) {
            out += QChar(char16_t(c - 0xFEE0));
            continue;
        }
        if (c == 0x3000) {
            out += u' ';
            continue;
        }
        bool done = false;
        for (std::size_t i = 0; i < std::size(kKatakana) && !done; ++i) {
            const char16_t base = kKatakana[i];
            const QChar half(char16_t(0xFF66 + i));
            if (c == base) {
                out += half;
                done = true;
            } else if (voicable(base) && c == (base == 0x30A6 ? 0x30F4 : base + 1)) {
                out += half;
                out += QChar(char16_t(0xFF9E));
                done = true;
            } else if (base >= 0x30CF && base <= 0x30DB && c == base + 2) {
                out += half;
                out += QChar(char16_t(0xFF9F));
                done = true;
            }
        }
        for (const auto& [full, half] : kPunctuation)
            if (!done && c == full) {
                out += QChar(half);
                done = true;
            }
        if (!done) out += ch;
    }
    return out;
}

QString toFullWidth(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c >= 0x21 && c <= 0x7E) {
            out += QChar(char16_t(c + 0xFEE0));
            continue;
        }
        if (c == u' ') {
            out += QChar(char16_t(0x3000));
            continue;
        }
        if (c >= 0xFF66 && c <= 0xFF9D) {
            const char16_t base = kKatakana[c - 0xFF66];
            const char16_t next = i + 1 < s.size() ? s[i + 1].unicode() : 0;
            if (next == 0xFF9E && voicable(base)) {
                out += QChar(char16_t(base == 0x30A6 ? 0x30F4 : base + 1));
                ++i;
            } else if (next == 0xFF9F && base >= 0x30CF && base <= 0x30DB) {
                out += QChar(char16_t(base + 2));
                ++i;
            } else {
                out += QChar(base);
            }
            continue;
        }
        bool done = false;
        for (const auto& [full, half] : kPunctuation)
            if (!done && c == half) {
                out += QChar(full);
                done = true;
            }
        if (!done) out += s[i];
    }
    return out;
}

Value fnAsc(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    return Value::string(toHalfWidth(s));
}
Value fnJis(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    return Value::string(toFullWidth(s));
}
Value fnText(Evaluator& ev, Args& args) {
    const Value v = ev.scalar(args[0]);
    if (v.isError()) return v;
    TEXT(format, args[1]);
    double x = 0;
    if (v.isText()) {
        const auto n = textToNumber(v.text, ev.date1904);
        if (!n) return v;
        x = *n;
    } else if (auto e = ev.toNumber(v, x)) {
        return *e;
    }
    return Value::string(formatNumber(x, format, ev.date1904));
}
Value fnValue(Evaluator& ev, Args& args) {
    const Value v = ev.scalar(args[0]);
    if (v.isError() || v.isNumber()) return v;
    if (v.isBlank()) return Value::number(0);
    if (v.isBool()) return Value::error(err::Value);
    if (auto n = textToNumber(v.text, ev.date1904)) return Value::number(*n);
    return Value::error(err::Value);
}
Value fnConcatenate(Evaluator& ev, Args& args) {
    QString out;
    for (const Value& a : args) {
        TEXT(s, a);
        out += s;
    }
    return Value::string(out);
}
// Every value of the arguments as text, ranges row by row.
std::optional<Value> eachText(Evaluator& ev, const Args& args, std::size_t from,
                              const std::function<void(const QString&)>& f) {
    for (std::size_t i = from; i < args.size(); ++i) {
        const Value& a = args[i];
        std::optional<Value> error;
        if (a.isRef()) {
            // Blank cells count as empty texts.
            const RangeRef& r = a.range;
            const double cells = area(a);
            if (cells > 1000000) return Value::error(err::Value);
            for (int row = r.first.row; row <= r.last.row && !error; ++row)
                for (int col = r.first.col; col <= r.last.col && !error; ++col) {
                    QString s;
                    if (auto e = ev.toText(ev.cell(a.sheet, row, col), s))
                        error = *e;
                    else
                        f(s);
                }
        } else if (a.isArray()) {
            for (const Value& v : *a.array) {
                QString s;
                if (auto e = ev.toText(v, s)) return *e;
                f(s);
            }
        } else {
            QString s;
            if (auto e = ev.toText(a, s)) return *e;
            f(s);
        }
        if (error) return error;
    }
    return std::nullopt;
}
Value fnConcat(Evaluator& ev, Args& args) {
    QString out;
    if (auto e = eachText(ev, args, 0, [&](const QString& s) { out += s; })) return *e;
    return Value::string(out);
}
Value fnTextJoin(Evaluator& ev, Args& args) {
    TEXT(delimiter, args[0]);
    BOOL(ignoreEmpty, args[1]);
    QString out;
    bool first = true;
    if (auto e = eachText(ev, args, 2, [&](const QString& s) {
            if (ignoreEmpty && s.isEmpty()) return;
            if (!first) out += delimiter;
            out += s;
            first = false;
        }))
        return *e;
    return Value::string(out);
}
Value fnRept(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    NUMBER(n, args[1]);
    if (n < 0 || s.size() * std::floor(n) > 32767) return Value::error(err::Value);
    return Value::string(s.repeated(qsizetype(n)));
}

// --- dates and times ------------------------------------------------------------------

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
qint64 daysFromCivil(qint64 y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}
void civilFromDays(qint64 z, int& y, int& m, int& d) {
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2));
}

// Serials of the 1900 system count the 29th of February 1900 that never
// was (serial 60), so days before March 1900 are one lower.
double serialOf(bool date1904, qint64 y, int m, int d) {
    if (date1904) return double(daysFromCivil(y, m, d) - daysFromCivil(1904, 1, 1));
    const qint64 s = daysFromCivil(y, m, d) - daysFromCivil(1899, 12, 30);
    return double(s < 61 ? s - 1 : s);
}
// The date of a serial's day; false for serials outside the calendar.
bool dateOf(bool date1904, double serial, int& y, int& m, int& d) {
    if (serial < 0 || serial >= 2958466) return false;
    const qint64 s = qint64(std::floor(serial));
    if (date1904) {
        civilFromDays(daysFromCivil(1904, 1, 1) + s, y, m, d);
        return true;
    }
    if (s == 0) {
        y = 1900, m = 1, d = 0;
        return true;
    }
    if (s == 60) {
        y = 1900, m = 2, d = 29;
        return true;
    }
    civilFromDays(daysFromCivil(1899, 12, 30) + (s < 61 ? s + 1 : s), y, m, d);
    return true;
}
int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return days[m - 1];
}
// DATE's arithmetic: months and days beyond their range carry over.
std::optional<double> makeDate(bool date1904, double year, double month, double day) {
    qint64 y = qint64(std::trunc(year));
    if (y >= 0 && y < 1900) y += 1900;
    if (y < 0 || y > 9999) return std::nullopt;
    qint64 m = qint64(std::trunc(month)) - 1;
    y += m >= 0 ? m / 12 : -((11 - m) / 12);
    m = ((m % 12) + 12) % 12;
    const double s = serialOf(date1904, y, int(m + 1), 1) + std::trunc(day) - 1;
    if (s < 0 || s >= 2958466) return std::nullopt;
    return s;
}

#define DATE_PARTS(serialValue)                                                    \
    NUMBER(serial_, serialValue);                                                   \
    int y = 0, m = 0, d = 0;                                                       \
    if (!dateOf(ev.date1904, serial_, y, m, d)) return Value::error(err::Num)

Value fnDate(Evaluator& ev, Args& args) {
    NUMBER(y, args[0]);
    NUMBER(m, args[1]);
    NUMBER(d, args[2]);
    const auto s = makeDate(ev.date1904, y, m, d);
    return s ? Value::number(*s) : Value::error(err::Num);
}
Value fnDateValue(Evaluator& ev, Args& args) {
    TEXT(s, args[0]);
    const auto dt = parseWholeDate(s.trimmed());
    if (!dt) return Value::error(err::Value);
    return Value::number(std::floor(dateTimeToSerial(*dt, ev.date1904)));
}
double nowSerial(bool date1904) {
    const QDateTime local = QDateTime::currentDateTime();
    QDateTime wall(local.date(), local.time(), Qt::UTC);
    return dateTimeToSerial(wall, date1904);
}
Value fnToday(Evaluator& ev, Args&) {
    return Value::number(std::floor(nowSerial(ev.date1904)));
}
Value fnNow(Evaluator& ev, Args&) {
    return Value::number(nowSerial(ev.date1904));
}
Value fnYear(Evaluator& ev, Args& args) {
    DATE_PARTS(args[0]);
    return Value::number(y);
}
Value fnMonth(Evaluator& ev, Args& args) {
    DATE_PARTS(args[0]);
    return Value::number(m);
}
Value fnDay(Evaluator& ev, Args& args) {
    DATE_PARTS(args[0]);
    return Value::number(d);
}
Value fnWeekday(Evaluator& ev, Args& args) {
    NUMBER(serial, args[0]);
    double type = 1;
    if (args.size() > 1)
        if (auto e = ev.toNumber(args[1], type)) return *e;
    if (serial < 0) return Value::error(err::Num);
    // 0 = Sunday, counted on the 1900 system's serials (serial 1 is a Sunday there).
    const qint64 s = qint64(std::floor(serial)) + (ev.date1904 ? 1462 : 0);
    const int sunday0 = int(((s - 1) % 7 + 7) % 7);
    const int t = int(type);
    switch (t) {
        case 1:
        case 17:
            return Value::number(sunday0 + 1);
        case 2:
        case 11:
            return Value::number((sunday0 + 6) % 7 + 1);
        case 3:
            return Value::number((sunday0 + 6) % 7);
        default:
            if (t >= 12 && t <= 16)  // the week starts Tuesday (12) to Saturday (16)
                return Value::number((sunday0 - (t - 10) + 7) % 7 + 1);
            return Value::error(err::Num);
    }
}
Value fnDatedif(Evaluator& ev, Args& args) {
    NUMBER(start, args[0]);
    NUMBER(end, args[1]);
    TEXT(unit, args[2]);
    start = std::floor(start);
    end = std::floor(end);
    if (start > end) return Value::error(err::Num);
    int y1, m1, d1, y2, m2, d2;
    if (!dateOf(ev.date1904, start, y1, m1, d1) || !dateOf(ev.date1904, end, y2, m2, d2))
        return Value::error(err::Num);
    const QString u = unit.toUpper();
    const int months = (y2 - y1) * 12 + (m2 - m1) - (d2 < d1 ? 1 : 0);
    if (u == QLatin1String("Y")) return Value::number(months / 12);
    if (u == QLatin1String("M")) return Value::number(months);
    if (u == QLatin1String("D")) return Value::number(end - start);
    if (u == QLatin1String("YM")) return Value::number(months % 12);
    if (u == QLatin1String("MD")) {
        if (d2 >= d1) return Value::number(d2 - d1);
        // Days from the same day of the month before.
        int py = y2, pm = m2 - 1;
        if (pm < 1) {
            pm = 12;
            --py;
        }
        const int from = std::min(d1, daysInMonth(py, pm));
        return Value::number(end - serialOf(ev.date1904, py, pm, from));
    }
    if (u == QLatin1String("YD")) {
        int ay = (m2 > m1 || (m2 == m1 && d2 >= d1)) ? y2 : y2 - 1;
        const int ad = std::min(d1, daysInMonth(ay, m1));
        return Value::number(end - serialOf(ev.date1904, ay, m1, ad));
    }
    return Value::error(err::Num);
}
Value addMonths(Evaluator& ev, Args& args, bool endOfMonth) {
    DATE_PARTS(args[0]);
    NUMBER(n, args[1]);
    qint64 total = qint64(y) * 12 + (m - 1) + qint64(std::trunc(n));
    const qint64 ny = total >= 0 ? total / 12 : -1;
    const int nm = int(total - ny * 12) + 1;
    if (ny < 1900 - (ev.date1904 ? 0 : 0) || ny > 9999) return Value::error(err::Num);
    const int last = daysInMonth(int(ny), nm);
    const double s = serialOf(ev.date1904, ny, nm, endOfMonth ? last : std::min(std::max(d, 1), last));
    if (s < 0) return Value::error(err::Num);
    return Value::number(s);
}
Value fnEdate(Evaluator& ev, Args& args) {
    return addMonths(ev, args, false);
}
Value fnEomonth(Evaluator& ev, Args& args) {
    return addMonths(ev, args, true);
}
Value fnTime(Evaluator& ev, Args& args) {
    NUMBER(h, args[0]);
    NUMBER(m, args[1]);
    NUMBER(s, args[2]);
    const double total = std::trunc(h) * 3600 + std::trunc(m) * 60 + std::trunc(s);
    if (total < 0) return Value::error(err::Num);
    return Value::number(std::fmod(total, 86400) / 86400);
}
Value timePart(Evaluator& ev, Args& args, int part) {
    NUMBER(serial, args[0]);
    if (serial < 0) return Value::error(err::Num);
    qint64 secs = qint64(std::floor((serial - std::floor(serial)) * 86400 + 0.5));
    if (secs >= 86400) secs = 0;
    const qint64 values[] = {secs / 3600, secs / 60 % 60, secs % 60};
    return Value::number(double(values[part]));
}
Value fnHour(Evaluator& ev, Args& args) {
    return timePart(ev, args, 0);
}
Value fnMinute(Evaluator& ev, Args& args) {
    return timePart(ev, args, 1);
}
Value fnSecond(Evaluator& ev, Args& args) {
    return timePart(ev, args, 2);
}

// --- lookup -----------------------------------------------------------------------------

int rowsOf(Evaluator& ev, const Value& v) {
    int r = 0, c = 0;
    shapeOf(ev, v, r, c);
    return r;
}
int colsOf(Evaluator& ev, const Value& v) {
    int r = 0, c = 0;
    shapeOf(ev, v, r, c);
    return c;
}

bool sameKind(const Value& a, const Value& b) {
    return a.isText() == b.isText() && a.isBool() == b.isBool() &&
           (a.isNumber() || a.isBlank()) == (b.isNumber() || b.isBlank());
}

// Position (0-based) of key among count values read by at(i): exactly (with
// wildcards for a text), the last not greater (ascending data) or the last
// not smaller (descending data, mode -1). -1 when none.
int lookupIndex(Evaluator& ev, const Value& key, int count, int mode,
                const std::function<Value(int)>& at) {
    std::optional<QRegularExpression> pattern;
    if (mode == 0 && key.isText() && hasWildcards(key.text)) pattern = wildcardPattern(key.text);
    int found = -1;
    for (int i = 0; i < count; ++i) {
        const Value v = at(i);
        if (v.isBlank() || v.isError()) continue;
        if (mode == 0) {
            if (pattern ? v.isText() && pattern->match(v.text).hasMatch()
                        : sameKind(v, key) && compareValues(v, key) == 0)
                return i;
            continue;
        }
        if (!sameKind(v, key)) continue;
        const int c = compareValues(v, key);
        if (mode > 0) {
            if (c > 0) break;
            found = i;
        } else {
            if (c < 0) break;
            found = i;
        }
    }
    (void)ev;
    return found;
}

Value lookup(Evaluator& ev, Args& args, bool vertical) {
    const Value key = ev.scalar(args[0]);
    if (key.isError()) return key;
    const Value& table = args[1];
    if (!isRange(table)) return Value::error(err::Value);
    NUMBER(index, args[2]);
    bool approximate = true;
    if (args.size() > 3)
        if (auto e = ev.toBool(args[3], approximate)) return *e;
    const int k = int(std::trunc(index));
    if (k < 1) return Value::error(err::Value);
    const int across = table.isRef() ? (vertical ? table.range.last.col - table.range.first.col + 1
                                                 : table.range.last.row - table.range.first.row + 1)
                                     : (vertical ? table.cols : table.rows);
    if (k > across) return Value::error(err::Ref);
    const int count = vertical ? rowsOf(ev, table) : colsOf(ev, table);
    const int i = lookupIndex(ev, key, count, approximate ? 1 : 0, [&](int n) {
        return vertical ? ev.elementAt(table, n, 0) : ev.elementAt(table, 0, n);
    });
    if (i < 0) return Value::error(err::NA);
    return vertical ? ev.elementAt(table, i, k - 1) : ev.elementAt(table, k - 1, i);
}
Value fnVlookup(Evaluator& ev, Args& args) {
    return lookup(ev, args, true);
}
Value fnHlookup(Evaluator& ev, Args& args) {
    return lookup(ev, args, false);
}
Value fnMatch(Evaluator& ev, Args& args) {
    const Value key = ev.scalar(args[0]);
    if (key.isError()) return key;
    const Value& range = args[1];
    double mode = 1;
    if (args.size() > 2)
        if (auto e = ev.toNumber(args[2], mode)) return *e;
    int rows = 0, cols = 0;
    shapeOf(ev, range, rows, cols);
    if (rows > 1 && cols > 1) return Value::error(err::NA);
    const bool down = cols == 1;
    const int i = lookupIndex(ev, key, down ? rows : cols, mode > 0 ? 1 : mode < 0 ? -1 : 0,
                              [&](int n) { return down ? ev.elementAt(range, n, 0) : ev.elementAt(range, 0, n); });
    if (i < 0) return Value::error(err::NA);
    return Value::number(i + 1);
}
Value fnIndex(Evaluator& ev, Args& args) {
    const Value& range = args[0];
    NUMBER(r, args.size() > 1 ? args[1] : Value());
    double c = 0;
    if (args.size() > 2)
        if (auto e = ev.toNumber(args[2], c)) return *e;
    int row = int(std::trunc(r)), col = int(std::trunc(c));
    int rows = 0, cols = 0;
    if (range.isRef()) {
        rows = range.range.last.row - range.range.first.row + 1;
        cols = range.range.last.col - range.range.first.col + 1;
    } else if (range.isArray()) {
        rows = range.rows;
        cols = range.cols;
    } else {
        rows = cols = 1;
    }
    // One index into a single row counts along it.
    if (args.size() == 2 && rows == 1 && cols > 1) {
        col = row;
        row = 1;
    }
    if (row < 0 || col < 0 || row > rows || col > cols) return Value::error(err::Ref);
    if (range.isRef()) {
        RangeRef out = range.range;
        if (row > 0) out.first.row = out.last.row = range.range.first.row + row - 1;
        if (col > 0) out.first.col = out.last.col = range.range.first.col + col - 1;
        if (row == 0 && col == 0 && !(rows == 1 && cols == 1)) return Value::ref(range.sheet, out);
        return Value::ref(range.sheet, out);
    }
    if (row == 0 || col == 0) {
        if (rows == 1 && cols == 1) return ev.elementAt(range, 0, 0);
        return Value::error(err::Value);
    }
    return ev.elementAt(range, row - 1, col - 1);
}
Value fnRow(Evaluator& ev, Args& args) {
    if (args.empty() || args[0].isBlank()) return Value::number(ev.at.row);
    if (!args[0].isRef()) return Value::error(err::Value);
    return Value::number(args[0].range.first.row);
}
Value fnColumn(Evaluator& ev, Args& args) {
    if (args.empty() || args[0].isBlank()) return Value::number(ev.at.col);
    if (!args[0].isRef()) return Value::error(err::Value);
    return Value::number(args[0].range.first.col);
}

const Function kFunctions[] = {
    {"ABS", 1, 1, fnAbs},
    {"AND", 1, -1, fnAnd},
    {"ASC", 1, 1, fnAsc},
    {"AVERAGE", 1, -1, fnAverage},
    {"AVERAGEIF", 2, 3, fnAverageIf},
    {"CEILING", 1, 2, fnCeiling},
    {"CHOOSE", 2, -1, nullptr},
    {"COLUMN", 0, 1, fnColumn},
    {"CONCAT", 1, -1, fnConcat},
    {"CONCATENATE", 1, -1, fnConcatenate},
    {"COUNT", 1, -1, fnCount},
    {"COUNTA", 1, -1, fnCountA},
    {"COUNTBLANK", 1, 1, fnCountBlank},
    {"COUNTIF", 2, 2, fnCountIf},
    {"COUNTIFS", 2, -1, fnCountIfs},
    {"DATE", 3, 3, fnDate},
    {"DATEDIF", 3, 3, fnDatedif},
    {"DATEVALUE", 1, 1, fnDateValue},
    {"DAY", 1, 1, fnDay},
    {"EDATE", 2, 2, fnEdate},
    {"EXACT", 2, 2, fnExact},
    {"EOMONTH", 2, 2, fnEomonth},
    {"FIND", 2, 3, fnFind},
    {"FLOOR", 1, 2, fnFloor},
    {"HLOOKUP", 3, 4, fnHlookup},
    {"HOUR", 1, 1, fnHour},
    {"IF", 2, 3, nullptr},
    {"IFERROR", 2, 2, nullptr},
    {"IFNA", 2, 2, nullptr},
    {"IFS", 2, -1, nullptr},
    {"INDEX", 2, 3, fnIndex},
    {"INT", 1, 1, fnInt},
    {"ISBLANK", 1, 1, fnIsBlank},
    {"ISERR", 1, 1, fnIsErr},
    {"ISERROR", 1, 1, fnIsError},
    {"ISLOGICAL", 1, 1, fnIsLogical},
    {"ISNA", 1, 1, fnIsNA},
    {"ISNUMBER", 1, 1, fnIsNumber},
    {"ISTEXT", 1, 1, fnIsText},
    {"JIS", 1, 1, fnJis},
    {"LARGE", 2, 2, fnLarge},
    {"LEFT", 1, 2, fnLeft},
    {"LEN", 1, 1, fnLen},
    {"LENB", 1, 1, fnLenB},
    {"LOWER", 1, 1, fnLower},
    {"MATCH", 2, 3, fnMatch},
    {"MAX", 1, -1, fnMax},
    {"MEDIAN", 1, -1, fnMedian},
    {"MID", 3, 3, fnMid},
    {"MIN", 1, -1, fnMin},
    {"MINUTE", 1, 1, fnMinute},
    {"MOD", 2, 2, fnMod},
    {"MONTH", 1, 1, fnMonth},
    {"N", 1, 1, fnN},
    {"NOT", 1, 1, fnNot},
    {"NOW", 0, 0, fnNow},
    {"OR", 1, -1, fnOr},
    {"POWER", 2, 2, fnPower},
    {"PRODUCT", 1, -1, fnProduct},
    {"REPLACE", 4, 4, fnReplace},
    {"REPT", 2, 2, fnRept},
    {"RIGHT", 1, 2, fnRight},
    {"ROUND", 2, 2, fnRound},
    {"ROUNDDOWN", 2, 2, fnRoundDown},
    {"ROUNDUP", 2, 2, fnRoundUp},
    {"ROW", 0, 1, fnRow},
    {"SEARCH", 2, 3, fnSearch},
    {"SECOND", 1, 1, fnSecond},
    {"SIGN", 1, 1, fnSign},
    {"SMALL", 2, 2, fnSmall},
    {"SQRT", 1, 1, fnSqrt},
    {"SUBSTITUTE", 3, 4, fnSubstitute},
    {"SUM", 1, -1, fnSum},
    {"SUMIF", 2, 3, fnSumIf},
    {"SUMIFS", 3, -1, fnSumIfs},
    {"SUMPRODUCT", 1, -1, fnSumProduct},
    {"T", 1, 1, fnT},
    {"TEXT", 2, 2, fnText},
    {"TEXTJOIN", 3, -1, fnTextJoin},
    {"TIME", 3, 3, fnTime},
    {"TODAY", 0, 0, fnToday},
    {"TRIM", 1, 1, fnTrim},
    {"TRUNC", 1, 2, fnTrunc},
    {"UPPER", 1, 1, fnUpper},
    {"VALUE", 1, 1, fnValue},
    {"VLOOKUP", 3, 4, fnVlookup},
    {"WEEKDAY", 1, 2, fnWeekday},
    {"YEAR", 1, 1, fnYear},
};

}  // namespace

const Function* findFunction(const QString& upperName) {
    for (const Function& f : kFunctions)
        if (upperName == QLatin1String(f.name)) return &f;
    return nullptr;
}

}  // namespace excel::formula
