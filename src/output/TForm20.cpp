#include "output/TForm20.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TForm20::TForm20(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form20"));
    setWindowTitle(QStringLiteral("書き込みシートの選択"));
    Label1 = new QLabel(QStringLiteral("Excelで書き込むシートを選択し、［OK］ボタン"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label3 = new QLabel(QStringLiteral("をクリックして下さい。"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label2 = new QLabel(QStringLiteral("＊注意：シートにデータが上書きされます。"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setStyleSheet(QStringLiteral("color: red;"));
    SpeedButton1 = new QPushButton(QStringLiteral("OK"), this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    // The sheet window keeps the keyboard; Enter there must not answer here.
    SpeedButton1->setAutoDefault(false);
    SpeedButton2->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SpeedButton1);
    buttons->addWidget(SpeedButton2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label3);
    layout->addWidget(Label2);
    layout->addLayout(buttons);

    connect(SpeedButton1, &QPushButton::clicked, this, &TForm20::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TForm20::SpeedButton2Click);
}

void TForm20::SpeedButton1Click() {
    accept();
}

void TForm20::SpeedButton2Click() {
    reject();
}
