#include "text/LocaleText.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace text {

QString shortDateFormat() { return QStringLiteral("yyyy/MM/dd"); }

namespace {

void putDigits(QChar* at, int value, int digits) {
    for (int i = digits - 1; i >= 0; --i, value /= 10) at[i] = QChar(u'0' + value % 10);
}

}  // namespace

// Written digit by digit: lists and grids format a date per cell, and going
// through the locale's general formatter costs more than reading the row.
QString formatShortDate(const QDate& d) {
    if (!d.isValid() || d.year() < 1 || d.year() > 9999) return d.toString(shortDateFormat());
    QString s(10, QLatin1Char('/'));
    putDigits(s.data(), d.year(), 4);
    putDigits(s.data() + 5, d.month(), 2);
    putDigits(s.data() + 8, d.day(), 2);
    return s;
}

QString formatDateTime(const QDateTime& dt) {
    QString s = formatShortDate(dt.date());
    QTime t = dt.time();
    if (t.isValid() && t != QTime(0, 0)) {
        // " H:mm:ss"
        const int hourDigits = t.hour() >= 10 ? 2 : 1;
        QString time(1 + hourDigits + 6, QLatin1Char(':'));
        time[0] = QLatin1Char(' ');
        putDigits(time.data() + 1, t.hour(), hourDigits);
        putDigits(time.data() + 2 + hourDigits, t.minute(), 2);
        putDigits(time.data() + 5 + hourDigits, t.second(), 2);
        s += time;
    }
    return s;
}

std::optional<QDateTime> parseDateTime(const QString& input) {
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(\d{1,4})[/\-.](\d{1,2})[/\-.](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.(\d{1,3}))?)?)?\s*$)"));
    auto m = re.match(input);
    if (!m.hasMatch()) return std::nullopt;
    int year = m.captured(1).toInt();
    // A year typed with one or two digits falls in the window 1930-2029, as
    // the desktop reads it; a year of three or four digits is kept as typed.
    if (m.capturedLength(1) <= 2) year += year < 30 ? 2000 : 1900;
    QDate d(year, m.captured(2).toInt(), m.captured(3).toInt());
    if (!d.isValid()) return std::nullopt;
    QTime t(0, 0);
    if (m.capturedLength(4) > 0) {
        int ms = m.capturedLength(7) > 0 ? m.captured(7).leftJustified(3, QLatin1Char('0')).toInt() : 0;
        t = QTime(m.captured(4).toInt(), m.captured(5).toInt(),
                  m.capturedLength(6) > 0 ? m.captured(6).toInt() : 0, ms);
        if (!t.isValid()) return std::nullopt;
    }
    return QDateTime(d, t);
}

std::optional<qint64> parseInteger(const QString& s, qint64 min, qint64 max) {
    static const QRegularExpression re(QStringLiteral(R"(^[+-]?\d+$)"));
    QString t = s.trimmed();
    if (!re.match(t).hasMatch()) return std::nullopt;
    bool ok = false;
    qint64 v = t.toLongLong(&ok);
    if (!ok || v < min || v > max) return std::nullopt;
    return v;
}

std::optional<double> parseDouble(const QString& s) {
    static const QRegularExpression re(
        QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    QString t = s.trimmed();
    if (!re.match(t).hasMatch()) return std::nullopt;
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<double> parseCurrency(const QString& s) {
    static const QRegularExpression re(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)$)"));
    QString t = s.trimmed();
    if (!re.match(t).hasMatch()) return std::nullopt;
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok || std::fabs(v) > 922337203685477.5807) return std::nullopt;
    return std::round(v * 10000.0) / 10000.0;
}

QString formatDouble(double v) {
    if (v == std::floor(v) && std::fabs(v) < 1e15) return QString::number(static_cast<qint64>(v));
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

}  // namespace text
