#include "platform/SystemPrinter.h"

#include <QFile>
#include <QPrinter>
#include <cups/cups.h>

namespace {

QString cupsMessage() {
    return QString::fromUtf8(cupsLastErrorString());
}

bool cupsFailed(ipp_status_t status) {
    return status > IPP_STATUS_OK_CONFLICTING;
}

// Job options as CUPS takes them, freed with the object.
class JobOptions {
public:
    ~JobOptions() { cupsFreeOptions(count_, options_); }
    void Add(const char* name, const QByteArray& value) {
        count_ = cupsAddOption(name, value.constData(), count_, &options_);
    }
    int count() const { return count_; }
    cups_option_t* options() const { return options_; }

private:
    int count_ = 0;
    cups_option_t* options_ = nullptr;
};

int createHeldJob(const QByteArray& printer, const PrintJob& job) {
    JobOptions options;
    if (job.paper.isValid())
        options.Add("media", MediaName(job.paper).toUtf8());
    options.Add("orientation-requested", job.orientation == QPageLayout::Landscape ? "4" : "3");
    options.Add("copies", QByteArray::number(job.copies));
    // Millimetres on the form are millimetres on the paper: never scaled,
    // and a page a fraction of a point larger than the paper is held at its
    // top-left corner rather than centred.
    options.Add("print-scaling", "none");
    options.Add("position", "top-left");
    options.Add("job-hold-until", "indefinite");
    const int id =
        cupsCreateJob(CUPS_HTTP_DEFAULT, printer.constData(), job.title.toUtf8().constData(),
                      options.count(), options.options());
    if (id <= 0)
        throw PrinterError(QStringLiteral("プリンター %1 が印刷を受け付けませんでした: %2")
                               .arg(QString::fromUtf8(printer), cupsMessage()));
    return id;
}

void sendDocument(const QByteArray& printer, int jobId, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PrinterError(
            QStringLiteral("ファイルを読めません: %1: %2").arg(path, file.errorString()));
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, printer.constData(), jobId, "sheets.pdf",
                          CUPS_FORMAT_PDF, 1) != HTTP_STATUS_CONTINUE)
        throw PrinterError(
            QStringLiteral("印刷ジョブ %1 の用紙データを CUPS が受け付けませんでした: %2")
                .arg(jobId)
                .arg(cupsMessage()));
    bool written = true;
    QByteArray chunk;
    while (written && !(chunk = file.read(64 * 1024)).isEmpty())
        written = cupsWriteRequestData(CUPS_HTTP_DEFAULT, chunk.constData(),
                                       size_t(chunk.size())) == HTTP_STATUS_CONTINUE;
    const bool readAll = file.error() == QFileDevice::NoError && file.atEnd();
    // The request is closed in every case, so the connection stays usable.
    const ipp_status_t status = cupsFinishDocument(CUPS_HTTP_DEFAULT, printer.constData());
    if (!written || !readAll || cupsFailed(status))
        throw PrinterError(
            QStringLiteral("印刷ジョブ %1 の用紙データが CUPS に届きませんでした: %2")
                .arg(jobId)
                .arg(readAll ? cupsMessage() : file.errorString()));
}

void releaseJob(int jobId) {
    ipp_t* request = ippNewRequest(IPP_OP_RELEASE_JOB);
    const QByteArray uri = "ipp://localhost/jobs/" + QByteArray::number(jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/"));
    if (cupsFailed(cupsLastError()))
        throw PrinterError(QStringLiteral("CUPS が印刷ジョブ %1 を開始しませんでした: %2")
                               .arg(jobId)
                               .arg(cupsMessage()));
}

} // namespace

QString DefaultPrinterName() {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest)
        throw PrinterError(QStringLiteral("既定のプリンターがありません: %1").arg(cupsMessage()));
    const QString name = QString::fromUtf8(dest->name);
    cupsFreeDests(1, dest);
    return name;
}

QString MediaName(const QPageSize& paper) {
    // PWG units are hundredths of a millimetre.
    const QSizeF mm = paper.size(QPageSize::Millimeter);
    const pwg_media_t* media = pwgMediaForSize(qRound(mm.width() * 100), qRound(mm.height() * 100));
    if (!media || !media->pwg)
        throw PrinterError(QStringLiteral("CUPS が知らない用紙の大きさです: %1").arg(paper.name()));
    return QString::fromLatin1(media->pwg);
}

PrinterPaper::PrinterPaper(const QString& printerName)
    : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    printer_->setPrinterName(printerName);
    if (!printer_->isValid() || printer_->outputFormat() != QPrinter::NativeFormat ||
        printer_->printerName() != printerName)
        throw PrinterError(QStringLiteral("プリンター %1 が見つかりません").arg(printerName));
    own_ = printer_->pageLayout();
}

PrinterPaper::~PrinterPaper() = default;

QPageLayout PrinterPaper::OwnLayout() const {
    return own_;
}

QMarginsF PrinterPaper::Margins(const QPageSize& size, QPageLayout::Orientation orientation) {
    // Qt reports the margins of the paper as it goes through the printer,
    // whatever the orientation asked for.
    printer_->setPageSize(size);
    printer_->setPageOrientation(QPageLayout::Portrait);
    QPageLayout layout = printer_->pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    const QMarginsF m = layout.minimumMargins();
    if (orientation == QPageLayout::Portrait)
        return m;
    // A landscape page goes to CUPS as orientation-requested 4, and CUPS's
    // PDF filter turns it a quarter to the left onto the paper, whatever the
    // printer's description says of its own landscape direction: the page's
    // top edge lies on the paper's left edge, its left edge on the paper's
    // bottom edge.
    return QMarginsF(m.bottom(), m.left(), m.top(), m.right());
}

void SubmitJobs(const QString& printerName, const QList<PrintJob>& jobs) {
    const QByteArray printer = printerName.toUtf8();
    QList<int> created;
    int released = 0;
    auto cancelHeld = [&] {
        for (qsizetype i = released; i < created.size(); ++i)
            cupsCancelJob2(CUPS_HTTP_DEFAULT, printer.constData(), created[i], 0);
    };
    try {
        for (const PrintJob& job : jobs)
            created.append(createHeldJob(printer, job));
        for (qsizetype i = 0; i < jobs.size(); ++i)
            sendDocument(printer, created[i], jobs[i].file);
        for (int id : created) {
            releaseJob(id);
            ++released;
        }
    } catch (PrinterError& e) {
        cancelHeld();
        e.releasedJobs = released;
        throw;
    } catch (...) {
        cancelHeld();
        throw;
    }
}
