#include "db/Dialect.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QRegularExpression>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/Db.h"
#include "db/Sqlite.h"
#include "db/Types.h"
#include "text/Text.h"

namespace db::detail {

namespace {

enum class Kind {
    Space,
    Word,
    Name,
    DoubleQuoted,
    SingleQuoted,
    Number,
    Param,
    DateLiteral,
    Punct
};

struct Token {
    Kind kind;
    QString text;       // raw text; for names and quoted values the content, unescaped
    qsizetype end = 0;  // offset in the source just after the token
    bool collate = false;  // compared through the text collation (written after it)
};

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c.unicode() >= 0x80;
}

// Access writes #m/d/yyyy# (month first, the year also with two digits) in
// literals; other layouts are read the way users type dates.
std::optional<QDateTime> readDateLiteral(const QString& body) {
    static const QRegularExpression us(
        QStringLiteral(R"(^\s*(\d{1,2})/(\d{1,2})/(\d{4}|\d{2})(\s+.*)?$)"));
    auto m = us.match(body);
    if (m.hasMatch()) {
        QString swapped = m.captured(3) + QLatin1Char('/') + m.captured(1) + QLatin1Char('/') +
                          m.captured(2) + m.captured(4);
        return text::parseDateTime(swapped);
    }
    return text::parseDateTime(body);
}

QString readQuoted(const QString& s, qsizetype& i, QChar quote) {
    QString out;
    ++i;
    while (i < s.size()) {
        QChar c = s[i];
        if (c == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                out += quote;
                i += 2;
                continue;
            }
            ++i;
            return out;
        }
        out += c;
        ++i;
    }
    throw Error(Error::Code::Syntax,
                QStringLiteral("text value without its closing quote: %1").arg(s));
}

std::vector<Token> tokenize(const QString& s) {
    std::vector<Token> out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        QChar c = s[i];
        qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && s[i].isSpace()) ++i;
            out.push_back({Kind::Space, s.mid(start, i - start), i});
        } else if (c == QLatin1Char('[')) {
            qsizetype close = s.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                throw Error(Error::Code::Syntax,
                            QStringLiteral("name without its closing bracket: %1").arg(s));
            out.push_back({Kind::Name, s.mid(i + 1, close - i - 1), close + 1});
            i = close + 1;
        } else if (c == QLatin1Char('"')) {
            QString v = readQuoted(s, i, c);
            out.push_back({Kind::DoubleQuoted, v, i});
        } else if (c == QLatin1Char('\'')) {
            QString v = readQuoted(s, i, c);
            out.push_back({Kind::SingleQuoted, v, i});
        } else if (c == QLatin1Char('-') && i + 1 < n && s[i + 1] == QLatin1Char('-')) {
            while (i < n && s[i] != QLatin1Char('\n')) ++i;
            out.push_back({Kind::Space, QStringLiteral(" "), i});
        } else if (c == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
            qsizetype close = s.indexOf(QLatin1String("*/"), i + 2);
            i = close < 0 ? n : close + 2;
            out.push_back({Kind::Space, QStringLiteral(" "), i});
        } else if (c == QLatin1Char('#')) {
            qsizetype close = s.indexOf(QLatin1Char('#'), i + 1);
            std::optional<QDateTime> dt;
            if (close > i + 1 && close - i < 40) dt = readDateLiteral(s.mid(i + 1, close - i - 1));
            if (dt) {
                i = close + 1;
                out.push_back({Kind::DateLiteral, storageDateTime(*dt), i});
            } else {
                ++i;
                out.push_back({Kind::Punct, QStringLiteral("#"), i});
            }
        } else if (c == QLatin1Char(':') && i + 1 < n && isWordChar(s[i + 1])) {
            ++i;
            while (i < n && isWordChar(s[i])) ++i;
            out.push_back({Kind::Param, s.mid(start, i - start), i});
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit())) {
            while (i < n && (s[i].isDigit() || s[i] == QLatin1Char('.'))) ++i;
            if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
                qsizetype j = i + 1;
                if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-'))) ++j;
                if (j < n && s[j].isDigit()) {
                    i = j;
                    while (i < n && s[i].isDigit()) ++i;
                }
            }
            // A number running into letters is a bare name such as 1st.
            if (i < n && isWordChar(s[i])) {
                while (i < n && isWordChar(s[i])) ++i;
                out.push_back({Kind::Word, s.mid(start, i - start), i});
            } else {
                out.push_back({Kind::Number, s.mid(start, i - start), i});
            }
        } else if (isWordChar(c)) {
            while (i < n && isWordChar(s[i])) ++i;
            out.push_back({Kind::Word, s.mid(start, i - start), i});
        } else {
            ++i;
            out.push_back({Kind::Punct, QString(c), i});
        }
    }
    return out;
}

QString sqlLiteral(const QString& v) {
    QString q = v;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

bool isWord(const Token& t, const char* upper) {
    return t.kind == Kind::Word && t.text.compare(QLatin1String(upper), Qt::CaseInsensitive) == 0;
}

QString emitBare(const Token& t) {
    switch (t.kind) {
        case Kind::Name:
            return quoteIdentifier(t.text);
        case Kind::DoubleQuoted:
        case Kind::SingleQuoted:
        case Kind::DateLiteral:
            return sqlLiteral(t.text);
        case Kind::Param:
            return QStringLiteral("?");
        case Kind::Word:
            if (isWord(t, "TRUE")) return QStringLiteral("1");
            if (isWord(t, "FALSE")) return QStringLiteral("0");
            if (isWord(t, "MOD")) return QStringLiteral("%");
            return t.text;
        case Kind::Punct:
            if (t.text == QLatin1String("&")) return QStringLiteral("||");
            return t.text;
        default:
            return t.text;
    }
}

QString emitToken(const Token& t) {
    if (!t.collate) return emitBare(t);
    return emitBare(t) + QStringLiteral(" COLLATE ") + QLatin1String(kTextCollation);
}

QString emitRange(const std::vector<Token>& toks, size_t from, size_t to) {
    QString out;
    for (size_t i = from; i < to && i < toks.size(); ++i) out += emitToken(toks[i]);
    return out;
}

// Index of the next token that is not blank, or toks.size().
size_t nextSignificant(const std::vector<Token>& toks, size_t i) {
    while (i < toks.size() && toks[i].kind == Kind::Space) ++i;
    return i;
}

QString nameOf(const Token& t) {
    return t.text;
}

void refuseRowIdentityName(const QString& name) {
    if (isRowIdentityName(name))
        throw Error(Error::Code::Syntax,
                    QStringLiteral("a column cannot be named '%1': the name belongs to the "
                                   "row's own identity")
                        .arg(name));
}

// CONSTRAINT "<column> <rule>" CHECK (<condition>): the name tells which
// rule a refused value broke (see codeForResult).
QString namedCheck(const QString& column, const QString& rule, const QString& condition) {
    return QStringLiteral(" CONSTRAINT %1 CHECK (%2)")
        .arg(quoteIdentifier(column + QLatin1Char(' ') + rule), condition);
}

// The checks a column of this type carries, so that a statement writing a
// value the type cannot hold is refused as the data set refuses it.
QString columnChecks(const QString& column, const ColumnType& type) {
    const QString q = quoteIdentifier(column);
    auto integerRange = [&](qint64 lo, qint64 hi) {
        return namedCheck(column, QStringLiteral("type"),
                          QStringLiteral("typeof(%1) IN ('integer','null')").arg(q)) +
               namedCheck(column, QStringLiteral("range %1..%2").arg(lo).arg(hi),
                          QStringLiteral("typeof(%1) <> 'integer' OR %1 BETWEEN %2 AND %3")
                              .arg(q)
                              .arg(lo)
                              .arg(hi));
    };
    switch (type.code) {
        case ftText:
            if (type.size <= 0) return {};
            return namedCheck(column, QStringLiteral("width %1").arg(type.size),
                              QStringLiteral("length(%1) <= %2").arg(q).arg(type.size));
        case ftByte:
            return integerRange(0, 255);
        case ftSmallint:
            return integerRange(-32768, 32767);
        case ftInteger:
            return integerRange(INT32_MIN, INT32_MAX);
        case ftBoolean:
            return namedCheck(column, QStringLiteral("type"),
                              QStringLiteral("typeof(%1) IN ('integer','null')").arg(q));
        case ftFloat:
        case ftCurrency:
            return namedCheck(column, QStringLiteral("type"),
                              QStringLiteral("typeof(%1) IN ('real','integer','null')").arg(q));
        case ftDateTime:
            // Our stored layout, "YYYY-MM-DD HH:MM:SS" with optional ".mmm", of a
            // real calendar date and time: what datetime() gives back unchanged
            // once a modifier made it normalise (February 30th becomes March).
            return namedCheck(
                column, QStringLiteral("type"),
                QStringLiteral(
                    "%1 IS NULL OR (typeof(%1) = 'text' AND datetime(substr(%1, 1, 19), '+0 days') "
                    "IS substr(%1, 1, 19) AND (length(%1) = 19 OR (length(%1) = 23 AND "
                    "substr(%1, 20) GLOB '.[0-9][0-9][0-9]')))")
                    .arg(q));
        default:
            return {};
    }
}

struct ColumnDef {
    QString sql;
    bool counter = false;
    QString name;
};

// One column definition "name TYPE[(n)] [constraints]" in Access words.
ColumnDef rewriteColumnDef(const std::vector<Token>& toks, size_t from, size_t to) {
    ColumnDef def;
    size_t i = nextSignificant(toks, from);
    if (i >= to) return def;
    def.name = nameOf(toks[i]);
    refuseRowIdentityName(def.name);
    const size_t nameEnd = i + 1;
    size_t t = nextSignificant(toks, nameEnd);
    if (t >= to || toks[t].kind != Kind::Word) {
        def.sql = emitRange(toks, from, to);
        return def;
    }
    QString accessType = toks[t].text;
    size_t after = t + 1;
    size_t p = nextSignificant(toks, after);
    if (isWord(toks[t], "DOUBLE") && p < to && isWord(toks[p], "PRECISION")) {
        accessType += QStringLiteral(" PRECISION");
        after = p + 1;
        p = nextSignificant(toks, after);
    }
    if (p < to && toks[p].kind == Kind::Punct && toks[p].text == QLatin1String("(")) {
        QString args;
        size_t q = p + 1;
        while (q < to && !(toks[q].kind == Kind::Punct && toks[q].text == QLatin1String(")")))
            args += toks[q++].text;
        if (q >= to)
            throw Error(Error::Code::Syntax,
                        QStringLiteral("type without its closing parenthesis"));
        accessType +=
            QLatin1Char('(') + args.simplified().remove(QLatin1Char(' ')) + QLatin1Char(')');
        after = q + 1;
    }
    const ColumnType type = columnTypeFromDeclared(accessType, false);
    def.counter = type.code == ftAutoInc;
    QString rest;
    bool collationGiven = false;
    for (size_t k = after; k < to; ++k) {
        // The auto-number column is the table's key already.
        if (def.counter && isWord(toks[k], "PRIMARY")) {
            size_t key = nextSignificant(toks, k + 1);
            if (key < to && isWord(toks[key], "KEY")) {
                k = key;
                continue;
            }
        }
        if (isWord(toks[k], "COLLATE")) collationGiven = true;
        rest += emitToken(toks[k]);
    }
    // Text compares as Access compares it, without regard to letter case,
    // unless the statement chose a collation itself.
    QString collation;
    if ((type.code == ftText || type.code == ftMemo) && !collationGiven)
        collation = QStringLiteral(" COLLATE ") + QLatin1String(kTextCollation);
    rest = rest.trimmed();
    def.sql = emitRange(toks, from, nameEnd).trimmed() + QLatin1Char(' ') +
              sqliteColumnType(accessType) +
              (rest.isEmpty() ? QString() : QLatin1Char(' ') + rest) + collation +
              columnChecks(def.name, type);
    return def;
}

// CREATE TABLE name ( defs ) — every column definition rewritten; a table
// key naming only the auto-number column is dropped (the column is the key).
QString rewriteCreateTable(const std::vector<Token>& toks) {
    size_t open = 0;
    while (open < toks.size() &&
           !(toks[open].kind == Kind::Punct && toks[open].text == QLatin1String("(")))
        ++open;
    if (open >= toks.size()) return emitRange(toks, 0, toks.size());
    std::vector<std::pair<size_t, size_t>> parts;
    int depth = 0;
    size_t partStart = open + 1, close = toks.size();
    for (size_t i = open + 1; i < toks.size(); ++i) {
        const Token& t = toks[i];
        if (t.kind != Kind::Punct) continue;
        if (t.text == QLatin1String("(")) {
            ++depth;
        } else if (t.text == QLatin1String(")")) {
            if (depth == 0) {
                parts.emplace_back(partStart, i);
                close = i;
                break;
            }
            --depth;
        } else if (t.text == QLatin1String(",") && depth == 0) {
            parts.emplace_back(partStart, i);
            partStart = i + 1;
        }
    }
    if (close >= toks.size())
        throw Error(Error::Code::Syntax,
                    QStringLiteral("column list without its closing parenthesis"));
    QStringList columns, constraints;
    QString counterName;
    std::vector<std::pair<size_t, size_t>> tableConstraints;
    for (auto [from, to] : parts) {
        size_t first = nextSignificant(toks, from);
        if (first < to && (isWord(toks[first], "PRIMARY") || isWord(toks[first], "UNIQUE") ||
                           isWord(toks[first], "CONSTRAINT") || isWord(toks[first], "CHECK") ||
                           isWord(toks[first], "FOREIGN"))) {
            tableConstraints.emplace_back(from, to);
            continue;
        }
        ColumnDef def = rewriteColumnDef(toks, from, to);
        if (def.counter) counterName = def.name;
        columns << def.sql;
    }
    for (auto [from, to] : tableConstraints) {
        if (!counterName.isEmpty()) {
            // PRIMARY KEY (counter) restates the key; anything else stays.
            QStringList named;
            bool primary = false;
            for (size_t i = from; i < to; ++i) {
                if (isWord(toks[i], "PRIMARY"))
                    primary = true;
                else if (toks[i].kind == Kind::Name ||
                         (toks[i].kind == Kind::Word && !isWord(toks[i], "KEY") &&
                          !isWord(toks[i], "CONSTRAINT")))
                    named << toks[i].text;
            }
            if (primary && named.size() >= 1 && named.last() == counterName &&
                (named.size() == 1 || named.size() == 2))
                continue;
        }
        constraints << emitRange(toks, from, to).trimmed();
    }
    QStringList all = columns + constraints;
    for (QString& s : all) s = s.trimmed();
    return emitRange(toks, 0, open) + QLatin1Char('(') + all.join(QLatin1Char(',')) +
           QLatin1Char(')') + emitRange(toks, close + 1, toks.size());
}

}  // namespace

QString sqliteColumnType(const QString& accessType) {
    static const QRegularExpression re(QStringLiteral(R"(^\s*([A-Za-z_]+)(.*)$)"));
    auto m = re.match(accessType);
    if (!m.hasMatch()) return accessType;
    const QString w = m.captured(1).toUpper();
    const QString tail = m.captured(2);
    auto with = [&](const char* affinity) {
        return m.captured(1) + tail + QLatin1Char(' ') + QLatin1String(affinity);
    };
    if (w == QLatin1String("COUNTER") || w == QLatin1String("AUTOINCREMENT"))
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    if (w == QLatin1String("BIT") || w == QLatin1String("YESNO") || w == QLatin1String("LOGICAL") ||
        w == QLatin1String("BOOLEAN") || w == QLatin1String("BYTE") ||
        w == QLatin1String("SHORT") || w == QLatin1String("LONG"))
        return with("INTEGER");
    if (w == QLatin1String("CURRENCY") || w == QLatin1String("MONEY")) return with("REAL");
    if (w == QLatin1String("TIMESTAMP") || w == QLatin1String("DATETIME") ||
        w == QLatin1String("DATE") || w == QLatin1String("TIME") || w == QLatin1String("MEMO") ||
        w == QLatin1String("NOTE") || w == QLatin1String("LONGCHAR") ||
        w == QLatin1String("GUID") || w == QLatin1String("UNIQUEIDENTIFIER"))
        return with("TEXT");
    if (w == QLatin1String("LONGBINARY") || w == QLatin1String("IMAGE") ||
        w == QLatin1String("OLEOBJECT") || w == QLatin1String("BINARY") ||
        w == QLatin1String("VARBINARY"))
        return with("BLOB");
    return accessType.trimmed();
}

namespace {

bool isPunct(const Token& t, const char* text) {
    return t.kind == Kind::Punct && t.text == QLatin1String(text);
}

// A bare word that names something rather than being part of the language.
bool isBareName(const Token& t) {
    if (t.kind != Kind::Word) return false;
    if (isWord(t, "TRUE") || isWord(t, "FALSE") || isWord(t, "MOD")) return false;
    const QByteArray utf8 = t.text.toUtf8();
    return sqlite3_keyword_check(utf8.constData(), int(utf8.size())) == 0;
}

// Converts * and ? in every pattern that follows LIKE (any letter case).
void convertLikePatterns(std::vector<Token>& toks, size_t from) {
    for (size_t i = from; i < toks.size(); ++i) {
        if (!isWord(toks[i], "LIKE")) continue;
        const size_t p = nextSignificant(toks, i + 1);
        if (p < toks.size() &&
            (toks[p].kind == Kind::DoubleQuoted || toks[p].kind == Kind::SingleQuoted)) {
            toks[p].text.replace(QLatin1Char('*'), QLatin1Char('%'));
            toks[p].text.replace(QLatin1Char('?'), QLatin1Char('_'));
        }
    }
}

// Column names compared in WHERE, ON, HAVING, GROUP BY and ORDER BY get the
// text collation when the file compares them case-sensitively. Names in the
// select list, the FROM list, SET targets and column lists stay as they are:
// a collation there would change a column's name or be a syntax error.
void markComparedColumns(std::vector<Token>& toks, size_t from, const Schema& schema) {
    enum class Ctx { Other, Expr };
    std::vector<Ctx> stack{Ctx::Other};
    const Token* previous = nullptr;
    for (size_t i = from; i < toks.size(); ++i) {
        Token& t = toks[i];
        if (t.kind == Kind::Space) continue;
        const Token* before = previous;
        previous = &t;
        if (isPunct(t, "(")) {
            stack.push_back(stack.back());
            continue;
        }
        if (isPunct(t, ")")) {
            if (stack.size() > 1) stack.pop_back();
            continue;
        }
        if (t.kind == Kind::Word) {
            if (isWord(t, "WHERE") || isWord(t, "ON") || isWord(t, "HAVING") || isWord(t, "BY")) {
                stack.back() = Ctx::Expr;
                continue;
            }
            if (isWord(t, "SELECT") || isWord(t, "FROM") || isWord(t, "JOIN") || isWord(t, "SET") ||
                isWord(t, "VALUES") || isWord(t, "LIMIT") || isWord(t, "OFFSET") ||
                isWord(t, "USING") || isWord(t, "INTO") || isWord(t, "RETURNING") ||
                isWord(t, "WINDOW")) {
                stack.back() = Ctx::Other;
                continue;
            }
        }
        if (stack.back() != Ctx::Expr) continue;
        if (t.kind != Kind::Name && !isBareName(t)) continue;
        if (before && (isWord(*before, "COLLATE") || isWord(*before, "AS"))) continue;
        const size_t n = nextSignificant(toks, i + 1);
        if (n < toks.size() &&
            (isPunct(toks[n], "(") || isPunct(toks[n], ".") || isWord(toks[n], "COLLATE")))
            continue;
        if (schema.comparesCaseSensitively(t.text)) t.collate = true;
    }
}

bool convertsWrittenText(int code) {
    switch (code) {
        case ftSmallint:
        case ftInteger:
        case ftByte:
        case ftBoolean:
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
        case ftAutoInc:
            return true;
        default:
            return false;
    }
}

// A literal written into a number or date column, as the column stores it.
void convertLiteral(Token& v, const ColumnType& type, const QString& column) {
    const bool quoted = v.kind == Kind::DoubleQuoted || v.kind == Kind::SingleQuoted;
    if (!quoted && v.kind != Kind::Number) return;
    const QVariant stored = textToStorage(v.text, type, column);
    switch (stored.typeId()) {
        case QMetaType::LongLong:
            v = {Kind::Number, QString::number(stored.toLongLong()), v.end, v.collate};
            break;
        case QMetaType::Double:
            v = {Kind::Number, QString::number(stored.toDouble(), 'g', 17), v.end, v.collate};
            break;
        case QMetaType::QString:
            v = {Kind::SingleQuoted, stored.toString(), v.end, v.collate};
            break;
        default:
            v = {Kind::Word, QStringLiteral("NULL"), v.end, v.collate};
            break;
    }
}

// Significant tokens and what the statement writes where.
class WrittenValues {
public:
    WrittenValues(std::vector<Token>& toks, const Schema& schema) : toks_(toks), schema_(schema) {
        for (size_t i = 0; i < toks.size(); ++i) {
            if (toks[i].kind == Kind::Space) continue;
            if (toks[i].kind == Kind::Param) paramOrdinal_[i] = int(targets_.size());
            if (toks[i].kind == Kind::Param) targets_.emplace_back();
            sig_.push_back(i);
        }
    }

    std::vector<ParameterTarget> run() {
        if (word(0, "INSERT") || word(0, "REPLACE"))
            insert();
        else if (word(0, "UPDATE"))
            update();
        return std::move(targets_);
    }

private:
    bool word(size_t k, const char* w) const { return k < sig_.size() && isWord(at(k), w); }
    bool punct(size_t k, const char* p) const { return k < sig_.size() && isPunct(at(k), p); }
    Token& at(size_t k) const { return toks_[sig_[k]]; }

    // Name of a (possibly schema-qualified) object at k; k moves past it.
    QString objectName(size_t& k) const {
        if (k >= sig_.size()) return {};
        QString name = at(k).text;
        if (punct(k + 1, ".") && k + 2 < sig_.size()) {
            k += 2;
            name = at(k).text;
        }
        ++k;
        return name;
    }

    // Items of the list whose "(" is at k, as [from, to) ranges; k moves
    // past the closing ")". Empty when k is not a "(".
    std::vector<std::pair<size_t, size_t>> list(size_t& k) const {
        std::vector<std::pair<size_t, size_t>> items;
        if (!punct(k, "(")) return items;
        int depth = 0;
        size_t start = k + 1;
        for (size_t i = k + 1; i < sig_.size(); ++i) {
            if (punct(i, "(")) {
                ++depth;
            } else if (punct(i, ")")) {
                if (depth-- == 0) {
                    items.emplace_back(start, i);
                    k = i + 1;
                    return items;
                }
            } else if (punct(i, ",") && depth == 0) {
                items.emplace_back(start, i);
                start = i + 1;
            }
        }
        k = sig_.size();
        return {};
    }

    void write(const QString& table, const QString& column, size_t from, size_t to) {
        if (to != from + 1) return;  // an expression: the column's checks decide
        const std::optional<ColumnType> type = schema_.columnType(table, column);
        if (!type) return;
        Token& v = at(from);
        if (v.kind == Kind::Param) {
            targets_[size_t(paramOrdinal_.at(sig_[from]))] = {column, *type};
        } else if (convertsWrittenText(type->code)) {
            convertLiteral(v, *type, column);
        }
    }

    // INSERT [OR ...] INTO table [AS alias] [(columns)] VALUES (...)[, (...)]
    void insert() {
        size_t k = 1;
        while (k < sig_.size() && !word(k, "INTO")) ++k;
        ++k;
        const QString table = objectName(k);
        if (word(k, "AS")) k += 2;
        QStringList columns;
        if (punct(k, "(")) {
            for (auto [from, to] : list(k)) columns << (to == from + 1 ? at(from).text : QString());
        } else {
            columns = schema_.columnNames(table);
        }
        if (!word(k, "VALUES")) return;
        ++k;
        while (punct(k, "(")) {
            const auto items = list(k);
            for (size_t c = 0; c < items.size() && c < size_t(columns.size()); ++c)
                if (!columns[qsizetype(c)].isEmpty())
                    write(table, columns[qsizetype(c)], items[c].first, items[c].second);
            if (!punct(k, ",")) break;
            ++k;
        }
    }

    // UPDATE [OR ...] table [AS alias] SET column = value, ... [FROM|WHERE ...]
    void update() {
        size_t k = 1;
        if (word(k, "OR")) k += 2;
        const QString table = objectName(k);
        while (k < sig_.size() && !word(k, "SET")) ++k;
        ++k;
        while (k + 2 < sig_.size() && punct(k + 1, "=")) {
            const QString column = at(k).text;
            const size_t from = k + 2;
            size_t to = from;
            int depth = 0;
            for (; to < sig_.size(); ++to) {
                if (punct(to, "(")) ++depth;
                if (punct(to, ")")) --depth;
                if (depth == 0 && (punct(to, ",") || word(to, "WHERE") || word(to, "FROM") ||
                                   word(to, "RETURNING") || word(to, "ORDER") || word(to, "LIMIT")))
                    break;
            }
            write(table, column, from, to);
            if (!punct(to, ",")) break;
            k = to + 1;
        }
    }

    std::vector<Token>& toks_;
    const Schema& schema_;
    std::vector<size_t> sig_;
    std::unordered_map<size_t, int> paramOrdinal_;
    std::vector<ParameterTarget> targets_;
};

}  // namespace

bool isRowIdentityName(const QString& name) {
    const QString n = name.trimmed();
    return n.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0 ||
           n.compare(QLatin1String("oid"), Qt::CaseInsensitive) == 0 ||
           n.compare(QLatin1String("_rowid_"), Qt::CaseInsensitive) == 0;
}

QString convertLikeWildcards(const QString& accessSql) {
    std::vector<Token> toks = tokenize(accessSql);
    QString out;
    qsizetype done = 0;
    for (size_t i = 0; i < toks.size(); ++i) {
        if (!isWord(toks[i], "LIKE")) continue;
        const size_t p = nextSignificant(toks, i + 1);
        if (p >= toks.size() ||
            (toks[p].kind != Kind::DoubleQuoted && toks[p].kind != Kind::SingleQuoted))
            continue;
        // The pattern is rewritten where it stands; everything else is copied.
        const qsizetype start = toks[p - 1].end;
        const QChar quote =
            toks[p].kind == Kind::DoubleQuoted ? QLatin1Char('"') : QLatin1Char('\'');
        QString pattern = toks[p].text;
        pattern.replace(QLatin1Char('*'), QLatin1Char('%'));
        pattern.replace(QLatin1Char('?'), QLatin1Char('_'));
        pattern.replace(quote, QString(2, quote));
        out += accessSql.mid(done, start - done) + quote + pattern + quote;
        done = toks[p].end;
    }
    return out + accessSql.mid(done);
}

QVariant parameterForTarget(const QVariant& value, ParamType type, const ParameterTarget& target) {
    const QVariant stored = parameterToStorage(value, type);
    if (!convertsWrittenText(target.type.code) || stored.isNull()) return stored;
    static const int asField[] = {ftInteger, ftBoolean, ftMemo, ftDateTime, ftFloat};
    const QVariant typed = fromStorage(stored, asField[int(type)]);
    if (typed.typeId() == QMetaType::QString)
        return textToStorage(typed.toString(), target.type, target.column);
    return toStorage(typed, target.type, target.column);
}

Translation translate(const QString& accessSql, const Schema* schema) {
    std::vector<Token> toks = tokenize(accessSql);
    Translation tr;
    std::vector<size_t> sig;
    for (size_t i = 0; i < toks.size() && sig.size() < 6; ++i)
        if (toks[i].kind != Kind::Space) sig.push_back(i);
    auto sigWord = [&](size_t k, const char* w) {
        return k < sig.size() && isWord(toks[sig[k]], w);
    };
    auto sigName = [&](size_t k) { return k < sig.size() ? nameOf(toks[sig[k]]) : QString(); };

    if (sigWord(0, "SELECT") || sigWord(0, "WITH")) {
        tr.kind = Translation::Kind::Select;
    } else if (sigWord(0, "CREATE") && (sigWord(1, "VIEW") || sigWord(1, "QUERY"))) {
        tr.kind = Translation::Kind::CreateView;
        tr.objectName = sigName(2);
        size_t as = sig.size() > 2 ? sig[2] + 1 : toks.size();
        while (as < toks.size() && !isWord(toks[as], "AS")) ++as;
        if (as >= toks.size())
            throw Error(Error::Code::Syntax, QStringLiteral("CREATE VIEW without AS"));
        QString body = accessSql.mid(toks[as].end).trimmed();
        while (body.endsWith(QLatin1Char(';'))) body.chop(1);
        tr.viewBody = body.trimmed();
        // A saved query keeps Access wildcards (* and ?) in its Like patterns;
        // the engine needs % and _ to run it by name.
        convertLikePatterns(toks, as + 1);
        if (schema) markComparedColumns(toks, as + 1, *schema);
        tr.sql = QStringLiteral("CREATE VIEW ") + quoteIdentifier(tr.objectName) +
                 QStringLiteral(" AS ") + emitRange(toks, as + 1, toks.size()).trimmed();
        return tr;
    } else if (sigWord(0, "DROP") && sigWord(1, "VIEW")) {
        tr.kind = Translation::Kind::DropView;
        tr.objectName = sigName(2);
    } else if (sigWord(0, "DROP") && sigWord(1, "TABLE")) {
        tr.kind = Translation::Kind::DropTable;
        tr.objectName = sigName(2);
    } else if (sigWord(0, "CREATE") && sigWord(1, "TABLE")) {
        tr.kind = Translation::Kind::CreateTable;
        tr.objectName = sigName(2);
        tr.sql = rewriteCreateTable(toks);
        return tr;
    } else if (sigWord(0, "ALTER") && sigWord(1, "TABLE")) {
        tr.kind = Translation::Kind::AlterTable;
        tr.objectName = sigName(2);
        if (sigWord(3, "ADD")) {
            size_t defStart = sig[3] + 1;
            if (sigWord(4, "COLUMN")) defStart = sig[4] + 1;
            ColumnDef def = rewriteColumnDef(toks, defStart, toks.size());
            tr.sql = emitRange(toks, 0, sig[3]) + QStringLiteral("ADD COLUMN ") + def.sql;
            return tr;
        }
        if (sigWord(3, "RENAME") && !sigWord(4, "TO")) {
            // RENAME [COLUMN] old TO new: the new name must not take over the row id.
            for (size_t i = sig[3]; i < toks.size(); ++i)
                if (isWord(toks[i], "TO")) {
                    const size_t n = nextSignificant(toks, i + 1);
                    if (n < toks.size()) refuseRowIdentityName(nameOf(toks[n]));
                    break;
                }
        }
        tr.sql = emitRange(toks, 0, toks.size());
        return tr;
    }
    if (schema) {
        markComparedColumns(toks, 0, *schema);
        tr.parameterTargets = WrittenValues(toks, *schema).run();
    }
    tr.sql = emitRange(toks, 0, toks.size());
    return tr;
}

// ---- SQL functions --------------------------------------------------------

namespace {

char32_t foldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;             // full-width Ａ..Ｚ
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;  // Latin-1 accented capitals
    return c;
}

std::u32string folded(const QString& s) {
    std::u32string out;
    out.reserve(size_t(s.size()));
    for (char32_t c : s.toUcs4()) out.push_back(foldCase(c));
    return out;
}

struct PatternItem {
    enum { Literal, One, Any } kind;
    char32_t c;
};

// Greedy match with one backtrack point; exact for patterns of % and _.
bool matchItems(const std::vector<PatternItem>& p, const std::u32string& v) {
    size_t pi = 0, vi = 0, starP = std::u32string::npos, starV = 0;
    while (vi < v.size()) {
        if (pi < p.size() && p[pi].kind == PatternItem::Any) {
            starP = pi++;
            starV = vi;
        } else if (pi < p.size() && (p[pi].kind == PatternItem::One || p[pi].c == v[vi])) {
            ++pi;
            ++vi;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            vi = ++starV;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi].kind == PatternItem::Any) ++pi;
    return pi == p.size();
}

std::vector<PatternItem> compilePattern(const QString& pattern, QChar escape) {
    std::vector<PatternItem> items;
    const std::u32string p = folded(pattern);
    const char32_t esc = escape.isNull() ? 0 : foldCase(escape.unicode());
    for (size_t i = 0; i < p.size(); ++i) {
        char32_t c = p[i];
        if (esc && c == esc && i + 1 < p.size()) {
            items.push_back({PatternItem::Literal, p[++i]});
        } else if (c == U'%') {
            if (items.empty() || items.back().kind != PatternItem::Any)
                items.push_back({PatternItem::Any, 0});
        } else if (c == U'_') {
            items.push_back({PatternItem::One, 0});
        } else {
            items.push_back({PatternItem::Literal, c});
        }
    }
    return items;
}

QString argText(sqlite3_value* v) {
    const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return QString::fromUtf8(p, sqlite3_value_bytes(v));
}

// One code point of UTF-8 text from the engine; a stray byte stands for
// itself. Reading the engine's bytes directly spares a QString per row.
char32_t nextCodePoint(const unsigned char*& p, const unsigned char* end) {
    char32_t c = *p++;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (c >= 0x80 && extra == 0) return c;  // stray continuation byte: keep it as is
    if (extra) c &= (0x3F >> extra);
    for (; extra > 0 && p < end && (*p & 0xC0) == 0x80; --extra) c = (c << 6) | (*p++ & 0x3F);
    return c;
}

// Folds UTF-8 text from the engine straight into code points: LIKE runs once
// per row of a filtered table.
void foldUtf8(const unsigned char* p, int n, std::u32string& out) {
    out.clear();
    const unsigned char* end = p + n;
    while (p < end) out.push_back(foldCase(nextCodePoint(p, end)));
}

// The text collation: folded code points compared in order, a shorter text
// before a longer one that starts with it. ASCII takes the short way.
int collateText(void*, int n1, const void* v1, int n2, const void* v2) {
    auto a = static_cast<const unsigned char*>(v1);
    auto b = static_cast<const unsigned char*>(v2);
    const unsigned char* aEnd = a + n1;
    const unsigned char* bEnd = b + n2;
    while (a < aEnd && b < bEnd) {
        char32_t ca, cb;
        if (*a < 0x80 && *b < 0x80) {
            ca = *a++;
            cb = *b++;
            if (ca == cb) continue;
            ca = foldCase(ca);
            cb = foldCase(cb);
        } else {
            ca = foldCase(nextCodePoint(a, aEnd));
            cb = foldCase(nextCodePoint(b, bEnd));
        }
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return (a < aEnd) - (b < bEnd);
}

// A LIKE pattern compiled once per statement and kept by the engine beside
// the pattern argument.
struct CompiledPattern {
    QChar escape;
    std::vector<PatternItem> items;
};

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QChar escape;
    if (argc == 3) {
        QString e = argText(argv[2]);
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = e[0];
    }
    auto* compiled = static_cast<CompiledPattern*>(sqlite3_get_auxdata(ctx, 0));
    CompiledPattern local;
    if (!compiled || compiled->escape != escape) {
        local = {escape, compilePattern(argText(argv[0]), escape)};
        compiled = &local;
        // The engine owns the copy from here on (and may free it at once).
        sqlite3_set_auxdata(ctx, 0, new CompiledPattern(local),
                            [](void* p) { delete static_cast<CompiledPattern*>(p); });
    }
    thread_local std::u32string value;
    foldUtf8(sqlite3_value_text(argv[1]), sqlite3_value_bytes(argv[1]), value);
    sqlite3_result_int(ctx, matchItems(compiled->items, value) ? 1 : 0);
}

void datevalueFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QString s = argText(argv[0]);
    std::optional<QDateTime> dt = parseStorageDateTime(s);
    if (!dt) {
        QByteArray msg = QStringLiteral("DATEVALUE: '%1' is not a date").arg(s).toUtf8();
        sqlite3_result_error(ctx, msg.constData(), int(msg.size()));
        return;
    }
    QByteArray out = storageDateTime(QDateTime(dt->date(), QTime(0, 0))).toUtf8();
    sqlite3_result_text(ctx, out.constData(), int(out.size()), SQLITE_TRANSIENT);
}

void nowFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    QByteArray out = storageDateTime(now).toUtf8();
    sqlite3_result_text(ctx, out.constData(), int(out.size()), SQLITE_TRANSIENT);
}

}  // namespace

QString bracketed(const QString& name) {
    if (name.contains(QLatin1Char(']')) || name.isEmpty())
        throw Error(Error::Code::Syntax, QStringLiteral("'%1' cannot be used as a name").arg(name));
    return QLatin1Char('[') + name + QLatin1Char(']');
}

bool likeMatch(const QString& pattern, const QString& value, QChar escape) {
    return matchItems(compilePattern(pattern, escape), folded(value));
}

int compareText(const QString& a, const QString& b) {
    const QByteArray x = a.toUtf8(), y = b.toUtf8();
    return collateText(nullptr, int(x.size()), x.constData(), int(y.size()), y.constData());
}

void registerFunctions(sqlite3* handle) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(handle, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(handle, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(handle, "datevalue", 1, flags, nullptr, datevalueFunction, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(handle, "now", 0, SQLITE_UTF8, nullptr, nowFunction, nullptr,
                               nullptr, nullptr);
    sqlite3_create_collation_v2(handle, kTextCollation, SQLITE_UTF8, nullptr, collateText, nullptr);
}

}  // namespace db::detail

namespace db {

QString translateSql(const QString& accessSql) {
    return detail::translate(accessSql).sql;
}

QString convertLikeWildcards(const QString& accessSql) {
    return detail::convertLikeWildcards(accessSql);
}

}  // namespace db
