#pragma once

#include "browse/pagesoverview.h"

#include <QDialog>
#include <QList>

class QTableWidget;

// The list of all pages of interest at a glance ("一覧"): one row per
// position, newest last update first; a row chosen jumps there.
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
