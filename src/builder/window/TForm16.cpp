#include "builder/window/TForm16.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TForm16::TForm16(platform::Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("Form16"));
    setWindowTitle(QStringLiteral("開くファイルの選択"));
    Label1 = new QLabel(QStringLiteral("作成データベースを開きますか？"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    Button1 = new QPushButton(QStringLiteral("開く"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ListBox1, 1);
    layout->addLayout(buttons);
    resize(320, 240);
    connect(Button1, &QPushButton::clicked, this, &TForm16::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TForm16::ListBox1DblClick);
}

void TForm16::Button1Click() {
    if (ListBox1->currentRow() < 0) {
        services_.message(this, QStringLiteral("データベースが未選択です"), QStringLiteral("開くの中止"));
        return;
    }
    accept();
}

void TForm16::ListBox1DblClick() {
    if (ListBox1->currentRow() >= 0) accept();
}
