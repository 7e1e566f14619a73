// The front of the program: reads the command line with Qt Core alone, runs
// what needs no window here, and hands everything else over to the windows'
// executable beside it. A timer can run it without any graphical session.
#include "platform/handover.h"
#include "platform/programdir.h"
#include "platform/schedule.h"
#include "remote/consoledownload.h"
#include "remote/downloadlog.h"
#include "remote/newsnotice.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

enum Status : int {
    Completed = ConsoleDownload::Completed,
    Failed = ConsoleDownload::Failed,
    BadUsage = ConsoleDownload::BadUsage,
};

void printLine(FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int download(const QCommandLineParser &)
{
    ConsoleDownload::Io io;
    io.out = [](const QString &line) { printLine(stdout, line); };
    io.err = [](const QString &line) { printLine(stderr, line); };
    QList<UpdateRun::News> news;
    const int status = ConsoleDownload::run(AppDir(), io, &news);
    // The lock is released by now: the wait for a click holds up no other run.
    const QString notice = NewsNotice::tell(news, QCoreApplication::applicationFilePath());
    if (!notice.isEmpty())
        io.out(notice);
    return status;
}

QString lastRunText()
{
    const DownloadLog::Run run = DownloadLog::lastRun(AppDir());
    if (!run.start.isValid())
        return QStringLiteral("前回の確認: まだありません");
    const QString start = run.start.toString(Qt::ISODate);
    if (!run.ended)
        return QStringLiteral("前回の確認: ") + start + QStringLiteral(" 開始（終わっていません）");
    return QStringLiteral("前回の確認: ") + start + QLatin1Char(' ') + run.result + QStringLiteral("（終了状態 ")
        + QString::number(run.status) + QStringLiteral("）");
}

// Hands the process over to the windows with the arguments as given.
int showWindows(const QStringList &arguments)
{
    QString why;
    if (Handover::start(Handover::windowsProgram(QCoreApplication::applicationFilePath()), arguments, &why))
        return Completed;
    printLine(stderr, why);
    return Failed;
}

int schedule(const QCommandLineParser &parser, const QCommandLineOption &option, const QString &usageText);

// A command of the command line: its option, and what it runs. A command
// that needs windows returns showWindows(arguments).
struct Command
{
    QCommandLineOption option;
    std::function<int(const QCommandLineParser &parser, const QString &usageText)> run;
};

QList<Command> commands()
{
    const QCommandLineOption scheduleOption(
        QStringLiteral("schedule"), QStringLiteral("毎日の自動確認（--download）を入れる・切る・状態を表示します。"),
        QStringLiteral("on|off|status"));
    return {
        {QCommandLineOption(
             QStringLiteral("download"),
             QStringLiteral("更新状況をウィンドウなしでダウンロードします（「更新状況のダウンロード」と同じ）。")),
         [](const QCommandLineParser &parser, const QString &) { return download(parser); }},
        {scheduleOption,
         [scheduleOption](const QCommandLineParser &parser, const QString &usageText) {
             return schedule(parser, scheduleOption, usageText);
         }},
        {QCommandLineOption(QStringLiteral("pages-list"),
                            QStringLiteral("「気になるページ」を「一覧」を表示して開きます。")),
         [](const QCommandLineParser &, const QString &) { return showWindows({QStringLiteral("--pages-list")}); }},
    };
}

// The usage, in the program's language (Qt's own help is in English).
QString usage(const QList<QCommandLineOption> &options)
{
    QStringList names;
    qsizetype width = 0;
    for (const QCommandLineOption &option : options) {
        QStringList spelled;
        for (const QString &name : option.names())
            spelled.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
        QString text = spelled.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            text += QStringLiteral(" <") + option.valueName() + QLatin1Char('>');
        width = std::max(width, text.size());
        names.append(text);
    }
    QString text = QStringLiteral("使い方: vellumark [オプション]\n"
                                  "オプションなしではウィンドウを開きます。\n\n"
                                  "オプション:\n");
    for (qsizetype i = 0; i < options.size(); ++i)
        text += QStringLiteral("  ") + names.at(i).leftJustified(width + 2) + options.at(i).description()
            + QLatin1Char('\n');
    return text;
}

int badUsage(const QString &why, const QString &usageText)
{
    printLine(stderr, why);
    std::fputs(usageText.toUtf8().constData(), stderr);
    return BadUsage;
}

int schedule(const QCommandLineParser &parser, const QCommandLineOption &option, const QString &usageText)
{
    const QString verb = parser.value(option);
    if (verb == QLatin1String("status")) {
        const Schedule::Status status = Schedule::status(AppDir());
        if (!status.available) {
            printLine(stderr, Schedule::switchOn(AppDir(), QString()).message);
            return Failed;
        }
        printLine(stdout,
                  QStringLiteral("毎日の自動確認: ") + (status.on ? QStringLiteral("オン") : QStringLiteral("オフ")));
        if (!status.nextRun.isEmpty())
            printLine(stdout, QStringLiteral("次の確認: ") + status.nextRun);
        printLine(stdout, lastRunText());
        return Completed;
    }
    Schedule::Result result;
    if (verb == QLatin1String("on"))
        result = Schedule::switchOn(AppDir(), QCoreApplication::applicationFilePath());
    else if (verb == QLatin1String("off"))
        result = Schedule::switchOff(AppDir());
    else
        return badUsage(QStringLiteral("--schedule には on、off、status のどれかを指定してください: ") + verb,
                        usageText);
    printLine(result.ok ? stdout : stderr, result.message);
    return result.ok ? Completed : Failed;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2 Rev:%3")
                                                .arg(VELLUMARK_VERSION_MAJOR)
                                                .arg(VELLUMARK_VERSION_MINOR)
                                                .arg(VELLUMARK_VERSION_REVISION));
    setAppDir(ProgramDir::derive(ProgramDir::reported()));

    const QList<Command> known = commands();
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("この説明を表示します。"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("版を表示します。"));
    QList<QCommandLineOption> options = {help, version};
    for (const Command &command : known)
        options.append(command.option);
    QCommandLineParser parser;
    parser.addOptions(options);
    const QString usageText = usage(options);

    const QStringList arguments = app.arguments();
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        return badUsage(unknown.isEmpty() ? parser.errorText()
                                          : QStringLiteral("不明なオプションです: ") + unknown.join(QLatin1Char(' ')),
                        usageText);
    }
    if (!parser.positionalArguments().isEmpty())
        return badUsage(QStringLiteral("不明な引数です: ") + parser.positionalArguments().join(QLatin1Char(' ')),
                        usageText);
    if (parser.isSet(help)) {
        std::fputs(usageText.toUtf8().constData(), stdout);
        return Completed;
    }
    if (parser.isSet(version)) {
        printLine(stdout, QStringLiteral("Vellumark ") + QCoreApplication::applicationVersion());
        return Completed;
    }

    const Command *chosen = nullptr;
    for (const Command &command : known) {
        if (!parser.isSet(command.option))
            continue;
        if (chosen)
            return badUsage(QStringLiteral("オプションは一つだけ指定してください。"), usageText);
        chosen = &command;
    }
    if (chosen)
        return chosen->run(parser, usageText);
    return showWindows(arguments.mid(1));
}
