#include "output/document/FileNames.h"

#include <QFileInfo>

namespace docoutput {

namespace {

bool unsafeInName(QChar c) {
    switch (c.unicode()) {
        case '.': case ',': case '(': case ')': case ';': case ':':
        case '[': case ']': case '\\': case '\'': case '"': case '/':
            return true;
        default:
            return false;
    }
}

int utf8Bytes(const QString& s) {
    return int(s.toUtf8().size());
}

}  // namespace

QString safeNameText(const QString& value) {
    QString s = value.left(501);
    for (QChar& c : s)
        if (unsafeInName(c)) c = QLatin1Char('_');
    return s;
}

OutputNames::OutputNames(const QString& base, const QString& extension, bool web,
                         const QString& templatePath)
    : base_(base), extension_(extension) {
    if (!templatePath.isEmpty()) templatePath_ = QFileInfo(templatePath).absoluteFilePath();
    // The page written instead of the workbook has the longer extension
    // of the two; both must fit.
    const int ext = std::max(utf8Bytes(extension), web ? utf8Bytes(QStringLiteral(".html")) : 0);
    fixedBytes_ = utf8Bytes(QFileInfo(base).fileName()) + 1 + ext;
}

QString OutputNames::pathFor(const QString& suffix) const {
    return base_ + QLatin1Char('_') + suffix + extension_;
}

void OutputNames::clear() {
    UsedNames.clear();
    nextNumber_.clear();
}

QString OutputNames::fitted(const QString& suffix, int reserve) const {
    QString s = suffix;
    const int room = kMaxFileNameBytes - fixedBytes_ - reserve;
    while (!s.isEmpty() && utf8Bytes(s) > room) {
        s.chop(1);
        if (!s.isEmpty() && s.back().isHighSurrogate()) s.chop(1);
    }
    return s;
}

bool OutputNames::acceptable(const QString& suffix) const {
    if (UsedNames.contains(suffix)) return false;
    return templatePath_.isEmpty() ||
           QFileInfo(pathFor(suffix)).absoluteFilePath() != templatePath_;
}

QString OutputNames::FileNameSuffix(const QString& value) {
    const QString s = fitted(safeNameText(value), 0);
    if (acceptable(s)) {
        UsedNames.insert(s);
        return s;
    }
    int& i = nextNumber_[s];
    if (i < 2) i = 2;
    for (; i <= 99999; ++i) {
        const QString number = QStringLiteral("__") + QString::number(i);
        const QString candidate = fitted(s, utf8Bytes(number)) + number;
        if (acceptable(candidate)) {
            UsedNames.insert(candidate);
            ++i;
            return candidate;
        }
    }
    // Every numbered name is taken; a further file replaces the first.
    return s;
}

}  // namespace docoutput
