#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// Everything a command asks of the person at the console or of the desktop, behind one interface so
// that tests can answer a message box, choose a file or set the clock.
class OperatorInterface {
public:
    enum class Icon { None, Question, Critical, Information };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~OperatorInterface() = default;

    // An empty title shows the application's title, "Zevo".
    virtual Answer message(const QString &text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
                           const QString &title = QString()) = 0;

    // An open-file dialog. dialogName names the window's dialog ("Dlg_Open", "FileOpen"); filter is
    // the dialog filter as the commands give it ("Text (*.txt)|*.txt"). Empty when cancelled.
    virtual std::optional<QString> chooseFile(const QString &dialogName, const QString &filter) = 0;

    // Opens a file in the desktop's text viewer. false when no viewer could be started.
    virtual bool openInViewer(const QString &path) = 0;

    virtual QDateTime now() = 0;
    virtual void pause(int milliseconds) = 0;

    static inline const QString ApplicationTitle = QStringLiteral("Zevo");
};
