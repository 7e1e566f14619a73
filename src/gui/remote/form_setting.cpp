#include "gui/remote/form_setting.h"

#include "gui/kit/placement.h"
#include "gui/kit/messagebox.h"
#include "platform/programdir.h"
#include "platform/schedule.h"
#include "platform/runerror.h"
#include "platform/runlock.h"
#include "remote/datasource.h"
#include "remote/urlfile.h"
#include "store/textrules.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace {

// A box that shows one value of the data source and edits it.
void wire(QLineEdit *box, DataSource *source, QString (DataSource::*value)() const,
          void (DataSource::*changed)(const QString &), void (DataSource::*set)(const QString &))
{
    box->setText((source->*value)());
    QObject::connect(source, changed, box, [box](const QString &text) {
        if (box->text() != text)
            box->setText(text);
    });
    QObject::connect(box, &QLineEdit::textChanged, source, set);
}

} // namespace

Form_Setting::Form_Setting(QWidget *menu, DataSource *source)
    : TaskWindow(menu),
      m_source(source)
{
    QWidget *client = makeClientArea("Form_Setting", QStringLiteral("設定"), 4680, 3120);

    Label1 = placeLabel(client, "Label1", QStringLiteral("データのURL"), 240, 360, 2415, 255);

    txt_URL = new QLineEdit(client);
    txt_URL->setObjectName(QStringLiteral("txt_URL"));
    placeTwips(txt_URL, 240, 720, 4215, 375);
    // The boxes carry whatever url.dat holds, not 32767 characters of it.
    txt_URL->setMaxLength(std::numeric_limits<int>::max());
    Label1->setBuddy(txt_URL);
    txt_URL->setAccessibleName(Label1->text());

    cmd_OK = placeButton(client, "cmd_OK", QStringLiteral("ＯＫ"), 1800, 2400, 1215, 495);
    cmd_OK->setDefault(true);

    txt_Proxy = new QLineEdit(client);
    txt_Proxy->setObjectName(QStringLiteral("txt_Proxy"));
    placeTwips(txt_Proxy, 240, 1680, 4215, 375);
    txt_Proxy->setMaxLength(std::numeric_limits<int>::max());

    Label2 = placeLabel(client, "Label2", QStringLiteral("PROXY"), 240, 1320, 1215, 255);
    Label2->setBuddy(txt_Proxy);
    txt_Proxy->setAccessibleName(Label2->text());

    setTabOrder(txt_URL, cmd_OK);
    setTabOrder(cmd_OK, txt_Proxy);

    wire(txt_URL, source, &DataSource::dataUrl, &DataSource::dataUrlChanged, &DataSource::setDataUrl);
    wire(txt_Proxy, source, &DataSource::proxy, &DataSource::proxyChanged, &DataSource::setProxy);

    connect(cmd_OK, &QPushButton::clicked, this, guard(&Form_Setting::cmd_OK_Click));

    Menu_Schedule = menuBar()->addAction(QStringLiteral("毎日自動で確認"));
    Menu_Schedule->setObjectName(QStringLiteral("Menu_Schedule"));
    Menu_Schedule->setCheckable(true);
    connect(Menu_Schedule, &QAction::triggered, this, guard(&Form_Setting::Menu_Schedule_Click));
}

void Form_Setting::Form_Activate()
{
    // Another copy or the command line may have switched it meanwhile.
    Menu_Schedule->setChecked(Schedule::status(AppDir()).on);
}

void Form_Setting::Menu_Schedule_Click()
{
    // The command line beside this program runs the daily download.
    const Schedule::Result result = Menu_Schedule->isChecked()
        ? Schedule::switchOn(AppDir(), QDir(AppDir()).absoluteFilePath(QStringLiteral("vellumark")))
        : Schedule::switchOff(AppDir());
    Menu_Schedule->setChecked(Schedule::status(AppDir()).on);
    MessageBox::show(this, result.message);
}

void Form_Setting::cmd_OK_Click()
{
    const QString url = m_source->dataUrl();
    const QString proxy = m_source->proxy();
    // Refused before anything is saved: such a value would come back changed.
    if (!UrlFile::canCarry(url) || !UrlFile::canCarry(proxy)) {
        MessageBox::show(this,
                         QStringLiteral("ダブルクォーテーション（\"）で始まる値、または\"とカンマや前後の空白を"
                                        "両方含む値は保存できません。値を直してください。"));
        return;
    }
    if (!TextRules::fitsCodePage(url) || !TextRules::fitsCodePage(proxy)) {
        MessageBox::show(this,
                         QStringLiteral("Shift-JIS で書けない文字を含む値は保存できません。値を直してください。"));
        return;
    }

    returnToMenu();
    const QString why = RunLock::save(AppDir(), [&] { UrlFile::write(AppDir(), url, proxy); });
    if (!why.isEmpty())
        MessageBox::show(menuWindow(), MessageBox::cannotSaveText(UrlFile::path(AppDir()), why));
}
