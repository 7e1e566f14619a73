#pragma once

#include <QMainWindow>

#include <functional>

class QCloseEvent;

// A window that the menu shows for one task. It does its work on activation,
// which follows the menu's click handler, so a window that returns to the
// menu during its own activation leaves the menu visible and itself hidden.
class TaskWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit TaskWindow(QWidget *menu);

    // Shown by the menu: show, then activate once the click handler is done.
    void showFromMenu();

signals:
    // The activation work has run (tests wait for it).
    void activationDone();

protected:
    virtual void Form_Activate() = 0;
    // The frame's close control; by default the same as returning.
    virtual void closeFromFrame();

    // Shows the menu, then hides this window.
    void returnToMenu();
    // An event handler as a slot that never lets a failure of the file
    // rules out: the failure is shown and the window stays usable.
    template <typename Window> auto guard(void (Window::*handler)())
    {
        return [this, handler] { runGuarded([&] { (static_cast<Window *>(this)->*handler)(); }); };
    }
    void runGuarded(const std::function<void()> &handler);
    QWidget *menuWindow() const { return m_menu; }
    // Names and captions the window and gives it a fixed client area of the
    // given size in twips, as the central widget.
    QWidget *makeClientArea(const char *name, const QString &caption, int widthTwips, int heightTwips);

    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *m_menu;
};
