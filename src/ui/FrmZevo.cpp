#include "ui/FrmZevo.h"

#include "ui/FrmZevoBuild.h"
#include "ui/StatusText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStatusBar>
#include <QToolButton>
#include <QWindow>

FrmZevo::FrmZevo(QWidget *parent) : QMainWindow(parent)
{
    FrmZevoBuild::build(*this);
    // The close button of the send-records panel and the clickable labels are watched here; the
    // application-wide filter raises the validation event of ValidatedEdit boxes.
    Picture2->installEventFilter(this);
    Image1->installEventFilter(this);
    Label9->installEventFilter(this);
    Label13->installEventFilter(this);
    qApp->installEventFilter(this);
}

FrmZevo::~FrmZevo() { qApp->removeEventFilter(this); }

void FrmZevo::setComButton(int n, bool pressed, int image)
{
    if (n < 1 || n > 8) return;
    comButtons[n]->setChecked(pressed);
    setComButtonImage(n, image);
}

void FrmZevo::setComButtonImage(int n, int image)
{
    if (n < 1 || n > 8) return;
    comButtons[n]->setProperty("imageIndex", image);
    comButtons[n]->setIcon(lampImage(image));
}

bool FrmZevo::comButtonPressed(int n) const { return n >= 1 && n <= 8 && comButtons[n]->isChecked(); }

int FrmZevo::comButtonImage(int n) const
{
    return n >= 1 && n <= 8 ? comButtons[n]->property("imageIndex").toInt() : 0;
}

// The status label is a StatusText (FrmZevoBuild): the one place a status text is elided.
void FrmZevo::setStatusText(const QString &text) { static_cast<StatusText *>(statusLabel_)->setWholeText(text); }

QString FrmZevo::statusText() const { return static_cast<const StatusText *>(statusLabel_)->wholeText(); }

void FrmZevo::showCloseFrame(bool visible)
{
    for (QFrame *side : ButBorder) side->setVisible(visible);
}

void FrmZevo::closeEvent(QCloseEvent *event)
{
    // The close is never refused; the shut-down saves before the window goes.
    if (!unloaded_) {
        unloaded_ = true;
        emit unloading();
    }
    event->accept();
}

bool FrmZevo::focusGuard(QObject *watched, QEvent *event)
{
    if (validating_) return false;
    auto *edit = qobject_cast<ValidatedEdit *>(QApplication::focusWidget());
    if (!edit || edit->window() != this) return false;

    bool leaving = false;
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        // A real click gives the focus to the clicked control before any filter of that control sees
        // the press, so it is caught on its way into the window; a press sent to a control directly
        // never moves the focus by itself and is caught at the control.
        QWidget *target = nullptr;
        if (watched == windowHandle()) {
            target = childAt(static_cast<QMouseEvent *>(event)->position().toPoint());
        } else if (!event->spontaneous()) {
            target = qobject_cast<QWidget *>(watched);
        }
        if (!target || target->window() != this || target == edit || edit->isAncestorOf(target)) return false;
        if (!target->isEnabled()) return false;
        leaving = qobject_cast<QAbstractButton *>(target) || (target->focusPolicy() & Qt::ClickFocus);
    } else if (event->type() == QEvent::KeyPress && watched == edit) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        leaving = key == Qt::Key_Tab || key == Qt::Key_Backtab;
    }
    if (!leaving) return false;

    validating_ = true;
    const bool ok = edit->validate();
    validating_ = false;
    if (ok) return false;
    edit->setFocus(Qt::OtherFocusReason);
    return true;  // the press (or Tab) that would have moved the focus is swallowed
}

bool FrmZevo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Picture2 && (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)) {
        showCloseFrame(true);
    } else if ((watched == Picture2 || watched == Image1) && event->type() == QEvent::MouseButtonRelease) {
        Picture1->hide();
        showCloseFrame(false);
        return true;
    } else if (watched == Label9 && event->type() == QEvent::MouseButtonRelease) {
        emit label9Clicked();
        return true;
    } else if (watched == Label13 && event->type() == QEvent::MouseButtonRelease) {
        emit label13Clicked();
        return true;
    }
    if (focusGuard(watched, event)) return true;
    return QMainWindow::eventFilter(watched, event);
}
