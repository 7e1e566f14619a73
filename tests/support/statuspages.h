#pragma once

#include <QString>
#include <QStringList>

// Daily status pages as the data provider writes them, for the tests of the download.
namespace StatusPages {

inline const QString kBlue = QStringLiteral("0000FF"), kGreen = QStringLiteral("00FF00"),
                     kRed = QStringLiteral("FF0000"), kBlack = QStringLiteral("000000");

// A record: its colour tag, the site's name with its data number in brackets, the last update.
inline QString record(const QString &colour, const QString &name, const QString &updated = "2000/05/20 21:04:33")
{
    return "<FONT COLOR='#" + colour + "'>" + name + "</FONT> 更新日時 <FONT Size=2>" + updated + "</FONT><BR>\r\n";
}

// A record of the site with that data number.
inline QString site(const QString &colour, int number, const QString &updated = "2000/05/20 21:04:33")
{
    return record(colour, QStringLiteral("ジャズ館 (%1)").arg(number), updated);
}

inline QString page(const QStringList &records)
{
    return "<HTML><HEAD><TITLE>更新状況</TITLE></HEAD><BODY>\r\n" + records.join(QString()) + "</BODY></HTML>\r\n";
}

} // namespace StatusPages
