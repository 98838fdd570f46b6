#pragma once
// A private print server for tests: its own cupsd in the foreground, configured in a temporary
// folder and listening on a socket there, with one PDF queue (the cups-pdf backend and PPD)
// that writes every job as a PDF file into a folder of the server's own. CUPS_SERVER points
// this process (and every child it starts) at the server; start it before anything looks at a
// printer, since the print libraries keep the server name once they have read it.
//
//   kelpa::test::CupsServer cups;
//   ASSERT_TRUE(cups.start()) << cups.error();
//   QPrinter printer; printer.setPrinterName(cups.queue()); ... print ...
//   auto pdfs = cups.waitForPdfs(1);          // the finished jobs, oldest first
//   ASSERT_EQ(pdfs.size(), 1u) << cups.error();
//
// The server is stopped, and everything it wrote removed, when the object goes (also when a
// test fails half-way); the server also ends when the test process dies. cupsd starts backends
// as root only when it runs as root, and the PDF backend insists on that, so the server runs
// as root (jobs as the user "lp"); elsewhere start() fails and error() says why. The backend
// reads its settings only from /etc/cups, so a settings file of this server's own
// ("cups-pdf-<instance>.conf") lives there while the server runs.
#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kelpa::test {

class CupsServer {
public:
    CupsServer() = default;
    ~CupsServer() { stop(); }
    CupsServer(const CupsServer &) = delete;
    CupsServer &operator=(const CupsServer &) = delete;

    // Starts the server and adds the queue; false with error() when either fails.
    bool start(const QString &queueName = QStringLiteral("KelpaPDF"))
    {
        queue_ = queueName;
        if (::geteuid() != 0)
            return fail("the test print server needs root: the PDF backend runs only as root");
        const QString cupsd = QStringLiteral("/usr/sbin/cupsd");
        const QString ppd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
        for (const QString &needed : {cupsd, ppd, QStringLiteral("/usr/lib/cups/backend/cups-pdf")})
            if (!QFileInfo::exists(needed))
                return fail(needed + " is missing (packages cups-daemon, cups-client, printer-driver-cups-pdf)");
        if (QStandardPaths::findExecutable(QStringLiteral("lpadmin")).isEmpty())
            return fail("lpadmin is missing (package cups-client)");

        dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/kelpa-cups-XXXXXX");
        if (!dir_->isValid())
            return fail("no temporary folder: " + dir_->errorString());
        const QString d = dir_->path();
        // The jobs' filters run as "lp" and must reach the server's folders.
        QFile::setPermissions(d, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                     QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                     QFileDevice::ReadOther | QFileDevice::ExeOther);
        for (const char *sub : {"root", "spool", "spool/tmp", "cache", "state", "log", "pdf", "pdfspool"})
            if (!QDir().mkpath(d + "/" + sub))
                return fail(QStringLiteral("cannot make %1/%2").arg(d, sub));
        socket_ = d + "/cups.sock";
        if (socket_.toLocal8Bit().size() >= int(sizeof(sockaddr_un{}.sun_path)))
            return fail("the socket path is too long: " + socket_);

        if (!writeFile(d + "/root/cups-files.conf",
                       "User lp\nGroup lp\nSystemGroup root\n"
                       "ServerRoot " + d + "/root\nRequestRoot " + d + "/spool\nTempDir " + d + "/spool/tmp\n"
                       "CacheDir " + d + "/cache\nStateDir " + d + "/state\n"
                       "AccessLog " + d + "/log/access_log\nErrorLog " + d + "/log/error_log\n"
                       "PageLog " + d + "/log/page_log\n"
                       "ServerBin /usr/lib/cups\nDataDir /usr/share/cups\nFileDevice No\n") ||
            !writeFile(d + "/root/cupsd.conf",
                       "Listen " + socket_ + "\nLogLevel info\nBrowsing No\nWebInterface No\n"
                       "DefaultAuthType None\nMaxJobs 0\nPreserveJobHistory No\n"
                       "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                       "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n"))
            return false;

        removeStaleBackendSettings();
        instance_ = QStringLiteral("kelpatest%1x%2").arg(::getpid()).arg(QDateTime::currentMSecsSinceEpoch());
        backendConf_ = "/etc/cups/cups-pdf-" + instance_ + ".conf";
        if (!writeFile(backendConf_, "Out " + d + "/pdf\nAnonDirName " + d + "/pdf\nSpool " + d +
                                         "/pdfspool\nLabel 1\nTitlePref 0\nLogType 1\n")) {
            backendConf_.clear();
            return false;
        }

        server_ = std::make_unique<QProcess>();
        server_->setProcessChannelMode(QProcess::MergedChannels);
        server_->setStandardOutputFile(d + "/log/cupsd.out");
        // The server ends with the test process, however that ends.
        server_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        server_->start(cupsd, {"-f", "-c", d + "/root/cupsd.conf", "-s", d + "/root/cups-files.conf"});
        if (!server_->waitForStarted(10000))
            return fail("cupsd did not start: " + server_->errorString());
        if (!waitForSocket(15000))
            return fail("cupsd does not answer on " + socket_ + ": " + logTail());

        previousServer_ = qgetenv("CUPS_SERVER");
        hadServer_ = qEnvironmentVariableIsSet("CUPS_SERVER");
        qputenv("CUPS_SERVER", socket_.toLocal8Bit());
        envSet_ = true;

        QString out;
        if (!run("lpadmin", {"-p", queue_, "-E", "-v", "cups-pdf:/" + instance_, "-P", ppd}, &out))
            return fail("cannot add the PDF queue: " + out + " " + logTail());
        // The queue turns PDF into PostScript for its backend; only the cairo renderer keeps the
        // text extractable (the others lose the fonts' character maps on the way).
        if (!run("lpadmin", {"-p", queue_, "-o", "pdftops-renderer-default=pdftocairo"}, &out))
            return fail("cannot set the PDF queue's renderer: " + out);
        if (!run("lpadmin", {"-d", queue_}, &out))
            return fail("cannot make the PDF queue the default: " + out);
        return true;
    }

    void stop()
    {
        if (server_) {
            if (server_->state() != QProcess::NotRunning) {
                server_->terminate();
                if (!server_->waitForFinished(10000)) {
                    server_->kill();
                    server_->waitForFinished(5000);
                }
            }
            server_.reset();
        }
        if (!backendConf_.isEmpty()) {
            QFile::remove(backendConf_);
            backendConf_.clear();
        }
        if (envSet_) {
            if (hadServer_)
                qputenv("CUPS_SERVER", previousServer_);
            else
                qunsetenv("CUPS_SERVER");
            envSet_ = false;
        }
        dir_.reset();
    }

    const QString &queue() const { return queue_; }
    const QString &socketPath() const { return socket_; }
    QString pdfFolder() const { return dir_ ? dir_->path() + "/pdf" : QString(); }
    const QString &error() const { return error_; }

    // Waits until the queue has no pending job and at least `count` PDF files are there, then
    // returns them, oldest first. Fewer files (with error() saying so) after `timeoutMs`.
    std::vector<QString> waitForPdfs(std::size_t count, int timeoutMs = 60000)
    {
        QElapsedTimer timer;
        timer.start();
        std::vector<QString> files;
        for (;;) {
            files = pdfs();
            QString pending;
            run("lpstat", {"-o", queue_}, &pending);
            if (files.size() >= count && pending.trimmed().isEmpty())
                return files;
            if (timer.elapsed() > timeoutMs) {
                error_ = QStringLiteral("%1 of %2 PDF files after %3 ms; pending: %4; %5")
                             .arg(files.size()).arg(count).arg(timeoutMs).arg(pending.trimmed(), logTail());
                return files;
            }
            QThread::msleep(100);
        }
    }

    // The PDF files written so far, oldest first.
    std::vector<QString> pdfs() const
    {
        std::vector<QString> files;
        if (!dir_)
            return files;
        QDir out(pdfFolder());
        for (const QFileInfo &info : out.entryInfoList({"*.pdf"}, QDir::Files, QDir::Time | QDir::Reversed))
            files.push_back(info.absoluteFilePath());
        return files;
    }

    // The last lines of the server's error log, for messages.
    QString logTail() const
    {
        if (!dir_)
            return {};
        QFile log(dir_->path() + "/log/error_log");
        if (!log.open(QIODevice::ReadOnly))
            return QStringLiteral("(no server log)");
        const QList<QByteArray> lines = log.readAll().split('\n');
        QStringList tail;
        for (qsizetype i = std::max<qsizetype>(0, lines.size() - 8); i < lines.size(); ++i)
            tail << QString::fromLocal8Bit(lines[i]);
        return "server log: " + tail.join(" / ");
    }

private:
    bool fail(const QString &reason)
    {
        error_ = reason;
        stop();
        return false;
    }

    // Settings files of servers whose test process was killed before it could remove them.
    static void removeStaleBackendSettings()
    {
        const QDir etc(QStringLiteral("/etc/cups"));
        for (const QString &name : etc.entryList({"cups-pdf-kelpatest*.conf"}, QDir::Files)) {
            const QString digits = name.mid(int(qstrlen("cups-pdf-kelpatest"))).section(u'x', 0, 0);
            bool ok = false;
            const qint64 pid = digits.toLongLong(&ok);
            if (ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
                QFile::remove(etc.filePath(name));
        }
    }

    bool writeFile(const QString &name, const QString &text)
    {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toLocal8Bit()) < 0) {
            error_ = "cannot write " + name + ": " + file.errorString();
            return false;
        }
        return true;
    }

    bool waitForSocket(int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        const QByteArray path = socket_.toLocal8Bit();
        while (timer.elapsed() < timeoutMs) {
            if (server_->state() == QProcess::NotRunning)
                return false;
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path, path.constData(), path.size());
            const bool up = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
            if (fd >= 0)
                ::close(fd);
            if (up)
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    static bool run(const QString &program, const QStringList &arguments, QString *output)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        const bool done = process.waitForFinished(30000);
        *output = QString::fromLocal8Bit(process.readAll());
        return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QProcess> server_;
    QString queue_;
    QString socket_;
    QString instance_;
    QString backendConf_;
    QString error_;
    QByteArray previousServer_;
    bool hadServer_ = false;
    bool envSet_ = false;
};

} // namespace kelpa::test
