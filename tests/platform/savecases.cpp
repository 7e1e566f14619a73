#include "savecases.h"

#include "browse/pagesfile.h"
#include "remote/urlfile.h"
#include "store/datafiles.h"

#include <QStringList>

namespace SaveCases {

namespace {

constexpr qint16 kPageSites = 40;

QStringList pageEntries(int version)
{
    QStringList entries;
    for (int n = 1; n <= (version == 0 ? 1200 : 500); ++n)
        entries.append(PagesFile::entry(qint16(n), QStringLiteral("ジャズ館 %1 版%2").arg(n).arg(version)));
    return entries;
}

// url.dat's address; its proxy stays empty.
QString urlOf(int version)
{
    return version == 0 ? QStringLiteral("http://127.0.0.1:8080/daily/")
                        : "http://example.test/" + QString(3000, 'x') + '/';
}

// An update state's last update and check date.
QStringList datesOf(int version)
{
    return version == 0 ? QStringList{"2000/05/18 21:04:33", "2000/05/20"}
                        : QStringList{"2001/01/01 00:00:00", "2001/01/02"};
}

} // namespace

bool known(const QString &name)
{
    return name == QLatin1String("pages.udf") || name == QLatin1String("url.dat") || name == QLatin1String("page");
}

void save(const QString &name, const QString &appDir, int version)
{
    if (name == QLatin1String("pages.udf"))
        return PagesFile::write(appDir, pageEntries(version));
    if (name == QLatin1String("url.dat"))
        return UrlFile::write(appDir, urlOf(version), QString());
    const QStringList dates = datesOf(version);
    // Twice in one batch: the second round rewrites the files the first replaced.
    DataFiles::UpdateStateBatch batch(appDir);
    for (int round = 0; round < 2; ++round) {
        for (qint16 site = 1; site <= kPageSites; ++site)
            batch.write(site, {dates[0], dates[1], version == 0 ? 1 : 4});
        batch.commit();
    }
}

QString readBack(const QString &name, const QString &appDir)
{
    if (name == QLatin1String("pages.udf")) {
        const PagesFile::Contents contents = PagesFile::read(appDir);
        return QString::number(contents.count) + QLatin1Char('|') + contents.entries.join(QLatin1Char('|'));
    }
    if (name == QLatin1String("url.dat")) {
        UrlFile::Values values;
        UrlFile::read(appDir, values);
        return values.url;
    }
    QString torn;
    for (qint16 site = 1; site <= kPageSites; ++site) {
        const DataFiles::UpdateState state = DataFiles::readUpdateState(appDir, site);
        const QStringList dates{state.lastModified, state.checkDate};
        if (!(dates == datesOf(0) && state.methodCode == 1) && !(dates == datesOf(1) && state.methodCode == 4))
            torn += QString::number(site) + QLatin1Char(' ');
    }
    return torn;
}

QString expected(const QString &name, int version)
{
    const QStringList entries = pageEntries(version);
    return name == QLatin1String("page") ? QString()
        : name == QLatin1String("url.dat")
        ? urlOf(version)
        : QString::number(entries.size()) + QLatin1Char('|') + entries.join(QLatin1Char('|'));
}

} // namespace SaveCases
