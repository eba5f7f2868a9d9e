#include "app/DesktopOperator.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

OperatorInterface::Answer DesktopOperator::message(const QString &text, Buttons buttons, Icon icon,
                                                   const QString &title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? ApplicationTitle : title);
    // Boxes show replies, file contents and paths: plain text, never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int r = box.exec();
    if (buttons == Buttons::YesNo) return r == QMessageBox::Yes ? Answer::Yes : Answer::No;
    return Answer::Ok;
}

QString DesktopOperator::qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString name = parts[i];
        // The description usually names its patterns already ("Text (*.txt)").
        out << (name.contains(QLatin1Char('(')) ? name : name + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<QString> DesktopOperator::chooseFile(const QString &dialogName, const QString &filter)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setObjectName(dialogName);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(qtFilter(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

bool DesktopOperator::openInViewer(const QString &path)
{
    // The path travels as a URL, never through a shell.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QDateTime DesktopOperator::now() { return QDateTime::currentDateTime(); }

void DesktopOperator::pause(int milliseconds) { QThread::msleep(milliseconds > 0 ? milliseconds : 0); }
