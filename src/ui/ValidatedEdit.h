#pragma once

#include <QLineEdit>
#include <functional>

// A text box with a validation event: when the focus is about to leave it for another control, the
// validator runs; returning false keeps the focus in the box and swallows the action (a click on a
// button, say) that would have moved it. FrmZevo's focus guard raises the event.
class ValidatedEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

    // true = accept, false = cancel (keep the focus here).
    std::function<bool()> validator;

    bool validate() { return !validator || validator(); }
};
