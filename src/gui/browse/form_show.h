#pragma once

#include "gui/browse/pager.h"
#include "gui/kit/taskwindow.h"

#include <QList>
#include <QStringList>

#include <memory>

class QAction;
class QLabel;
class QListWidget;
class QPushButton;
class FindBox;
class SiteFinder;
class SitePanel;

// Pages through the registered sites in the order of number.sdf and keeps the
// user's pages of interest, which it saves to pages.udf when left.
class Form_Show : public TaskWindow
{
    Q_OBJECT

public:
    explicit Form_Show(QWidget *menu);
    ~Form_Show() override;

    // The position of the site on display, 1 to SiteCount(), and the count of
    // positions; the pager keeps both. Not 16 bits: number.sdf may list more.
    int CurrentPos() const { return m_pager->position(); }
    int SiteCount() const { return m_pager->count(); }

    void Cmd_Next_Click();
    void cmd_Back_Click();
    void cmd_Add_Click();
    void cmd_Delete_Click();
    void Menu_End_Click();

protected:
    void Form_Activate() override;
    void closeFromFrame() override { Menu_End_Click(); }

private:
    void DisplaySite(int position);
    void loadPages(QStringList entries);
    void leaveFor(const QString &message);
    // Find, open in the browser and the paging keys: form_show_commands.cpp.
    void addCommands();
    void findSite(const QString &text);

    std::unique_ptr<SitePanel> m_site;
    Pager *m_pager;
    QLabel *Label4;
    QListWidget *List_Page;
    QPushButton *cmd_Add;
    QPushButton *cmd_Delete;
    QAction *Menu_End;

    // The data numbers that number.sdf lists; position k (from 1) shows
    // SiteNumbers[k - 1]. Positions run over the numbers actually listed,
    // whatever its count line says.
    QList<qint16> SiteNumbers;
    // The last exit could not save the list; the next one leaves without.
    bool m_leaveUnsaved = false;

    std::unique_ptr<SiteFinder> m_finder; // made on the first find after an activation
    FindBox *m_findBox = nullptr;
};
