// The main window's three lists and its answers to the document: list refreshes by change bits, the
// popups of check-ins and check-outs, base-station pulses and the automatic receipt.

#include "apps/Tarvo/uFmMain.h"

#include "base/uMessages.h"
#include "frontdesk/uDurationText.h"
#include "frontdesk/uTarvoDoc.h"
#include "frontdesk/uViewData.h"
#include "gui/uIcons.h"
#include "gui/uListView.h"
#include "gui/uListViewModel.h"
#include "gui/uPopupMsg.h"
#include "reader/OrvRClasses.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using namespace Tarvo;

namespace {

constexpr Qt::Alignment Centre = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr Qt::Alignment Right = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;

// Column widths are given for the compact font of the program's first desktop; they grow with the font
// in use so that times, names and sums fit.
int Scaled(int APixels) {
    return static_cast<int>(APixels * FontScale() + 0.5);
}

// The first column shows only the camera icon; it is as wide as its caption so the header stays legible.
int CameraWidth() {
    return std::max(Scaled(24),
                    QFontMetrics(QApplication::font()).horizontalAdvance(QStringLiteral("Camera")) + 14);
}

std::vector<TListViewColumn> LogColumns() {
    return {{QStringLiteral("Camera"), CameraWidth(), Left, false},
            {QStringLiteral("Time"), Scaled(75), Centre, false},
            {QStringLiteral("User name"), Scaled(100), Left, false},
            {QStringLiteral("Comment"), 0, Left, true},
            {QStringLiteral("Direct"), Scaled(60), Left, false},
            {QStringLiteral("Level"), Scaled(45), Centre, false},
            {QStringLiteral("Sum"), Scaled(75), Right, false}};
}
std::vector<TListViewColumn> InColumns() {
    return {{QStringLiteral("#"), Scaled(30), Left, false},
            {QStringLiteral("User name"), Scaled(100), Left, false},
            {QStringLiteral("Comment"), 0, Left, true},
            {QStringLiteral("Key"), Scaled(100), Left, false},
            {QStringLiteral("Time"), Scaled(75), Centre, false},
            {QStringLiteral("Booking from"), Scaled(75), Centre, false},
            {QStringLiteral("Booking to"), Scaled(75), Centre, false}};
}
std::vector<TListViewColumn> RepColumns() {
    return {{QStringLiteral("Camera"), CameraWidth(), Left, false},
            {QStringLiteral("#"), Scaled(30), Right, false},
            {QStringLiteral("User name"), Scaled(100), Left, false},
            {QStringLiteral("Comment"), 0, Left, true},
            {QStringLiteral("Level"), Scaled(45), Centre, false},
            {QStringLiteral("Time In"), Scaled(75), Centre, false},
            {QStringLiteral("Time Out"), Scaled(75), Centre, false},
            {QStringLiteral("Sum"), Scaled(75), Right, false}};
}

// Any of the four outputs (LED G, LED R, beeper, power) takes part in the event's pulse.
bool UsesKorvelOutputs(const TKorvelOutputs& AOutputs) {
    return (AOutputs.m_nKorvelOutputs & 0xFu) != 0;
}

TListView* MakeList(QWidget* APage, const char* AName) {
    auto* lv = new TListView(APage);
    lv->setObjectName(QString::fromLatin1(AName));
    return lv;
}

} // namespace

void TfmMain::CreateViews() {
    lvLog = MakeList(tsLog, "lvLog");
    auto* logLayout = new QVBoxLayout(tsLog);
    logLayout->setContentsMargins(2, 2, 2, 2);
    logLayout->addWidget(lvLog);

    lvIn = MakeList(tsIn, "lvIn");
    auto* inLayout = new QVBoxLayout(tsIn);
    inLayout->setContentsMargins(2, 2, 2, 2);
    inLayout->addWidget(lvIn);

    lvReport = MakeList(tsReport, "lvReport");
    auto* repLayout = new QVBoxLayout(tsReport);
    repLayout->setContentsMargins(2, 2, 2, 2);
    repLayout->addWidget(lvReport);
    auto* panel = new QWidget(tsReport);
    panel->setObjectName(QStringLiteral("pnlTotal"));
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(0, 2, 0, 0);
    auto* label = new QLabel(QStringLiteral("&Total sum:"), panel);
    label->setObjectName(QStringLiteral("labTotalSum"));
    edtTotalSum = new QLineEdit(QStringLiteral("0"), panel);
    edtTotalSum->setObjectName(QStringLiteral("edtTotalSum"));
    edtTotalSum->setReadOnly(true);
    edtTotalSum->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edtTotalSum->setMaximumWidth(140);
    label->setBuddy(edtTotalSum);
    panelLayout->addStretch(1);
    panelLayout->addWidget(label);
    panelLayout->addWidget(edtTotalSum);
    repLayout->addWidget(panel);

    m_oLogVD = std::make_unique<TLogViewData>(*m_oDoc);
    m_oInVD = std::make_unique<TInViewData>(*m_oDoc);
    m_oRepVD = std::make_unique<TRepViewData>(*m_oDoc);
    m_oLogModel = new TListViewModel(*m_oLogVD, LogColumns(), this);
    m_oInModel = new TListViewModel(*m_oInVD, InColumns(), this);
    m_oRepModel = new TListViewModel(*m_oRepVD, RepColumns(), this);
    m_oLogModel->SetImageList(TarvoIcons::ListImages());
    m_oRepModel->SetImageList(TarvoIcons::ListImages());
    lvLog->SetListModel(m_oLogModel);
    lvIn->SetListModel(m_oInModel);
    lvReport->SetListModel(m_oRepModel);
    lvLog->SetHeaderClickable(false);
    lvIn->SetHeaderClickable(true);
    lvReport->SetHeaderClickable(true);

    // The log shows the newest entry first: a refresh brings the top into view, where the event that
    // caused it is. The other two lists grow at the end.
    m_oLogVD->SetOnUpdateAllView([this](TVirtualListViewData&) {
        lvLog->UpdateAllView(false);
        if (m_oLogModel->Count() > 0)
            lvLog->scrollToTop();
    });
    m_oInVD->SetOnUpdateAllView([this](TVirtualListViewData&) { lvIn->UpdateAllView(true); });
    m_oRepVD->SetOnUpdateAllView([this](TVirtualListViewData&) { lvReport->UpdateAllView(true); });

    connect(pcMain, &QTabWidget::currentChanged, this, [this](int AIdx) { pcMainChange(AIdx); });
    connect(lvIn, &TListView::headerClicked, this, [this](int AColumn) { SortColumnClick(false, AColumn); });
    connect(lvReport, &TListView::headerClicked, this,
            [this](int AColumn) { SortColumnClick(true, AColumn); });
    connect(lvLog, &TListView::rowDoubleClicked, this, [this](int ARow) { DoLogItemDlg(ARow); });
    connect(lvLog, &TListView::enterPressed, this, [this] {
        const int lRow = lvLog->FirstSelectedRow();
        if (lRow >= 0)
            DoLogItemDlg(lRow);
    });
    connect(lvLog, &TListView::iconClicked, this, [this](int ARow) { lvLogIconClick(ARow); });
    connect(lvIn, &TListView::rowDoubleClicked, this, [this](int) { DoBookingDlg(); });
    connect(lvIn, &TListView::enterPressed, this, [this] { DoBookingDlg(); });
    connect(lvReport, &TListView::rowDoubleClicked, this, [this](int) { DoReceiptDlg(); });
    connect(lvReport, &TListView::enterPressed, this, [this] { DoReceiptDlg(); });
    connect(lvReport, &TListView::iconClicked, this, [this](int ARow) { lvReportIconClick(ARow); });
    connect(lvReport, &TListView::contextMenuRequested, this,
            [this](const QPoint& AGlobalPos) { menuReport->popup(AGlobalPos); });
    CreateRepExport();
}

// ---- pages ----------------------------------------------------------------------------------------

void TfmMain::pcMainChange(int AIdx) {
    InitPage(AIdx);
}

void TfmMain::InitPage(int AIdx) {
    QWidget* lPage = pcMain->widget(AIdx);
    if (lPage == tsLog && !(m_nInitPages & PAGE_LOG)) {
        m_nInitPages |= PAGE_LOG;
        m_oLogVD->Update();
    } else if (lPage == tsIn && !(m_nInitPages & PAGE_IN)) {
        m_nInitPages |= PAGE_IN;
        m_oInVD->Update();
    } else if (lPage == tsReport && !(m_nInitPages & PAGE_REPORT)) {
        m_nInitPages |= PAGE_REPORT;
        m_oRepVD->Update();
        UpdateTotalSum();
    }
}

void TfmMain::UpdateTotalSum() {
    edtTotalSum->setText(TTarvoDoc::PriceToStr(m_oDoc->TotalSum(), m_oDoc->AccPrice()));
}

void TfmMain::SortColumnClick(bool AReport, int AColumn) {
    if (AReport) {
        m_oRepVD->ColumnClick(AColumn);
        lvReport->ShowSortColumn(m_oRepVD->SortColumn());
    } else {
        m_oInVD->ColumnClick(AColumn);
        lvIn->ShowSortColumn(m_oInVD->SortColumn());
    }
}

// ---- the document's notifications ----------------------------------------------------------------

void TfmMain::DocChange() {
    const std::uint32_t m = m_oDoc->ChangeMask();
    if (m & DCH_LANGUAGE)
        ApplyLanguage();
    // Rows show settings too: the log its sums (price accuracy) and its "In" and "Out" (language), the
    // guests their times (tariffication); a change of either shows at once, not at the next card.
    if ((m & (DCH_LOG | DCH_REPVIEW | DCH_LANGUAGE)) && (m_nInitPages & PAGE_LOG))
        m_oLogVD->Update();
    if ((m & (DCH_INUSERS | DCH_REPVIEW)) && (m_nInitPages & PAGE_IN))
        m_oInVD->Update();
    if ((m & (DCH_REPORT | DCH_REPVIEW)) && (m_nInitPages & PAGE_REPORT))
        m_oRepVD->Update();
    if ((m & DCH_TOTALS) && (m_nInitPages & PAGE_REPORT))
        UpdateTotalSum();
    if (m & DCH_POPUP)
        m_oPopups->SetPmMax(m_oDoc->PopupMax());
    if ((m & DCH_READER) && IsKorvel()) {
        if (m & DCH_KORVEL_OUTPUTS)
            ApplyKorvelOutputs();
        if (m & DCH_KORVEL_WIEGAND)
            SetKorvelFormat();
    }
}

QString TfmMain::DisplayName(const TCard& ACard) const {
    if (!ACard.m_sUserName.isEmpty())
        return ACard.m_sUserName;
    return QStringLiteral("{%1}").arg(KeyNumToStr(ACard.m_Number, m_oDoc->KeyView()));
}

void TfmMain::DocUserIn() {
    const TInUserList& lIn = m_oDoc->InUsers();
    if (lIn.IsEmpty())
        return;
    const TInUser& lUser = *lIn.Get(lIn.Count() - 1);
    m_fExit = false;
    if (IsKorvel() && UsesKorvelOutputs(m_oDoc->GetKorvelOutput(0)))
        StartKorvelPulse();
    StartWebcamSeries(lUser.m_dtTime);
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(TTarvoDoc::RoundToMinutes(lUser.m_dtTime), h, n, s, ms);
    const QString lText =
        FormatResString(MSG_LOGGED_AT, {DisplayName(*lUser.m_pCard), QString::asprintf("%.2d:%.2d", h, n)});
    m_oPopups->ShowPopupMessage(lText, std::any(), m_oDoc->PopupFontName(), m_oDoc->PopupFontSize(),
                                m_oDoc->PopupTimeOut() * 1000u);
}

void TfmMain::DocUserOut() {
    const TRepList& lRep = m_oDoc->Report();
    if (lRep.IsEmpty())
        return;
    const int lIdx = lRep.Count() - 1;
    const TRepItem& lRow = *lRep.Get(lIdx);
    m_fExit = true;
    if (IsKorvel() && UsesKorvelOutputs(m_oDoc->GetKorvelOutput(1)))
        StartKorvelPulse();
    StartWebcamSeries(lRow.m_dtTimeOut);
    const QString lDuration = DurationText(lRow.m_dtTimeIn, lRow.m_dtTimeOut, m_oDoc->Tariffication());
    TReceiptData lData = MakeReceiptData(lIdx, lRow);
    const QString lText =
        FormatResString(MSG_HAS_BEEN, {DisplayName(*lRow.m_pCard), lDuration,
                                       TTarvoDoc::PriceToStr(lRow.m_nSum, m_oDoc->AccPrice())});
    m_oPopups->ShowPopupMessage(lText, std::any(lData), m_oDoc->PopupFontName(), m_oDoc->PopupFontSize(),
                                m_oDoc->PopupTimeOut() * 1000u);
    if (m_oDoc->AutoPrintRep()) {
        // Printed once the card event has finished, so the receipt window's own event loop never runs
        // inside the document's update.
        QTimer::singleShot(0, this, [this, lData] { ShowReceipt(lData, true); });
    }
}

void TfmMain::PopupShowReceipt(TfmPopupMessageDlg& APopup) {
    if (const auto* lData = std::any_cast<TReceiptData>(&APopup.UserData()))
        ShowReceipt(*lData, false);
}

// ---- photos of a visit ---------------------------------------------------------------------------

void TfmMain::lvLogIconClick(int ARow) {
    const int lIdx = m_oLogVD->GetItemDocIndex(ARow);
    const TLogList& lLog = m_oDoc->LogList();
    if (lIdx < 0 || lIdx >= lLog.Count())
        return;
    const TLogItem& lItem = *lLog.Get(lIdx);
    if (lItem.m_fIn) {
        TDateTime lOut = 0;
        for (int i = lIdx + 1; i < lLog.Count(); ++i)
            if (lLog.Get(i)->m_pCard == lItem.m_pCard) {
                if (!lLog.Get(i)->m_fIn)
                    lOut = lLog.Get(i)->m_dtTime;
                break;
            }
        ShowCameraArchFoto(lItem.m_dtTime, lOut, 0);
    } else {
        TDateTime lIn = 0;
        for (int i = lIdx - 1; i >= 0; --i)
            if (lLog.Get(i)->m_pCard == lItem.m_pCard) {
                if (lLog.Get(i)->m_fIn)
                    lIn = lLog.Get(i)->m_dtTime;
                break;
            }
        ShowCameraArchFoto(lIn, lItem.m_dtTime, 1);
    }
}

void TfmMain::lvReportIconClick(int ARow) {
    if (ARow < 0 || ARow >= m_oRepVD->GetCount())
        return;
    const TRepItem& lRow = *m_oDoc->Report().Get(m_oRepVD->GetItemDocIndex(ARow));
    ShowCameraArchFoto(lRow.m_dtTimeIn, lRow.m_dtTimeOut, 0);
}
