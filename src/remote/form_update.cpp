#include "form_update.h"

#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "remote/form_setting.h"
#include "remote/updaterun.h"

#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Ticks of the whole-second clock after which a request is given up.
const qint16 kTimeoutTicks = 300;

// A year of pages logs some 150,000 lines (40 MB of layout); the log keeps
// about this many, dropping whole days from its top, never the latest one.
const int kLogLines = 10000;
// Marks the first line of each piece appended, so a day is dropped whole.
const int kPieceStart = 1;

} // namespace

Form_Update::Form_Update(QWidget *menu, Form_Setting *setting)
    : TaskWindow(menu)
    , m_setting(setting)
{
    setObjectName(QStringLiteral("Form_Update"));
    setWindowTitle(QStringLiteral("更新状況確認"));
    QWidget *client = makeClientArea(4680, 3600);

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
    connect(Inet1, &Inet::StateChanged, this, [this](qint16 state) {
        Inet1_StateChanged(state);
        if (WaitFlag != 1 && m_waitLoop)
            m_waitLoop->quit();
    });
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

    const QString dataUrl = m_setting ? m_setting->txt_URL->text() : QString();
    Inet1->setProxy(m_setting ? m_setting->txt_Proxy->text() : QString());

    UpdateRun::Io io;
    io.requestPage = [this](const QString &url) {
        UpdateRun::Response response;
        response.header = requestPage(url);
        response.body = ResponseText;
        response.failure = m_failure;
        return response;
    };
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

QString Form_Update::requestPage(const QString &url)
{
    m_failure.clear();
    Inet1->Execute(url, QStringLiteral("GET"));
    WaitFlag = 1;
    WaitForResponse();
    return Inet1->GetHeader(QString());
}

// Waits in an event loop that wakes for the transfer's events and the
// clock's ticks only, so a stalled server costs no processor time.
void Form_Update::WaitForResponse()
{
    WaitFlag = 1;
    Clock &clock = Clock::instance();
    qint32 lastSecond = clock.secondsSinceMidnight();
    qint16 ticks = 0;

    QEventLoop loop;
    const QMetaObject::Connection tick = connect(&clock, &Clock::secondChanged, &loop, [&] {
        const qint32 now = clock.secondsSinceMidnight();
        if (now == lastSecond || WaitFlag != 1)
            return;
        ++ticks;
        lastSecond = now;
        if (ticks == kTimeoutTicks) {
            m_failure = QStringLiteral("タイムアウト");
            WaitFlag = 0;
            ResponseText.clear();
            Inet1->Cancel();
            loop.quit();
        }
    });

    m_waitLoop = &loop;
    if (WaitFlag == 1)
        loop.exec();
    m_waitLoop = nullptr;
    disconnect(tick);

    // The loop also ends when the application does; the request is given up.
    if (WaitFlag == 1) {
        WaitFlag = 0;
        ResponseText.clear();
        Inet1->Cancel();
    }
}

void Form_Update::Inet1_StateChanged(qint16 State)
{
    try {
        switch (State) {
        case Inet::icResponseCompleted:
            WaitFlag = 0;
            if (Inet1->Protocol() == Inet::icHTTP) {
                // The whole body is read here, before the wait sees the flag.
                QString chunk = Inet1->GetChunk(1024, Inet::icString);
                ResponseText = chunk;
                while (!chunk.isEmpty()) {
                    chunk = Inet1->GetChunk(1024, Inet::icString);
                    ResponseText += chunk;
                }
            }
            break;
        case Inet::icError:
            m_failure = Inet1->failure();
            Inet1->Cancel();
            ResponseText.clear();
            WaitFlag = 0;
            break;
        default:
            break;
        }
    } catch (const RunError &error) {
        m_failure = error.reason();
        Inet1->Cancel();
        WaitFlag = 0;
        ResponseText.clear();
    }
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
