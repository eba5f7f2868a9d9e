#pragma once

#include "ui/OperatorInterface.h"

class QWidget;

// The person at the console, through the desktop: message boxes, open-file dialogs, the desktop's
// text viewer, the clock.
class DesktopOperator : public OperatorInterface {
public:
    Answer message(const QString &text, Buttons buttons, Icon icon, const QString &title) override;
    std::optional<QString> chooseFile(const QString &dialogName, const QString &filter) override;
    bool openInViewer(const QString &path) override;
    QDateTime now() override;
    void pause(int milliseconds) override;

    // "Text (*.txt)|*.txt|All|*.*" as a Qt dialog filter "Text (*.txt);;All (*.*)".
    static QString qtFilter(const QString &filter);
};
