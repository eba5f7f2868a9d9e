#include "ui/StatusText.h"

#include <QEvent>

StatusText::StatusText(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void StatusText::setWholeText(const QString &text)
{
    whole_ = text;
    elide();
}

// The height of one line; the width is whatever the status bar has left.
QSize StatusText::sizeHint() const { return {0, QLabel::sizeHint().height()}; }

QSize StatusText::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void StatusText::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void StatusText::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) elide();
}

void StatusText::elide()
{
    // One line: a line break from a terminal's reply would otherwise make the bar taller.
    QString line = whole_;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
    const QString shown = fontMetrics().elidedText(line, Qt::ElideRight, contentsRect().width());
    QLabel::setText(shown);
    setToolTip(shown == whole_ ? QString() : whole_);
}
