#include "view/FilterSql.h"

#include "view/FieldTypes.h"

#include <algorithm>

namespace view {

namespace {

using namespace fieldtype;

const QStringList& allConditionTexts() {
    static const QStringList texts = {
        QStringLiteral("＜解　除＞"),      QStringLiteral("比較値Aより小"),
        QStringLiteral("比較値A以下"),     QStringLiteral("比較値Aと等しい"),
        QStringLiteral("比較値A以上"),     QStringLiteral("比較値Aより大"),
        QStringLiteral("比較値Aと違う"),   QStringLiteral("比較値A-B範囲内"),
        QStringLiteral("比較値A-B範囲外"), QStringLiteral("比較値Aを含む"),
    };
    return texts;
}

}  // namespace

bool anyFilterSet(const FieldDescriptorList& descriptors) {
    return std::any_of(descriptors.begin(), descriptors.end(),
                       [](const TFieldDescriptor& d) { return d.FilterCondition > 0; });
}

QStringList conditionTexts(int fieldType) {
    const QStringList& all = allConditionTexts();
    if (fieldType == kText) return all;
    if (fieldType == kBoolean) return {all[fcNone], all[fcEqual]};
    return all.mid(0, fcOutOfRange + 1);
}

QString typeLabel(int fieldType) {
    switch (fieldType) {
        case kByte: return QStringLiteral("バイト型");
        case kSmallint: return QStringLiteral("小整数型");
        case kInteger: return QStringLiteral("整数型");
        // An auto-number is an integer to the user: filtered and validated as one.
        case kAutoInc: return QStringLiteral("整数型");
        case kFloat: return QStringLiteral("実数型");
        case kCurrency: return QStringLiteral("通貨型");
        case kText: return QStringLiteral("文字型");
        case kDateTime: return QStringLiteral("日付型");
        case kBoolean: return QStringLiteral("論理型");
        default: return QString();
    }
}

bool opensFieldSettings(int fieldType) {
    switch (fieldType) {
        case kSmallint: case kInteger: case kByte: case kBoolean: case kFloat:
        case kCurrency: case kDateTime: case kAutoInc: case kText:
            return true;
        default:
            return false;
    }
}

bool offersSuggestions(int fieldType) {
    switch (fieldType) {
        case kSmallint: case kInteger: case kByte: case kFloat: case kCurrency: case kText:
            return true;
        default:
            return false;
    }
}

QString tableSelectSql(const QString& table) {
    return QStringLiteral("SELECT * FROM [") + table + QStringLiteral("]");
}

QString quotedSqlText(const QString& value) {
    QString doubled = value;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

namespace {

// One comparison value as the SQL text writes it for this type. Numbers
// and booleans were validated by the dialog and stand as typed; texts and
// dates stand in quotes with any quote inside doubled, so a value can never
// end its literal early.
QString sqlValue(int fieldType, const QString& value) {
    if (fieldType == kDateTime) return QStringLiteral("DATEVALUE(") + quotedSqlText(value) + ')';
    if (fieldType == kText) return quotedSqlText(value);
    return value;
}

QString columnCondition(const TFieldDescriptor& d) {
    const QString n = QLatin1Char('[') + d.FieldName + QLatin1Char(']');
    const QString a = sqlValue(d.DataType, d.CompareA);
    switch (d.FilterCondition) {
        case fcLess: return n + QStringLiteral(" < ") + a;
        case fcLessOrEqual: return n + QStringLiteral(" <= ") + a;
        case fcEqual: return n + QStringLiteral(" = ") + a;
        case fcGreaterOrEqual: return n + QStringLiteral(" >= ") + a;
        case fcGreater: return n + QStringLiteral(" > ") + a;
        case fcNotEqual: return n + QStringLiteral(" <> ") + a;
        case fcInRange:
            return n + QStringLiteral(" >= ") + a + QStringLiteral(" AND ") + n +
                   QStringLiteral(" <= ") + sqlValue(d.DataType, d.CompareB);
        case fcOutOfRange:
            return QLatin1Char('(') + n + QStringLiteral(" < ") + a + QStringLiteral(" OR ") + n +
                   QStringLiteral(" > ") + sqlValue(d.DataType, d.CompareB) + QLatin1Char(')');
        case fcContains:
            return n + QStringLiteral(" LIKE ") +
                   quotedSqlText(QLatin1Char('%') + d.CompareA + QLatin1Char('%'));
        default:
            return QString();
    }
}

}  // namespace

QString filterConditionSql(const FieldDescriptorList& descriptors) {
    QString cond;
    for (const TFieldDescriptor& d : descriptors) {
        const QString part = columnCondition(d);
        if (part.isEmpty()) continue;
        if (!cond.isEmpty()) cond += QStringLiteral(" AND ");
        cond += part;
    }
    return cond;
}

namespace {

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Offset of the first clause keyword (one word, or two such as "ORDER BY")
// that stands in the statement itself, in any letter case: never inside a
// text value, a [name], or parentheses (a subquery has clauses of its own).
// -1 when there is none at or after `from`.
qsizetype findClause(const QString& sql, const QStringList& words, qsizetype from = 0) {
    int depth = 0;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype close = sql.indexOf(c, i + 1);
            if (close < 0) return -1;
            i = close;  // a doubled quote is two values back to back: same result
            continue;
        }
        if (c == QLatin1Char('[')) {
            const qsizetype close = sql.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0) return -1;
            i = close;
            continue;
        }
        if (c == QLatin1Char('(')) ++depth;
        if (c == QLatin1Char(')')) --depth;
        if (depth != 0 || i < from || (i > 0 && isNameChar(sql[i - 1]))) continue;
        qsizetype at = i;
        bool match = true;
        for (const QString& w : words) {
            while (at < n && sql[at].isSpace() && at > i) ++at;
            if (sql.mid(at, w.size()).compare(w, Qt::CaseInsensitive) != 0 ||
                (at + w.size() < n && isNameChar(sql[at + w.size()]))) {
                match = false;
                break;
            }
            at += w.size();
        }
        if (match) return i;
    }
    return -1;
}

const QStringList kWhere = {QStringLiteral("WHERE")};
const QStringList kOrderBy = {QStringLiteral("ORDER"), QStringLiteral("BY")};
const QStringList kGroupBy = {QStringLiteral("GROUP"), QStringLiteral("BY")};
const QStringList kHaving = {QStringLiteral("HAVING")};
const QStringList kFrom = {QStringLiteral("FROM")};

// Where the WHERE clause of `sql` ends: at its GROUP BY, HAVING or a second
// SELECT joined by UNION and the like; sql.size() when nothing follows it.
qsizetype endOfWhere(const QString& sql, qsizetype from) {
    qsizetype end = sql.size();
    for (const QStringList& clause :
         {kGroupBy, kHaving, QStringList{QStringLiteral("UNION")},
          QStringList{QStringLiteral("INTERSECT")}, QStringList{QStringLiteral("EXCEPT")}}) {
        const qsizetype at = findClause(sql, clause, from);
        if (at >= 0) end = std::min(end, at);
    }
    return end;
}

}  // namespace

QString reorderedSql(const QString& sql, const QString& orderBy) {
    if (orderBy.isEmpty()) return sql;
    const qsizetype at = findClause(sql, kOrderBy);
    QString body = at >= 0 ? sql.left(at) : sql;
    while (!body.isEmpty() && body.back().isSpace()) body.chop(1);
    return body + orderBy;
}

QString buildFilteredSql(const FieldDescriptorList& descriptors, const ShownObject& shown,
                         const QString& orderByClause) {
    const QString cond = filterConditionSql(descriptors);
    if (!shown.isQuery) {
        QString sql = tableSelectSql(shown.name);
        if (!cond.isEmpty()) sql += QStringLiteral(" WHERE ") + cond;
        return sql + orderByClause;
    }

    // A saved query: our filter joins its own condition, and its ORDER BY
    // gives way to ours. Its own condition keeps its parentheses, so an OR in
    // it cannot swallow the filter; the clauses are found in any letter case.
    const QString& query = shown.querySql;
    const qsizetype orderAt = findClause(query, kOrderBy);
    const QString src = orderAt >= 0 ? query.left(orderAt) : query;
    QString sql = src;
    if (!cond.isEmpty()) {
        const qsizetype whereAt = findClause(src, kWhere);
        const qsizetype end = endOfWhere(src, whereAt >= 0 ? whereAt : 0);
        if (whereAt >= 0) {
            const QString own = src.mid(whereAt + 5, end - whereAt - 5);
            qsizetype kept = own.size();  // blanks before what follows stay
            while (kept > 0 && own[kept - 1].isSpace()) --kept;
            sql = src.left(whereAt + 5) + QStringLiteral(" (") + cond + QStringLiteral(") And (") +
                  own.trimmed() + QLatin1Char(')') + own.mid(kept) + src.mid(end);
        } else if (end < src.size()) {
            sql = src.left(end).trimmed() + QStringLiteral(" WHERE ") + cond + QLatin1Char(' ') +
                  src.mid(end);
        } else {
            sql = src + QStringLiteral(" WHERE ") + cond;
        }
    }
    if (!orderByClause.isEmpty())
        sql += orderByClause;
    else if (orderAt >= 0)
        sql += query.mid(orderAt);
    return sql;
}

QString applySortChoice(const QString& orderByClause, const QString& field,
                        SortDirection direction, bool secondary) {
    if (direction == SortDirection::None) return orderByClause;
    QString key = QLatin1Char('[') + field + QLatin1Char(']');
    if (direction == SortDirection::Descending) key += QStringLiteral(" DESC");
    if (secondary) return orderByClause + QLatin1Char(',') + key;
    return QStringLiteral(" ORDER BY ") + key;
}

SuggestionPlan planSuggestions(int fieldType, const QString& field, const ShownObject& shown) {
    SuggestionPlan plan;
    if (!opensFieldSettings(fieldType)) {
        plan.openDialog = false;
        return plan;
    }
    if (!offersSuggestions(fieldType)) return plan;
    const QString select = QStringLiteral("SELECT DISTINCT [") + field + QStringLiteral("] ");
    if (!shown.isQuery) {
        plan.sql = select + QStringLiteral("FROM [") + shown.name + QLatin1Char(']');
        return plan;
    }
    // Distinct values of a grouped query are not values of its rows, and a
    // query without FROM has nothing to ask: no dialog for either.
    const QString& query = shown.querySql;
    const qsizetype fromAt = findClause(query, kFrom);
    if (findClause(query, kGroupBy) >= 0 || fromAt < 0) {
        plan.openDialog = false;
        return plan;
    }
    QString tail = query.mid(fromAt);
    const qsizetype orderAt = findClause(tail, kOrderBy);
    if (orderAt >= 0) tail.truncate(orderAt);
    plan.sql = select + tail;
    return plan;
}

}  // namespace view
