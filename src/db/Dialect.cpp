#include "db/Dialect.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QRegularExpression>
#include <string>
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
};

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c.unicode() >= 0x80;
}

// Access writes #m/d/yyyy# (month first) in literals; other layouts are read
// the way users type dates.
std::optional<QDateTime> readDateLiteral(const QString& body) {
    static const QRegularExpression us(
        QStringLiteral(R"(^\s*(\d{1,2})/(\d{1,2})/(\d{4})(\s+.*)?$)"));
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

QString emitToken(const Token& t) {
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
    for (size_t k = after; k < to; ++k) {
        // The auto-number column is the table's key already.
        if (def.counter && isWord(toks[k], "PRIMARY")) {
            size_t key = nextSignificant(toks, k + 1);
            if (key < to && isWord(toks[key], "KEY")) {
                k = key;
                continue;
            }
        }
        rest += emitToken(toks[k]);
    }
    const QString qname = quoteIdentifier(def.name);
    QString check;
    if (type.code == ftText && type.size > 0)
        check = QStringLiteral(" CONSTRAINT %1 CHECK (length(%2) <= %3)")
                    .arg(quoteIdentifier(def.name + QStringLiteral(" width ") +
                                         QString::number(type.size)),
                         qname)
                    .arg(type.size);
    else if (type.code == ftByte)
        check = QStringLiteral(" CONSTRAINT %1 CHECK (%2 BETWEEN 0 AND 255)")
                    .arg(quoteIdentifier(def.name + QStringLiteral(" range 0..255")), qname);
    else if (type.code == ftSmallint)
        check = QStringLiteral(" CONSTRAINT %1 CHECK (%2 BETWEEN -32768 AND 32767)")
                    .arg(quoteIdentifier(def.name + QStringLiteral(" range -32768..32767")), qname);
    rest = rest.trimmed();
    def.sql = emitRange(toks, from, nameEnd).trimmed() + QLatin1Char(' ') +
              sqliteColumnType(accessType) +
              (rest.isEmpty() ? QString() : QLatin1Char(' ') + rest) + check;
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

Translation translate(const QString& accessSql) {
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
        for (size_t i = as + 1; i < toks.size(); ++i) {
            if (!isWord(toks[i], "LIKE")) continue;
            size_t p = nextSignificant(toks, i + 1);
            if (p < toks.size() &&
                (toks[p].kind == Kind::DoubleQuoted || toks[p].kind == Kind::SingleQuoted)) {
                toks[p].text.replace(QLatin1Char('*'), QLatin1Char('%'));
                toks[p].text.replace(QLatin1Char('?'), QLatin1Char('_'));
            }
        }
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

// Folds UTF-8 text from the engine straight into code points, without the
// QString round trip: LIKE runs once per row of a filtered table.
void foldUtf8(const unsigned char* p, int n, std::u32string& out) {
    out.clear();
    const unsigned char* end = p + n;
    while (p < end) {
        char32_t c = *p++;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (c >= 0x80 && extra == 0) {  // stray continuation byte: keep it as is
            out.push_back(c);
            continue;
        }
        if (extra) c &= (0x3F >> extra);
        for (; extra > 0 && p < end && (*p & 0xC0) == 0x80; --extra) c = (c << 6) | (*p++ & 0x3F);
        out.push_back(foldCase(c));
    }
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
}

}  // namespace db::detail

namespace db {

QString translateSql(const QString& accessSql) {
    return detail::translate(accessSql).sql;
}

}  // namespace db
