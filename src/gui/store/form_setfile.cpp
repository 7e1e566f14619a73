#include "gui/store/form_setfile.h"

#include "gui/kit/placement.h"
#include "gui/kit/messagebox.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/runlock.h"
#include "store/builder.h"

#include <QDir>
#include <QPushButton>

Form_SetFile::Form_SetFile(QWidget *menu)
    : TaskWindow(menu)
{
    QWidget *client = makeClientArea("Form_SetFile", QStringLiteral("ファイルの構築"), 4680, 735);

    cmd_End = placeButton(client, "cmd_End", QStringLiteral("終了"), 1680, 120, 1215, 495);
    cmd_End->setEnabled(false);
    connect(cmd_End, &QPushButton::clicked, this, guard(&Form_SetFile::cmd_End_Click));
}

void Form_SetFile::Form_Activate()
{
    RunLock lock(AppDir());
    if (!lock.tryLock(RunLock::Holder::Build)) {
        MessageBox::show(this, lock.busyText());
        cmd_End_Click();
        return;
    }
    DataFileBuilder builder;
    try {
        builder.BuildDataFiles(AppDir());
        cmd_End->setEnabled(true);
    } catch (const RunError &error) {
        if (error.number() == RunError::FileNotFound) {
            MessageBox::show(this, QStringLiteral("ファイルが存在しません。ファイルを確かめてください。"));
            MessageBox::show(this,
                             QStringLiteral("存在しないファイルは、\r\n")
                                 + QDir::toNativeSeparators(builder.inputPath()) + QStringLiteral("です。"));
            cmd_End_Click();
            return;
        }
        if (!builder.unsavedSettings().isEmpty()) {
            MessageBox::show(this,
                             QStringLiteral("設定を保存できませんでした。ファイルを確かめてください。\r\n")
                                 + QDir::toNativeSeparators(builder.unsavedSettings()));
            return;
        }
        MessageBox::show(this, QStringLiteral("その他のエラーです。 エラー番号：") + QString::number(error.number()));
    }
}

void Form_SetFile::cmd_End_Click()
{
    returnToMenu();
    cmd_End->setEnabled(false);
}

void Form_SetFile::closeFromFrame()
{
    cmd_End_Click();
}
