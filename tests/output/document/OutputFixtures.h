#pragma once
// Members and templates for the document-output tests: a member table
// written through the database layer, templates written by openpyxl
// (make_templates.py), and ways to read our files and log rows back with
// other tools (openpyxl, the sqlite3 shell, pdftotext).
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <vector>

#include "documents/Registry.h"

namespace outputtest {

inline const QString kTable = QStringLiteral("会員");

struct Member {
    QString name;   // 氏名
    QString code;   // コード, text with leading zeros
    double fee = 0; // 会費
    QString photo;  // 写真: a picture path
    QString link;   // リンク
};

// The table 会員 (ID COUNTER key, 氏名 NCHAR(20), コード NCHAR(10), 会費
// CURRENCY, 写真 NCHAR(200), リンク NCHAR(200), 備考 MEMO) with these rows.
void writeMembers(const QString& path, const std::vector<Member>& members);
// n members "会員1" ... with codes "0001" ...
std::vector<Member> plainMembers(int n);

// Writes the templates and pictures into dir; fails the test when Python
// with openpyxl is missing.
void makeTemplates(const QString& dir);

// The card document's bindings (card.xlsx) and the blocks document's.
documents::LinkList cardBindings();
documents::LinkList blockBindings();
documents::BlockSettings blocks2x3();

// Rows of a query on a database as the sqlite3 shell prints them ("|").
QStringList sqliteRows(const QString& database, const QString& sql);

// One JSON object printed by a Python snippet that gets the file as
// sys.argv[1] and an openpyxl workbook as wb.
QJsonObject openpyxl(const QString& file, const QString& script);

}  // namespace outputtest
