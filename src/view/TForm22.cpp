#include "view/TForm22.h"

#include <QKeyEvent>

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Services.h"

namespace {
QToolButton* toolButton(QWidget* parent, const char* name, const QString& text, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(hint);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}
}  // namespace

TForm22::TForm22(platform::Services& services, const QString& fieldName,
                 std::unique_ptr<view::MemoBinding> binding, QWidget* parent)
    : QDialog(parent), services_(services), fieldName_(fieldName), binding_(std::move(binding)) {
    setObjectName(QStringLiteral("Form22"));
    setWindowTitle(QStringLiteral("メモデータ編集－－") + fieldName);
    setMinimumSize(298, 240);
    resize(420, 320);
    setModal(true);

    SpeedButton2 = toolButton(this, "SpeedButton2", QStringLiteral("切取"), QStringLiteral("切り取り"));
    SpeedButton3 = toolButton(this, "SpeedButton3", QStringLiteral("コピー"), QStringLiteral("コピー"));
    SpeedButton4 = toolButton(this, "SpeedButton4", QStringLiteral("貼付"), QStringLiteral("貼付け"));
    SpeedButton5 = toolButton(this, "SpeedButton5", QStringLiteral("戻る"), QStringLiteral("戻る"));
    SpeedButton1 = toolButton(this, "SpeedButton1", QStringLiteral("閉じる"), QString());
    DBMemo1 = new QPlainTextEdit(this);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);

    auto* bar = new QHBoxLayout;
    for (QToolButton* b : {SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5}) bar->addWidget(b);
    bar->addStretch();
    bar->addWidget(SpeedButton1);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(2, 2, 2, 0);
    root->addLayout(bar);
    root->addWidget(DBMemo1, 1);
    root->addWidget(StatusBar1);

    DBMemo1->installEventFilter(this);
    connect(DBMemo1, &QPlainTextEdit::textChanged, this, &TForm22::MemoChanged);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm22::CutClick);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm22::CopyClick);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm22::PasteClick);
    connect(SpeedButton5, &QToolButton::clicked, this, &TForm22::UndoClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &QDialog::accept);
}

TForm22::~TForm22() = default;

void TForm22::FormShow() {
    loading_ = true;
    DBMemo1->setPlainText(binding_->text());
    loading_ = false;
    DBMemo1->setReadOnly(!Editable);
    for (QToolButton* b : {SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5}) b->setVisible(Editable);
    StatusBar1->showMessage(Editable ? QStringLiteral("データ編集可能") : QStringLiteral("データ編集不可"));
    DBMemo1->document()->clearUndoRedoStacks();
}

void TForm22::MemoChanged() {
    if (loading_ || !Editable) return;
    try {
        binding_->setText(DBMemo1->toPlainText());
    } catch (const std::exception& e) {
        services_.showError(this, e);
    }
}

void TForm22::CutClick() {
    QTextCursor c = DBMemo1->textCursor();
    if (!c.hasSelection()) return;
    services_.setClipboardText(c.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
    c.removeSelectedText();
}

void TForm22::CopyClick() {
    QTextCursor c = DBMemo1->textCursor();
    if (c.hasSelection())
        services_.setClipboardText(c.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
}

void TForm22::PasteClick() {
    if (services_.clipboardHasText()) DBMemo1->insertPlainText(services_.clipboardText());
}

bool TForm22::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DBMemo1 &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo)) {
        if (event->type() == QEvent::KeyPress && Editable) UndoClick();
        event->accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm22::UndoClick() {
    // One step only: after undoing, the buffer is emptied, so a second
    // press changes nothing.
    DBMemo1->undo();
    DBMemo1->document()->clearUndoRedoStacks();
}
