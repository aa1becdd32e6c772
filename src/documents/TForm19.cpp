#include "documents/TForm19.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "documents/RegistrationRules.h"
#include "excel/TUGExcel.h"
#include "platform/Services.h"

namespace {
const QString kStopped = QStringLiteral("図設定の中止");
constexpr int kPictureNumberLength = 10;
}  // namespace

TForm19::TForm19(platform::Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("TForm19"));
    setWindowTitle(QStringLiteral("図の割付設定"));
    setWindowFlag(Qt::WindowStaysOnTopHint);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("＊Excelの図を選択し、該当欄をクリックします。"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(QStringLiteral("割付図番号"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    SG1 = new QTableWidget(this);
    SG1->setObjectName(QStringLiteral("SG1"));
    SG1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SG1->horizontalHeader()->setVisible(false);
    SG1->verticalHeader()->setVisible(false);
    SG1->horizontalHeader()->setDefaultSectionSize(48);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label3);
    layout->addWidget(SG1);
    layout->addWidget(Label2);
    layout->addLayout(buttons);
    resize(360, 280);

    connect(SG1, &QTableWidget::cellClicked, this, &TForm19::SG1Click);
    connect(Button1, &QPushButton::clicked, this, &TForm19::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm19::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TForm19::FormShow() {
    Label1->setText(QStringLiteral("＜横%1 × 縦%2＞").arg(BlocksAcross).arg(BlocksDown));
    SG1->clear();
    SG1->setColumnCount(BlocksAcross);
    SG1->setRowCount(BlocksDown);
    const std::vector<QStringList> grid =
        documents::figureGrid(FigureText, BlocksAcross, BlocksDown);
    for (int r = 0; r < BlocksDown; ++r)
        for (int c = 0; c < BlocksAcross; ++c)
            SG1->setItem(r, c, new QTableWidgetItem(grid[static_cast<size_t>(r)][c]));
    SG1->setCurrentCell(0, 0);
}

void TForm19::SG1Click(int row, int column) {
    if (!Excel || !Excel->ExcelAlive()) {
        services_.message(this, QStringLiteral("Excelが閉じてます"), kStopped);
        return;
    }
    const QString address = Excel->SelectionAddress();
    if (!address.startsWith(QLatin1Char('#'))) {
        services_.message(this, QStringLiteral("Excelの選択が不良です"), kStopped);
        return;
    }
    SG1->item(row, column)->setText(address.mid(1, kPictureNumberLength));
}

void TForm19::Button1Click() {
    QStringList numbers;
    for (int r = 0; r < SG1->rowCount(); ++r)
        for (int c = 0; c < SG1->columnCount(); ++c) {
            const QTableWidgetItem* item = SG1->item(r, c);
            if (!item || item->text().isEmpty()) {
                services_.message(this, QStringLiteral("未指定があります"),
                                  QStringLiteral("設定の中止"));
                return;
            }
            numbers << item->text();
        }
    FigureText = QLatin1Char('#') + numbers.join(QLatin1Char(','));
    accept();
}
