// The front of the program: reads the command line with Qt Core alone, runs
// what needs no window here, and hands everything else over to the windows'
// executable beside it. A timer can run it without any graphical session.
#include "platform/handover.h"
#include "platform/programdir.h"
#include "remote/consoledownload.h"

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
    return ConsoleDownload::run(AppDir(), io);
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

// A command of the command line: its option, and what it runs. A command
// that needs windows returns showWindows(arguments).
struct Command
{
    QCommandLineOption option;
    std::function<int(const QCommandLineParser &parser)> run;
};

QList<Command> commands()
{
    return {
        {QCommandLineOption(
             QStringLiteral("download"),
             QStringLiteral("更新状況をウィンドウなしでダウンロードします（「更新状況のダウンロード」と同じ）。")),
         download},
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
        return chosen->run(parser);
    return showWindows(arguments.mid(1));
}
