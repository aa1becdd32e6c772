#pragma once
// Names of the files a save run writes: base + "_" + the record's value of
// the file-name field + the template's extension. The value is made safe
// for a file name, shortened when the name would pass the file system's
// limit, and made unique within the run ("山田", "山田__2", "山田__3").
#include <QHash>
#include <QSet>
#include <QString>

namespace docoutput {

// The value with full stop, comma, round and square brackets, semicolon,
// colon, backslash, apostrophe, double quote and slash replaced by "_"; at
// most 501 characters are kept.
QString safeNameText(const QString& value);

// Longest file name, in bytes of the file system's encoding.
inline constexpr int kMaxFileNameBytes = 255;

class OutputNames {
public:
    // base: the chosen path without extension; extension: ".xlsx" (or
    // ".xls"); web: the workbook becomes a ".html" page of the same name.
    // templatePath: never handed out, so the template is never overwritten.
    OutputNames(const QString& base, const QString& extension, bool web,
                const QString& templatePath);

    // The suffix for the current record's field value, unique within the
    // run: the value made safe, shortened to fit, then "__2", "__3", ...
    // when it was used already. Every name is looked at once per use, so a
    // run of many equal values stays linear.
    QString FileNameSuffix(const QString& value);
    // base + "_" + suffix + extension.
    QString pathFor(const QString& suffix) const;
    // Forgets the names of the run.
    void clear();

    QSet<QString> UsedNames;

private:
    bool acceptable(const QString& suffix) const;
    QString fitted(const QString& suffix, int reserve) const;

    QString base_;
    QString extension_;
    QString templatePath_;
    int fixedBytes_ = 0;  // bytes of the name besides the suffix
    QHash<QString, int> nextNumber_;
};

}  // namespace docoutput
