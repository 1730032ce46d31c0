#pragma once
// Driving the converter form as a surveyor does: clicks on its controls and typed text,
// and a watchdog that answers every message box so that no test can hang on one.
#include <QString>
#include <QStringList>

#include "message_boxes.h"

class ConverterForm;
class QAbstractButton;
class QLineEdit;

namespace formdriver {

// Shows the form and waits until it is the active window.
bool ShowAndActivate(ConverterForm& form);
// A click where a check box or option button reacts (its indicator).
void ClickBox(QAbstractButton* button);
// A click in the middle of a push button.
void Press(QAbstractButton* button);
// Clicks into a text box and types, replacing what the click selected.
void TypeInto(QLineEdit* box, const QString& text);

// Closes every message box that opens while it lives, noting titles and texts.
using BoxWatchdog = testsupport::MessageBoxCatcher;

// The texts of Label5 .. Label14, for "the form is unchanged" checks.
QStringList ResultLabels(const ConverterForm& form);

}  // namespace formdriver
