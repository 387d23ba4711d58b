#include "gui/common/report_preview.h"

#include "gui/common/file_dialog.h"
#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"
#include "report/listing_report.h"

#include <QAction>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

namespace {
void printOn(const ListingReport& report, QPrinter* printer, QWidget* parent)
{
    QString error;
    bool done = false;
    {
        Hourglass hourglass;
        done = report.print(printer, &error);
    }
    if (!done)
        MessageBox::information(parent, error, report.caption());
}

void saveAsPdf(const ListingReport& report, const QPrinter* printer, QWidget* parent)
{
    QString path = FileDialog::getSaveFileName(parent, QStringLiteral("Save as PDF"), QString(),
                                               QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    // The file gets the paper shown in the preview, which the user may have changed there.
    const QPageLayout layout = printer->pageLayout();
    QString error;
    bool done = false;
    {
        Hourglass hourglass;
        done = report.writePdf(path, layout.pageSize(), layout.orientation(), &error);
    }
    if (!done)
        MessageBox::information(parent, error, report.caption());
}
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
    QString error;
    if (report.pageCount(&printer, &error) < 0) {
        hourglass.release();
        MessageBox::information(parent, error, report.caption());
        return;
    }

    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(report.name());
    dialog.setWindowTitle(report.caption());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&report, &dialog](QPrinter* target) { printOn(report, target, &dialog); });

    auto* save = new QAction(QStringLiteral("Save as PDF"), &dialog);
    save->setObjectName(QStringLiteral("SaveAsPdf"));
    save->setToolTip(QStringLiteral("Save as PDF"));
    QObject::connect(save, &QAction::triggered, &dialog,
                     [&report, &dialog, &printer] { saveAsPdf(report, &printer, &dialog); });
    if (auto* toolBar = dialog.findChild<QToolBar*>()) {
        toolBar->addSeparator();
        toolBar->addAction(save);
    } else {
        dialog.addAction(save);
    }

    hourglass.release();
    dialog.exec();
}
