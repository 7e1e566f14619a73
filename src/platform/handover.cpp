#include "platform/handover.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>
#else
#include <QProcess>
#endif

namespace Handover {

QString windowsProgram(const QString &frontProgram)
{
    const QFileInfo front(frontProgram);
    return front.absolutePath() + QStringLiteral("/vellumark-windows")
        + (front.suffix().isEmpty() ? QString() : QLatin1Char('.') + front.suffix());
}

bool start(const QString &program, const QStringList &arguments, QString *why)
{
#ifdef Q_OS_UNIX
    std::vector<QByteArray> encoded;
    encoded.push_back(QFile::encodeName(program));
    for (const QString &argument : arguments)
        encoded.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &bytes : encoded)
        argv.push_back(bytes.data());
    argv.push_back(nullptr);
    ::execv(argv.front(), argv.data());
    if (why)
        *why = program + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
#else
    // No exec here: the windows run as a process of their own.
    if (QProcess::startDetached(program, arguments))
        return true;
    if (why)
        *why = program + QStringLiteral(" を起動できません。");
    return false;
#endif
}

} // namespace Handover
