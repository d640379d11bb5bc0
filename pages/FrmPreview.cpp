#include "pages/FrmPreview.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/Messages.h"
#include "pages/SheetView.h"
#include "platform/FileSaveDialog.h"
#include "platform/SystemPrinter.h"
#include "print/PrintEngine.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
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
                       QWidget* parent)
    : Form(parent), plan_(plan), templateName_(templateName), forms_(std::move(forms)) {
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
    auto* column = new QVBoxLayout(this);
    column->addLayout(bar);
    column->addWidget(SheetArea, 1);

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

    // Maximised; where no window manager maximises it, it still covers the
    // screen's free area.
    const QWidget* opener = QApplication::activeWindow();
    if (const QScreen* display = opener ? opener->screen() : QGuiApplication::primaryScreen())
        setGeometry(display->availableGeometry());
    setWindowState(Qt::WindowMaximized);
    SheetArea->setFocus(Qt::OtherFocusReason);
    ShowSheet(0);
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
    const Sheet& sheet = plan_[index];
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
    // The print command's own path: its offsets, messages and failures.
    Trap(Msg::GeneralFailure, [&] { PrintSheets(plan_, papers_); });
}

void FrmPreview::CmdPdf_Click() {
    Trap(Msg::GeneralFailure, [&] {
        FileSaveDialog dialog;
        dialog.DialogTitle = QStringLiteral("PDF保存");
        dialog.Filter = QStringLiteral("PDF (*.pdf)");
        dialog.Extension = QStringLiteral("pdf");
        dialog.FileName = QDir(pdfFolder()).filePath(PdfFileName(templateName_));
        if (!dialog.ShowSave(this))
            return;
        pdfFolder() = QFileInfo(dialog.FileName).absolutePath();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct CursorBack {
            ~CursorBack() { QApplication::restoreOverrideCursor(); }
        } cursorBack;
        SaveLayoutPdf(dialog.FileName, plan_, layouts_,
                      ChkPdfForm->isChecked() ? forms_ : FormProvider());
    });
}

void FrmPreview::CmdClose_Click() {
    Trap(Msg::GeneralFailure, [&] { Unload(); });
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
