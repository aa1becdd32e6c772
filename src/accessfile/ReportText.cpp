// The conversion report in words (what the user reads after a conversion and
// finds beside the new file) and as CSV (what the command line prints).
#include <map>

#include "accessfile/AccessFile.h"

namespace accessfile {

namespace {

using Kind = ReportEntry::Kind;

QString quoted(const QString& name) {
    return QStringLiteral("「") + name + QStringLiteral("」");
}

QString lookup(const std::map<QString, QString>& words, const QString& code) {
    auto it = words.find(code);
    return it == words.end() ? code : it->second;
}

QString queryKind(const QString& reason) {
    static const std::map<QString, QString> words = {
        {QStringLiteral("make-table"), QStringLiteral("テーブル作成クエリ")},
        {QStringLiteral("append"), QStringLiteral("追加クエリ")},
        {QStringLiteral("update"), QStringLiteral("更新クエリ")},
        {QStringLiteral("delete"), QStringLiteral("削除クエリ")},
        {QStringLiteral("crosstab"), QStringLiteral("クロス集計クエリ")},
        {QStringLiteral("data-definition"), QStringLiteral("データ定義クエリ")},
        {QStringLiteral("pass-through"), QStringLiteral("パススルークエリ")},
        {QStringLiteral("union"), QStringLiteral("ユニオンクエリ")},
        {QStringLiteral("unknown"), QStringLiteral("種類の分からないクエリ")}};
    return lookup(words, reason);
}

QString objectKind(const QString& reason) {
    static const std::map<QString, QString> words = {
        {QStringLiteral("form"), QStringLiteral("フォーム")},
        {QStringLiteral("report"), QStringLiteral("レポート")},
        {QStringLiteral("macro"), QStringLiteral("マクロ")},
        {QStringLiteral("module"), QStringLiteral("モジュール")},
        {QStringLiteral("page"), QStringLiteral("データアクセスページ")},
        {QStringLiteral("relationship"), QStringLiteral("リレーションシップ")}};
    return lookup(words, reason);
}

QString describe(const ReportEntry& e) {
    const QString what = quoted(e.object);
    const QString values = QString::number(e.count);
    switch (e.kind) {
        case Kind::TableCarried:
            return QStringLiteral("テーブル%1: %2件").arg(what, values);
        case Kind::QueryCarried:
            return QStringLiteral("クエリ%1").arg(what);
        case Kind::ColumnNotCarried: {
            QString kind = e.reason == QLatin1String("ole") ? QStringLiteral("OLEオブジェクト")
                           : e.reason == QLatin1String("complex")
                               ? QStringLiteral("添付ファイル・複数値")
                               : QStringLiteral("未対応の種類 (%1)").arg(e.detail);
            return QStringLiteral("列%1: %2の列は移せません（値のある行 %3件）")
                .arg(what, kind, values);
        }
        case Kind::QueryNotCarried:
            if (e.reason == QLatin1String("untranslatable"))
                return QStringLiteral("クエリ%1: このSQLは変換できません（%2）")
                    .arg(what, e.detail);
            if (e.reason == QLatin1String("reserved-name"))
                return QStringLiteral("クエリ%1: この名前は使えません").arg(what);
            return QStringLiteral("クエリ%1: %2は移せません").arg(what, queryKind(e.reason));
        case Kind::TableNotCarried:
            if (e.reason == QLatin1String("linked"))
                return QStringLiteral("テーブル%1: リンクテーブルは移せません（リンク先: %2）")
                    .arg(what, e.detail);
            if (e.reason == QLatin1String("no-columns"))
                return QStringLiteral("テーブル%1: 移せる列がありません").arg(what);
            return QStringLiteral("テーブル%1: この名前は使えません").arg(what);
        case Kind::ObjectNotCarried:
            return QStringLiteral("%1%2は移せません").arg(objectKind(e.reason), what);
        case Kind::ValuesNotKept:
            if (e.reason == QLatin1String("date-out-of-range"))
                return QStringLiteral("列%1: 100年～9999年の外の日付 %2件は空にしました")
                    .arg(what, values);
            return QStringLiteral("列%1: 数値でない値 %2件は空にしました").arg(what, values);
        case Kind::ValuesRounded:
            return QStringLiteral("列%1: 桁数の多い値 %2件は最後の桁が丸められました")
                .arg(what, values);
        case Kind::KeyChanged:
            if (e.reason == QLatin1String("autonumber-not-key"))
                return QStringLiteral(
                           "列%1: "
                           "オートナンバーは主キーでないため整数の列になりました（値はそのまま）")
                    .arg(what);
            if (e.reason == QLatin1String("guid-autonumber"))
                return QStringLiteral(
                           "列%1: レプリケーションIDは新しい行に自動では付きません（値はそのまま）")
                    .arg(what);
            return QStringLiteral(
                       "テーブル%1: "
                       "主キーの値が重複しているため主キーを付けませんでした（値はそのまま）")
                .arg(what);
    }
    return what;
}

QString csvField(const QString& value) {
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) &&
        !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    QString q = value;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString kindCode(Kind kind) {
    switch (kind) {
        case Kind::TableCarried:
            return QStringLiteral("table");
        case Kind::QueryCarried:
            return QStringLiteral("query");
        case Kind::ColumnNotCarried:
            return QStringLiteral("column-not-carried");
        case Kind::QueryNotCarried:
            return QStringLiteral("query-not-carried");
        case Kind::TableNotCarried:
            return QStringLiteral("table-not-carried");
        case Kind::ObjectNotCarried:
            return QStringLiteral("object-not-carried");
        case Kind::ValuesNotKept:
            return QStringLiteral("values-not-kept");
        case Kind::ValuesRounded:
            return QStringLiteral("values-rounded");
        case Kind::KeyChanged:
            return QStringLiteral("key-changed");
    }
    return {};
}

}  // namespace

QString reportText(const Report& report) {
    QStringList carried, left;
    for (const ReportEntry& e : report.entries) {
        const bool isCarried = e.kind == Kind::TableCarried || e.kind == Kind::QueryCarried;
        QString line = QStringLiteral("  ") + describe(e);
        // A query left behind keeps its text here, so it can be made anew.
        if (e.kind == Kind::QueryNotCarried && !e.sql.trimmed().isEmpty())
            line += QStringLiteral("\n      SQL: ") +
                    e.sql.trimmed().replace(QLatin1Char('\n'), QStringLiteral("\n           "));
        (isCarried ? carried : left) << line;
    }
    QString text = QStringLiteral("Accessファイルの変換報告\n");
    text += QStringLiteral("元のファイル: %1 (%2)\n").arg(report.source, formatName(report.format));
    text += QStringLiteral("新しいデータベース: %1\n\n").arg(report.target);
    text += QStringLiteral("移したもの: テーブル %1 (%2件)、クエリ %3\n")
                .arg(report.tablesCarried())
                .arg(report.rowsCarried())
                .arg(report.queriesCarried());
    if (!carried.isEmpty()) text += carried.join(QLatin1Char('\n')) + QLatin1Char('\n');
    text += QLatin1Char('\n');
    if (left.isEmpty()) {
        text += QStringLiteral("移せなかったもの: ありません\n");
    } else {
        text += QStringLiteral("移せなかったもの・変わったもの: %1件\n").arg(left.size());
        text += left.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    text += QStringLiteral("\n元のファイルは変更していません。\n");
    return text;
}

QString reportCsv(const Report& report) {
    QString out = QStringLiteral("kind,object,reason,detail,count,sql\r\n");
    for (const ReportEntry& e : report.entries) {
        QStringList fields = {kindCode(e.kind),         e.object, e.reason, e.detail,
                              QString::number(e.count), e.sql};
        for (QString& f : fields) f = csvField(f);
        out += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out;
}

}  // namespace accessfile
