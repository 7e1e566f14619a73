#pragma once

#include <QList>
#include <QSet>
#include <QString>

// The rows of the list of all pages of interest ("一覧"), one per position
// of the pages of interest window.
namespace PagesOverview {

struct Row
{
    int position = 0; // in the window's paging order, from 1
    qint16 dataNumber = 0;
    QString title;
    QString lastModified;
    QString checkDate;
    int methodCode = 0; // 0: none of the four
    bool isNew = false;
};

// Reads each page's description and update state; a missing file leaves its
// cells empty. A page is new when it carries a mark of unseen news.
QList<Row> read(const QString &appDir, const QList<qint16> &pageNumbers, const QSet<qint16> &marked);

} // namespace PagesOverview
