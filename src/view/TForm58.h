#pragma once
// The URL search window: a small browser in which the user finds a page
// whose address is then pasted into a text cell. After OK the caller reads
// Edit1's text.
#include <QDialog>

#include <memory>

#include "view/PageBrowser.h"

class QLineEdit;
class QToolButton;
class QPushButton;

class TForm58 : public QDialog {
    Q_OBJECT
public:
    // browser: the page view to embed; by default the one this build has.
    TForm58(platform::Services& services, std::unique_ptr<view::PageBrowser> browser = nullptr,
            QWidget* parent = nullptr);

    // Starts each showing at the search page.
    void FormShow();

    // What the address box says until the first page has arrived.
    inline static const QString kLoadingText = QStringLiteral("－－－検索サイトを起動中－－－");

    QLineEdit* Edit1;

private:
    void PageLoaded(const QUrl& url);
    void GoToAddressClick();

    view::PageBrowser* CppWebBrowser1;
    QToolButton* SpeedButton1;  // 戻る
    QToolButton* SpeedButton2;  // 進む
    QToolButton* SpeedButton3;  // 検索へ進む
    QToolButton* SpeedButton4;  // 右URLへ進む
    QPushButton* SpeedButton5;  // OK
    QPushButton* SpeedButton6;  // ｷｬﾝｾﾙ
};
