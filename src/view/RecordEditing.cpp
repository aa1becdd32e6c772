#include "view/RecordEditing.h"

#include <cstdint>

#include "db/Dialect.h"
#include "text/LocaleText.h"

namespace view {

QVariant newRecordDefault(int fieldType, const QDateTime& now) {
    switch (fieldType) {
        case db::ftSmallint:
        case db::ftInteger:
        case db::ftByte:
        case db::ftCurrency:
            return QVariant(qint64(0));
        case db::ftBoolean:
            return QVariant(false);
        case db::ftFloat:
            return QVariant(0.0);
        case db::ftDateTime:
            return QVariant(now);
        case db::ftText:
            return QVariant(QString(QLatin1String("")));
        default:
            return QVariant();
    }
}

PlaceholderKeys placeholderKeys(int fieldType) {
    PlaceholderKeys keys;
    keys.search = true;
    switch (fieldType) {
        case db::ftSmallint:
        case db::ftInteger:
        case db::ftCurrency:
            for (int i = -1; i >= -9999; --i) keys.candidates.emplace_back(qint64(i));
            keys.fallback = qint64(0);
            keys.parameterType =
                fieldType == db::ftCurrency ? db::ParamType::Float : db::ParamType::Integer;
            break;
        case db::ftByte:
            for (int i = 255; i >= 0; --i) keys.candidates.emplace_back(qint64(i));
            keys.fallback = qint64(0);
            keys.parameterType = db::ParamType::Integer;
            break;
        case db::ftFloat:
            for (int i = -1; i > -10000; --i) keys.candidates.emplace_back(double(i));
            keys.fallback = 0.0;
            keys.parameterType = db::ParamType::Float;
            break;
        case db::ftText:
            for (int i = -1; i >= -9999; --i) keys.candidates.emplace_back(QString::number(i));
            keys.fallback = QStringLiteral("0");
            keys.parameterType = db::ParamType::Text;
            break;
        case db::ftDateTime: {
            // Day 0 of the date serial numbers, then one day later each time.
            const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
            for (int i = 0; i < 10000; ++i) keys.candidates.emplace_back(zero.addDays(i));
            keys.fallback = zero;
            keys.parameterType = db::ParamType::DateTime;
            break;
        }
        case db::ftBoolean:
            keys.search = false;
            keys.fallback = false;
            break;
        default:
            keys.search = false;
            break;
    }
    return keys;
}

QString placeholderQuery(const QString& table, const QString& field) {
    const QString f = db::detail::bracketed(field);
    return QStringLiteral("SELECT ") + f + QStringLiteral(" FROM ") + db::detail::bracketed(table) +
           QStringLiteral(" WHERE ") + f + QStringLiteral(" = :A");
}

bool pasteFits(int fieldType, const QString& text) {
    switch (fieldType) {
        case db::ftSmallint:
            return text::parseInteger(text, -32768, 32767).has_value();
        case db::ftInteger:
            return text::parseInteger(text, INT32_MIN, INT32_MAX).has_value();
        case db::ftByte:
            return text::parseInteger(text, 0, 255).has_value();
        case db::ftBoolean:
            return text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 ||
                   text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0;
        case db::ftFloat:
            return text::parseDouble(text).has_value();
        case db::ftCurrency:
            return text::parseCurrency(text).has_value();
        case db::ftDateTime:
            return text::parseDateTime(text).has_value();
        case db::ftText:
            return true;
        default:
            return false;
    }
}

}  // namespace view
