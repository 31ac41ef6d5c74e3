#pragma once
// The update and change-notification scheme of both documents: every mutating member runs inside
// BeginUpdate/EndUpdate and ORs change bits into ChangeMask; the outermost EndUpdate fires OnChange
// once when the mask is not 0.

#include <cstdint>
#include <functional>

inline constexpr std::uint32_t DCH_MODIFIED = 0x00001;

class TDocUpdate {
public:
    using TNotifyEvent = std::function<void(TDocUpdate& ASender)>;

    virtual ~TDocUpdate() = default;

    void BeginUpdate();
    void EndUpdate();
    // ORs AMask into ChangeMask; AModify marks the document modified when it is not yet.
    void AddChange(std::uint32_t AMask, bool AModify);
    void SetModifyedFlag(bool AModifyed);

    bool Modifyed() const { return m_fModifyed; }
    std::uint32_t ChangeMask() const { return m_nChangeMask; }
    int UpdateDepth() const { return m_nUpdate; }

    const TNotifyEvent& OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent AEvent) { FOnChange = std::move(AEvent); }

protected:
    virtual void DoChange();

    // Scope guard: BeginUpdate now, EndUpdate when leaving, also on an exception.
    class TUpdateScope {
    public:
        explicit TUpdateScope(TDocUpdate& ADoc);
        ~TUpdateScope() noexcept(false);
        TUpdateScope(const TUpdateScope&) = delete;
        TUpdateScope& operator=(const TUpdateScope&) = delete;

    private:
        TDocUpdate& m_pDoc;
        int m_nUncaught;
    };

    // The setter rule: when AField differs from AValue, store it inside an update, add ABits and mark the
    // document modified.
    template <class T>
    void SetSetting(T& AField, const T& AValue, std::uint32_t ABits) {
        if (AField == AValue)
            return;
        TUpdateScope lUpdate(*this);
        AField = AValue;
        AddChange(ABits, true);
    }

private:
    bool m_fModifyed = false;
    int m_nUpdate = 0;
    std::uint32_t m_nChangeMask = 0;
    TNotifyEvent FOnChange;
};
