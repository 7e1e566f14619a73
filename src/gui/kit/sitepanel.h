#pragma once

#include "store/datafiles.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QWidget;

// The site display that both browsing windows share: title, data number,
// description, link URL and sections, in the same places on each.
class SitePanel
{
public:
    enum class SectionColour { Plain, Yellow };

    // Creates the controls on client; only the section list's height and
    // colour differ between the windows.
    SitePanel(QWidget *client, int sectionHeightTwips, SectionColour colour);

    // Shows the description file of a data number; what it lacks, or the
    // whole file when it is missing, is shown empty.
    void display(const QString &appDir, qint16 dataNumber);
    void display(const DataFiles::SiteDescription &site);

    QLabel *Label1;
    QLineEdit *txt_Title;
    QLabel *lab_DataNumber;
    QLabel *Label2;
    QPlainTextEdit *txt_Setumei;
    QLabel *Label3;
    QLineEdit *txt_Link;
    QListWidget *List_Section;
};
