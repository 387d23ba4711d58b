#include "masters/listing_report.h"

#include "masters/report_layout.h"
#include "shell/hourglass.h"
#include "shell/message_box.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QToolBar>

ListingReport::ListingReport(const QString& name, const ListingReportData& data, const QList<ReportColumn>& columns)
    : m_name(name)
    , m_data(data)
    , m_columns(columns)
{}

ListingReport::~ListingReport() = default;

QString ListingReport::noRecordsMessage()
{
    return QStringLiteral("No records are found.");
}

QString ListingReport::paperMessage()
{
    return QStringLiteral("Please Check your Printer paper settings.");
}

void ListingReport::setPaper(const QPageSize& size, QPageLayout::Orientation orientation)
{
    m_paper = size;
    m_orientation = orientation;
}

void ListingReport::setSaveFileNameChooser(SaveFileNameChooser chooser)
{
    m_chooseFileName = std::move(chooser);
}

int ListingReport::pageCount(QPagedPaintDevice* device, QString* error) const
{
    ReportLayout::applyMargins(device);
    ReportLayout layout(m_data, m_columns);
    if (!layout.layOut(device)) {
        if (error)
            *error = paperMessage();
        return -1;
    }
    return layout.pageCount();
}

bool ListingReport::paintOn(QPagedPaintDevice* device, QString* error) const
{
    ReportLayout::applyMargins(device);
    ReportLayout layout(m_data, m_columns);
    // Lay out before painting starts, so a paper that is too narrow produces no half-made output.
    if (!layout.layOut(device)) {
        *error = paperMessage();
        return false;
    }
    QPainter painter;
    if (!painter.begin(device)) {
        *error = QStringLiteral("The report could not be started on the printer.");
        return false;
    }
    layout.paint(&painter, device);
    painter.end();
    return true;
}

bool ListingReport::renderToPdf(const QString& path, QString* error) const
{
    return writePdf(path, m_paper.value_or(QPageSize(QPageSize::A4)), m_orientation, error);
}

bool ListingReport::writePdf(const QString& path, const QPageSize& size, QPageLayout::Orientation orientation,
                             QString* error) const
{
    Hourglass hourglass;
    QString reason;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(m_data.caption);
        writer.setCreator(QStringLiteral("Lexorium"));
        writer.setPageSize(size);
        writer.setPageOrientation(orientation);
        if (!paintOn(&writer, &reason)) {
            file.cancelWriting();
            if (error)
                *error = reason;
            return false;
        }
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void ListingReport::print(QPrinter* printer, QWidget* parent) const
{
    QString error;
    bool done = false;
    {
        Hourglass hourglass;
        done = paintOn(printer, &error);
    }
    if (!done)
        MessageBox::information(parent, error, caption());
}

void ListingReport::saveAsPdf(const QPrinter* printer, QWidget* parent) const
{
    QString path = m_chooseFileName ? m_chooseFileName(parent, caption())
                                    : QFileDialog::getSaveFileName(parent, QStringLiteral("Save as PDF"), QString(),
                                                                   QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    // The file gets the paper shown in the preview, which the user may have changed there.
    const QPageLayout layout = printer->pageLayout();
    QString error;
    if (!writePdf(path, layout.pageSize(), layout.orientation(), &error))
        MessageBox::information(parent, error, caption());
}

void ListingReport::preview(QWidget* parent)
{
    if (m_data.rows.isEmpty()) {
        MessageBox::information(parent, noRecordsMessage());
        return;
    }
    Hourglass hourglass;
    QPrinter printer(QPrinter::HighResolution);
    if (m_paper) {
        printer.setPageSize(*m_paper);
        printer.setPageOrientation(m_orientation);
    }
    QString error;
    if (pageCount(&printer, &error) < 0) {
        hourglass.release();
        MessageBox::information(parent, error, caption());
        return;
    }

    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(m_name);
    dialog.setWindowTitle(caption());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this, &dialog](QPrinter* target) { print(target, &dialog); });

    auto* save = new QAction(QStringLiteral("Save as PDF"), &dialog);
    save->setObjectName(QStringLiteral("SaveAsPdf"));
    save->setToolTip(QStringLiteral("Save as PDF"));
    QObject::connect(save, &QAction::triggered, &dialog, [this, &dialog, &printer] { saveAsPdf(&printer, &dialog); });
    if (auto* toolBar = dialog.findChild<QToolBar*>()) {
        toolBar->addSeparator();
        toolBar->addAction(save);
    } else {
        dialog.addAction(save);
    }

    hourglass.release();
    dialog.exec();
}
