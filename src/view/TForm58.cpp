#include "view/TForm58.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The browser is handed at most this much of the address box.
constexpr int kMaxAddressLength = 1999;

QToolButton* toolButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon,
                        const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolTip(hint);
    return b;
}

}  // namespace

TForm58::TForm58(platform::Services& services, std::unique_ptr<view::PageBrowser> browser,
                 QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Form58"));
    setWindowTitle(QStringLiteral("URL検索"));
    setMinimumSize(553, 359);
    resize(800, 600);
    setModal(true);

    if (!browser) browser = view::makePageBrowser(services);
    CppWebBrowser1 = browser.release();
    CppWebBrowser1->setParent(this);
    if (CppWebBrowser1->objectName().isEmpty()) CppWebBrowser1->setObjectName(QStringLiteral("CppWebBrowser1"));

    SpeedButton1 = toolButton(this, "SpeedButton1", QStyle::SP_ArrowBack, QStringLiteral("戻る"));
    SpeedButton2 = toolButton(this, "SpeedButton2", QStyle::SP_ArrowForward, QStringLiteral("進む"));
    SpeedButton3 = toolButton(this, "SpeedButton3", QStyle::SP_FileDialogContentsView, QStringLiteral("検索へ進む"));
    SpeedButton4 = toolButton(this, "SpeedButton4", QStyle::SP_CommandLink, QStringLiteral("右URLへ進む"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    SpeedButton5 = new QPushButton(QStringLiteral("OK"), this);
    SpeedButton5->setObjectName(QStringLiteral("SpeedButton5"));
    SpeedButton6 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    SpeedButton6->setObjectName(QStringLiteral("SpeedButton6"));
    SpeedButton5->setAutoDefault(false);
    SpeedButton6->setAutoDefault(false);

    auto* bar = new QHBoxLayout;
    for (QToolButton* b : {SpeedButton1, SpeedButton2, SpeedButton3}) bar->addWidget(b);
    bar->addWidget(SpeedButton4);
    bar->addWidget(Edit1, 1);
    bar->addWidget(SpeedButton5);
    bar->addWidget(SpeedButton6);
    auto* root = new QVBoxLayout(this);
    root->addLayout(bar);
    root->addWidget(CppWebBrowser1, 1);

    connect(CppWebBrowser1, &view::PageBrowser::loaded, this, &TForm58::PageLoaded);
    connect(SpeedButton1, &QToolButton::clicked, CppWebBrowser1, &view::PageBrowser::back);
    connect(SpeedButton2, &QToolButton::clicked, CppWebBrowser1, &view::PageBrowser::forward);
    connect(SpeedButton3, &QToolButton::clicked, CppWebBrowser1, &view::PageBrowser::goSearchPage);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm58::GoToAddressClick);
    connect(Edit1, &QLineEdit::returnPressed, this, &TForm58::GoToAddressClick);
    connect(SpeedButton5, &QPushButton::clicked, this, &QDialog::accept);
    connect(SpeedButton6, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm58::FormShow() {
    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Edit1->setText(kLoadingText);
    // Let the text be drawn before the browser starts its (slow) first load.
    QApplication::processEvents();
    CppWebBrowser1->goSearchPage();
}

void TForm58::PageLoaded(const QUrl& url) { Edit1->setText(url.toString()); }

void TForm58::GoToAddressClick() {
    const QString address = Edit1->text().left(kMaxAddressLength).trimmed();
    if (address.isEmpty()) return;
    CppWebBrowser1->navigate(QUrl::fromUserInput(address));
}
