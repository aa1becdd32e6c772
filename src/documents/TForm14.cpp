#include "documents/TForm14.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "documents/DocumentFile.h"
#include "platform/Services.h"

namespace documents {

bool sameFile(const QString& a, const QString& b) {
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    const QString ca = fa.exists() ? fa.canonicalFilePath() : fa.absoluteFilePath();
    const QString cb = fb.exists() ? fb.canonicalFilePath() : fb.absoluteFilePath();
    return ca == cb;
}

}  // namespace documents

namespace {

QString extensionOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

}  // namespace

TForm14::TForm14(platform::Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("TForm14"));
    setWindowTitle(QStringLiteral("雛形の選択"));
    setModal(true);

    RadioGroup1 = new QGroupBox(QStringLiteral("編集対象"), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioButton1 = new QRadioButton(QStringLiteral("雛形を修正"), RadioGroup1);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton2 = new QRadioButton(QStringLiteral("雛形の複製を修正"), RadioGroup1);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    items_ = new QButtonGroup(this);
    items_->addButton(RadioButton1, 0);
    items_->addButton(RadioButton2, 1);
    auto* radios = new QVBoxLayout(RadioGroup1);
    radios->addWidget(RadioButton1);
    radios->addWidget(RadioButton2);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    Edit1->setMinimumWidth(320);
    SpeedButton2 = new QToolButton(this);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setText(QStringLiteral("ファイル"));
    Label1 = new QLabel(QStringLiteral("文書名"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* file = new QHBoxLayout;
    file->addWidget(Edit1, 1);
    file->addWidget(SpeedButton2);
    auto* name = new QHBoxLayout;
    name->addWidget(Label1);
    name->addWidget(Edit2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RadioGroup1);
    layout->addLayout(file);
    layout->addLayout(name);
    layout->addLayout(buttons);

    connect(items_, &QButtonGroup::idClicked, this, &TForm14::RadioGroup1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm14::SpeedButton2Click);
    connect(Button1, &QPushButton::clicked, this, &TForm14::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

int TForm14::itemIndex() const {
    return items_->checkedId();
}

void TForm14::setItemIndex(int index) {
    items_->button(index)->setChecked(true);
    RadioGroup1Click();
}

void TForm14::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm14::FormShow() {
    TemplateExt = extensionOf(TemplatePath);
    const QString copy = TemplatePath.left(TemplatePath.size() - TemplateExt.size()) +
                         QStringLiteral("_改") + TemplateExt;
    Edit1->setText(copy);
    Edit1->setToolTip(copy);
    Edit2->setText(DocumentName + QStringLiteral("_改"));
    setItemIndex(0);
}

void TForm14::RadioGroup1Click() {
    const bool copy = itemIndex() == 1;
    for (QWidget* w : {static_cast<QWidget*>(SpeedButton2), static_cast<QWidget*>(Label1),
                       static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit2)})
        w->setVisible(copy);
}

void TForm14::SpeedButton2Click() {
    platform::FileDialogRequest request;
    request.filter = QStringLiteral("Excelファイル(*") + TemplateExt + QStringLiteral(")|*") +
                     TemplateExt;
    request.fileName = Edit1->text();
    const QString chosen = services_.saveFile(this, request);
    if (chosen.isEmpty()) return;
    // Compared as the copy will be written: with the template's extension
    // and as an absolute path, so that "form.xls" for "form.xlsx", or a
    // relative name, can never make the copy overwrite its own template.
    const QString path = documents::changeFileExt(chosen, TemplateExt);
    if (documents::sameFile(path, TemplatePath)) {
        services_.message(this, QStringLiteral("同じファイルは指定できません"),
                          QStringLiteral("ファイル選択の中止"));
        return;
    }
    Edit1->setText(path);
    Edit1->setToolTip(path);
}

void TForm14::Button1Click() {
    if (itemIndex() == 1) {
        if (QFileInfo::exists(Edit1->text()) &&
            services_.message(this, QStringLiteral("同名ファイルがあります。上書きしますか？"),
                              QStringLiteral("上書きの確認"),
                              platform::Buttons::OkCancel) != platform::Answer::Ok)
            return;
        TemplatePath = Edit1->text();
        DocumentName = Edit2->text();
    }
    accept();
}
