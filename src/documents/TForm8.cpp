#include "documents/TForm8.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Services.h"

TForm8::TForm8(platform::Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("TForm8"));
    setWindowTitle(QStringLiteral("文書の選択"));
    setModal(true);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListBox1);
    layout->addLayout(buttons);
    resize(320, 300);

    connect(Button1, &QPushButton::clicked, this, &TForm8::Button1Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TForm8::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm8::setDocuments(const documents::DocumentList& list) {
    ListBox1->clear();
    for (const documents::DocumentItem& d : list) {
        auto* item = new QListWidgetItem(d.name, ListBox1);
        item->setData(Qt::UserRole, d.id);
    }
    if (ListBox1->count() > 0) ListBox1->setCurrentRow(0);
}

int TForm8::chosenId() const {
    const QListWidgetItem* item = ListBox1->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : -1;
}

void TForm8::Button1Click() {
    if (chosenId() == -1) {
        services_.message(this, QStringLiteral("文書が未選択です"),
                          QStringLiteral("文書選択の中止"));
        return;
    }
    accept();
}
