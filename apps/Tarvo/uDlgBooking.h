#pragma once
// The booking dialog of a guest inside and the comment dialog of a check-in log entry.

#include "base/uDateTime.h"
#include "base/uKeyNum.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;
namespace Tarvo {
class TTarvoDoc;
class TInUser;
} // namespace Tarvo

// Sets or clears the booking of a guest inside. Events go on while the dialog is open, so the guest
// may check out meanwhile: the dialog keeps the card's key number, never the guest record.
class TfrmBookingDlg : public QDialog {
    Q_OBJECT
public:
    TfrmBookingDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, const Tarvo::TInUser& AUser);

    // The OK step: stores the booking for the guest; false (the error shown) when it failed.
    bool StoreBooking();

    QLineEdit* edtCard = nullptr;
    QLineEdit* edtUser = nullptr;
    QCheckBox* chkEnabled = nullptr;
    QLabel* labFrom = nullptr;
    QTimeEdit* dtpFrom = nullptr;
    QLabel* labTo = nullptr;
    QTimeEdit* dtpTo = nullptr;
    QCheckBox* chkAllDay = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    // Every closing with "Enabled" ticked remembers the shown times as the document's recent booking.
    void done(int AResult) override;

private:
    void CreateControls();
    void LoadControls();
    void UpdateEnabled();
    void btnOkClick();
    TTime FromTime() const;
    TTime ToTime() const;

    Tarvo::TTarvoDoc* m_pDoc;
    TOrv_KEYNUM m_Number;
    QString m_sUserName;
};

// Edits the comment of the log entry at moment m_tTime.
class TfmLogItemDlg : public QDialog {
    Q_OBJECT
public:
    TfmLogItemDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, TDateTime ATime);

    // The OK step: stores the comment; false (the error shown) when it failed.
    bool StoreComment();

    QLineEdit* edtComment = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void btnOkClick();

    Tarvo::TTarvoDoc* m_pDoc;
    TDateTime m_tTime;
};

// Books AUser (a guest of ADoc's guests-inside list); true when closed with OK.
bool ExecBookingDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, Tarvo::TInUser& AUser);
// Edits the comment of the check-in logged at ATime; true when closed with OK.
bool ExecLogItemDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, TDateTime ATime);
