#include "gui/remote/form_update.h"

#include "gui/kit/placement.h"
#include "platform/inet.h"
#include "platform/programdir.h"
#include "platform/runlock.h"
#include "gui/kit/messagebox.h"
#include "remote/datasource.h"
#include "remote/pagerequest.h"
#include "remote/updaterun.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// A year of pages logs some 150,000 lines (40 MB of layout); the log keeps
// about this many, dropping whole days from its top, never the latest one.
const int kLogLines = 10000;
// Marks the first line of each piece appended, so a day is dropped whole.
const int kPieceStart = 1;

} // namespace

Form_Update::Form_Update(QWidget *menu, DataSource *source)
    : TaskWindow(menu),
      m_source(source)
{
    QWidget *client = makeClientArea("Form_Update", QStringLiteral("更新状況確認"), 4680, 3600);

    lab_Update = new QLabel(client);
    lab_Update->setObjectName(QStringLiteral("lab_Update"));
    placeTwips(lab_Update, 840, 120, 2895, 375);
    lab_Update->setAutoFillBackground(true);
    QPalette yellow = lab_Update->palette();
    yellow.setColor(QPalette::Window, QColor(255, 255, 0));
    lab_Update->setPalette(yellow);

    txt_Condition = new QPlainTextEdit(client);
    txt_Condition->setObjectName(QStringLiteral("txt_Condition"));
    placeTwips(txt_Condition, 120, 600, 4455, 2295);
    txt_Condition->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt_Condition->setTabChangesFocus(true);

    cmd_OK = new QPushButton(QStringLiteral("確認"), client);
    cmd_OK->setObjectName(QStringLiteral("cmd_OK"));
    placeTwips(cmd_OK, 1800, 3000, 1215, 495);
    cmd_OK->setEnabled(false);

    setTabOrder(txt_Condition, cmd_OK);
    txt_Condition->setFocus();

    Inet1 = new Inet(this);
    Inet1->setObjectName(QStringLiteral("Inet1"));
    m_request = new PageRequest(Inet1, this);
    connect(cmd_OK, &QPushButton::clicked, this, guard(&Form_Update::cmd_OK_Click));
}

void Form_Update::Form_Activate()
{
    if (m_running)
        return;
    m_running = true;
    cmd_OK->setEnabled(false);
    // A failure that ends the run early still leaves the window usable.
    const auto finished = qScopeGuard([this] {
        m_running = false;
        cmd_OK->setEnabled(true);
    });

    RunLock lock(AppDir());
    if (!lock.tryLock(RunLock::Holder::WindowDownload)) {
        MessageBox::show(this, lock.busyText());
        cmd_OK_Click();
        return;
    }
    const QString dataUrl = m_source ? m_source->dataUrl() : QString();
    Inet1->setProxy(m_source ? m_source->proxy() : QString());

    UpdateRun::Io io;
    io.requestPage = [this](const QString &url) { return m_request->fetch(url); };
    io.appendLog = [this](const QString &piece) { appendLog(piece); };
    io.setCaption = [this](const QString &caption) { lab_Update->setText(caption); };
    UpdateRun::run(AppDir(), dataUrl, io);
}

void Form_Update::cmd_OK_Click()
{
    // This window is made afresh for every visit.
    returnToMenu();
    deleteLater();
}

void Form_Update::closeFromFrame()
{
    // Leaving mid-run would lose track of where the download stopped.
    if (m_running)
        return;
    cmd_OK_Click();
}

// Appends at the end of the document, so a long log costs no more per line.
void Form_Update::appendLog(const QString &piece)
{
    QTextDocument *document = txt_Condition->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    QTextBlock start = cursor.block();
    start.setUserState(kPieceStart);
    const int startNumber = start.blockNumber();
    cursor.insertText(piece);
    if (document->blockCount() > kLogLines) {
        QTextBlock keep = document->findBlockByNumber(document->blockCount() - kLogLines);
        while (keep.isValid() && keep.userState() != kPieceStart)
            keep = keep.next();
        if (!keep.isValid())
            keep = document->findBlockByNumber(startNumber);
        QTextCursor top(document);
        top.setPosition(keep.position(), QTextCursor::KeepAnchor);
        top.removeSelectedText();
    }
    // Follow the run: the newest lines are the ones to read.
    txt_Condition->verticalScrollBar()->setValue(txt_Condition->verticalScrollBar()->maximum());
}
