#include "gui/common/report_preview.h"

#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"
#include "gui/common/report_preview_dialog.h"
#include "report/listing_report.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QProgressDialog>

#include <memory>

namespace {
// A layout that takes longer than this shows its progress.
constexpr qint64 kQuietMs = 1000;
// How often the window is given a turn while the pages are laid out.
constexpr qint64 kEventsEveryMs = 100;
} // namespace

void ReportPreview::exec(QWidget* parent, const ListingReport& report)
{
    if (report.rowCount() == 0) {
        MessageBox::information(parent, ListingReport::noRecordsMessage());
        return;
    }
    Hourglass hourglass;
    QPrinter printer(QPrinter::HighResolution);
    if (report.paper()) {
        printer.setPageSize(*report.paper());
        printer.setPageOrientation(report.orientation());
    }

    // Tens of thousands of rows take a while to lay out: past a second the progress shows and can stop it.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTurn = 0;
    std::unique_ptr<QProgressDialog> progress;
    const auto onProgress = [&](int rows) {
        const qint64 now = clock.elapsed();
        if (now - lastTurn < kEventsEveryMs)
            return true;
        lastTurn = now;
        if (!progress && now >= kQuietMs) {
            progress = std::make_unique<QProgressDialog>(QStringLiteral("Preparing the pages..."),
                                                         QStringLiteral("Cancel"), 0, report.rowCount(), parent);
            progress->setObjectName(QStringLiteral("ReportProgress"));
            progress->setWindowTitle(report.caption());
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setAutoReset(false);
            progress->setMinimumDuration(0);
            progress->show();
        }
        if (!progress)
            return true;
        progress->setValue(rows);
        QCoreApplication::processEvents();
        return !progress->wasCanceled();
    };
    Result<std::unique_ptr<ReportLayout>> layout = report.layOut(&printer, onProgress);
    progress.reset();
    if (!layout) {
        hourglass.release();
        // Stopped by the user: nothing to say.
        if (layout.error().kind != Error::Kind::Cancelled)
            MessageBox::information(parent, layout.error().description, report.caption());
        return;
    }

    ReportPreviewDialog dialog(report, &printer, std::move(*layout), parent);
    hourglass.release();
    dialog.exec();
}
