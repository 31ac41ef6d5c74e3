// The comment dialog of a check-in entry of the day's log.

#include "apps/Tarvo/uDlgBooking.h"
#include "gui/uDialogButtons.h"

#include "base/uMessages.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "gui/uLangForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using Tarvo::TTarvoDoc;

TfmLogItemDlg::TfmLogItemDlg(QWidget* AOwner, TTarvoDoc& ADoc, TDateTime ATime)
    : QDialog(AOwner), m_pDoc(&ADoc), m_tTime(ATime) {
    setObjectName(QStringLiteral("TfmLogItemDlg"));
    setWindowTitle(QStringLiteral("Log Item"));
    // A close box only: no minimise, maximise or help buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* lLayout = new QVBoxLayout(this);
    auto* labComment = new QLabel(QStringLiteral("Co&mment:"), this);
    labComment->setObjectName(QStringLiteral("labComment"));
    edtComment = new QLineEdit(this);
    edtComment->setObjectName(QStringLiteral("edtComment"));
    labComment->setBuddy(edtComment);
    lLayout->addWidget(labComment);
    lLayout->addWidget(edtComment);
    lLayout->addStretch(1);
    lLayout->addLayout(MakeOkCancelRow(this, btnOk, btnCancel));
    setFixedSize(466, 112);

    connect(btnOk, &QPushButton::clicked, this, &TfmLogItemDlg::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects too
    RegisterLangForm(this);

    edtComment->setText(m_pDoc->GetLogItemComment(m_tTime));
}

bool TfmLogItemDlg::StoreComment() {
    try {
        // The business day may have changed while the dialog was open, taking the entry with it.
        if (m_pDoc->_FindLogItemByTime(m_tTime) < 0) {
            ShowErrorBox(this, LoadResString(MSG_LOG_ITEM_GONE));
            return false;
        }
        m_pDoc->SetLogItemComment(m_tTime, edtComment->text());
        return true;
    } catch (const std::exception& lError) {
        ShowException(this, lError);
        return false;
    }
}

void TfmLogItemDlg::btnOkClick() {
    if (StoreComment())
        accept();
    else if (m_pDoc->_FindLogItemByTime(m_tTime) < 0)
        reject(); // nothing left to comment
}

bool ExecLogItemDlg(QWidget* AOwner, TTarvoDoc& ADoc, TDateTime ATime) {
    TfmLogItemDlg lDlg(AOwner, ADoc, ATime);
    return lDlg.exec() == QDialog::Accepted;
}
