#include "db/Types.h"

#include <QRegularExpression>
#include <cmath>

#include "text/Text.h"

namespace db {

namespace {

constexpr double kCurrencyLimit = 922337203685477.5807;

QString firstWord(const QString& declared, int* size) {
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*([A-Za-z_]+)\s*(?:\(\s*(\d+)\s*(?:,\s*\d+\s*)?\))?)"));
    auto m = re.match(declared);
    *size = 0;
    if (!m.hasMatch()) return {};
    if (m.capturedLength(2) > 0) *size = m.captured(2).toInt();
    return m.captured(1).toUpper();
}

[[noreturn]] void refuse(Error::Code code, const QString& field, const QString& what) {
    throw Error(code, QStringLiteral("field %1: %2").arg(field, what));
}

std::optional<qint64> wholeNumber(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Bool:
            return v.toBool() ? -1 : 0;
        case QMetaType::Double:
        case QMetaType::Float: {
            double d = v.toDouble();
            if (!std::isfinite(d) || std::fabs(d) > 9.2e18) return std::nullopt;
            // The engine rounds a fractional value half to even when it stores it in
            // a whole-number column.
            return qint64(std::nearbyint(d));
        }
        case QMetaType::QString: {
            QString s = v.toString().trimmed();
            if (auto i = text::parseInteger(s)) return i;
            if (auto d = text::parseDouble(s)) return wholeNumber(QVariant(*d));
            return std::nullopt;
        }
        default:
            bool ok = false;
            qint64 i = v.toLongLong(&ok);
            if (ok) return i;
            return std::nullopt;
    }
}

std::optional<double> realNumber(const QVariant& v) {
    if (v.typeId() == QMetaType::QString) return text::parseDouble(v.toString());
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? -1.0 : 0.0;
    bool ok = false;
    double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d)) return std::nullopt;
    return d;
}

QVariant rangeChecked(const QVariant& value, qint64 lo, qint64 hi, const QString& field) {
    auto i = wholeNumber(value);
    if (!i)
        refuse(Error::Code::TypeMismatch, field,
               QStringLiteral("'%1' is not a whole number").arg(value.toString()));
    if (*i < lo || *i > hi)
        refuse(Error::Code::OutOfRange, field,
               QStringLiteral("%1 is outside %2..%3").arg(*i).arg(lo).arg(hi));
    return QVariant(*i);
}

}  // namespace

ColumnType columnTypeFromDeclared(const QString& declared, bool autoIncrement) {
    int size = 0;
    QString w = firstWord(declared, &size);
    ColumnType t;
    if (autoIncrement || w == QLatin1String("COUNTER") || w == QLatin1String("AUTOINCREMENT")) {
        t.code = ftAutoInc;
    } else if (w == QLatin1String("BIT") || w == QLatin1String("YESNO") ||
               w == QLatin1String("LOGICAL") || w == QLatin1String("BOOLEAN")) {
        t.code = ftBoolean;
    } else if (w == QLatin1String("BYTE") || w == QLatin1String("TINYINT")) {
        t.code = ftByte;
    } else if (w == QLatin1String("SMALLINT") || w == QLatin1String("SHORT")) {
        t.code = ftSmallint;
    } else if (w == QLatin1String("INTEGER") || w == QLatin1String("LONG") ||
               w == QLatin1String("INT")) {
        t.code = ftInteger;
    } else if (w == QLatin1String("DOUBLE") || w == QLatin1String("FLOAT") ||
               w == QLatin1String("REAL")) {
        t.code = ftFloat;
    } else if (w == QLatin1String("CURRENCY") || w == QLatin1String("MONEY") ||
               w == QLatin1String("DECIMAL") || w == QLatin1String("NUMERIC")) {
        t.code = ftCurrency;
    } else if (w == QLatin1String("TIMESTAMP") || w == QLatin1String("DATETIME") ||
               w == QLatin1String("DATE") || w == QLatin1String("TIME")) {
        t.code = ftDateTime;
    } else if (w == QLatin1String("MEMO") || w == QLatin1String("LONGTEXT") ||
               w == QLatin1String("NOTE") || w == QLatin1String("LONGCHAR")) {
        t.code = ftMemo;
    } else if (w == QLatin1String("NCHAR") || w == QLatin1String("CHAR") ||
               w == QLatin1String("VARCHAR") || w == QLatin1String("NVARCHAR") ||
               w == QLatin1String("TEXT") || w == QLatin1String("CHARACTER") ||
               w == QLatin1String("STRING")) {
        // A text column without a width holds up to 255 characters.
        t.code = ftText;
        t.size = size > 0 ? size : 255;
    } else if (w == QLatin1String("GUID") || w == QLatin1String("UNIQUEIDENTIFIER")) {
        t.code = ftGuid;
    } else if (w == QLatin1String("BLOB") || w == QLatin1String("LONGBINARY") ||
               w == QLatin1String("IMAGE") || w == QLatin1String("OLEOBJECT") ||
               w == QLatin1String("BINARY") || w == QLatin1String("VARBINARY")) {
        t.code = ftBlob;
    }
    return t;
}

ResultColumn describeColumn(sqlite3* handle, sqlite3_stmt* stmt, int i) {
    ResultColumn c;
    c.name = QString::fromUtf8(sqlite3_column_name(stmt, i));
    const char* decl = sqlite3_column_decltype(stmt, i);
    const char* table = sqlite3_column_table_name(stmt, i);
    const char* origin = sqlite3_column_origin_name(stmt, i);
    if (table && origin) {
        c.originTable = QString::fromUtf8(table);
        c.originColumn = QString::fromUtf8(origin);
        int autoinc = 0;
        sqlite3_table_column_metadata(handle, sqlite3_column_database_name(stmt, i), table, origin,
                                      nullptr, nullptr, nullptr, nullptr, &autoinc);
        c.autoIncrement = autoinc != 0;
    }
    c.type = columnTypeFromDeclared(decl ? QString::fromUtf8(decl) : QString(), c.autoIncrement);
    return c;
}

int storageDateTimeAscii(const QDate& d, const QTime& t, char* out) {
    if (!d.isValid() || !t.isValid() || d.year() < 1 || d.year() > 9999) return 0;
    auto put = [out](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10) out[at + i] = char('0' + value % 10);
    };
    put(0, d.year(), 4);
    out[4] = '-';
    put(5, d.month(), 2);
    out[7] = '-';
    put(8, d.day(), 2);
    out[10] = ' ';
    put(11, t.hour(), 2);
    out[13] = ':';
    put(14, t.minute(), 2);
    out[16] = ':';
    put(17, t.second(), 2);
    if (t.msec() == 0) return 19;
    out[19] = '.';
    put(20, t.msec(), 3);
    return 23;
}

bool isStorageDateTimeAscii(const char* p, int n) {
    if (n != 19 && n != 23) return false;
    auto num = [p](int from, int len) {
        int v = 0;
        for (int i = from; i < from + len; ++i) {
            if (p[i] < '0' || p[i] > '9') return -1;
            v = v * 10 + (p[i] - '0');
        }
        return v;
    };
    if (p[4] != '-' || p[7] != '-' || p[10] != ' ' || p[13] != ':' || p[16] != ':') return false;
    int ms = 0;
    if (n == 23) {
        ms = num(20, 3);
        // ".000" is never written: such a text reads back as another layout.
        if (p[19] != '.' || ms <= 0) return false;
    }
    const int year = num(0, 4);
    return year >= 1 && QDate::isValid(year, num(5, 2), num(8, 2)) &&
           QTime::isValid(num(11, 2), num(14, 2), num(17, 2), ms);
}

QString storageDateTime(const QDateTime& dt) {
    // Every written date passes here; the general formatter costs more than
    // the insert itself, so the common years are laid out by hand and the
    // rest (and invalid values) keep Qt's output.
    char buf[23];
    if (dt.isValid()) {
        if (const int n = storageDateTimeAscii(dt.date(), dt.time(), buf))
            return QString::fromLatin1(buf, n);
    }
    const QTime t = dt.time();
    QString s = dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (t.msec() != 0)
        s += QLatin1Char('.') + QString::number(t.msec()).rightJustified(3, QLatin1Char('0'));
    return s;
}

std::optional<QDateTime> parseStorageDateTime(const QString& s) {
    // Fast path for our own layout; anything else goes through the general reader.
    if (s.size() >= 19 && s[4] == QLatin1Char('-') && s[7] == QLatin1Char('-') &&
        s[10] == QLatin1Char(' ')) {
        auto num = [&](int from, int len) {
            int v = 0;
            for (int i = from; i < from + len; ++i) {
                QChar c = s[i];
                if (!c.isDigit()) return -1;
                v = v * 10 + c.digitValue();
            }
            return v;
        };
        int ms = 0;
        if (s.size() > 20 && s[19] == QLatin1Char('.')) ms = num(20, qMin(3, int(s.size()) - 20));
        QDate d(num(0, 4), num(5, 2), num(8, 2));
        QTime t(num(11, 2), num(14, 2), num(17, 2), ms < 0 ? 0 : ms);
        if (d.isValid() && t.isValid()) return QDateTime(d, t);
    }
    return text::parseDateTime(s);
}

QVariant readColumn(sqlite3_stmt* stmt, int col, int fieldType) {
    int storage = sqlite3_column_type(stmt, col);
    if (storage == SQLITE_NULL) return QVariant();
    auto asText = [&] {
        const char* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
        return QString::fromUtf8(p, sqlite3_column_bytes(stmt, col));
    };
    switch (fieldType) {
        case ftBoolean:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return QVariant(sqlite3_column_double(stmt, col) != 0);
            break;
        case ftDateTime:
            if (storage == SQLITE_TEXT) {
                QString s = asText();
                if (auto dt = parseStorageDateTime(s)) return QVariant(*dt);
                return QVariant(s);
            }
            break;
        case ftFloat:
        case ftCurrency:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return QVariant(sqlite3_column_double(stmt, col));
            break;
        case ftMemo:
        case ftText:
        case ftGuid:
            if (storage != SQLITE_BLOB) return QVariant(asText());
            break;
        default:
            break;
    }
    switch (storage) {
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(stmt, col)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(stmt, col));
        case SQLITE_BLOB:
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, col)),
                                       sqlite3_column_bytes(stmt, col)));
        default:
            return QVariant(asText());
    }
}

QVariant toStorage(const QVariant& value, const ColumnType& type, const QString& field) {
    if (!value.isValid() || value.isNull()) return QVariant();
    switch (type.code) {
        case ftBoolean: {
            if (value.typeId() == QMetaType::QString) {
                QString s = value.toString().trimmed().toLower();
                if (s == QLatin1String("true") || s == QLatin1String("yes") ||
                    s == QLatin1String("on"))
                    return qint64(1);
                if (s == QLatin1String("false") || s == QLatin1String("no") ||
                    s == QLatin1String("off"))
                    return qint64(0);
            }
            auto i = wholeNumber(value);
            if (!i)
                refuse(Error::Code::TypeMismatch, field,
                       QStringLiteral("'%1' is not True or False").arg(value.toString()));
            return qint64(*i != 0 ? 1 : 0);
        }
        case ftByte:
            return rangeChecked(value, 0, 255, field);
        case ftSmallint:
            return rangeChecked(value, -32768, 32767, field);
        case ftInteger:
        case ftAutoInc:
            return rangeChecked(value, INT32_MIN, INT32_MAX, field);
        case ftFloat: {
            auto d = realNumber(value);
            if (!d)
                refuse(Error::Code::TypeMismatch, field,
                       QStringLiteral("'%1' is not a number").arg(value.toString()));
            return *d;
        }
        case ftCurrency: {
            std::optional<double> d = value.typeId() == QMetaType::QString
                                          ? text::parseDouble(value.toString())
                                          : realNumber(value);
            if (!d)
                refuse(Error::Code::TypeMismatch, field,
                       QStringLiteral("'%1' is not a number").arg(value.toString()));
            if (std::fabs(*d) > kCurrencyLimit)
                refuse(Error::Code::OutOfRange, field,
                       QStringLiteral("%1 is outside the currency range").arg(*d));
            return std::round(*d * 10000.0) / 10000.0;
        }
        case ftDateTime: {
            if (value.typeId() == QMetaType::QDateTime) {
                QDateTime dt = value.toDateTime();
                if (!dt.isValid())
                    refuse(Error::Code::TypeMismatch, field, QStringLiteral("invalid date"));
                return storageDateTime(dt);
            }
            if (value.typeId() == QMetaType::QDate) {
                QDate d = value.toDate();
                if (!d.isValid())
                    refuse(Error::Code::TypeMismatch, field, QStringLiteral("invalid date"));
                return storageDateTime(QDateTime(d, QTime(0, 0)));
            }
            auto dt = text::parseDateTime(value.toString());
            if (!dt)
                refuse(Error::Code::TypeMismatch, field,
                       QStringLiteral("'%1' is not a date").arg(value.toString()));
            return storageDateTime(*dt);
        }
        case ftText: {
            QString s = value.typeId() == QMetaType::Double ? text::formatDouble(value.toDouble())
                                                            : value.toString();
            if (type.size > 0 && s.size() > type.size)
                refuse(Error::Code::TooLong, field,
                       QStringLiteral("%1 characters do not fit its width %2")
                           .arg(s.size())
                           .arg(type.size));
            return s;
        }
        case ftMemo:
        case ftGuid:
            if (value.typeId() == QMetaType::Double) return text::formatDouble(value.toDouble());
            return value.toString();
        case ftBlob:
            return value.toByteArray();
        default:
            if (value.typeId() == QMetaType::Bool) return qint64(value.toBool() ? 1 : 0);
            if (value.typeId() == QMetaType::QDateTime) return storageDateTime(value.toDateTime());
            return value;
    }
}

QVariant textToStorage(const QString& text, const ColumnType& type, const QString& field) {
    if (text.isEmpty() && type.code != ftText && type.code != ftMemo) return QVariant();
    return toStorage(QVariant(text), type, field);
}

QVariant fromStorage(const QVariant& stored, int fieldType) {
    if (!stored.isValid() || stored.isNull()) return QVariant();
    switch (fieldType) {
        case ftBoolean:
            return QVariant(stored.toLongLong() != 0);
        case ftDateTime:
            if (auto dt = parseStorageDateTime(stored.toString())) return QVariant(*dt);
            return stored;
        case ftFloat:
        case ftCurrency:
            return QVariant(stored.toDouble());
        default:
            return stored;
    }
}

QVariant parameterToStorage(const QVariant& value, ParamType type) {
    if (!value.isValid() || value.isNull()) return QVariant();
    const QString name = QStringLiteral("parameter");
    switch (type) {
        case ParamType::Integer:
            return rangeChecked(value, INT32_MIN, INT32_MAX, name);
        case ParamType::Boolean:
            return toStorage(value, ColumnType{ftBoolean, 0}, name);
        case ParamType::DateTime:
            return toStorage(value, ColumnType{ftDateTime, 0}, name);
        case ParamType::Float:
            return toStorage(value, ColumnType{ftFloat, 0}, name);
        case ParamType::Text:
            if (value.typeId() == QMetaType::Bool)
                return QVariant(value.toBool() ? QStringLiteral("True") : QStringLiteral("False"));
            return toStorage(value, ColumnType{ftMemo, 0}, name);
    }
    return value;
}

QString valueText(const QVariant& v, int fieldType) {
    if (!v.isValid() || v.isNull()) return {};
    switch (v.typeId()) {
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case QMetaType::QDateTime:
            return text::formatDateTime(v.toDateTime());
        case QMetaType::QDate:
            return text::formatShortDate(v.toDate());
        case QMetaType::Double:
        case QMetaType::Float:
            return text::formatDouble(v.toDouble());
        case QMetaType::QByteArray:
            return fieldType == ftBlob ? QStringLiteral("(BLOB)")
                                       : QString::fromUtf8(v.toByteArray());
        default:
            return v.toString();
    }
}

}  // namespace db
