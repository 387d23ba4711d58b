#include "gui/common/report_preview.h"

#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"
#include "gui/common/report_preview_dialog.h"
#include "report/listing_report.h"

#include <QPrinter>

#include <memory>

namespace {
// Rows laid out at a time before the window opens.
constexpr int kRowsPerStep = 50;
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

    // Only the first page before the window opens: tens of thousands of rows take minutes to lay out, and the
    // window lays out the rest while it is shown.
    Result<std::unique_ptr<ReportLayout>> layout = report.beginLayOut(&printer);
    while (layout && !(*layout)->isComplete() && (*layout)->pagesReady() < 1) {
        const Result<bool> step = (*layout)->layOutMore(kRowsPerStep);
        if (!step)
            layout = step.error();
    }
    if (!layout) {
        hourglass.release();
        MessageBox::information(parent, layout.error().description, report.caption());
        return;
    }

    ReportPreviewDialog dialog(report, &printer, std::move(*layout), parent);
    hourglass.release();
    dialog.exec();
}
