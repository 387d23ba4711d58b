#pragma once

#include "core/util/result.h"

#include <QDialog>
#include <QImage>

#include <memory>

class ListingReport;
class QLabel;
class QPrinter;
class QProgressDialog;
class QScrollArea;
class QSpinBox;
class QTimer;
class ReportLayout;

// The preview of a listing report: one page at a time, each drawn when it is asked for, with only the last few
// drawn pages kept, so a report of any length opens without recording its pages first. A layout that is not yet
// complete goes on a part at a time while the window waits for the user, so the first pages show at once; until
// the end the page count reads "120+", and a page not yet laid out is shown once it is, with progress meanwhile.
// Printing and "Save as PDF" lay the report out again on their own device.
class ReportPreviewDialog : public QDialog
{
    Q_OBJECT

public:
    // The report and the printer it was laid out on must outlive the dialog.
    ReportPreviewDialog(const ListingReport& report, QPrinter* printer, std::unique_ptr<ReportLayout> layout,
                        QWidget* parent = nullptr);
    ~ReportPreviewDialog() override;

    enum class Fit { None, Width, Page };

    // The page shown, 1 upwards, and how many there are so far.
    int currentPage() const { return m_page; }
    int pageCount() const;
    // Whether the whole report is laid out.
    bool isLaidOut() const;
    // Screen pixels to a point of paper, relative to the paper's true size on the screen.
    qreal zoom() const { return m_zoom; }
    Fit fit() const { return m_fit; }
    // The page as it is shown now.
    QImage shownImage() const { return m_shown; }
    // How many drawn pages are kept.
    static constexpr int kCachedPages = 4;

public slots:
    void showPage(int page);
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void fitWidth();
    void fitPage();
    void zoomIn();
    void zoomOut();
    void print();
    void saveAsPdf();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Drawn {
        int page = 0;
        qreal scale = 0;
        QImage image;
    };
    // Image pixels to a pixel of the device the report was laid out on.
    qreal scale() const;
    void applyFit();
    void setZoom(qreal zoom, Fit fit);
    void refresh();
    Result<QImage> drawnPage(int page);
    // One part of the layout in the background; then the page waited for, if it is ready now.
    void layOutTurn();
    void updatePageBox();
    void waitFor(int page);
    void stopWaiting();

    const ListingReport& m_report;
    QPrinter* m_printer;
    std::unique_ptr<ReportLayout> m_layout;
    int m_page = 1;
    qreal m_zoom = 1;
    Fit m_fit = Fit::Width;
    QList<Drawn> m_drawn;
    QImage m_shown;
    QScrollArea* m_area = nullptr;
    QLabel* m_view = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QTimer* m_turns = nullptr;
    int m_rowsPerTurn = 20;
    int m_waitingFor = 0; // a page not yet laid out that was asked for; 0 for none
    QProgressDialog* m_waiting = nullptr;
};
