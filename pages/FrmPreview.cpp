#include "pages/FrmPreview.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/InputHelpers.h"
#include "common/Messages.h"
#include "layout/LayoutStore.h"
#include "merge/MergeFields.h"
#include "merge/MergeSource.h"
#include "pages/SheetView.h"
#include "platform/FileSaveDialog.h"
#include "platform/SystemPrinter.h"
#include "print/PrintEngine.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr double MinZoom = 0.1;
constexpr double MaxZoom = 4;
// One notch of the mouse wheel with Ctrl held.
constexpr double WheelStep = 1.25;

// Asked before printing or saving while a field names a column the merge
// list lacks: such a field would come out as written, braces and all.
const QString ConfirmUnknownColumns =
    QStringLiteral("411差し込みデータにない列は、{{列名}}のまま出力されます。よろしいですか？");

// The encodings of the list "文字コード", in its order.
constexpr MergeEncoding Encodings[] = {MergeEncoding::Auto, MergeEncoding::Utf8,
                                       MergeEncoding::ShiftJis};

// The wait cursor while a long piece of work runs.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The folder the last PDF was saved in during this run.
QString& pdfFolder() {
    static QString folder = QDir::homePath();
    return folder;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption,
                    const QString& accessibleName) {
    QPushButton* b = MakeButton(parent, name, caption, QRect());
    b->setAccessibleName(accessibleName);
    // As wide as its caption needs, so the whole bar fits a screen 1024
    // pixels wide.
    const QFontMetrics metrics = b->fontMetrics();
    b->setFixedWidth(metrics.horizontalAdvance(caption) + 2 * metrics.height());
    return b;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, bool checked) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(caption);
    box->setChecked(checked);
    return box;
}

} // namespace

FrmPreview::FrmPreview(const SheetPlan& plan, const QString& templateName, FormProvider forms,
                       const QString& templateId, QWidget* parent)
    : Form(parent), plan_(plan), templateName_(templateName), forms_(std::move(forms)),
      templateId_(templateId), shown_(plan) {
    if (plan_.isEmpty())
        throw std::invalid_argument("A preview of no sheet");
    setWindowTitle(QStringLiteral("印刷プレビュー"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);

    // The paper of every sheet, as 印刷 would take it now. What no code of
    // the command chooses is the printer's own paper; without a printer to
    // ask, the sheet shows as A4 portrait.
    papers_ = ResolvePapers(plan_, PaperInForce());
    QPageLayout own(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    if (std::any_of(papers_.cbegin(), papers_.cend(),
                    [](const SheetPaper& p) { return !p.size || !p.orientation; })) {
        try {
            own = OwnPaper();
        } catch (const PrinterError&) {
        }
    }
    for (const SheetPaper& paper : papers_)
        layouts_.append(paper.LayoutOver(own));

    CmdPrev = button(this, "CmdPrev", QStringLiteral("前へ"), QStringLiteral("前のページ"));
    LblPage = MakeLabel(this, "LblPage", QString(), QRect());
    LblPage->setAccessibleName(QStringLiteral("ページ"));
    LblPage->setAlignment(Qt::AlignCenter);
    CmdNext = button(this, "CmdNext", QStringLiteral("次へ"), QStringLiteral("次のページ"));
    CmdFit = button(this, "CmdFit", QStringLiteral("全体表示"), QStringLiteral("ページ全体を表示"));
    CmdZoom100 = button(this, "CmdZoom100", QStringLiteral("100%"), QStringLiteral("実寸で表示"));
    CmdZoom200 = button(this, "CmdZoom200", QStringLiteral("200%"), QStringLiteral("2倍で表示"));
    LblZoom = MakeLabel(this, "LblZoom", QString(), QRect());
    LblZoom->setAccessibleName(QStringLiteral("表示倍率"));
    ChkForm = checkBox(this, "ChkForm", QStringLiteral("フォームを表示"), true);
    CmdPrint = button(this, "CmdPrint", QStringLiteral("印刷"), QStringLiteral("印刷"));
    CmdPdf = button(this, "CmdPdf", QStringLiteral("PDF保存"), QStringLiteral("PDF保存"));
    ChkPdfForm = checkBox(this, "ChkPdfForm", QStringLiteral("フォームも含める"), false);
    CmdClose = button(this, "CmdClose", QStringLiteral("閉じる"), QStringLiteral("閉じる"));

    View = new SheetView;
    View->setObjectName(QStringLiteral("View"));
    SheetArea = new QScrollArea(this);
    SheetArea->setObjectName(QStringLiteral("SheetArea"));
    SheetArea->setAccessibleName(QStringLiteral("プレビュー"));
    SheetArea->setAlignment(Qt::AlignCenter);
    SheetArea->setBackgroundRole(QPalette::Dark);
    SheetArea->setWidget(View);
    SheetArea->installEventFilter(this);
    SheetArea->viewport()->installEventFilter(this);

    auto* bar = new QHBoxLayout;
    bar->addWidget(CmdPrev);
    LblPage->setMinimumWidth(LblPage->fontMetrics().horizontalAdvance(QStringLiteral("000 / 000")));
    bar->addWidget(LblPage);
    bar->addWidget(CmdNext);
    bar->addSpacing(16);
    bar->addWidget(CmdFit);
    bar->addWidget(CmdZoom100);
    bar->addWidget(CmdZoom200);
    LblZoom->setMinimumWidth(LblZoom->fontMetrics().horizontalAdvance(QStringLiteral("0000 %")));
    bar->addWidget(LblZoom);
    bar->addSpacing(16);
    bar->addWidget(ChkForm);
    bar->addStretch();
    bar->addWidget(CmdPrint);
    bar->addSpacing(16);
    bar->addWidget(CmdPdf);
    bar->addWidget(ChkPdfForm);
    bar->addSpacing(16);
    bar->addWidget(CmdClose);
    // The merge: a bar of its own beneath, and a line for what it warns of.
    CmdMerge = button(this, "CmdMerge", QStringLiteral("差し込みデータ…"),
                      QStringLiteral("差し込みデータ"));
    LblEncoding = MakeLabel(this, "LblEncoding", QStringLiteral("文字コード"), QRect());
    LblEncoding->setAccessibleName(QStringLiteral("文字コード"));
    CboEncoding = new QComboBox(this);
    CboEncoding->setObjectName(QStringLiteral("CboEncoding"));
    CboEncoding->setAccessibleName(QStringLiteral("文字コード"));
    CboEncoding->addItems(
        {QStringLiteral("自動"), QStringLiteral("UTF-8"), QStringLiteral("Shift_JIS")});
    LblEncoding->setBuddy(CboEncoding);
    CmdPrevRecord = button(this, "CmdPrevRecord", QStringLiteral("前のレコード"),
                           QStringLiteral("前のレコード"));
    LblRecord = MakeLabel(this, "LblRecord", QString(), QRect());
    LblRecord->setAccessibleName(QStringLiteral("レコード"));
    LblRecord->setAlignment(Qt::AlignCenter);
    LblRecord->setMinimumWidth(
        LblRecord->fontMetrics().horizontalAdvance(QStringLiteral("レコード 00000 / 00000")));
    CmdNextRecord = button(this, "CmdNextRecord", QStringLiteral("次のレコード"),
                           QStringLiteral("次のレコード"));
    LblFirst = MakeLabel(this, "LblFirst", QStringLiteral("開始"), QRect());
    LblFirst->setAccessibleName(QStringLiteral("開始"));
    TxtFirst = MakeNumberBox(this, "TxtFirst", QRect());
    TxtFirst->setAccessibleName(QStringLiteral("開始レコード"));
    LblLast = MakeLabel(this, "LblLast", QStringLiteral("終了"), QRect());
    LblLast->setAccessibleName(QStringLiteral("終了"));
    TxtLast = MakeNumberBox(this, "TxtLast", QRect());
    TxtLast->setAccessibleName(QStringLiteral("終了レコード"));
    for (QLineEdit* box : {TxtFirst, TxtLast})
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000000")) +
                           box->fontMetrics().height());
    LblFirst->setBuddy(TxtFirst);
    LblLast->setBuddy(TxtLast);
    LblMergeWarning = MakeLabel(this, "LblMergeWarning", QString(), QRect());
    LblMergeWarning->setAccessibleName(QStringLiteral("差し込みの注意"));
    LblMergeWarning->setWordWrap(true);
    LblMergeWarning->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette warning = LblMergeWarning->palette();
    warning.setColor(QPalette::WindowText, QColor(176, 0, 0));
    LblMergeWarning->setPalette(warning);
    LblMergeWarning->hide();

    auto* mergeBar = new QHBoxLayout;
    mergeBar->addWidget(CmdMerge);
    mergeBar->addSpacing(16);
    mergeBar->addWidget(LblEncoding);
    mergeBar->addWidget(CboEncoding);
    mergeBar->addSpacing(16);
    mergeBar->addWidget(CmdPrevRecord);
    mergeBar->addWidget(LblRecord);
    mergeBar->addWidget(CmdNextRecord);
    mergeBar->addSpacing(16);
    mergeBar->addWidget(LblFirst);
    mergeBar->addWidget(TxtFirst);
    mergeBar->addWidget(LblLast);
    mergeBar->addWidget(TxtLast);
    mergeBar->addStretch();

    auto* column = new QVBoxLayout(this);
    column->addLayout(bar);
    column->addLayout(mergeBar);
    column->addWidget(LblMergeWarning);
    column->addWidget(SheetArea, 1);

    // The merge bar after the buttons above it, then the sheet.
    setTabOrder(CmdClose, CmdMerge);
    setTabOrder(CmdMerge, CboEncoding);
    setTabOrder(CboEncoding, CmdPrevRecord);
    setTabOrder(CmdPrevRecord, CmdNextRecord);
    setTabOrder(CmdNextRecord, TxtFirst);
    setTabOrder(TxtFirst, TxtLast);
    setTabOrder(TxtLast, SheetArea);

    CmnDlg.DialogTitle = QStringLiteral("差し込みデータ選択");
    CmnDlg.Filter = QStringLiteral("CSV/TSV (*.csv *.tsv *.txt)");

    SetCancelButton(CmdClose);
    connect(CmdPrev, &QPushButton::clicked, this, [this] { CmdPrev_Click(); });
    connect(CmdNext, &QPushButton::clicked, this, [this] { CmdNext_Click(); });
    connect(CmdFit, &QPushButton::clicked, this, [this] { CmdFit_Click(); });
    connect(CmdZoom100, &QPushButton::clicked, this, [this] { CmdZoom_Click(1); });
    connect(CmdZoom200, &QPushButton::clicked, this, [this] { CmdZoom_Click(2); });
    connect(ChkForm, &QCheckBox::clicked, this, [this] { ChkForm_Click(); });
    connect(CmdPrint, &QPushButton::clicked, this, [this] { CmdPrint_Click(); });
    connect(CmdPdf, &QPushButton::clicked, this, [this] { CmdPdf_Click(); });
    connect(CmdClose, &QPushButton::clicked, this, [this] { CmdClose_Click(); });
    connect(CmdMerge, &QPushButton::clicked, this, [this] { CmdMerge_Click(); });
    connect(CboEncoding, &QComboBox::currentIndexChanged, this, [this] { CboEncoding_Click(); });
    connect(CmdPrevRecord, &QPushButton::clicked, this, [this] { CmdPrevRecord_Click(); });
    connect(CmdNextRecord, &QPushButton::clicked, this, [this] { CmdNextRecord_Click(); });
    WatchFocus(
        TxtFirst, [this] { TxtFirst_GotFocus(); }, [this] { TxtFirst_LostFocus(); });
    WatchFocus(
        TxtLast, [this] { TxtLast_GotFocus(); }, [this] { TxtLast_LostFocus(); });

    // Maximised; where no window manager maximises it, it still covers the
    // screen's free area.
    const QWidget* opener = QApplication::activeWindow();
    if (const QScreen* display = opener ? opener->screen() : QGuiApplication::primaryScreen())
        setGeometry(display->availableGeometry());
    setWindowState(Qt::WindowMaximized);
    SheetArea->setFocus(Qt::OtherFocusReason);
    ShowRecord(0);
    ShowSheet(0);
    ReadRememberedFile();
}

QString FrmPreview::PdfFileName(const QString& templateName) {
    QString name = templateName;
    for (QChar& c : name)
        if (c == u'/' || c.category() == QChar::Other_Control)
            c = u'_';
    if (name.trimmed().isEmpty())
        name = QStringLiteral("VESK");
    return name + QStringLiteral(".pdf");
}

void FrmPreview::ShowSheet(int index) {
    index = std::clamp(index, 0, int(plan_.size()) - 1);
    current_ = index;
    const Sheet& sheet = shown_[index];
    const QImage form = forms_ && !sheet.pageId.isEmpty() ? forms_(sheet.pageId) : QImage();
    View->SetSheet(sheet, layouts_[index].fullRect(QPageLayout::Millimeter).size(), form);
    View->SetFormShown(ChkForm->isChecked());
    ApplyZoom();
    SheetArea->horizontalScrollBar()->setValue(0);
    SheetArea->verticalScrollBar()->setValue(0);
    LblPage->setText(QStringLiteral("%1 / %2").arg(index + 1).arg(plan_.size()));
    CmdPrev->setEnabled(index > 0);
    CmdNext->setEnabled(index < plan_.size() - 1);
}

double FrmPreview::RealSizeScale() const {
    return View->logicalDpiX() / 25.4;
}

double FrmPreview::FitZoom() const {
    const QSize room = SheetArea->viewport()->size() - QSize(3, 3) * SheetView::Margin;
    const QSizeF mm = View->SheetMm();
    const double zoom =
        std::min(room.width() / mm.width(), room.height() / mm.height()) / RealSizeScale();
    return std::clamp(zoom, MinZoom, MaxZoom);
}

void FrmPreview::SetZoom(double zoom) {
    zoom_ = zoom == 0 ? 0 : std::clamp(zoom, MinZoom, MaxZoom);
    ApplyZoom();
}

void FrmPreview::ApplyZoom() {
    const double zoom = zoom_ == 0 ? FitZoom() : zoom_;
    View->SetScale(zoom * RealSizeScale());
    LblZoom->setText(QStringLiteral("%1 %").arg(qRound(zoom * 100)));
}

void FrmPreview::CmdPrev_Click() {
    Trap(Msg::GeneralFailure, [&] { ShowSheet(current_ - 1); });
}

void FrmPreview::CmdNext_Click() {
    Trap(Msg::GeneralFailure, [&] { ShowSheet(current_ + 1); });
}

void FrmPreview::CmdFit_Click() {
    Trap(Msg::GeneralFailure, [&] { SetZoom(0); });
}

void FrmPreview::CmdZoom_Click(double zoom) {
    Trap(Msg::GeneralFailure, [&] { SetZoom(zoom); });
}

void FrmPreview::ChkForm_Click() {
    Trap(Msg::GeneralFailure, [&] { View->SetFormShown(ChkForm->isChecked()); });
}

void FrmPreview::CmdPrint_Click() {
    Trap(Msg::GeneralFailure, [&] {
        // The print command's own path: its offsets, messages and failures.
        if (!list_) {
            PrintSheets(plan_, papers_);
            return;
        }
        const std::optional<RecordRange> range = CheckedRange();
        if (!range || !ConfirmUnknownFields())
            return;
        WaitCursor wait;
        PrintRecords(plan_, papers_, *list_, *range);
    });
}

void FrmPreview::CmdPdf_Click() {
    Trap(Msg::GeneralFailure, [&] {
        std::optional<RecordRange> range;
        if (list_) {
            range = CheckedRange();
            if (!range || !ConfirmUnknownFields())
                return;
        }
        FileSaveDialog dialog;
        dialog.DialogTitle = QStringLiteral("PDF保存");
        dialog.Filter = QStringLiteral("PDF (*.pdf)");
        dialog.Extension = QStringLiteral("pdf");
        dialog.FileName = QDir(pdfFolder()).filePath(PdfFileName(templateName_));
        if (!dialog.ShowSave(this))
            return;
        pdfFolder() = QFileInfo(dialog.FileName).absolutePath();
        WaitCursor wait;
        const FormProvider forms = ChkPdfForm->isChecked() ? forms_ : FormProvider();
        if (list_)
            SaveRecordsPdf(dialog.FileName, plan_, layouts_, forms, *list_, *range);
        else
            SaveLayoutPdf(dialog.FileName, plan_, layouts_, forms);
    });
}

void FrmPreview::CmdClose_Click() {
    Trap(Msg::GeneralFailure, [&] { Unload(); });
}

void FrmPreview::CmdMerge_Click() {
    Trap(Msg::GeneralFailure, [&] {
        if (CmnDlg.FileName.isEmpty())
            CmnDlg.FileName = mergePath_;
        if (!CmnDlg.ShowOpen(this))
            return;
        ReadMergeFile(CmnDlg.FileName, ChosenEncoding(), true);
    });
}

void FrmPreview::CboEncoding_Click() {
    // The file on view is read again at once in the encoding chosen; without
    // one, the choice waits for the next file.
    if (mergePath_.isEmpty()) {
        mergeEncoding_ = ChosenEncoding();
        return;
    }
    if (!Trap(Msg::GeneralFailure, [&] { ReadMergeFile(mergePath_, ChosenEncoding(), true); }))
        ChooseEncoding(mergeEncoding_);
}

void FrmPreview::CmdPrevRecord_Click() {
    Trap(Msg::GeneralFailure, [&] { ShowRecord(record_ - 1); });
}

void FrmPreview::CmdNextRecord_Click() {
    Trap(Msg::GeneralFailure, [&] { ShowRecord(record_ + 1); });
}

void FrmPreview::TxtFirst_GotFocus() {
    Trap(Msg::GeneralFailure, [&] { SelectAllText(TxtFirst); });
}

void FrmPreview::TxtFirst_LostFocus() {
    Trap(Msg::GeneralFailure, [&] { CheckRangeBox(TxtFirst); });
}

void FrmPreview::TxtLast_GotFocus() {
    Trap(Msg::GeneralFailure, [&] { SelectAllText(TxtLast); });
}

void FrmPreview::TxtLast_LostFocus() {
    Trap(Msg::GeneralFailure, [&] { CheckRangeBox(TxtLast); });
}

void FrmPreview::ShowRecord(int index) {
    const int records = list_ ? int(list_->records.size()) : 0;
    if (records > 0) {
        record_ = std::clamp(index, 0, records - 1);
        shown_ = MergeRecord(plan_, *list_, record_);
        // The same sheet of another record, at the same place, to compare them.
        const int across = SheetArea->horizontalScrollBar()->value();
        const int down = SheetArea->verticalScrollBar()->value();
        ShowSheet(current_);
        SheetArea->horizontalScrollBar()->setValue(across);
        SheetArea->verticalScrollBar()->setValue(down);
        LblRecord->setText(QStringLiteral("レコード %1 / %2").arg(record_ + 1).arg(records));
    } else {
        record_ = 0;
        LblRecord->clear();
    }
    CmdPrevRecord->setEnabled(records > 0 && record_ > 0);
    CmdNextRecord->setEnabled(records > 0 && record_ < records - 1);
    TxtFirst->setEnabled(records > 0);
    TxtLast->setEnabled(records > 0);
}

void FrmPreview::ReadMergeFile(const QString& path, MergeEncoding encoding, bool remember) {
    MergeList list = [&] {
        WaitCursor wait;
        return ReadMergeList(path, encoding);
    }();
    if (remember && !templateId_.isEmpty())
        Layout().SaveTemplateMergeSource(templateId_, MergeSource{path, EncodingKey(encoding)});
    mergePath_ = path;
    mergeEncoding_ = encoding;
    ChooseEncoding(encoding);
    unknownFields_ = UnknownFields(plan_, list.columns);
    list_ = std::move(list);
    fileNote_.clear();
    TxtFirst->setText(QStringLiteral("1"));
    TxtLast->setText(QString::number(list_->records.size()));
    // A new list starts at the first sheet of its first record.
    current_ = 0;
    ShowRecord(0);
    ShowWarning();
}

void FrmPreview::ReadRememberedFile() {
    if (templateId_.isEmpty())
        return;
    const std::optional<MergeSource> source = Layout().TemplateMergeSource(templateId_);
    if (!source || source->path.isEmpty())
        return;
    mergePath_ = source->path;
    mergeEncoding_ = EncodingFromKey(source->encoding);
    ChooseEncoding(mergeEncoding_);
    if (!QFileInfo(source->path).isFile()) {
        fileNote_ =
            QStringLiteral("差し込みデータ %1 が見つかりません。差し込みなしで表示しています。")
                .arg(QDir::toNativeSeparators(source->path));
    } else {
        try {
            ReadMergeFile(source->path, mergeEncoding_, false);
        } catch (const std::exception& e) {
            fileNote_ = QStringLiteral(
                            "差し込みデータ %1 を読めません（%2）。差し込みなしで表示しています。")
                            .arg(QDir::toNativeSeparators(source->path), CauseText(e));
        }
    }
    ShowWarning();
}

MergeEncoding FrmPreview::ChosenEncoding() const {
    return Encodings[std::clamp(CboEncoding->currentIndex(), 0, int(std::size(Encodings)) - 1)];
}

void FrmPreview::ChooseEncoding(MergeEncoding encoding) {
    const QSignalBlocker quiet(CboEncoding);
    CboEncoding->setCurrentIndex(int(
        std::find(std::begin(Encodings), std::end(Encodings), encoding) - std::begin(Encodings)));
}

std::optional<int> FrmPreview::RecordNumber(const QLineEdit* box) const {
    static const QRegularExpression whole(QStringLiteral("^\\s*\\+?[0-9]+\\s*$"));
    if (!list_ || !whole.match(box->text()).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int number = box->text().trimmed().toInt(&ok);
    if (!ok || number < 1 || number > list_->records.size())
        return std::nullopt;
    return number;
}

bool FrmPreview::CheckRangeBox(QLineEdit* box) {
    if (!list_ || RecordNumber(box))
        return true;
    RefuseInput(box, FieldRule(box == TxtFirst ? LblFirst->text() : LblLast->text(),
                               QStringLiteral("1 から %1 までの整数").arg(list_->records.size())));
    return false;
}

std::optional<RecordRange> FrmPreview::CheckedRange() {
    if (!CheckRangeBox(TxtFirst) || !CheckRangeBox(TxtLast))
        return std::nullopt;
    const int first = *RecordNumber(TxtFirst), last = *RecordNumber(TxtLast);
    if (first > last) {
        RefuseInput(
            TxtFirst,
            FieldRule(LblFirst->text(),
                      QStringLiteral("1 から %1（%2）までの整数").arg(LblLast->text()).arg(last)));
        return std::nullopt;
    }
    return RecordRange{first - 1, last - 1};
}

bool FrmPreview::ConfirmUnknownFields() {
    if (unknownFields_.isEmpty())
        return true;
    return ShowMessage(QString(), QString(), ConfirmUnknownColumns,
                       QStringLiteral("差し込みデータにない列: ") +
                           unknownFields_.join(QStringLiteral("、"))) == IdYes;
}

void FrmPreview::ShowWarning() {
    QStringList lines;
    if (!fileNote_.isEmpty())
        lines.append(fileNote_);
    if (list_ && !unknownFields_.isEmpty())
        lines.append(QStringLiteral("差し込みデータにない列: %1（{{列名}}のまま出力されます）")
                         .arg(unknownFields_.join(QStringLiteral("、"))));
    LblMergeWarning->setText(lines.join(u'\n'));
    LblMergeWarning->setVisible(!lines.isEmpty());
}

void FrmPreview::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        event->accept();
        if (event->key() == Qt::Key_PageUp)
            CmdPrev_Click();
        else
            CmdNext_Click();
        return;
    }
    Form::keyPressEvent(event);
}

bool FrmPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SheetArea && event->type() == QEvent::KeyPress) {
        // The pages turn on PageUp and PageDown, which the area would scroll by.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown) {
            keyPressEvent(key);
            return true;
        }
    } else if (watched == SheetArea->viewport()) {
        if (event->type() == QEvent::Resize && zoom_ == 0) {
            Trap(Msg::GeneralFailure, [&] { ApplyZoom(); });
        } else if (event->type() == QEvent::Wheel) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            if (wheel->modifiers() & Qt::ControlModifier) {
                const double notches = wheel->angleDelta().y() / 120.0;
                const double zoom = View->Scale() / RealSizeScale();
                Trap(Msg::GeneralFailure, [&] { SetZoom(zoom * std::pow(WheelStep, notches)); });
                return true;
            }
        }
    }
    return Form::eventFilter(watched, event);
}
