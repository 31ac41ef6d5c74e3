#include "gui/uSpinEditDouble.h"

#include "base/uLocale.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

TSpinEditDouble::TSpinEditDouble(QWidget* AParent) : QAbstractSpinBox(AParent) {
    // Value() of an empty text is MinValue: show it, so the field never starts blank.
    lineEdit()->setText(FloatToStr(0));
    connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEditDouble::Changed);
}

Extended TSpinEditDouble::Value() const {
    Extended lValue = 0;
    if (!TryStrToFloat(lineEdit()->text(), lValue))
        return m_dMinValue;
    return lValue;
}

Extended TSpinEditDouble::CheckValue(Extended AValue) const {
    if (m_dMinValue == m_dMaxValue)
        return AValue;
    if (AValue < m_dMinValue)
        return m_dMinValue;
    if (AValue > m_dMaxValue)
        return m_dMaxValue;
    return AValue;
}

void TSpinEditDouble::SetValue(Extended AValue) {
    const QString lText = FloatToStr(CheckValue(AValue));
    if (lineEdit()->text() != lText)
        lineEdit()->setText(lText);
}

void TSpinEditDouble::stepBy(int ASteps) {
    if (isReadOnly()) {
        QApplication::beep();
        return;
    }
    SetValue(Value() + Extended(ASteps) * m_dIncrement);
    selectAll();
}

// Both directions always: a read-only field beeps in stepBy instead of silently disabling its buttons.
QAbstractSpinBox::StepEnabled TSpinEditDouble::stepEnabled() const {
    return StepUpEnabled | StepDownEnabled;
}

bool TSpinEditDouble::IsValidChar(QChar AChar) const {
    if (AChar.unicode() >= '0' && AChar.unicode() <= '9')
        return true;
    return AChar == QLatin1Char('+') || AChar == QLatin1Char('-') || AChar == DecimalSeparator();
}

void TSpinEditDouble::keyPressEvent(QKeyEvent* AEvent) {
    const QString lText = AEvent->text();
    const bool lShortcut = AEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    // Only characters are filtered: navigation, editing keys and shortcuts (copy, paste, undo) pass, and
    // Enter goes on to the dialog's default button.
    if (!lShortcut && !lText.isEmpty() && lText.at(0).isPrint()) {
        for (QChar c : lText) {
            if (!IsValidChar(c)) {
                QApplication::beep();
                AEvent->accept();
                return;
            }
        }
    }
    QAbstractSpinBox::keyPressEvent(AEvent);
}

void TSpinEditDouble::focusInEvent(QFocusEvent* AEvent) {
    QAbstractSpinBox::focusInEvent(AEvent);
    // Deferred: a mouse click that gave the focus would otherwise place the caret over the selection.
    QTimer::singleShot(0, this, &QAbstractSpinBox::selectAll);
}

void TSpinEditDouble::focusOutEvent(QFocusEvent* AEvent) {
    Extended lValue = 0;
    if (TryStrToFloat(lineEdit()->text(), lValue) && CheckValue(lValue) != lValue)
        SetValue(lValue);
    QAbstractSpinBox::focusOutEvent(AEvent);
}
