#include "platform/programdir.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString s_reported;
bool s_reportedSet = false;
QString s_appDir;
} // namespace

namespace ProgramDir {

QString reported()
{
    if (s_reportedSet)
        return s_reported;
    return QCoreApplication::applicationDirPath();
}

void setReported(const QString &dir)
{
    s_reported = dir;
    s_reportedSet = true;
}

QString derive(const QString &reported)
{
    QString dir = QDir::fromNativeSeparators(reported);
    if (dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

} // namespace ProgramDir

const QString &AppDir()
{
    return s_appDir;
}

void setAppDir(const QString &dir)
{
    s_appDir = dir;
}
