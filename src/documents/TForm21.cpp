#include "documents/TForm21.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TForm21::TForm21(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm21"));
    setWindowTitle(QStringLiteral("出力文書の選択"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);

    CheckListBox1 = new QListWidget(this);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
    Button1 = new QPushButton(QStringLiteral("全ﾁｪｯｸ"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("全ｸﾘｱ"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QStringLiteral("OK"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button4 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Button4->setObjectName(QStringLiteral("Button4"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch();
    buttons->addWidget(Button3);
    buttons->addWidget(Button4);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CheckListBox1);
    layout->addLayout(buttons);
    resize(360, 320);

    connect(Button1, &QPushButton::clicked, this, &TForm21::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm21::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm21::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm21::setDocuments(const documents::DocumentList& list) {
    CheckListBox1->clear();
    for (const documents::DocumentItem& d : list) {
        auto* item = new QListWidgetItem(d.name, CheckListBox1);
        item->setData(Qt::UserRole, d.id);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

std::vector<int> TForm21::checkedIds() const {
    std::vector<int> ids;
    for (int i = 0; i < CheckListBox1->count(); ++i)
        if (CheckListBox1->item(i)->checkState() == Qt::Checked)
            ids.push_back(CheckListBox1->item(i)->data(Qt::UserRole).toInt());
    return ids;
}

void TForm21::Button1Click() {
    for (int i = 0; i < CheckListBox1->count(); ++i)
        CheckListBox1->item(i)->setCheckState(Qt::Checked);
}

void TForm21::Button2Click() {
    for (int i = 0; i < CheckListBox1->count(); ++i)
        CheckListBox1->item(i)->setCheckState(Qt::Unchecked);
}

void TForm21::Button3Click() {
    if (!checkedIds().empty()) accept();
}
