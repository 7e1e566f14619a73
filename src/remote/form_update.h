#pragma once

#include "ui/taskwindow.h"

#include <QPointer>
#include <QString>

class Form_Setting;
class Inet;
class QEventLoop;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// Downloads the daily status pages on activation and logs its progress; it
// unloads itself on "確認" and is made afresh for the next visit.
class Form_Update : public TaskWindow
{
    Q_OBJECT

public:
    Form_Update(QWidget *menu, Form_Setting *setting);

    QLabel *lab_Update;
    QPlainTextEdit *txt_Condition;
    QPushButton *cmd_OK;
    Inet *Inet1;

    // The body of the last response, and 1 while a request is awaited.
    QString ResponseText;
    qint16 WaitFlag = 0;

    void cmd_OK_Click();
    // Fetches one page: the header block is returned, the body left in ResponseText.
    QString requestPage(const QString &url);
    void WaitForResponse();
    void Inet1_StateChanged(qint16 State);

    // Why the last request brought no response; empty when it did.
    const QString &failure() const { return m_failure; }

protected:
    void Form_Activate() override;
    void closeFromFrame() override;

private:
    void appendLog(const QString &piece);

    QPointer<Form_Setting> m_setting;
    QEventLoop *m_waitLoop = nullptr;
    bool m_running = false;
    QString m_failure;
};
