#include "remote/consoledownload.h"

#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/runerror.h"
#include "platform/runlock.h"
#include "remote/downloadlog.h"
#include "remote/pagerequest.h"
#include "remote/urlfile.h"
#include "store/datafiles.h"
#include "store/textrules.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>

namespace ConsoleDownload {

namespace {

// Why the run cannot start, or empty when it can.
QString startProblem(const QString &appDir, UrlFile::Values &values)
{
    const QString urlDat = QDir::toNativeSeparators(UrlFile::path(appDir));
    try {
        UrlFile::read(appDir, values);
    } catch (const RunError &error) {
        return urlDat + QStringLiteral(" を読めません。") + error.reason();
    }
    if (values.url.isEmpty())
        return urlDat + QStringLiteral(" にデータのURLがありません。");
    const QString dataDir = DataFiles::dataDirPath(appDir);
    if (!QFileInfo(dataDir).isDir())
        return QDir::toNativeSeparators(dataDir) + QStringLiteral(" がありません。先にファイルを構築してください。");
    return {};
}

void splitLines(const QString &piece, QStringList &lines)
{
    QStringList pieceLines = piece.split(QStringLiteral("\r\n"));
    if (!pieceLines.isEmpty() && pieceLines.last().isEmpty())
        pieceLines.removeLast();
    lines += pieceLines;
}

} // namespace

const QList<int> &retryPauses()
{
    static const QList<int> pauses = {30, 60, 120, 180, 240};
    return pauses;
}

UpdateRun::Response fetchPatiently(const Fetch &fetch, const QString &url, const Pause &pause)
{
    UpdateRun::Response response = fetch(url);
    for (const int seconds : retryPauses()) {
        if (!response.unreachable)
            break;
        pause(seconds);
        response = fetch(url);
    }
    return response;
}

void waitOnClock(int seconds)
{
    Clock &clock = Clock::instance();
    int lastSecond = clock.secondsSinceMidnight();
    int ticks = 0;
    QEventLoop loop;
    QObject::connect(&clock, &Clock::secondChanged, &loop, [&] {
        const int now = clock.secondsSinceMidnight();
        if (now == lastSecond)
            return;
        lastSecond = now;
        if (++ticks >= seconds)
            loop.quit();
    });
    if (seconds > 0)
        loop.exec();
}

int run(const QString &appDir, const Io &io, QList<UpdateRun::News> *news)
{
    // Without the converter every text line would be written empty.
    if (!TextRules::codePageAvailable()) {
        io.err(TextRules::codePageMissingText());
        return Failed;
    }
    RunLock lock(appDir);
    if (!lock.tryLock(RunLock::Holder::CommandDownload)) {
        io.err(lock.busyText());
        return lock.busy() ? Busy : Failed;
    }

    Clock &clock = Clock::instance();
    // The log is the record of the run, not the run: a log that cannot be
    // written is said once and the download goes on.
    QString logProblem;
    try {
        DownloadLog::begin(appDir, clock.now());
    } catch (const RunError &error) {
        logProblem = QDir::toNativeSeparators(DownloadLog::path(appDir)) + QStringLiteral(" を保存できませんでした。")
            + error.reason();
    }
    const auto finish = [&](const QStringList &lines, int status, const QString &result) {
        if (logProblem.isEmpty()) {
            try {
                DownloadLog::end(appDir, lines, clock.now(), status, result);
            } catch (const RunError &error) {
                logProblem = QDir::toNativeSeparators(DownloadLog::path(appDir))
                    + QStringLiteral(" を保存できませんでした。") + error.reason();
            }
        }
        if (!logProblem.isEmpty())
            io.err(logProblem);
        return status;
    };

    UrlFile::Values values;
    const QString problem = startProblem(appDir, values);
    if (!problem.isEmpty()) {
        io.err(problem);
        return finish({}, Failed, problem);
    }

    Inet inet;
    inet.setProxy(values.proxy);
    PageRequest request(&inet);
    QString caption;
    QStringList lines;
    UpdateRun::Io runIo;
    runIo.requestPage = [&](const QString &url) {
        return fetchPatiently([&](const QString &page) { return request.fetch(page); }, url, io.pause);
    };
    runIo.appendLog = [&](const QString &piece) { splitLines(piece, lines); };
    runIo.setCaption = [&](const QString &text) { caption = text; };
    const UpdateRun::Outcome outcome = UpdateRun::run(appDir, values.url, runIo);
    if (news)
        *news = outcome.news;

    // The window's caption shows the range only once the run has ended.
    lines.prepend(caption);
    for (const QString &line : std::as_const(lines))
        io.out(line);
    if (!outcome.completed)
        io.err(outcome.failure);
    return finish(lines, outcome.completed ? Completed : Failed,
                  outcome.completed ? QStringLiteral("完了") : outcome.failure);
}

} // namespace ConsoleDownload
