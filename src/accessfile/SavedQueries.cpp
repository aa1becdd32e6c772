#include "accessfile/SavedQueries.h"

#include <QSet>
#include <map>

namespace accessfile::detail {

namespace {

// MSysQueries attributes.
enum Attribute : int {
    kStart = 0,
    kKind = 1,
    kParameter = 2,
    kOptions = 3,
    kRemoteDatabase = 4,
    kTable = 5,
    kColumn = 6,
    kJoin = 7,
    kWhere = 8,
    kGroupBy = 9,
    kHaving = 10,
    kOrderBy = 11,
    kEnd = 255,
};

// Bits of the options row.
constexpr int kAllFields = 0x01;
constexpr int kDistinct = 0x02;
constexpr int kDistinctRow = 0x08;
constexpr int kTop = 0x10;
constexpr int kPercent = 0x20;

QueryDefinition::Kind kindFromRow(int flag) {
    using K = QueryDefinition::Kind;
    switch (flag) {
        case 1:
            return K::Select;
        case 2:
            return K::MakeTable;
        case 3:
            return K::Append;
        case 4:
            return K::Update;
        case 5:
            return K::Delete;
        case 6:
            return K::Crosstab;
        case 7:
            return K::DataDefinition;
        case 8:
            return K::PassThrough;
        case 9:
            return K::Union;
        default:
            return K::Unknown;
    }
}

// The catalogue keeps the kind in the object's flags as well.
QueryDefinition::Kind kindFromCatalogue(int flags) {
    using K = QueryDefinition::Kind;
    switch (flags & 0xF0) {
        case 0x00:
            return K::Select;
        case 0x10:
            return K::Crosstab;
        case 0x20:
            return K::Delete;
        case 0x30:
            return K::Update;
        case 0x40:
            return K::Append;
        case 0x50:
            return K::MakeTable;
        case 0x60:
            return K::DataDefinition;
        case 0x70:
            return K::PassThrough;
        case 0x80:
            return K::Union;
        default:
            return K::Unknown;
    }
}

QString bracket(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// The FROM clause: each table a leaf, each join a node over two subtrees.
class JoinForest {
public:
    void addTable(const QString& key, const QString& sql) {
        Node n;
        n.sql = sql;
        n.members.insert(key.toLower());
        nodes_.push_back(n);
        roots_.push_back(int(nodes_.size()) - 1);
    }

    // false (with problem set) when the join cannot be placed.
    bool addJoin(const QString& left, const QString& right, int type, const QString& on,
                 QString* problem) {
        static const std::map<int, QString> kinds = {{1, QStringLiteral("INNER")},
                                                     {2, QStringLiteral("LEFT")},
                                                     {3, QStringLiteral("RIGHT")}};
        auto kind = kinds.find(type);
        if (kind == kinds.end()) {
            *problem = QStringLiteral("join of kind %1").arg(type);
            return false;
        }
        const int rl = rootOf(left), rr = rootOf(right);
        if (rl < 0 || rr < 0) {
            *problem = QStringLiteral("join names a table the query does not use");
            return false;
        }
        if (rl != rr) {
            Node n;
            n.left = rl;
            n.right = rr;
            n.type = kind->second;
            n.on << on;
            n.members = nodes_[size_t(rl)].members + nodes_[size_t(rr)].members;
            nodes_.push_back(n);
            const int joined = int(nodes_.size()) - 1;
            for (int& r : roots_)
                if (r == rl) r = joined;
            roots_.erase(std::find(roots_.begin(), roots_.end(), rr));
            return true;
        }
        // Both sides already joined: a further condition of the join that
        // brought them together (a join over several columns).
        int node = rl;
        const QString l = left.toLower(), r = right.toLower();
        for (;;) {
            const Node& n = nodes_[size_t(node)];
            if (n.left < 0) break;
            const auto& a = nodes_[size_t(n.left)].members;
            const auto& b = nodes_[size_t(n.right)].members;
            if ((a.contains(l) && b.contains(r)) || (a.contains(r) && b.contains(l))) {
                nodes_[size_t(node)].on << on;
                return true;
            }
            node = a.contains(l) ? n.left : n.right;
        }
        *problem = QStringLiteral("a join of a table with itself");
        return false;
    }

    QString sql() const {
        QStringList parts;
        for (int r : roots_) parts << render(r, true);
        return parts.join(QStringLiteral(", "));
    }

private:
    struct Node {
        QString sql;  // leaves
        int left = -1, right = -1;
        QString type;
        QStringList on;
        QSet<QString> members;  // table keys below, lower case
    };

    int rootOf(const QString& key) const {
        const QString k = key.toLower();
        for (int r : roots_)
            if (nodes_[size_t(r)].members.contains(k)) return r;
        return -1;
    }

    QString render(int index, bool top) const {
        const Node& n = nodes_[size_t(index)];
        if (n.left < 0) return n.sql;
        QString on = n.on.size() == 1 ? n.on.first()
                                      : QLatin1Char('(') + n.on.join(QStringLiteral(") AND (")) +
                                            QLatin1Char(')');
        QString s = render(n.left, false) + QLatin1Char(' ') + n.type + QStringLiteral(" JOIN ") +
                    render(n.right, false) + QStringLiteral(" ON ") + on;
        return top ? s : QLatin1Char('(') + s + QLatin1Char(')');
    }

    std::vector<Node> nodes_;
    std::vector<int> roots_;
};

QString buildSelect(const std::vector<QueryRow>& rows, QString* problem) {
    JoinForest from;
    QStringList columns, groupBy, orderBy;
    QString where, having, top;
    int options = 0, tables = 0;
    for (const QueryRow& r : rows) {
        switch (r.attribute) {
            case kOptions:
                options = r.flag;
                top = r.name1;
                break;
            case kTable: {
                QString key = r.name2.isEmpty() ? r.name1 : r.name2;
                QString sql;
                if (!r.name1.isEmpty())
                    sql =
                        bracket(r.name1) +
                        (r.name2.isEmpty() ? QString() : QStringLiteral(" AS ") + bracket(r.name2));
                else if (!r.expression.isEmpty() && !r.name2.isEmpty())
                    sql = QLatin1Char('(') + engineFunctions(r.expression) +
                          QStringLiteral(") AS ") + bracket(r.name2);
                else {
                    *problem = QStringLiteral("a source without a name");
                    return {};
                }
                from.addTable(key, sql);
                ++tables;
                break;
            }
            case kColumn: {
                QString c = engineFunctions(r.expression);
                if (!r.name1.isEmpty()) c += QStringLiteral(" AS ") + bracket(r.name1);
                columns << c;
                break;
            }
            case kJoin:
                if (!from.addJoin(r.name1, r.name2, r.flag, engineFunctions(r.expression), problem))
                    return {};
                break;
            case kWhere:
                where = engineFunctions(r.expression);
                break;
            case kGroupBy:
                groupBy << engineFunctions(r.expression);
                break;
            case kHaving:
                having = engineFunctions(r.expression);
                break;
            case kOrderBy:
                orderBy << engineFunctions(r.expression) +
                               (r.name1.compare(QLatin1String("D"), Qt::CaseInsensitive) == 0
                                    ? QStringLiteral(" DESC")
                                    : QString());
                break;
            case kParameter:
                *problem = QStringLiteral("it asks for parameters");
                return {};
            case kRemoteDatabase:
                *problem = QStringLiteral("it reads another database");
                return {};
            case kStart:
            case kKind:
            case kEnd:
                break;
            default:
                *problem = QStringLiteral("unknown query element %1").arg(r.attribute);
                return {};
        }
    }
    if (options & kAllFields) columns.prepend(QStringLiteral("*"));
    if (columns.isEmpty()) {
        *problem = QStringLiteral("it selects no columns");
        return {};
    }
    if (tables == 0) {
        *problem = QStringLiteral("it reads no table");
        return {};
    }
    if (options & kPercent) {
        *problem = QStringLiteral("TOP ... PERCENT");
        return {};
    }
    // DISTINCTROW only differs from a plain select when tables are joined.
    if ((options & kDistinctRow) && tables > 1) {
        *problem = QStringLiteral("DISTINCTROW over joined tables");
        return {};
    }
    QString sql = QStringLiteral("SELECT ");
    if (options & kDistinct) sql += QStringLiteral("DISTINCT ");
    sql += columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + from.sql();
    if (!where.isEmpty()) sql += QStringLiteral(" WHERE ") + where;
    if (!groupBy.isEmpty())
        sql += QStringLiteral(" GROUP BY ") + groupBy.join(QStringLiteral(", "));
    if (!having.isEmpty()) sql += QStringLiteral(" HAVING ") + having;
    if (!orderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + orderBy.join(QStringLiteral(", "));
    if (options & kTop) {
        bool ok = false;
        const int n = top.trimmed().toInt(&ok);
        if (!ok || n < 0) {
            *problem = QStringLiteral("TOP without a count");
            return {};
        }
        sql += QStringLiteral(" LIMIT %1").arg(n);
    }
    return sql;
}

// ---- renaming functions -----------------------------------------------------

// End (exclusive) of a quoted run starting at i (s[i] is the opening mark).
qsizetype skipQuoted(const QString& s, qsizetype i) {
    const QChar open = s[i];
    const QChar close = open == QLatin1Char('[') ? QLatin1Char(']') : open;
    ++i;
    while (i < s.size()) {
        if (s[i] == close) {
            if (close != QLatin1Char(']') && i + 1 < s.size() && s[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return s.size();
}

bool opensQuoted(QChar c) {
    return c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('[') ||
           c == QLatin1Char('#');
}

// Index of the ")" closing the "(" at open, or -1; the top-level commas in
// between are collected.
qsizetype closingParen(const QString& s, qsizetype open, std::vector<qsizetype>* commas) {
    int depth = 0;
    for (qsizetype i = open; i < s.size();) {
        const QChar c = s[i];
        if (opensQuoted(c)) {
            i = skipQuoted(s, i);
            continue;
        }
        if (c == QLatin1Char('(')) ++depth;
        if (c == QLatin1Char(')') && --depth == 0) return i;
        if (c == QLatin1Char(',') && depth == 1) commas->push_back(i);
        ++i;
    }
    return -1;
}

}  // namespace

QString engineFunctions(const QString& s) {
    QString out;
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s[i];
        if (opensQuoted(c)) {
            const qsizetype end = skipQuoted(s, i);
            out += s.mid(i, end - i);
            i = end;
            continue;
        }
        const bool wordStart =
            (c.isLetter() || c == QLatin1Char('_')) &&
            (i == 0 || !(s[i - 1].isLetterOrNumber() || s[i - 1] == QLatin1Char('_') ||
                         s[i - 1] == QLatin1Char('.')));
        if (!wordStart) {
            out += c;
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < s.size() && (s[end].isLetterOrNumber() || s[end] == QLatin1Char('_'))) ++end;
        const QString word = s.mid(i, end - i);
        qsizetype open = end;
        while (open < s.size() && s[open] == QLatin1Char(' ')) ++open;
        std::vector<qsizetype> commas;
        const qsizetype close =
            open < s.size() && s[open] == QLatin1Char('(') ? closingParen(s, open, &commas) : -1;
        if (close < 0) {
            out += word;
            i = end;
            continue;
        }
        const QString w = word.toLower();
        const QString inner = s.mid(open + 1, close - open - 1);
        const QString args = engineFunctions(inner);
        static const std::map<QString, QString> renamed = {
            {QStringLiteral("ucase"), QStringLiteral("upper")},
            {QStringLiteral("lcase"), QStringLiteral("lower")},
            {QStringLiteral("len"), QStringLiteral("length")},
            {QStringLiteral("mid"), QStringLiteral("substr")}};
        static const std::map<QString, QString> datePart = {
            {QStringLiteral("year"), QStringLiteral("%Y")},
            {QStringLiteral("month"), QStringLiteral("%m")},
            {QStringLiteral("day"), QStringLiteral("%d")}};
        if (auto r = renamed.find(w); r != renamed.end()) {
            out += r->second + QLatin1Char('(') + args + QLatin1Char(')');
        } else if (w == QLatin1String("nz") && commas.size() == 1) {
            out += QStringLiteral("ifnull(") + args + QLatin1Char(')');
        } else if (w == QLatin1String("date") && inner.trimmed().isEmpty()) {
            out += QStringLiteral("DATEVALUE(Now())");
        } else if (auto d = datePart.find(w); d != datePart.end() && commas.empty()) {
            out += QStringLiteral("CAST(strftime('%1', %2) AS INTEGER)").arg(d->second, args);
        } else {
            out += word + s.mid(end, open - end) + QLatin1Char('(') + args + QLatin1Char(')');
        }
        i = close + 1;
    }
    return out;
}

QueryDefinition buildQuery(const std::vector<QueryRow>& rows, int catalogueFlags) {
    QueryDefinition q;
    q.kind = kindFromCatalogue(catalogueFlags);
    for (const QueryRow& r : rows)
        if (r.attribute == kKind) {
            q.kind = kindFromRow(r.flag);
            // Data definition and pass-through queries keep their text here.
            if (!r.expression.isEmpty()) q.sql = r.expression;
        }
    using K = QueryDefinition::Kind;
    if (q.kind == K::Union) {
        QStringList parts;
        for (const QueryRow& r : rows)
            if (r.attribute == kTable && !r.expression.isEmpty()) parts << r.expression.trimmed();
        q.sql = parts.join(QStringLiteral("\nUNION\n"));
    }
    if (q.kind != K::Select) return q;
    q.sql = buildSelect(rows, &q.problem);
    return q;
}

QString kindName(QueryDefinition::Kind kind) {
    using K = QueryDefinition::Kind;
    switch (kind) {
        case K::Select:
            return QStringLiteral("select");
        case K::MakeTable:
            return QStringLiteral("make-table");
        case K::Append:
            return QStringLiteral("append");
        case K::Update:
            return QStringLiteral("update");
        case K::Delete:
            return QStringLiteral("delete");
        case K::Crosstab:
            return QStringLiteral("crosstab");
        case K::DataDefinition:
            return QStringLiteral("data-definition");
        case K::PassThrough:
            return QStringLiteral("pass-through");
        case K::Union:
            return QStringLiteral("union");
        case K::Unknown:
            break;
    }
    return QStringLiteral("unknown");
}

}  // namespace accessfile::detail
