#include "output/document/TForm5.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QToolButton>

#include "db/Db.h"
#include "documents/Bindings.h"
#include "excel/TUGExcel.h"
#include "excel/window/Waits.h"
#include "output/document/DocumentRun.h"
#include "output/document/PrintLog.h"
#include "platform/BusyWindow.h"
#include "text/Text.h"

namespace {

const QString kStopCaption = QStringLiteral("文書出力の中止");

template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QToolButton* speedButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = named(new QToolButton(parent), name);
    b->setText(caption);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setMinimumWidth(72);
    return b;
}

// The dialog while a run goes on: disabled with the busy cursor, progress
// shown unless previewing; everything given back however the run ends.
class RunDisplay {
public:
    RunDisplay(platform::Services& services, TForm5& form, bool showProgress)
        : busy_(services, &form), form_(form), shown_(showProgress) {
        if (!shown_) return;
        form_.ProgressBar1->setValue(0);
        form_.Label5->clear();
        form_.Label5->show();
        form_.ProgressBar1->show();
        QApplication::processEvents();
    }
    ~RunDisplay() {
        if (!shown_) return;
        form_.Label5->hide();
        form_.ProgressBar1->hide();
    }

private:
    platform::BusyWindow busy_;
    TForm5& form_;
    bool shown_;
};

}  // namespace

TForm5::TForm5(platform::Services& services, db::Connection& userDatabase, QWidget* parent)
    : QDialog(parent), services_(services), userDatabase_(userDatabase) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("文書出力"));
    ADODataSet1 = std::make_unique<db::DataSet>(userDatabase_);

    Edit1 = named(new QLineEdit(this), "Edit1");
    Edit1->setReadOnly(true);
    RadioButton1 = named(new QRadioButton(QStringLiteral("選択 0 件"), this), "RadioButton1");
    RadioButton2 = named(new QRadioButton(QStringLiteral("全て 0 件"), this), "RadioButton2");
    Label1 = named(new QLabel(QStringLiteral("ファイル名の"), this), "Label1");
    Label2 = named(new QLabel(QStringLiteral("付加フィールド"), this), "Label2");
    ComboBox1 = named(new QComboBox(this), "ComboBox1");
    Label6 = named(new QLabel(QStringLiteral("通し（開始）番号"), this), "Label6");
    Label7 = named(new QLabel(QStringLiteral("（印刷のみ有効）"), this), "Label7");
    CSpinEdit1 = named(new QSpinBox(this), "CSpinEdit1");
    CSpinEdit1->setRange(1, 1000000);
    Label3 = named(new QLabel(QStringLiteral("部数"), this), "Label3");
    Edit2 = named(new QLineEdit(QStringLiteral("1"), this), "Edit2");
    Edit2->setValidator(new QIntValidator(1, 100, Edit2));
    Edit2->setMaximumWidth(48);
    UpDown1 = named(new QSpinBox(this), "UpDown1");
    UpDown1->setRange(1, 100);
    UpDown1->setMaximumWidth(20);  // only its arrows show; Edit2 shows the number
    CheckBox1 = named(new QCheckBox(QStringLiteral("Webﾍﾟｰｼﾞ"), this), "CheckBox1");
    SpeedButton1 = speedButton(this, "SpeedButton1", QStringLiteral("保存"));
    SpeedButton2 = speedButton(this, "SpeedButton2", QStringLiteral("印刷"));
    SpeedButton4 = speedButton(this, "SpeedButton4", QStringLiteral("表示"));
    SpeedButton3 = speedButton(this, "SpeedButton3", QStringLiteral("閉じる"));
    Label5 = named(new QLabel(this), "Label5");
    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    Label9 = named(new QLabel(QStringLiteral("印刷仕様（プリンタ、用紙等）はExcelで事前設定"), this),
                   "Label9");
    Label9->setStyleSheet(QStringLiteral("color: blue"));
    Label5->hide();
    ProgressBar1->hide();

    auto* grid = new QGridLayout(this);
    grid->addWidget(Edit1, 0, 0, 1, 4);
    grid->addWidget(RadioButton1, 1, 0, 1, 2);
    grid->addWidget(RadioButton2, 1, 2, 1, 2);
    grid->addWidget(Label1, 2, 0);
    grid->addWidget(Label2, 3, 0);
    grid->addWidget(ComboBox1, 2, 1, 2, 3);
    grid->addWidget(Label6, 4, 0);
    grid->addWidget(CSpinEdit1, 4, 1);
    grid->addWidget(Label7, 4, 2, 1, 2);
    auto* copies = new QHBoxLayout;
    copies->addWidget(Label3);
    copies->addWidget(Edit2);
    copies->addWidget(UpDown1);
    copies->addStretch();
    copies->addWidget(CheckBox1);
    grid->addLayout(copies, 5, 0, 1, 4);
    grid->addWidget(SpeedButton1, 6, 0);
    grid->addWidget(SpeedButton2, 6, 1);
    grid->addWidget(SpeedButton4, 6, 2);
    grid->addWidget(SpeedButton3, 6, 3);
    grid->addWidget(Label5, 7, 0);
    grid->addWidget(ProgressBar1, 7, 1, 1, 3);
    grid->addWidget(Label9, 8, 0, 1, 4);
    resize(400, 300);

    connect(UpDown1, &QSpinBox::valueChanged, this,
            [this](int v) { Edit2->setText(QString::number(v)); });
    connect(Edit2, &QLineEdit::textEdited, this, [this](const QString& t) {
        bool ok = false;
        const int v = t.toInt(&ok);
        if (ok) {
            const QSignalBlocker block(UpDown1);
            UpDown1->setValue(v);
        }
    });
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm5::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm5::SpeedButton2Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm5::SpeedButton4Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm5::SpeedButton3Click);
}

TForm5::~TForm5() = default;

void TForm5::setRecordCounts(int selected, int all) {
    RadioButton1->setText(QStringLiteral("選択 %1 件").arg(selected));
    RadioButton2->setText(QStringLiteral("全て %1 件").arg(all));
    RadioButton1->setProperty("tag", selected);
    RadioButton2->setProperty("tag", all);
    RadioButton1->setEnabled(selected > 0);
    (selected > 0 ? RadioButton1 : RadioButton2)->setChecked(true);
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm5::done(int result) {
    FormClose();
    QDialog::done(result);
}

int TForm5::copies() const {
    return std::clamp(Edit2->text().toInt(), 1, 100);
}

void TForm5::FormShow() {
    Excel = std::make_unique<excel::TUGExcel>(ExcelProgID);
    Label5->hide();
    ProgressBar1->hide();
    EligibleFields.clear();
    platform::runGuarded(services_, this, [&] {
        documents::ListBindableFields(userDatabase_, TableName, EligibleFields);
    });
    ComboBox1->clear();
    for (const documents::BindableField& f : EligibleFields) ComboBox1->addItem(f.name);
    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
    CSpinEdit1->setValue(SerialNumber);
    if (!LogField.isEmpty() && documents::indexOfField(EligibleFields, LogField) < 0) {
        services_.message(this, QStringLiteral("印刷記録フィールドが消滅してます"),
                          QStringLiteral("警告"));
        LogField.clear();
    }
    if (!LogField.isEmpty()) {
        platform::runGuarded(services_, this, [&] {
            if (docoutput::ensurePrintLog(userDatabase_) && printLogCreated) printLogCreated();
        });
    }
    HasSerialBinding = false;
    if (Bindings)
        for (const documents::FLinkData& b : *Bindings)
            HasSerialBinding = HasSerialBinding || b.BoundField == documents::kSerialField;
    Label6->setVisible(HasSerialBinding);
    Label7->setVisible(HasSerialBinding);
    CSpinEdit1->setVisible(HasSerialBinding);
    Edit2->setText(QStringLiteral("1"));
    UpDown1->setValue(1);
    CheckBox1->setChecked(false);
}

void TForm5::FormClose() {
    // Deleting the engine closes a workbook still open, unsaved.
    Excel.reset();
    if (ADODataSet1) ADODataSet1->close();
}

void TForm5::SpeedButton1Click() {
    if (ComboBox1->currentText().isEmpty()) {
        services_.message(this, QStringLiteral("ファイル名の付加フィールドが未指定です"),
                          QStringLiteral("保存の中止"));
        ComboBox1->setFocus();
        return;
    }
    platform::FileDialogRequest request = SaveDialog1;
    if (CheckBox1->isChecked())
        request.filter = QStringLiteral("HTMLﾌｧｲﾙ(*.html,*.htm)|*.html;*.htm");
    const QString chosen = services_.saveFile(this, request);
    if (chosen.isEmpty()) return;
    const QFileInfo info(chosen);
    const QString base = info.suffix().isEmpty()
                             ? chosen
                             : chosen.left(chosen.size() - info.suffix().size() - 1);
    const QString templateName = QFileInfo(TemplatePath).fileName();
    const qsizetype dot = templateName.lastIndexOf(QLatin1Char('.'));
    RunOutput(base, dot >= 0 ? templateName.mid(dot) : QString(), CheckBox1->isChecked());
}

void TForm5::SpeedButton2Click() {
    if (HasSerialBinding && !text::parseInteger(CSpinEdit1->text())) {
        services_.message(this, QStringLiteral("通し番号が無効値です"), QStringLiteral("印刷の中止"));
        return;
    }
    const QString scope = RadioButton1->isChecked() ? RadioButton1->text() : RadioButton2->text();
    if (services_.message(this, scope + QStringLiteral("を印刷しますか？"),
                          QStringLiteral("印刷の確認"),
                          platform::Buttons::OkCancel) != platform::Answer::Ok)
        return;
    RunOutput(QString(), QString(), false);
}

void TForm5::SpeedButton4Click() {
    {
        platform::BusyWindow disabled(services_, this);
        if (!RunOutput(docoutput::kPreviewBase, QString(), false)) return;
    }
    if (Excel && Excel->BookOpen) {
        platform::runGuarded(services_, this, [&] {
            Excel->SetVisible(true);
            excel::window::waitUntilClosed(*Excel, this);
        });
        Excel->CloseBook(false);
    }
    // The work copy is the template's copy with its extension.
    const QString templateName = QFileInfo(TemplatePath).fileName();
    const qsizetype dot = templateName.lastIndexOf(QLatin1Char('.'));
    QFile::remove(ProgramFolder + QStringLiteral("@Work") +
                  (dot >= 0 ? templateName.mid(dot) : QString()));
}

void TForm5::SpeedButton3Click() {
    reject();
}

void TForm5::showProgress(int record, int total) {
    Label5->setText(QStringLiteral("出力中：%1 / %2").arg(record).arg(total));
    ProgressBar1->setValue(int(qint64(record) * 100 / std::max(1, total)));
    QApplication::processEvents();
}

bool TForm5::RunOutput(const QString& base, const QString& extension, bool web) {
    if (!extension.isEmpty() && !docoutput::acceptedExtension(extension)) {
        services_.message(this, QStringLiteral("拡張子が不正です"), kStopCaption);
        return false;
    }
    const docoutput::Mode mode = docoutput::modeForBase(base);
    const bool preview = mode == docoutput::Mode::Preview;
    if (!Excel) Excel = std::make_unique<excel::TUGExcel>(ExcelProgID);
    SerialNumber = CSpinEdit1->value();

    docoutput::RunSettings settings;
    settings.mode = mode;
    settings.base = base;
    settings.extension = extension;
    settings.web = web;
    settings.templatePath = TemplatePath;
    settings.templateSheet = TemplateSheet;
    settings.documentName = Edit1->text();
    settings.logField = LogField;
    settings.nameField = ComboBox1->currentText();
    settings.block = Block;
    settings.eligibleFields = EligibleFields;
    const QString templateName = QFileInfo(TemplatePath).fileName();
    const qsizetype dot = templateName.lastIndexOf(QLatin1Char('.'));
    settings.workFile = ProgramFolder + QStringLiteral("@Work") +
                        (dot >= 0 ? templateName.mid(dot) : QString());
    settings.today = text::formatShortDate(QDate::currentDate());
    settings.copies = copies();

    bool completed = false;
    {
        RunDisplay display(services_, *this, !preview);
        try {
            ADODataSet1->close();
            ADODataSet1->setCommandText(RecordsSql);
            ADODataSet1->open();
            std::vector<int> rows;
            if (RadioButton1->isChecked()) {
                rows = docoutput::locateRecords(*ADODataSet1, SelectedRows);
            } else {
                const int n = ADODataSet1->recordCount();
                rows.reserve(size_t(n));
                for (int i = 0; i < n; ++i) rows.push_back(i);
            }
            std::unique_ptr<docoutput::PrintLog> log;
            if (!LogField.isEmpty() && !preview)
                log = std::make_unique<docoutput::PrintLog>(userDatabase_);
            docoutput::DocumentRun run(*Excel, *ADODataSet1, *Bindings, settings);
            run.SerialNumber = SerialNumber;
            run.log = log.get();
            if (!preview) run.progress = [this](int l, int n) { showProgress(l, n); };
            try {
                run.run(rows);
                completed = true;
            } catch (const docoutput::RunFailure& failure) {
                SerialNumber = run.SerialNumber;
                ADODataSet1->close();
                if (!preview) CSpinEdit1->setValue(SerialNumber);
                const QString who = failure.label.isEmpty()
                                        ? QStringLiteral("%1 件目").arg(failure.record)
                                        : QStringLiteral("%1 件目（%2）").arg(failure.record).arg(failure.label);
                services_.message(this,
                                  who + QStringLiteral("の出力に失敗したため中止しました\n") +
                                      failure.detail,
                                  kStopCaption);
                return false;
            }
            SerialNumber = run.SerialNumber;
        } catch (const std::exception& e) {
            if (Excel->BookOpen) Excel->CloseBook(false);
            ADODataSet1->close();
            services_.showError(this, e);
            return false;
        }
        ADODataSet1->close();
    }
    if (!preview) {
        CSpinEdit1->setValue(SerialNumber);
        services_.message(this, QStringLiteral("出力が完了しました"), QStringLiteral("報告"));
    }
    return completed;
}
