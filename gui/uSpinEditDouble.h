#pragma once
// Spin edit for decimal numbers in the user's locale (costs, prices, rates).

#include "base/uDateTime.h"

#include <QAbstractSpinBox>

class TSpinEditDouble : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TSpinEditDouble(QWidget* AParent = nullptr);

    // The text read as a decimal number with the locale's separator; text that is not a number reads
    // as MinValue.
    Extended Value() const;
    // Clamped to MinValue..MaxValue unless the two are equal (no limits), shown in the general format.
    void SetValue(Extended AValue);

    double MinValue() const { return m_dMinValue; }
    void SetMinValue(double AValue) { m_dMinValue = AValue; }
    double MaxValue() const { return m_dMaxValue; }
    void SetMaxValue(double AValue) { m_dMaxValue = AValue; }
    double Increment() const { return m_dIncrement; }
    void SetIncrement(double AValue) { m_dIncrement = AValue; }

    // AValue limited to the range (unchanged when MinValue equals MaxValue).
    Extended CheckValue(Extended AValue) const;

    void stepBy(int ASteps) override;

Q_SIGNALS:
    // The text changed, by typing or by SetValue.
    void Changed();

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* AEvent) override;
    void focusInEvent(QFocusEvent* AEvent) override;
    void focusOutEvent(QFocusEvent* AEvent) override;

private:
    bool IsValidChar(QChar AChar) const;

    double m_dMinValue = 0;
    double m_dMaxValue = 0;
    double m_dIncrement = 1.0;
};
