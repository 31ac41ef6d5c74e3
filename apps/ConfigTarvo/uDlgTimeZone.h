#pragma once
// Input form of one tariff time zone: name, start time, base cost and minimum cost.

#include "base/uDateTime.h"

#include <QDialog>

class QLineEdit;
class QTimeEdit;
class QPushButton;
class TSpinEditDouble;

namespace ConfigTarvo {
class TTarvoDoc;
}

class TfmTimeZoneDlg : public QDialog {
    Q_OBJECT
public:
    explicit TfmTimeZoneDlg(QWidget* AOwner = nullptr);

    // Set by the caller before exec(); on OK the zone is already added or changed in the document, and
    // for a new zone m_nTzIdx holds its index.
    ConfigTarvo::TTarvoDoc* m_pDoc = nullptr;
    int m_nTzIdx = -1;

    // Values as last loaded or read from the controls.
    QString m_sName;
    TTime m_tStartTime = 0;
    Extended m_nBaseCost = 0;
    Extended m_nMinCost = 0;

    int exec() override;

    QLineEdit* edtName = nullptr;
    QTimeEdit* dtpTimeStart = nullptr;
    TSpinEditDouble* edtBaseCost = nullptr;
    TSpinEditDouble* edtMinCost = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void LoadFromDoc();
    void btnOkClick();
};

// Runs the dialog modally on ADoc for zone AIdx (-1: a new one); true on OK, with VIdx the zone's index.
bool DoTimeZoneDlg(QWidget* AOwner, ConfigTarvo::TTarvoDoc& ADoc, int AIdx, int* VIdx = nullptr);
