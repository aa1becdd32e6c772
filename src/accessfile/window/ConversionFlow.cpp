#include "accessfile/window/ConversionFlow.h"

#include <QFileInfo>

#include "accessfile/AccessFile.h"
#include "accessfile/window/ReportDialog.h"
#include "platform/Services.h"

namespace accessfile {

QString failureText(const Error& error) {
    QString reason;
    switch (error.code()) {
        case Error::Code::NotAccess:
            reason = QStringLiteral("Accessのデータベースではありません");
            break;
        case Error::Code::Unreadable:
            reason = QStringLiteral("ファイルが読めません");
            break;
        case Error::Code::Encrypted:
            reason = QStringLiteral(
                "ファイルがパスワードで暗号化されているため読めません。\n"
                "Accessでパスワードを解除してから変換してください");
            break;
        case Error::Code::Damaged:
            reason = QStringLiteral(
                "ファイルが壊れているため変換できません。\nAccessで修復してから変換してください");
            break;
        case Error::Code::Unsupported:
            reason = QStringLiteral("この形式のAccessファイルには対応していません");
            break;
        case Error::Code::TargetInvalid:
            reason = QStringLiteral("その変換先には保存できません（元のファイルは選べません）");
            break;
        case Error::Code::WriteFailed:
            reason = QStringLiteral("新しいデータベースを書き込めません");
            break;
    }
    return reason + QStringLiteral("\n(") + error.detail() + QLatin1Char(')');
}

QString offerConversion(platform::Services& services, QWidget* parent, const QString& source,
                        const QString& dialogFilter) {
    const QFileInfo info(source);
    const QString question =
        QStringLiteral(
            "「%1」はAccessで作られたデータベースです。\n"
            "Tesmoraのデータベースに変換してから開きます。元のファイルは変更しません。\n"
            "変換しますか？")
            .arg(info.fileName());
    if (services.message(parent, question, kConversionCaption, platform::Buttons::OkCancel) !=
        platform::Answer::Ok)
        return {};

    platform::FileDialogRequest request;
    request.title = QStringLiteral("変換先のデータベース");
    request.filter = dialogFilter;
    request.initialFolder = info.absolutePath();
    request.fileName = proposedTargetPath(info.absoluteFilePath());
    request.defaultSuffix = info.suffix();
    const QString target = services.saveFile(parent, request);
    if (target.isEmpty()) return {};

    Report report;
    try {
        platform::BusyCursor busy(services);
        Options options;
        // The save dialog has asked before an existing file is replaced.
        options.replaceExisting = true;
        report = convert(info.absoluteFilePath(), target, options);
    } catch (const Error& e) {
        services.message(parent, failureText(e), kConversionStopped);
        return {};
    }
    QString text = reportText(report);
    text += report.reportFile.isEmpty()
                ? QStringLiteral("\n（この報告をファイルに保存できませんでした）\n")
                : QStringLiteral("\nこの報告の保存先: %1\n").arg(report.reportFile);
    ReportDialog dialog(text, parent);
    services.execDialog(&dialog);
    return report.target;
}

}  // namespace accessfile
