#include "accessfile/window/ReportDialog.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace accessfile {

ReportDialog::ReportDialog(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ReportDialog"));
    setWindowTitle(QStringLiteral("変換報告"));
    setModal(true);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setPlainText(text);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1, 1);
    layout->addLayout(buttons);
    resize(640, 420);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace accessfile
