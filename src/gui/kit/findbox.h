#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The browser's small find box: a text or data number, "次を検索", and a
// line that says when a find went on from the first site. It only asks; the
// window finds and moves.
class FindBox : public QDialog
{
    Q_OBJECT

public:
    explicit FindBox(QWidget *window);

    QString text() const;
    // Shows the box with its text selected, ready for a new one.
    void present();
    void setNote(const QString &note);

signals:
    void findRequested(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *txt_Find;
    QPushButton *cmd_FindNext;
    QLabel *lab_FindNote;
};
