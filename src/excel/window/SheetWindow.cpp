#include "excel/window/SheetWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "excel/Error.h"
#include "excel/Workbook.h"
#include "excel/window/SheetView.h"
#include "platform/Services.h"

namespace excel::window {

SaveChangesDialog::SaveChangesDialog(const QString& fileName, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SaveChangesDialog"));
    setWindowTitle(QStringLiteral("Tesmora"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("'%1' への変更を保存しますか?").arg(fileName), this);
    text->setObjectName(QStringLiteral("Question"));
    layout->addWidget(text);
    auto* buttons = new QHBoxLayout;
    auto add = [&](const char* name, const QString& caption, int result) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        buttons->addWidget(button);
        return button;
    };
    add("SaveButton", QStringLiteral("保存(&S)"), Save)->setDefault(true);
    add("DontSaveButton", QStringLiteral("保存しない(&N)"), DontSave);
    add("CancelButton", QStringLiteral("キャンセル"), Cancel);
    layout->addLayout(buttons);
}

SheetWindow::SheetWindow(Workbook& book, platform::Services& services)
    : QWidget(nullptr, Qt::Window), book_(book), services_(services) {
    setObjectName(QStringLiteral("SheetWindow"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(1000, 700);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(4, 2, 4, 2);
    saveButton_ = new QToolButton(this);
    saveButton_->setObjectName(QStringLiteral("SaveButton"));
    saveButton_->setText(QStringLiteral("上書き保存"));
    saveButton_->setToolTip(QStringLiteral("上書き保存 (Ctrl+S)"));
    bar->addWidget(saveButton_);
    address_ = new QLabel(this);
    address_->setObjectName(QStringLiteral("AddressLabel"));
    address_->setMinimumWidth(80);
    address_->setFrameShape(QFrame::StyledPanel);
    bar->addWidget(address_);
    bar->addStretch();
    layout->addLayout(bar);

    view_ = new SheetView(this);
    layout->addWidget(view_, 1);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("SheetTabs"));
    tabs_->setShape(QTabBar::RoundedSouth);
    tabs_->setExpanding(false);
    for (int i = 0; i < book_.sheetCount(); ++i) tabs_->addTab(book_.sheet(i).name());
    layout->addWidget(tabs_);

    auto* saveShortcut = new QShortcut(QKeySequence::Save, this);
    connect(saveShortcut, &QShortcut::activated, this, &SheetWindow::save);
    connect(saveButton_, &QToolButton::clicked, this, &SheetWindow::save);
    connect(tabs_, &QTabBar::currentChanged, this, &SheetWindow::tabChosen);
    connect(view_, &SheetView::selectionChanged, this, &SheetWindow::updateAddress);
    connect(view_, &SheetView::edited, this, &SheetWindow::updateTitle);
    connect(view_, &SheetView::failed, this,
            [this](const Error& error) { services_.showError(this, error); });

    showActiveSheet();
    updateTitle();
}

SheetWindow::~SheetWindow() = default;

void SheetWindow::present() {
    // A window shown while a modal dialog of ours runs would be blocked by
    // it; as that dialog's transient child it stays usable beside it.
    winId();
    QWindow* modal = QGuiApplication::modalWindow();
    if (modal && modal != windowHandle()) windowHandle()->setTransientParent(modal);
    show();
    raise();
    activateWindow();
    view_->setFocus();
}

void SheetWindow::closeWithoutAsking() {
    closingWithoutAsking_ = true;
    close();
    closingWithoutAsking_ = false;
    if (open_) {  // never shown: close() does nothing for a hidden window
        open_ = false;
        emit closed();
    }
}

void SheetWindow::showActiveSheet() {
    int index = book_.activeSheetIndex();
    if (index < 0 || index >= book_.sheetCount()) return;
    if (view_->sheet() != &book_.sheet(index)) view_->setSheet(&book_.sheet(index));
    QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(index);
}

void SheetWindow::refresh() {
    showActiveSheet();
    view_->reload();
    updateTitle();
    updateAddress();
}

void SheetWindow::cellsChanged(const RangeRef& range) {
    view_->cellsChanged(range);
    updateTitle();
}

void SheetWindow::tabChosen(int index) {
    if (index < 0 || index >= book_.sheetCount()) return;
    if (view_->isEditing() && !view_->commitEdit()) {
        QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(book_.activeSheetIndex());
        return;
    }
    // The tab the user picks becomes the active sheet, which the program's
    // later cell operations work on. A sheet that cannot be read is reported
    // and the user stays on the sheet they came from.
    try {
        book_.setActiveSheet(index);
    } catch (const Error& error) {
        QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(book_.activeSheetIndex());
        services_.showError(this, error);
        return;
    }
    view_->setSheet(&book_.sheet(index));
}

bool SheetWindow::save() {
    if (view_->isEditing() && !view_->commitEdit()) return false;
    try {
        book_.save();
    } catch (const Error& error) {
        services_.showError(this, error);
        return false;
    }
    updateTitle();
    return true;
}

void SheetWindow::updateTitle() {
    setWindowTitle(QFileInfo(book_.path()).fileName() + QStringLiteral("[*]"));
    setWindowModified(book_.modified());
}

void SheetWindow::updateAddress() {
    const SheetSelection& selection = view_->selection();
    if (selection.hasShapes())
        address_->setText(selection.shapes.join(QStringLiteral(", ")));
    else
        address_->setText(rangeRefText(selection.range()));
}

Selection SheetWindow::selection() const {
    const SheetSelection& current = view_->selection();
    Selection result;
    result.shapeNames = current.shapes;
    if (view_->sheet()) result.cells = expandToMerges(current.range(), view_->sheet()->merges());
    return result;
}

void SheetWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow() || !open_) return;
    try {
        showActiveSheet();
    } catch (const Error& error) {
        services_.showError(this, error);
    }
    view_->viewport()->update();
    updateTitle();
}

void SheetWindow::closeEvent(QCloseEvent* event) {
    if (!open_) return event->accept();
    if (!closingWithoutAsking_) {
        if (view_->isEditing() && !view_->commitEdit()) return event->ignore();
        if (book_.modified()) {
            SaveChangesDialog question(QFileInfo(book_.path()).fileName(), this);
            int answer = services_.execDialog(&question);
            if (answer == SaveChangesDialog::Cancel) return event->ignore();
            if (answer == SaveChangesDialog::Save && !save()) return event->ignore();
        }
    } else {
        view_->cancelEdit();
    }
    event->accept();
    open_ = false;
    emit closed();
}

}  // namespace excel::window
