// A recursive-descent reader of stored formulas. Anything it does not
// understand (an external workbook, a union or intersection of ranges, a
// function we do not compute) marks the formula unsupported rather than
// guessing, so the cell keeps the value its file holds.
#include "excel/formula/Parser.h"

#include <cmath>

namespace excel::formula {

namespace {

constexpr int kMaxRow = 1048576;
constexpr int kMaxCol = 16384;

struct Unparsable {};

class Reader {
public:
    explicit Reader(const QString& text) : s_(text), n_(text.size()) {}

    Node parse(bool& supported) {
        Node root = comparison();
        skipSpace();
        if (i_ != n_) throw Unparsable{};
        supported = supported_;
        return root;
    }

private:
    const QString& s_;
    qsizetype n_;
    qsizetype i_ = 0;
    bool supported_ = true;
    int depth_ = 0;

    QChar peek(qsizetype ahead = 0) const {
        return i_ + ahead < n_ ? s_[i_ + ahead] : QChar();
    }
    void skipSpace() {
        while (i_ < n_ && (s_[i_] == u' ' || s_[i_] == u'\n' || s_[i_] == u'\r' || s_[i_] == u'\t'))
            ++i_;
    }
    bool accept(char16_t c) {
        skipSpace();
        if (peek() == c) {
            ++i_;
            return true;
        }
        return false;
    }
    static Node binary(Node::Op op, Node&& a, Node&& b) {
        Node n;
        n.op = op;
        n.args.reserve(2);
        n.args.push_back(std::move(a));
        n.args.push_back(std::move(b));
        return n;
    }
    static Node unary(Node::Op op, Node&& a) {
        Node n;
        n.op = op;
        n.args.push_back(std::move(a));
        return n;
    }

    Node comparison() {
        if (++depth_ > 200) throw Unparsable{};
        Node left = concat();
        for (;;) {
            skipSpace();
            Node::Op op;
            if (peek() == u'=') {
                op = Node::Op::Eq;
                i_ += 1;
            } else if (peek() == u'<' && peek(1) == u'>') {
                op = Node::Op::Ne;
                i_ += 2;
            } else if (peek() == u'<' && peek(1) == u'=') {
                op = Node::Op::Le;
                i_ += 2;
            } else if (peek() == u'>' && peek(1) == u'=') {
                op = Node::Op::Ge;
                i_ += 2;
            } else if (peek() == u'<') {
                op = Node::Op::Lt;
                i_ += 1;
            } else if (peek() == u'>') {
                op = Node::Op::Gt;
                i_ += 1;
            } else {
                break;
            }
            left = binary(op, std::move(left), concat());
        }
        --depth_;
        return left;
    }
    Node concat() {
        Node left = additive();
        while (accept(u'&')) left = binary(Node::Op::Concat, std::move(left), additive());
        return left;
    }
    Node additive() {
        Node left = multiplicative();
        for (;;) {
            if (accept(u'+'))
                left = binary(Node::Op::Add, std::move(left), multiplicative());
            else if (accept(u'-'))
                left = binary(Node::Op::Sub, std::move(left), multiplicative());
            else
                return left;
        }
    }
    Node multiplicative() {
        Node left = power();
        for (;;) {
            if (accept(u'*'))
                left = binary(Node::Op::Mul, std::move(left), power());
            else if (accept(u'/'))
                left = binary(Node::Op::Div, std::move(left), power());
            else
                return left;
        }
    }
    Node power() {
        Node left = percent();
        while (accept(u'^')) left = binary(Node::Op::Pow, std::move(left), percent());
        return left;
    }
    Node percent() {
        Node operand = prefix();
        while (accept(u'%')) operand = unary(Node::Op::Percent, std::move(operand));
        return operand;
    }
    Node prefix() {
        // Signs are gathered first: a long run of them must not recurse.
        std::vector<Node::Op> signs;
        for (;;) {
            if (accept(u'-'))
                signs.push_back(Node::Op::Neg);
            else if (accept(u'+'))
                signs.push_back(Node::Op::Plus);
            else
                break;
            if (signs.size() > 1000) throw Unparsable{};
        }
        Node operand = range();
        for (auto it = signs.rbegin(); it != signs.rend(); ++it)
            operand = unary(*it, std::move(operand));
        return operand;
    }
    Node range() {
        Node left = primary();
        while (accept(u':')) {
            Node right = primary();
            if (left.op != Node::Op::Ref && left.op != Node::Op::Call && left.op != Node::Op::Name)
                throw Unparsable{};
            left = binary(Node::Op::Range, std::move(left), std::move(right));
        }
        return left;
    }

    static bool isNameStart(QChar c) {
        return c.isLetter() || c == u'_' || c == u'\\' || c.unicode() > 0x7F;
    }
    static bool isNameChar(QChar c) {
        return c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'\\' || c == u'?' ||
               c.unicode() > 0x7F;
    }

    // "$A$1", "B7": the position, or nullopt.
    static std::optional<CellRef> cellOf(QStringView t) {
        qsizetype k = 0;
        if (k < t.size() && t[k] == u'$') ++k;
        int col = 0, letters = 0;
        while (k < t.size() && t[k].isLetter() && t[k].unicode() < 0x80) {
            col = col * 26 + (t[k].toUpper().unicode() - 'A' + 1);
            ++k;
            if (++letters > 3) return std::nullopt;
        }
        if (!letters) return std::nullopt;
        if (k < t.size() && t[k] == u'$') ++k;
        int row = 0, digits = 0;
        while (k < t.size() && t[k].isDigit()) {
            row = row * 10 + t[k].digitValue();
            ++k;
            if (++digits > 7) return std::nullopt;
        }
        if (!digits || k != t.size() || row < 1 || row > kMaxRow || col > kMaxCol)
            return std::nullopt;
        return CellRef{row, col};
    }
    static std::optional<int> columnOf(QStringView t) {
        qsizetype k = t.startsWith(u'$') ? 1 : 0;
        if (t.size() - k < 1 || t.size() - k > 3) return std::nullopt;
        int col = 0;
        for (; k < t.size(); ++k) {
            if (!t[k].isLetter() || t[k].unicode() >= 0x80) return std::nullopt;
            col = col * 26 + (t[k].toUpper().unicode() - 'A' + 1);
        }
        return col <= kMaxCol ? std::optional<int>(col) : std::nullopt;
    }
    static std::optional<int> rowOf(QStringView t) {
        qsizetype k = t.startsWith(u'$') ? 1 : 0;
        if (t.size() - k < 1 || t.size() - k > 7) return std::nullopt;
        int row = 0;
        for (; k < t.size(); ++k) {
            if (!t[k].isDigit()) return std::nullopt;
            row = row * 10 + t[k].digitValue();
        }
        return row >= 1 && row <= kMaxRow ? std::optional<int>(row) : std::nullopt;
    }

    // A run of characters that can make up a reference or a name ("$A$1", "Sheet1").
    QStringView word() {
        const qsizetype from = i_;
        while (i_ < n_ && (isNameChar(s_[i_]) || s_[i_] == u'$')) ++i_;
        return QStringView(s_).mid(from, i_ - from);
    }

    // After a sheet prefix, or at an operand: a cell, a range of cells, of
    // whole columns or of whole rows.
    std::optional<Node> reference(const QString& sheet) {
        const qsizetype start = i_;
        const QStringView first = word();
        Node n;
        n.op = Node::Op::Ref;
        n.text = sheet;
        if (auto c = cellOf(first)) {
            n.range = {*c, *c};
            const qsizetype save = i_;
            if (peek() == u':') {
                ++i_;
                if (auto d = cellOf(word())) {
                    n.range = {{std::min(c->row, d->row), std::min(c->col, d->col)},
                               {std::max(c->row, d->row), std::max(c->col, d->col)}};
                    if (!nameContinues()) return n;
                }
                i_ = save;
            }
            if (!nameContinues()) return n;
        } else if (peek() == u':') {
            ++i_;
            const QStringView second = word();
            const auto c1 = columnOf(first), c2 = columnOf(second);
            if (c1 && c2 && !nameContinues()) {
                n.range = {{1, std::min(*c1, *c2)}, {kMaxRow, std::max(*c1, *c2)}};
                return n;
            }
            const auto r1 = rowOf(first), r2 = rowOf(second);
            if (r1 && r2 && !nameContinues()) {
                n.range = {{std::min(*r1, *r2), 1}, {std::max(*r1, *r2), kMaxCol}};
                return n;
            }
        }
        i_ = start;
        return std::nullopt;
    }
    bool nameContinues() const {
        return i_ < n_ && (isNameChar(s_[i_]) || s_[i_] == u'(' || s_[i_] == u'!');
    }

    Node number() {
        const qsizetype from = i_;
        while (i_ < n_ && s_[i_].isDigit()) ++i_;
        if (peek() == u'.') {
            ++i_;
            while (i_ < n_ && s_[i_].isDigit()) ++i_;
        }
        if ((peek() == u'E' || peek() == u'e') &&
            (peek(1).isDigit() || ((peek(1) == u'+' || peek(1) == u'-') && peek(2).isDigit()))) {
            i_ += 2;
            while (i_ < n_ && s_[i_].isDigit()) ++i_;
        }
        bool ok = false;
        Node n;
        n.num = QStringView(s_).mid(from, i_ - from).toDouble(&ok);
        if (!ok) throw Unparsable{};
        return n;
    }

    QString quoted(char16_t q) {
        ++i_;
        QString out;
        for (;;) {
            if (i_ >= n_) throw Unparsable{};
            if (s_[i_] == q) {
                if (peek(1) == q) {
                    out += q;
                    i_ += 2;
                    continue;
                }
                ++i_;
                return out;
            }
            out += s_[i_++];
        }
    }

    Node errorLiteral() {
        static const char* const codes[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!",
                                            "#NAME?", "#NUM!",   "#N/A",    "#GETTING_DATA"};
        for (const char* code : codes) {
            const QLatin1StringView c(code);
            if (QStringView(s_).mid(i_).startsWith(c, Qt::CaseInsensitive)) {
                i_ += c.size();
                Node n;
                n.op = Node::Op::Error;
                n.text = QString(c);
                return n;
            }
        }
        throw Unparsable{};
    }

    Node arrayConstant() {
        ++i_;  // {
        Node n;
        n.op = Node::Op::ArrayConst;
        int cols = -1, col = 0, rows = 1;
        for (;;) {
            skipSpace();
            Node item;
            bool negative = false;
            if (peek() == u'-' || peek() == u'+') {
                negative = peek() == u'-';
                ++i_;
            }
            if (peek().isDigit() || peek() == u'.') {
                item = number();
                if (negative) item.num = -item.num;
            } else if (peek() == u'"') {
                item.op = Node::Op::Text;
                item.text = quoted(u'"');
            } else if (peek() == u'#') {
                item = errorLiteral();
            } else {
                const QString w = word().toString().toUpper();
                if (w != QLatin1String("TRUE") && w != QLatin1String("FALSE")) throw Unparsable{};
                item.op = Node::Op::Bool;
                item.num = w == QLatin1String("TRUE");
            }
            n.args.push_back(std::move(item));
            ++col;
            skipSpace();
            if (accept(u',')) continue;
            if (cols >= 0 && col != cols) throw Unparsable{};
            cols = col;
            if (accept(u';')) {
                ++rows;
                col = 0;
                continue;
            }
            if (accept(u'}')) break;
            throw Unparsable{};
        }
        n.rows = rows;
        n.cols = cols;
        return n;
    }

    Node call(const QString& name) {
        ++i_;  // (
        Node n;
        n.op = Node::Op::Call;
        QString upper = name.toUpper();
        for (const char* prefix : {"_XLFN.", "_XLWS."})
            if (upper.startsWith(QLatin1String(prefix))) upper.remove(0, 6);
        n.function = findFunction(upper);
        n.text = upper;
        if (!n.function) supported_ = false;
        skipSpace();
        if (accept(u')')) return n;
        for (;;) {
            skipSpace();
            if (peek() == u',' || peek() == u')') {
                n.args.push_back(Node{Node::Op::Missing});
            } else {
                n.args.push_back(comparison());
            }
            if (accept(u',')) continue;
            if (accept(u')')) break;
            throw Unparsable{};
        }
        if (n.args.size() > 255) throw Unparsable{};
        return n;
    }

    Node primary() {
        skipSpace();
        if (i_ >= n_) throw Unparsable{};
        const QChar c = s_[i_];
        if (c.isDigit() || (c == u'.' && peek(1).isDigit())) {
            // "1:3" is a range of whole rows.
            if (auto r = reference(QString())) return *r;
            return number();
        }
        if (c == u'"') {
            Node n;
            n.op = Node::Op::Text;
            n.text = quoted(u'"');
            return n;
        }
        if (c == u'#') return errorLiteral();
        if (c == u'(') {
            ++i_;
            Node inner = comparison();
            if (!accept(u')')) throw Unparsable{};
            return inner;
        }
        if (c == u'{') return arrayConstant();
        if (c == u'[') {  // a reference into another workbook
            supported_ = false;
            while (i_ < n_ && s_[i_] != u']') ++i_;
            ++i_;
            return primary();
        }
        if (c == u'\'') {
            const QString sheet = quoted(u'\'');
            if (peek() != u'!') throw Unparsable{};
            ++i_;
            return sheetReference(sheet);
        }
        if (isNameStart(c) || c == u'$') {
            if (auto r = reference(QString())) return *r;
            const QString w = word().toString();
            if (w.isEmpty()) throw Unparsable{};
            if (peek() == u'!') {
                ++i_;
                return sheetReference(w);
            }
            if (peek() == u':' && !w.contains(u'$')) {
                // "Sheet1:Sheet3!A1" spans sheets; we do not compute those.
                const qsizetype save = i_;
                ++i_;
                word();
                if (peek() == u'!') {
                    supported_ = false;
                    ++i_;
                    return sheetReference(w);
                }
                i_ = save;
            }
            skipSpace();
            if (peek() == u'(') return call(w);
            const QString upper = w.toUpper();
            if (upper == QLatin1String("TRUE") || upper == QLatin1String("FALSE")) {
                Node n;
                n.op = Node::Op::Bool;
                n.num = upper == QLatin1String("TRUE");
                return n;
            }
            Node n;
            n.op = Node::Op::Name;
            n.text = w;
            return n;
        }
        throw Unparsable{};
    }

    Node sheetReference(const QString& sheet) {
        if (peek() == u'#') {
            Node e = errorLiteral();
            return e;
        }
        if (auto r = reference(sheet)) return *r;
        // A name local to another sheet ("Sheet1!Total").
        const QString w = word().toString();
        if (w.isEmpty()) throw Unparsable{};
        supported_ = false;
        Node n;
        n.op = Node::Op::Name;
        n.text = w;
        return n;
    }
};

}  // namespace

std::shared_ptr<const Parsed> parseFormula(const QString& text) {
    auto parsed = std::make_shared<Parsed>();
    // Far beyond what a spreadsheet accepts (8,192 characters); such a text
    // is left as stored rather than parsed into a tree that deep.
    if (text.size() > 16384) {
        parsed->supported = false;
        return parsed;
    }
    try {
        Reader reader(text);
        parsed->root = reader.parse(parsed->supported);
    } catch (const Unparsable&) {
        parsed->supported = false;
        parsed->root = Node{};
    }
    return parsed;
}

}  // namespace excel::formula
