#pragma once

#include "gui/kit/taskwindow.h"

#include <QPointer>
#include <QString>

class DataSource;
class Inet;
class PageRequest;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// Downloads the daily status pages on activation and logs its progress; it
// unloads itself on "確認" and is made afresh for the next visit.
class Form_Update : public TaskWindow
{
    Q_OBJECT

public:
    Form_Update(QWidget *menu, DataSource *source);

    QLabel *lab_Update;
    QPlainTextEdit *txt_Condition;
    QPushButton *cmd_OK;
    Inet *Inet1;

    void cmd_OK_Click();
    // The request of the pages, over Inet1.
    PageRequest &request() { return *m_request; }

protected:
    void Form_Activate() override;
    void closeFromFrame() override;

private:
    void appendLog(const QString &piece);

    QPointer<DataSource> m_source;
    PageRequest *m_request;
    bool m_running = false;
};
