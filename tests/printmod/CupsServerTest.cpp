// The test print server itself: a job sent through Qt's printing reaches the PDF queue and
// comes back as a PDF file with the text that was drawn.
#include "printmod/CupsServer.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(CupsServer, PrintsAJobAsPdfAndIsGoneAfterwards)
{
    QString socket;
    {
        kelpa::test::CupsServer cups;
        ASSERT_TRUE(cups.start()) << cups.error().toStdString();
        socket = cups.socketPath();
        EXPECT_EQ(qgetenv("CUPS_SERVER"), socket.toLocal8Bit());

        const QPrinterInfo info = QPrinterInfo::printerInfo(cups.queue());
        ASSERT_FALSE(info.isNull()) << "Qt does not see the queue";

        QPrinter printer(info, QPrinter::HighResolution);
        printer.setDocName("harness check");
        QPainter painter;
        ASSERT_TRUE(painter.begin(&printer));
        painter.setFont(QFont("DejaVu Sans", 14));
        painter.drawText(100, 200, "Kelpa harness page one");
        printer.newPage();
        painter.drawText(100, 200, "Kelpa harness page two");
        painter.end();

        const auto pdfs = cups.waitForPdfs(1);
        ASSERT_EQ(pdfs.size(), 1u) << cups.error().toStdString();
        const QString text = pdfText(pdfs.front());
        EXPECT_TRUE(text.contains("Kelpa harness page one")) << text.toStdString();
        EXPECT_TRUE(text.contains("Kelpa harness page two")) << text.toStdString();
    }
    EXPECT_FALSE(QFile::exists(socket));
    EXPECT_FALSE(qEnvironmentVariableIsSet("CUPS_SERVER"));
}

} // namespace
