#pragma once
// The modal "Processing" box of long operations: a text line, a progress bar (a marquee when the total
// is unknown) and "Cancel". The work runs either in the execute handler, started once the box is
// shown, or elsewhere while the state handler, asked every 300 ms, ends the box when it is done.

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class TfmProcessingDlg : public QDialog {
    Q_OBJECT
public:
    using TProcessEvent = std::function<void(TfmProcessingDlg& ASender)>;

    explicit TfmProcessingDlg(QWidget* AOwner = nullptr);

    // Runs the box modally; at least one handler is required. False exactly when it ended with Cancel.
    bool ExecuteProcessing(const QString& AText, void* AParam, bool ACancelVisible, int ATotal,
                           TProcessEvent AOnGetState, TProcessEvent AOnExecute);

    void SetProcessName(const QString& AText);
    void EnableCancelBtn(bool AVisible);
    bool IsCancelled() const { return m_fCancel; }
    void ResetCancel() { m_fCancel = false; }
    void IncPos();
    // Lets pending events run (the execute handler calls it between its steps).
    void DoProcess();
    // Ends the box with OK (state handlers call it when the work is done).
    void Finish() { done(Accepted); }

    void* EventParam() const { return FEventParam; }
    int Current() const { return FCurrent; }
    int Total() const { return FTotal; }
    void SetTotal(int ATotal);

    QLabel* labText = nullptr;
    QProgressBar* pbProgress = nullptr;
    QPushButton* btnCancel = nullptr;
    QTimer* timerState = nullptr;

protected:
    void showEvent(QShowEvent* AEvent) override;
    void hideEvent(QHideEvent* AEvent) override;
    void reject() override; // Escape and the title-bar close act as "Cancel"

private:
    void Execute();
    void TimerTick();
    void btnCancelClick();
    void UpdateProgress();

    bool m_fCancel = false;
    bool m_fInCancel = false;
    TProcessEvent FOnExecute, FOnGetState;
    int FCurrent = 0;
    int FTotal = 0;
    void* FEventParam = nullptr;
};
