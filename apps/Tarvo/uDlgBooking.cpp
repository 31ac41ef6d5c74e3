#include "apps/Tarvo/uDlgBooking.h"
#include "gui/uDialogButtons.h"

#include "base/uMessages.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "gui/uLangForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

using Tarvo::TTarvoDoc;

namespace {

QTime ToQTime(TDateTime AValue) {
    int lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
    DecodeTime(TimeOf(AValue), lHour, lMin, lSec, lMSec);
    return QTime(lHour, lMin);
}

TTime FromQTime(const QTime& ATime) {
    return EncodeTime(ATime.hour(), ATime.minute(), 0, 0);
}

} // namespace

TfrmBookingDlg::TfrmBookingDlg(QWidget* AOwner, TTarvoDoc& ADoc, const Tarvo::TInUser& AUser)
    : QDialog(AOwner), m_pDoc(&ADoc), m_Number(AUser.m_pCard->m_Number),
      m_sUserName(AUser.m_pCard->m_sUserName) {
    setObjectName(QStringLiteral("TfrmBookingDlg"));
    setWindowTitle(QStringLiteral("Booking"));
    CreateControls();
    setFixedSize(424, 179);
    RegisterLangForm(this);
    LoadControls();
}

void TfrmBookingDlg::CreateControls() {
    auto* lLayout = new QVBoxLayout(this);
    auto* lGrid = new QGridLayout;
    auto lLabel = [this](const char* AName, const char* ACaption) {
        auto* lNew = new QLabel(QString::fromUtf8(ACaption), this);
        lNew->setObjectName(QLatin1String(AName));
        return lNew;
    };
    edtCard = new QLineEdit(this);
    edtCard->setObjectName(QStringLiteral("edtCard"));
    edtCard->setReadOnly(true);
    edtUser = new QLineEdit(this);
    edtUser->setObjectName(QStringLiteral("edtUser"));
    edtUser->setReadOnly(true);
    chkEnabled = new QCheckBox(QStringLiteral("&Enabled"), this);
    chkEnabled->setObjectName(QStringLiteral("chkEnabled"));
    labFrom = lLabel("labFrom", "&From:");
    dtpFrom = new QTimeEdit(this);
    dtpFrom->setObjectName(QStringLiteral("dtpFrom"));
    dtpFrom->setDisplayFormat(QStringLiteral("HH:mm"));
    labTo = lLabel("labTo", "&To:");
    dtpTo = new QTimeEdit(this);
    dtpTo->setObjectName(QStringLiteral("dtpTo"));
    dtpTo->setDisplayFormat(QStringLiteral("HH:mm"));
    chkAllDay = new QCheckBox(QStringLiteral("&All day"), this);
    chkAllDay->setObjectName(QStringLiteral("chkAllDay"));

    labFrom->setBuddy(dtpFrom);
    labTo->setBuddy(dtpTo);
    QLabel* labCard = lLabel("labCard", "Car&d:");
    labCard->setBuddy(edtCard);
    QLabel* labUser = lLabel("labUser", "&User:");
    labUser->setBuddy(edtUser);
    lGrid->addWidget(labCard, 0, 0);
    lGrid->addWidget(edtCard, 0, 1, 1, 3);
    lGrid->addWidget(labUser, 1, 0);
    lGrid->addWidget(edtUser, 1, 1, 1, 3);
    lGrid->addWidget(chkEnabled, 2, 1, 1, 3);
    lGrid->addWidget(labFrom, 3, 0);
    lGrid->addWidget(dtpFrom, 3, 1);
    lGrid->addWidget(labTo, 3, 2, Qt::AlignRight);
    lGrid->addWidget(dtpTo, 3, 3);
    lGrid->addWidget(chkAllDay, 4, 1, 1, 3);
    lGrid->setColumnStretch(1, 1);
    lGrid->setColumnStretch(3, 1);
    lLayout->addLayout(lGrid);
    lLayout->addStretch(1);

    lLayout->addLayout(MakeOkCancelRow(this, btnOk, btnCancel));

    // The card and the user are shown, not edited: the dialog opens on what the operator changes.
    setTabOrder(chkEnabled, dtpFrom);
    setTabOrder(dtpFrom, dtpTo);
    setTabOrder(dtpTo, chkAllDay);
    setTabOrder(chkAllDay, btnOk);
    setTabOrder(btnOk, btnCancel);
    setTabOrder(btnCancel, edtCard);
    setTabOrder(edtCard, edtUser);
    chkEnabled->setFocus();

    connect(chkEnabled, &QCheckBox::toggled, this, &TfrmBookingDlg::UpdateEnabled);
    connect(btnOk, &QPushButton::clicked, this, &TfrmBookingDlg::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects too
}

void TfrmBookingDlg::LoadControls() {
    edtCard->setText(KeyNumToStr(m_Number, m_pDoc->KeyView()));
    edtUser->setText(m_sUserName);
    TDateTime lFrom = 0, lTo = 0;
    bool lAllDay = false;
    const bool lBooked = m_pDoc->GetBookingForCard(m_Number, lFrom, lTo, lAllDay);
    if (!lBooked)
        m_pDoc->GetRecentBooking(lFrom, lTo, lAllDay);
    chkEnabled->setChecked(lBooked);
    dtpFrom->setTime(ToQTime(lFrom));
    dtpTo->setTime(ToQTime(lTo));
    chkAllDay->setChecked(lAllDay);
    UpdateEnabled();
}

void TfrmBookingDlg::UpdateEnabled() {
    const bool lEnabled = chkEnabled->isChecked();
    for (QWidget* lControl :
         {static_cast<QWidget*>(labFrom), static_cast<QWidget*>(dtpFrom), static_cast<QWidget*>(labTo),
          static_cast<QWidget*>(dtpTo), static_cast<QWidget*>(chkAllDay)})
        lControl->setEnabled(lEnabled);
}

TTime TfrmBookingDlg::FromTime() const {
    return FromQTime(dtpFrom->time());
}

TTime TfrmBookingDlg::ToTime() const {
    return FromQTime(dtpTo->time());
}

bool TfrmBookingDlg::StoreBooking() {
    try {
        if (m_pDoc->FindInUserByKeyNum(m_Number) < 0) {
            ShowErrorBox(this, FormatResString(MSG_BOOKING_GUEST_LEFT, {edtCard->text()}));
            return false;
        }
        const bool lEnabled = chkEnabled->isChecked();
        // A booking that could not be written to its file still holds in memory, and the operator has
        // been told about the file by the document's write-error report.
        m_pDoc->SetBookingForCard(m_Number, lEnabled, lEnabled ? FromTime() : 0, lEnabled ? ToTime() : 0,
                                  lEnabled && chkAllDay->isChecked());
        return true;
    } catch (const std::exception& lError) {
        ShowException(this, lError);
        return false;
    }
}

void TfrmBookingDlg::btnOkClick() {
    if (StoreBooking())
        accept();
    else if (m_pDoc->FindInUserByKeyNum(m_Number) < 0)
        reject(); // nobody left to book
}

void TfrmBookingDlg::done(int AResult) {
    if (chkEnabled->isChecked()) {
        try {
            m_pDoc->SetRecentBooking(FromTime(), ToTime(), chkAllDay->isChecked());
        } catch (const std::exception& lError) {
            ShowException(this, lError);
        }
    }
    QDialog::done(AResult);
}

bool ExecBookingDlg(QWidget* AOwner, TTarvoDoc& ADoc, Tarvo::TInUser& AUser) {
    TfrmBookingDlg lDlg(AOwner, ADoc, AUser);
    return lDlg.exec() == QDialog::Accepted;
}
