#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QString>
#include <memory>

class QPagedPaintDevice;

// One print job. Everything the console prints goes through here.
// In production pages go to the system's default printer; when the
// environment variable VOX_PRINT_DIR names a folder (or an output folder is
// set by setOutputDir), each page becomes a new PDF file in that folder.
class PrintJob
{
public:
    // Starts the job; raises VoxError when there is no printer or the job
    // cannot be started.
    PrintJob(const QString &title, const QPageSize &pageSize,
             QPageLayout::Orientation orientation = QPageLayout::Portrait);
    ~PrintJob();

    PrintJob(const PrintJob &) = delete;
    PrintJob &operator=(const PrintJob &) = delete;

    QPainter &painter() { return m_painter; }
    // Device resolution in dots per inch, for converting layout measures.
    int resolution() const;
    void newPage();
    // Ends the job; raises VoxError when the last page cannot be written.
    void finish();

    // Files written by PDF jobs of this process, oldest first.
    static QStringList writtenFiles();
    // Where PDF jobs go instead of VOX_PRINT_DIR when set; returns the
    // setting it replaced.
    static QString setOutputDir(const QString &dir);
    static QString outputDir();

private:
    void beginDevice();

    QString m_title;
    QPageSize m_pageSize;
    QPageLayout::Orientation m_orientation;
    std::unique_ptr<QPagedPaintDevice> m_device;
    QPainter m_painter;
    bool m_toPdf = false;
    bool m_finished = false;
};
