#include "excel/NumberFormat.h"

#include <QLocale>
#include <QStringList>
#include <charconv>
#include <cmath>

#include "text/LocaleText.h"

namespace excel {

QString builtinNumberFormat(int id) {
    switch (id) {
        case 0:
            return QStringLiteral("General");
        case 1:
            return QStringLiteral("0");
        case 2:
            return QStringLiteral("0.00");
        case 3:
            return QStringLiteral("#,##0");
        case 4:
            return QStringLiteral("#,##0.00");
        case 5:
            return QStringLiteral("\"¥\"#,##0;\"¥\"\\-#,##0");
        case 6:
            return QStringLiteral("\"¥\"#,##0;[Red]\"¥\"\\-#,##0");
        case 7:
            return QStringLiteral("\"¥\"#,##0.00;\"¥\"\\-#,##0.00");
        case 8:
            return QStringLiteral("\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00");
        case 9:
            return QStringLiteral("0%");
        case 10:
            return QStringLiteral("0.00%");
        case 11:
            return QStringLiteral("0.00E+00");
        case 12:
            return QStringLiteral("# ?/?");
        case 13:
            return QStringLiteral("# ?\?/?\?");
        case 14:
            return QStringLiteral("yyyy/m/d");
        case 15:
            return QStringLiteral("d-mmm-yy");
        case 16:
            return QStringLiteral("d-mmm");
        case 17:
            return QStringLiteral("mmm-yy");
        case 18:
            return QStringLiteral("h:mm AM/PM");
        case 19:
            return QStringLiteral("h:mm:ss AM/PM");
        case 20:
            return QStringLiteral("h:mm");
        case 21:
            return QStringLiteral("h:mm:ss");
        case 22:
            return QStringLiteral("yyyy/m/d h:mm");
        case 27:
        case 36:
        case 50:
        case 57:
            return QStringLiteral("[$-411]ge.m.d");
        case 28:
        case 29:
        case 51:
        case 52:
        case 53:
        case 54:
        case 58:
            return QStringLiteral("[$-411]ggge\"年\"m\"月\"d\"日\"");
        case 30:
            return QStringLiteral("m/d/yy");
        case 31:
            return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
        case 32:
            return QStringLiteral("h\"時\"mm\"分\"");
        case 33:
            return QStringLiteral("h\"時\"mm\"分\"ss\"秒\"");
        case 34:
        case 55:
            return QStringLiteral("yyyy\"年\"m\"月\"");
        case 35:
        case 56:
            return QStringLiteral("m\"月\"d\"日\"");
        case 37:
            return QStringLiteral("#,##0 ;(#,##0)");
        case 38:
            return QStringLiteral("#,##0 ;[Red](#,##0)");
        case 39:
            return QStringLiteral("#,##0.00;(#,##0.00)");
        case 40:
            return QStringLiteral("#,##0.00;[Red](#,##0.00)");
        case 45:
            return QStringLiteral("mm:ss");
        case 46:
            return QStringLiteral("[h]:mm:ss");
        case 47:
            return QStringLiteral("mm:ss.0");
        case 48:
            return QStringLiteral("##0.0E+0");
        case 49:
            return QStringLiteral("@");
        default:
            return {};
    }
}

namespace {

// The code with quoted literals, escapes and bracketed parts removed, so only
// the format letters remain.
QString bareCode(const QString& code) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (quoted) {
            if (c == QLatin1Char('"')) quoted = false;
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted = true;
        else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*'))
            ++i;
        else if (c == QLatin1Char('[')) {
            const qsizetype end = code.indexOf(QLatin1Char(']'), i);
            if (end < 0) break;
            const QString inner = code.mid(i + 1, end - i - 1).toLower();
            // [h], [mm], [ss] are elapsed-time letters.
            if (!inner.isEmpty() &&
                (inner[0] == QLatin1Char('h') || inner[0] == QLatin1Char('m') ||
                 inner[0] == QLatin1Char('s')) &&
                inner.count(inner[0]) == inner.size())
                out += inner;
            i = end;
        } else
            out += c;
    }
    return out;
}

QStringList sections(const QString& code) {
    QStringList parts;
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == QLatin1Char('"')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('\\') && i + 1 < code.size()) {
            cur += c;
            cur += code[++i];
            continue;
        }
        if (!quoted && c == QLatin1Char(';')) {
            parts << cur;
            cur.clear();
        } else
            cur += c;
    }
    parts << cur;
    return parts;
}

QString formatDateCode(const QString& code, const QDateTime& dt) {
    QString out;
    const QString lower = code.toLower();
    const bool ampm =
        lower.contains(QLatin1String("am/pm")) || lower.contains(QLatin1String("a/p"));
    bool lastWasHour = false;
    for (qsizetype i = 0; i < code.size();) {
        const QChar c = code[i];
        const QChar l = c.toLower();
        if (c == QLatin1Char('"')) {
            const qsizetype end = code.indexOf(QLatin1Char('"'), i + 1);
            out += code.mid(i + 1, (end < 0 ? code.size() : end) - i - 1);
            i = end < 0 ? code.size() : end + 1;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < code.size()) {
            out += code[i + 1];
            i += 2;
            continue;
        }
        if (c == QLatin1Char('[')) {
            const qsizetype end = code.indexOf(QLatin1Char(']'), i);
            const QString inner = code.mid(i + 1, end - i - 1).toLower();
            if (inner.startsWith(QLatin1Char('h')))
                out += QString::number(qint64(
                    std::floor(dt.date().toJulianDay() - QDate(1899, 12, 30).toJulianDay()) * 24 +
                    dt.time().hour()));
            i = end < 0 ? code.size() : end + 1;
            continue;
        }
        if (lower.mid(i, 5) == QLatin1String("am/pm")) {
            out += dt.time().hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            i += 5;
            continue;
        }
        qsizetype n = 1;
        while (i + n < code.size() && code[i + n].toLower() == l) ++n;
        if (l == QLatin1Char('y')) {
            out += n <= 2
                       ? QStringLiteral("%1").arg(dt.date().year() % 100, 2, 10, QLatin1Char('0'))
                       : QString::number(dt.date().year());
            lastWasHour = false;
        } else if (l == QLatin1Char('m')) {
            // m after an hour (or before seconds) means minutes.
            bool minutes = lastWasHour;
            for (qsizetype j = i + n; j < code.size() && !minutes; ++j) {
                const QChar k = code[j].toLower();
                if (k == QLatin1Char('s')) minutes = true;
                if (k == QLatin1Char('d') || k == QLatin1Char('y') || k == QLatin1Char('h')) break;
            }
            if (minutes)
                out += QStringLiteral("%1").arg(dt.time().minute(), n >= 2 ? 2 : 1, 10,
                                                QLatin1Char('0'));
            else if (n == 1)
                out += QString::number(dt.date().month());
            else if (n == 2)
                out += QStringLiteral("%1").arg(dt.date().month(), 2, 10, QLatin1Char('0'));
            else
                out += QLocale(QLocale::English)
                           .monthName(dt.date().month(),
                                      n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            lastWasHour = false;
        } else if (l == QLatin1Char('d')) {
            if (n == 1)
                out += QString::number(dt.date().day());
            else if (n == 2)
                out += QStringLiteral("%1").arg(dt.date().day(), 2, 10, QLatin1Char('0'));
            else
                out += QLocale(QLocale::English)
                           .dayName(dt.date().dayOfWeek(),
                                    n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
        } else if (l == QLatin1Char('h')) {
            int h = dt.time().hour();
            if (ampm) h = h % 12 == 0 ? 12 : h % 12;
            out += QStringLiteral("%1").arg(h, n >= 2 ? 2 : 1, 10, QLatin1Char('0'));
            lastWasHour = true;
            i += n;
            continue;
        } else if (l == QLatin1Char('s')) {
            out +=
                QStringLiteral("%1").arg(dt.time().second(), n >= 2 ? 2 : 1, 10, QLatin1Char('0'));
        } else if (l == QLatin1Char('g') || l == QLatin1Char('e')) {
            // Japanese era: Reiwa from 2019-05-01, Heisei from 1989-01-08.
            const QDate d = dt.date();
            int base = 1988;
            QString era = QStringLiteral("平成"), eraShort = QStringLiteral("H");
            if (d >= QDate(2019, 5, 1))
                base = 2018, era = QStringLiteral("令和"), eraShort = QStringLiteral("R");
            else if (d < QDate(1989, 1, 8))
                base = 1925, era = QStringLiteral("昭和"), eraShort = QStringLiteral("S");
            if (l == QLatin1Char('e'))
                out += QString::number(d.year() - base);
            else
                out += n >= 2 ? era : eraShort;
        } else if (c != QLatin1Char('@') && c != QLatin1Char('_') && c != QLatin1Char('*')) {
            out += code.mid(i, n);
        }
        if (l != QLatin1Char(' ') && l != QLatin1Char(':') && l != QLatin1Char('m'))
            lastWasHour = false;
        i += n;
    }
    return out;
}

QString formatNumericCode(double value, const QString& code) {
    // Literal text around the digit placeholders is kept; the placeholders
    // decide decimals, grouping, percent and exponent.
    QString prefix, suffix, digits;
    bool inDigits = false, done = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        QString lit;
        if (c == QLatin1Char('"')) {
            const qsizetype end = code.indexOf(QLatin1Char('"'), i + 1);
            lit = code.mid(i + 1, (end < 0 ? code.size() : end) - i - 1);
            i = end < 0 ? code.size() : end;
        } else if (c == QLatin1Char('\\') && i + 1 < code.size()) {
            lit = code[++i];
        } else if (c == QLatin1Char('[')) {
            const qsizetype end = code.indexOf(QLatin1Char(']'), i);
            const QString inner = code.mid(i + 1, end - i - 1);
            if (inner.startsWith(QLatin1Char('$')))
                lit = inner.mid(1).section(QLatin1Char('-'), 0, 0);
            i = end < 0 ? code.size() : end;
        } else if (c == QLatin1Char('_') || c == QLatin1Char('*')) {
            if (c == QLatin1Char('_')) lit = QStringLiteral(" ");
            ++i;
        } else if (QStringLiteral("0#?.,%Ee+-").contains(c) && !done &&
                   ((c != QLatin1Char('-') && c != QLatin1Char('+')) || inDigits)) {
            digits += c;
            inDigits = true;
            continue;
        } else {
            lit = c;
        }
        if (inDigits) done = true;
        (done ? suffix : prefix) += lit;
    }
    if (digits.isEmpty()) return prefix + suffix;
    const bool percent = digits.contains(QLatin1Char('%'));
    if (percent) value *= 100;
    const qsizetype e = digits.indexOf(QLatin1Char('E'), 0, Qt::CaseInsensitive);
    QString mantissa = e >= 0 ? digits.left(e) : digits;
    // Trailing commas divide by thousands.
    while (mantissa.endsWith(QLatin1Char(','))) {
        value /= 1000;
        mantissa.chop(1);
    }
    mantissa.remove(QLatin1Char('%'));
    const qsizetype dot = mantissa.indexOf(QLatin1Char('.'));
    const QString decimalsPart = dot >= 0 ? mantissa.mid(dot + 1) : QString();
    const int decimals =
        int(decimalsPart.count(QLatin1Char('0')) + decimalsPart.count(QLatin1Char('#')) +
            decimalsPart.count(QLatin1Char('?')));
    const bool grouping =
        mantissa.left(dot >= 0 ? dot : mantissa.size()).contains(QLatin1Char(','));
    QString number;
    if (e >= 0) {
        number = QString::number(std::fabs(value), 'E', decimals);
        // Qt writes E+05; forms use E+5 only when the code says so.
        const QString expCode = digits.mid(e + 2);
        const qsizetype ePos = number.indexOf(QLatin1Char('E'));
        int exponent = number.mid(ePos + 1).toInt();
        number = number.left(ePos) + QStringLiteral("E") +
                 (exponent < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
                 QStringLiteral("%1").arg(std::abs(exponent), qMax<qsizetype>(1, expCode.size()),
                                          10, QLatin1Char('0'));
    } else {
        number = QString::number(std::fabs(value), 'f', decimals);
        // Optional decimals (#) drop trailing zeros.
        const int required = int(decimalsPart.count(QLatin1Char('0')));
        if (decimals > required) {
            int drop = decimals - required;
            while (drop-- > 0 && number.endsWith(QLatin1Char('0'))) number.chop(1);
            if (number.endsWith(QLatin1Char('.'))) number.chop(1);
        }
        const QString intCode = mantissa.left(dot >= 0 ? dot : mantissa.size());
        if (!intCode.contains(QLatin1Char('0')) && number.startsWith(QLatin1String("0"))) {
            if (number == QLatin1String("0"))
                number.clear();
            else if (number.startsWith(QLatin1String("0.")))
                number.remove(0, 1);
        }
        if (grouping) {
            qsizetype intEnd = number.indexOf(QLatin1Char('.'));
            if (intEnd < 0) intEnd = number.size();
            for (qsizetype p = intEnd - 3; p > 0; p -= 3) number.insert(p, QLatin1Char(','));
        }
    }
    if (percent) number += QLatin1Char('%');
    return prefix + number + suffix;
}

}  // namespace

bool isDateFormat(int id, const QString& code) {
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
        (id >= 50 && id <= 58))
        return true;
    const QString bare = bareCode(sections(code).value(0)).toLower();
    if (bare == QLatin1String("general")) return false;
    for (qsizetype i = 0; i < bare.size(); ++i) {
        const QChar c = bare[i];
        // "E+" and "E-" are the exponent of a scientific format ("0.00E+00"),
        // not the era year of a date.
        if (c == QLatin1Char('e') && i + 1 < bare.size() &&
            (bare[i + 1] == QLatin1Char('+') || bare[i + 1] == QLatin1Char('-')))
            continue;
        if (QStringLiteral("ymdhsge").contains(c)) return true;
    }
    return false;
}

double dateTimeToSerial(const QDateTime& dt, bool date1904) {
    const double frac = dt.time().msecsSinceStartOfDay() / 86400000.0;
    if (date1904) return double(QDate(1904, 1, 1).daysTo(dt.date())) + frac;
    const qint64 days = QDate(1899, 12, 30).daysTo(dt.date());
    double serial = double(days) + frac;
    // Serial 60 is the 29th of February 1900 that never was; dates before
    // March 1900 are one lower than the plain count.
    if (serial < 61) serial -= 1;
    return serial;
}

QDateTime serialToDateTime(double serial, bool date1904) {
    if (!(serial >= 0) || serial > (date1904 ? 2957003 : 2958466)) return {};
    double s = serial;
    QDate origin(1899, 12, 30);
    if (date1904)
        origin = QDate(1904, 1, 1);
    else if (s < 61)
        s += 1;
    const qint64 days = static_cast<qint64>(std::floor(s));
    const qint64 ms = std::llround((s - double(days)) * 86400000.0);
    // In UTC: a serial names a wall-clock time, and no time zone must be
    // looked up (or shift it) on the way.
    QDateTime dt(origin.addDays(days), QTime(0, 0), Qt::UTC);
    return dt.addMSecs(ms);
}

QString numberText(double v) {
    if (std::isnan(v) || std::isinf(v)) return QStringLiteral("#NUM!");
    if (v == 0) return QStringLiteral("0");
    const double a = std::fabs(v);
    // Read for every numeric cell: a whole number is written out without
    // going through QString's formatting. (Other values keep Qt's rounding,
    // which rounds halves away from zero at the fifteenth digit.)
    if (a < 1e15 && v == std::floor(v)) {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(v));
        return QString::fromLatin1(buf, r.ptr - buf);
    }
    if (a >= 1e15 || a < 1e-4) {
        QString s = QString::number(v, 'E', 14);
        // Drop trailing zeros of the mantissa: "1.00000000000000E+020" -> "1E+20".
        const qsizetype ePos = s.indexOf(QLatin1Char('E'));
        QString mant = s.left(ePos);
        if (mant.contains(QLatin1Char('.'))) {
            while (mant.endsWith(QLatin1Char('0'))) mant.chop(1);
            if (mant.endsWith(QLatin1Char('.'))) mant.chop(1);
        }
        const int exponent = s.mid(ePos + 1).toInt();
        return mant + QStringLiteral("E") +
               (exponent < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
               QString::number(std::abs(exponent));
    }
    // Fifteen significant digits, as the automation layer converts doubles.
    QString s = QString::number(v, 'g', 15);
    if (s.contains(QLatin1Char('e'))) s = QString::number(v, 'f', 15);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0'))) s.chop(1);
        if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
    return s;
}

QString formatNumber(double value, const QString& code, bool date1904) {
    QStringList secs = sections(code);
    QString sec = secs.value(0);
    bool negativeSection = false;
    if (value < 0 && secs.size() >= 2) {
        sec = secs[1];
        negativeSection = true;
    } else if (value == 0 && secs.size() >= 3) {
        sec = secs[2];
    }
    const QString bare = bareCode(sec).toLower();
    if (bare.trimmed() == QLatin1String("general") ||
        (bare.trimmed().isEmpty() && sec.trimmed().isEmpty())) {
        QString s = numberText(value);
        if (s.size() > 11 && std::fabs(value) < 1e11 && s.contains(QLatin1Char('.')))
            s = QString::number(value, 'g', 10);
        return s;
    }
    if (bare == QLatin1String("@")) return numberText(value);
    if (isDateFormat(0 + 1000, sec)) {
        const QDateTime dt = serialToDateTime(value, date1904);
        if (!dt.isValid()) return QString(8, QLatin1Char('#'));
        return formatDateCode(sec, dt);
    }
    QString out = formatNumericCode(negativeSection ? std::fabs(value) : value, sec);
    if (value < 0 && !negativeSection) out.prepend(QLatin1Char('-'));
    return out;
}

}  // namespace excel
