#include "documents/TForm12.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TForm12::TForm12(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm12"));
    setWindowTitle(QStringLiteral("カードの設定"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("データ閲覧用の文書を選んで下さい"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    Button1 = new QPushButton(QStringLiteral("選択"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("解除"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Button3->setObjectName(QStringLiteral("Button3"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ListBox1);
    layout->addWidget(Label2);
    layout->addLayout(buttons);
    resize(320, 320);

    connect(Button1, &QPushButton::clicked, this, &TForm12::Button1Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TForm12::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm12::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm12::setDocuments(const documents::DocumentList& list) {
    ListBox1->clear();
    for (const documents::DocumentItem& d : list) {
        auto* item = new QListWidgetItem(d.name, ListBox1);
        item->setData(Qt::UserRole, d.id);
    }
}

void TForm12::FormShow() {
    QString current = QStringLiteral("なし");
    for (int i = 0; CardDocumentID != -1 && i < ListBox1->count(); ++i)
        if (ListBox1->item(i)->data(Qt::UserRole).toInt() == CardDocumentID)
            current = ListBox1->item(i)->text();
    Label2->setText(QStringLiteral("現在：") + current);
}

void TForm12::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TForm12::Button1Click() {
    const QListWidgetItem* item = ListBox1->currentItem();
    if (!item || !item->isSelected()) return;
    CardDocumentID = item->data(Qt::UserRole).toInt();
    accept();
}

void TForm12::Button2Click() {
    CardDocumentID = -1;
    accept();
}
