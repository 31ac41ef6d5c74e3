#pragma once
// Popup messages: small frameless windows in the lower right corner of the screen's work area that
// announce check-ins and check-outs. They stay on top without taking the focus, stack upwards
// (newest at the bottom), close after their time-out and report a click to the manager.

#include <QLabel>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <any>
#include <functional>
#include <memory>
#include <vector>

class TPopupMsgMngr;

class TfmPopupMessageDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int MinWidth = 200;
    static constexpr int MinHeight = 100;
    static constexpr int LabelMargin = 3;

    TfmPopupMessageDlg(TPopupMsgMngr* AManager, std::any AUserData);
    ~TfmPopupMessageDlg() override;

    // The caller's data travelling with the popup (a receipt record, or empty); released with the popup.
    const std::any& UserData() const { return FUserData; }
    TPopupMsgMngr* Manager() const { return m_pManager; }

    // Resizes the window so that the label just holds its text (line breaks kept, no word wrap),
    // at least MinWidth x MinHeight; the top-left corner stays.
    void UpdateSize();
    // Tells the manager's OnShowReceipt about this popup.
    void ShowReceipt();

    QLabel* labText = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void mousePressEvent(QMouseEvent* AEvent) override;
    void showEvent(QShowEvent* AEvent) override;
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    friend class TPopupMsgMngr;
    void Timer1Timer();

    TPopupMsgMngr* m_pManager;
    std::any FUserData;
};

class TPopupMsgMngr : public QObject {
    Q_OBJECT
public:
    using TPopupMsgEvent = std::function<void(TPopupMsgMngr& ASender, TfmPopupMessageDlg& APopup)>;
    static constexpr int Margin = 4;

    explicit TPopupMsgMngr(QObject* AParent = nullptr);
    // Destroys the remaining popups with their data. OnClosePopup does not fire here: its handler's
    // owner is usually being destroyed too.
    ~TPopupMsgMngr() override;

    // The manager of this program run (the latest one created and not yet destroyed), or null.
    static TPopupMsgMngr* Instance();

    // Shows a popup with AText. An empty AFontName or a zero AFontSize keeps the label's default for
    // that part; ATimeOutMs 0 keeps the popup open until the count limit removes it. At the limit the
    // oldest popups go first, each with OnClosePopup. Returns the new popup.
    TfmPopupMessageDlg* ShowPopupMessage(const QString& AText, std::any AUserData, const QString& AFontName,
                                         int AFontSize, unsigned ATimeOutMs);

    int Count() const { return static_cast<int>(m_aItems.size()); }
    // 0 <= AIdx < Count(), else assertion.
    TfmPopupMessageDlg* GetItem(int AIdx) const;
    // Replaces entry AIdx by AValue (taken over); the old popup goes as a closing one does.
    void SetItem(int AIdx, TfmPopupMessageDlg* AValue);
    // Closes one popup as its time-out does (OnClosePopup, then it leaves the list and is destroyed).
    void ClosePopup(TfmPopupMessageDlg* APopup);

    // At most this many popups at a time; 0 or less: no limit.
    int PmMax() const { return m_nPmMax; }
    void SetPmMax(int AValue) { m_nPmMax = AValue; }

    const TPopupMsgEvent& OnShowReceipt() const { return FOnShowReceipt; }
    void SetOnShowReceipt(TPopupMsgEvent AEvent) { FOnShowReceipt = std::move(AEvent); }
    const TPopupMsgEvent& OnClosePopup() const { return FOnClosePopup; }
    void SetOnClosePopup(TPopupMsgEvent AEvent) { FOnClosePopup = std::move(AEvent); }

    // The screen area popups are stacked in: the primary screen's available geometry.
    static QRect WorkArea();

private:
    friend class TfmPopupMessageDlg;
    void ArrangePopups();
    void DoShowReceipt(TfmPopupMessageDlg& APopup);
    int IndexOf(const TfmPopupMessageDlg* APopup) const;
    void RemoveAt(int AIdx);

    std::vector<TfmPopupMessageDlg*> m_aItems; // oldest first; owned
    int m_nPmMax = 0;
    TPopupMsgEvent FOnShowReceipt;
    TPopupMsgEvent FOnClosePopup;
};
