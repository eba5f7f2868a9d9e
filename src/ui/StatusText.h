#pragma once

#include <QLabel>

// The simple text of the status bar. It never asks for more room than the window's design gives it: a
// text wider than the label is cut with an ellipsis and shown whole in the tooltip, so a long reply
// from a terminal can neither widen the window nor be lost.
class StatusText : public QLabel {
    Q_OBJECT
public:
    explicit StatusText(QWidget *parent = nullptr);

    void setWholeText(const QString &text);
    const QString &wholeText() const { return whole_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void elide();
    QString whole_;
};
