#pragma once

#include <QDate>
#include <QDialog>
#include <QList>
#include <QString>

class QTableWidget;

// The list of all pages of interest at a glance ("一覧"), for the pages of
// interest window: one row per position, newest last update first.
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
// cells empty. A page is new when its check date is on or after newFrom.
QList<Row> read(const QString &appDir, const QList<qint16> &pageNumbers, const QDate &newFrom);

} // namespace PagesOverview

class PagesListDialog : public QDialog
{
    Q_OBJECT

public:
    PagesListDialog(QWidget *window, const QList<PagesOverview::Row> &rows);

signals:
    // A row was chosen (double-click or Enter): its position.
    void chosen(int position);

private:
    QTableWidget *m_table;
};
