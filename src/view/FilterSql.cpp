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

QString buildFilteredSql(const FieldDescriptorList& descriptors, const ShownObject& shown,
                         const QString& orderByClause) {
    const QString cond = filterConditionSql(descriptors);
    if (!shown.isQuery) {
        QString sql = tableSelectSql(shown.name);
        if (!cond.isEmpty()) sql += QStringLiteral(" WHERE ") + cond;
        return sql + orderByClause;
    }

    // A saved query: our filter joins its own WHERE, and its ORDER BY gives
    // way to ours. The searches are case-sensitive, as saved queries are
    // written in upper-case keywords.
    static const QString kOrder = QStringLiteral("ORDER ");
    static const QString kWhere = QStringLiteral("WHERE ");
    const QString& query = shown.querySql;
    const qsizetype orderAt = query.indexOf(kOrder);
    QString src = orderAt >= 0 ? query.left(orderAt) : query;
    QString sql = src;
    if (!cond.isEmpty()) {
        const qsizetype whereAt = src.indexOf(kWhere);
        if (whereAt >= 0) {
            sql = src.left(whereAt) + QStringLiteral("WHERE (") + cond + QStringLiteral(") And ") +
                  src.mid(whereAt + kWhere.size());
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
    const qsizetype fromAt = query.indexOf(QStringLiteral("FROM"));
    if (query.contains(QStringLiteral("GROUP")) || fromAt < 0) {
        plan.openDialog = false;
        return plan;
    }
    QString tail = query.mid(fromAt);
    const qsizetype orderAt = tail.indexOf(QStringLiteral("ORDER "));
    if (orderAt >= 0) tail.truncate(orderAt);
    plan.sql = select + tail;
    return plan;
}

}  // namespace view
