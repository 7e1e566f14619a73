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
    const int count = version == 0 ? 1200 : 500;
    for (int n = 1; n <= count; ++n)
        entries.append(PagesFile::entry(qint16(n), QStringLiteral("ジャズ館 %1 版%2").arg(n).arg(version)));
    return entries;
}

QString urlOf(int version)
{
    return version == 0 ? QStringLiteral("http://127.0.0.1:8080/daily/")
                        : QStringLiteral("http://example.test/") + QString(3000, QLatin1Char('x')) + QLatin1Char('/');
}

QString proxyOf(int version)
{
    return version == 0 ? QStringLiteral("proxy.example:8080") : QString();
}

DataFiles::UpdateState stateOf(int version)
{
    DataFiles::UpdateState state;
    state.lastModified = version == 0 ? QStringLiteral("2000/05/18 21:04:33") : QStringLiteral("2001/01/01 00:00:00");
    state.checkDate = version == 0 ? QStringLiteral("2000/05/20") : QStringLiteral("2001/01/02");
    state.methodCode = version == 0 ? 1 : 4;
    return state;
}

QString stateText(const DataFiles::UpdateState &state)
{
    return state.lastModified + QLatin1Char('|') + state.checkDate + QLatin1Char('|')
        + QString::number(state.methodCode);
}

} // namespace

bool kindFor(const QString &name, Kind &kind)
{
    if (name == QLatin1String("pages.udf"))
        kind = Kind::Pages;
    else if (name == QLatin1String("url.dat"))
        kind = Kind::Url;
    else if (name == QLatin1String("iud"))
        kind = Kind::UpdateState;
    else if (name == QLatin1String("page"))
        kind = Kind::UpdatePage;
    else
        return false;
    return true;
}

void save(Kind kind, const QString &appDir, int version)
{
    switch (kind) {
    case Kind::Pages:
        PagesFile::write(appDir, pageEntries(version));
        return;
    case Kind::Url:
        UrlFile::write(appDir, urlOf(version), proxyOf(version));
        return;
    case Kind::UpdateState:
        DataFiles::writeUpdateState(appDir, kSite, stateOf(version));
        return;
    case Kind::UpdatePage: {
        DataFiles::UpdateStateBatch batch(appDir);
        for (qint16 site = 1; site <= kPageSites; ++site)
            batch.write(site, stateOf(version));
        batch.commit();
        return;
    }
    }
}

QString readBack(Kind kind, const QString &appDir)
{
    switch (kind) {
    case Kind::Pages: {
        const PagesFile::Contents contents = PagesFile::read(appDir);
        return QString::number(contents.count) + QLatin1Char('|') + contents.entries.join(QLatin1Char('|'));
    }
    case Kind::Url: {
        UrlFile::Values values;
        UrlFile::read(appDir, values);
        return values.url + QLatin1Char('|') + values.proxy;
    }
    case Kind::UpdateState:
        return stateText(DataFiles::readUpdateState(appDir, kSite));
    case Kind::UpdatePage: {
        // The files that are neither old nor new; none after any kill.
        QString torn;
        for (qint16 site = 1; site <= kPageSites; ++site) {
            const QString text = stateText(DataFiles::readUpdateState(appDir, site));
            if (text != stateText(stateOf(0)) && text != stateText(stateOf(1)))
                torn += QString::number(site) + QLatin1Char(':') + text + QLatin1Char(' ');
        }
        return torn;
    }
    }
    return {};
}

QString expected(Kind kind, int version)
{
    switch (kind) {
    case Kind::Pages: {
        const QStringList entries = pageEntries(version);
        return QString::number(entries.size()) + QLatin1Char('|') + entries.join(QLatin1Char('|'));
    }
    case Kind::Url:
        return urlOf(version) + QLatin1Char('|') + proxyOf(version);
    case Kind::UpdateState:
        return stateText(stateOf(version));
    case Kind::UpdatePage:
        return {};
    }
    return {};
}

} // namespace SaveCases
