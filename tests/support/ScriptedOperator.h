#pragma once

#include "ui/OperatorInterface.h"

#include <QList>
#include <QQueue>

// The person at the console, scripted: records every message box and answers it from a queue
// (Ok / Yes by default), chooses files from a queue (cancel when empty), records viewer launches,
// and keeps a settable clock.
class ScriptedOperator : public OperatorInterface {
public:
    struct Box {
        QString text;
        Buttons buttons;
        Icon icon;
        QString title;  // as shown: the application's title when the command gave none
    };

    QList<Box> boxes;
    QQueue<Answer> answers;
    QQueue<std::optional<QString>> files;
    QList<QString> fileDialogs;  // "name|filter" of every dialog shown
    QList<QString> viewed;
    bool viewerWorks = true;
    QDateTime clock = QDateTime(QDate(2009, 3, 5), QTime(8, 7, 6));
    QList<int> pauses;

    Answer message(const QString &text, Buttons buttons, Icon icon, const QString &title) override;
    std::optional<QString> chooseFile(const QString &dialogName, const QString &filter) override;
    bool openInViewer(const QString &path) override;
    QDateTime now() override { return clock; }
    void pause(int milliseconds) override { pauses.append(milliseconds); }
};
