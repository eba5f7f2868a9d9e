#include "support/ScriptedOperator.h"

OperatorInterface::Answer ScriptedOperator::message(const QString &text, Buttons buttons, Icon icon,
                                                    const QString &title)
{
    boxes.append({text, buttons, icon, title.isEmpty() ? ApplicationTitle : title});
    if (!answers.isEmpty()) return answers.dequeue();
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

std::optional<QString> ScriptedOperator::chooseFile(const QString &dialogName, const QString &filter)
{
    fileDialogs.append(dialogName + QLatin1Char('|') + filter);
    if (files.isEmpty()) return std::nullopt;
    return files.dequeue();
}

bool ScriptedOperator::openInViewer(const QString &path)
{
    viewed.append(path);
    return viewerWorks;
}
