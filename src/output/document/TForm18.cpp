#include "output/document/TForm18.h"

#include <QLabel>
#include <QListWidget>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "output/document/PrintLog.h"

TForm18::TForm18(platform::Services& services, db::Connection& userDatabase, QWidget* parent)
    : QDialog(parent), services_(services), userDatabase_(userDatabase) {
    setObjectName(QStringLiteral("Form18"));
    setWindowTitle(QStringLiteral("出力記録の確認"));
    Label1 = new QLabel(QStringLiteral("出力記録がある文書"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox3 = new QListWidget(this);
    ListBox3->setObjectName(QStringLiteral("ListBox3"));
    ListBox3->hide();
    Label3 = new QLabel(QStringLiteral("出力記録"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    ListBox2 = new QListWidget(this);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("閉じる"));

    auto* root = new QVBoxLayout(this);
    root->addWidget(Label1);
    root->addWidget(ListBox1, 1);
    root->addWidget(Label3);
    root->addWidget(ListBox2, 2);
    root->addWidget(SpeedButton1, 0, Qt::AlignRight);
    resize(340, 380);

    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm18::SpeedButton1Click);
}

void TForm18::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm18::FormShow() {
    Label3->setText(QStringLiteral("出力記録"));
    ListBox2->clear();
    if (ListBox1->count() == 0) return;
    ListBox1->setCurrentRow(0);
    ListBox1Click();
}

void TForm18::ListBox1Click() {
    const int index = ListBox1->currentRow();
    if (index < 0) return;
    ListBox2->clear();
    const QString field = index < ListBox3->count() ? ListBox3->item(index)->text() : QString();
    const QString value = currentFieldText ? currentFieldText(field) : QString();
    if (value.isEmpty()) {
        services_.message(this, QStringLiteral("対象が未記録です"), QStringLiteral("記録表示の中止"));
        return;
    }
    const bool listed = platform::runGuarded(services_, this, [&] {
        ListBox2->addItems(
            docoutput::printHistory(userDatabase_, ListBox1->item(index)->text(), value));
    });
    if (listed) Label3->setText(QStringLiteral("出力記録： %1 件").arg(ListBox2->count()));
}

void TForm18::SpeedButton1Click() {
    accept();
}
