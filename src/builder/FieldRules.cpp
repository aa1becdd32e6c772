// Types, labels and the name rules shared by the field list, the table and
// field additions and the command-line tool.
#include <QSet>

#include "builder/Builder.h"
#include "db/Bookkeeping.h"

namespace builder {

namespace {

const char* const kCaptions[] = {"論理", "整数", "実数", "文字", "日付", "メモ"};

}  // namespace

QString typeCaption(int code) {
    if (code < 0 || code > 5) return {};
    return QString::fromUtf8(kCaptions[code]);
}

std::optional<int> typeFromCaption(const QString& s) {
    for (int i = 0; i < 6; ++i)
        if (s == QString::fromUtf8(kCaptions[i])) return i;
    return std::nullopt;
}

QString columnTypeText(int code, int width) {
    switch (code) {
        case btLogical:
            return QStringLiteral(" BIT");
        case btInteger:
            return QStringLiteral(" INTEGER");
        case btReal:
            return QStringLiteral(" DOUBLE PRECISION");
        case btText:
            return QStringLiteral(" NCHAR(%1)").arg(width);
        case btDate:
            return QStringLiteral(" TIMESTAMP");
        case btMemo:
            return QStringLiteral(" MEMO");
    }
    return {};
}

QString typeLabel(int code, int width) {
    return code == btText ? typeCaption(code) + QString::number(width) : typeCaption(code);
}

FieldDefinition FieldDefinition::text(const QString& address, const QString& name) {
    FieldDefinition f;
    f.CellAddress = address;
    f.FieldName = name;
    f.setType(btText, kDefaultWidth);
    return f;
}

void FieldDefinition::setType(int code, int width) {
    TypeCode = code;
    Width = code == btText ? width : 0;
    TypeLabel = typeLabel(code, width);
}

int totalTextWidth(const std::vector<FieldDefinition>& fields) {
    int total = 0;
    for (const FieldDefinition& f : fields)
        if (f.TypeCode == btText) total += f.Width;
    return total;
}

Refusal::Refusal(const QString& message, const QString& caption)
    : std::runtime_error(message.toStdString()), message_(message), caption_(caption) {}

const QStringList& reservedNames() {
    // "GLOABAL" and "LALUES" are kept as the word list has always had them;
    // GLOBAL and VALUE(S) spelt right are handled by brackets anyway.
    static const QStringList names = QStringLiteral(
        "ABSOLUTE ACTION ADA ADD ALL ALLOCATE ALTER AND ANY ARE AS ASC ASSERTION AT "
        "AUTHORIZATION AVG BEGIN BETWEEN BINARY BIT BIT_LENGTH BOTH BY CASCADE CASCADED CASE "
        "CAST CATALOG CHAR CHAR_LENGTH CHARACTER CHARACTER_LENGTH CHECK CLOSE CLUSTERED "
        "COALESCE COLLATE COLLATION COLUMN COMMIT CONNECT CONNECTION CONSTRAINT CONSTRAINTS "
        "CONTAINS CONTINUE CONVERT CORRESPONDING COUNT CREATE CROSS CURRENT CURRENT_DATE "
        "CURRENT_TIME CURRENT_TIMESTAMP CURRENT_USER CURSOR DATABASE DATE DAY DEALLOCATE DEC "
        "DECIMAL DECLARE DEFAULT DEFERRABLE DEFERRED DELETE DESC DESCRIBE DESCRIPTOR "
        "DIAGNOSTICS DISCONNECT DISTINCT DOMAIN DOUBLE DROP ELSE END END-EXEC ESCAPE EXCEPT "
        "EXCEPTION EXEC EXECUTE EXISTS EXTERNAL EXTRACT FALSE FETCH FIRST FLOAT FOR FOREIGN "
        "FORTRAN FOUND FROM FULL GENERAL GET GLOABAL GO GOTO GRANT GROUP HAVING HOUR IDENTITY "
        "IF IGNORE IN INCLUDE INDEX INDICATOR INITIALLY INNER INPUT INSENSITIVE INSERT INT "
        "INTEGER INTERSECT INTERVAL INTO IS ISOLATION JOIN KEY LALUES LANGUAGE LAST LEADING "
        "LEFT LEVEL LIKE LOCAL LOWER MATCH MAX MIN MINUTE MODULE MONTH NAMES NATIONAL NATURAL "
        "NCHAR NEXT NO NONE NOT NULL NULLIF NUMBER NUMERIC OBJECT OCTET_LENGTH OF ON ONLY OPEN "
        "OPTION OR ORDER OUTER OUTPUT OVERLAPS PAD PARAMETERS PARTIAL PASCAL POSITION "
        "PRECISION PREPARE PRESERVE PRIMARY PRIOR PRIVILEGES PROC PROCEDURE PUBLIC READ REAL "
        "REFERENCES RELATIVE REPLICATION RESTRICT REVOKE RIGHT ROLLBACK ROWGUIDCOL ROWS SCHEMA "
        "SCROLL SECOND SECTION SELECT SESSION_USER SET SIZE SMALLINT SOME SPACE SQL SQLCA "
        "SQLCODE SQLERROR SQLSTATE SQLWARNING SUBSTRING SUM SYSTEM_USER TABLE TEMPORARY THEN "
        "TIME TIMESTAMP TIMEZONE_HOUR TIMEZONE_MINUTE TO TOP TRAILING TRANSACTION TRANSLATE "
        "TRANSLATION TRIM TRUE UNION UNIQUE UNKNOWN UPDATE UPPER USAGE USER USING VALUE VALUES "
        "VARCHAR VARYING VIEW WHEN WHENEVER WHERE WITH WORK WRITE YEAR ZONE SYS_Q_ID")
                                          .split(QLatin1Char(' '));
    return names;
}

const QString& forbiddenSymbols() {
    static const QString symbols = QStringLiteral(" ,.()+-*[]=<>/?!#%&;:`\\\"'");
    return symbols;
}

namespace {

bool reservedFor(const QString& name, NameKind kind) {
    static const QSet<QString> words(reservedNames().begin(), reservedNames().end());
    const QString upper = name.toUpper();
    if (words.contains(upper)) return true;
    if (kind == NameKind::Field) {
        // A column of one of these names would hide the engine's row
        // identity, which editing relies on to find a row again.
        return upper == QLatin1String("ROWID") || upper == QLatin1String("OID") ||
               upper == QLatin1String("_ROWID_");
    }
    // The engine's own tables and our bookkeeping table are not the user's.
    return db::detail::isSystemTableName(name);
}

bool hasForbiddenCharacter(const QString& name) {
    for (const QChar c : name) {
        if (forbiddenSymbols().contains(c)) return true;
        // A line break or tab inside a name would end up in the statement
        // text and make another column than the one the user sees.
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return true;
    }
    return false;
}

}  // namespace

QString nameProblem(const QString& name, NameKind kind, const QStringList& others) {
    const bool field = kind == NameKind::Field;
    if (name.isEmpty())
        return field ? QStringLiteral("フィールド名が未入力です")
                     : QStringLiteral("テーブル名が未入力です");
    if (reservedFor(name, kind))
        return name + (field ? QStringLiteral("はフィールド名に使えません")
                             : QStringLiteral("はテーブル名に使えません"));
    if (hasForbiddenCharacter(name)) return name + QStringLiteral("で半角記号文字は使えません");
    // The engine refuses two columns (or tables) whose names differ only in
    // letter case, so such a pair is a duplicate here already.
    for (const QString& other : others)
        if (other.compare(name, Qt::CaseInsensitive) == 0)
            return field ? QStringLiteral("フィールド名が重複してます")
                         : QStringLiteral("テーブル名が重複してます");
    return {};
}

QStringList otherNames(const std::vector<FieldDefinition>& fields, int exclude) {
    QStringList names;
    for (int i = 0; i < int(fields.size()); ++i)
        if (i != exclude && !fields[size_t(i)].FieldName.isEmpty())
            names << fields[size_t(i)].FieldName;
    return names;
}

}  // namespace builder
