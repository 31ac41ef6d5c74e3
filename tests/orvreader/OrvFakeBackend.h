#pragma once
// A scripted backend for tests: ports named "FAKE..." whose readers deliver whatever events the test
// pushes, and which record what the library asked of them.

#include "orvreader/src/uOrvBackend.h"

#include <deque>
#include <memory>
#include <mutex>

namespace OrvTest {

struct TFakeScript {
    std::mutex oLock;
    std::deque<Orv::TReaderEvent> aEvents;
    Orv::TWakeFunc fWake;
    std::int32_t nOpenResult = ORV_OK;
    std::function<void()> fOnOpen; // runs inside the backend's open
    Orv::TOpenRequest rLastOpen;
    int nOpenCount = 0;

    // Queues events and wakes the reader once for each.
    void Push(std::initializer_list<Orv::TReaderEvent> AEvents) {
        Orv::TWakeFunc lWake;
        {
            std::lock_guard<std::mutex> g(oLock);
            aEvents.insert(aEvents.end(), AEvents);
            lWake = fWake;
        }
        if (lWake)
            for (std::size_t i = 0; i < AEvents.size(); ++i)
                lWake();
    }
};

class TFakeReader : public Orv::TBackendReader {
public:
    explicit TFakeReader(std::shared_ptr<TFakeScript> AScript) : m_pScript(std::move(AScript)) {}
    ~TFakeReader() override {
        std::lock_guard<std::mutex> g(m_pScript->oLock);
        m_pScript->fWake = nullptr;
    }
    Orv::TPortDesc Describe() const override {
        Orv::TPortDesc d;
        d.nPortType = ORVP_PORT_FT;
        d.sName = m_pScript->rLastOpen.sPortName;
        d.nRdType = ORVR_RD_DESK;
        d.nSn = 4242;
        d.nVersion = 0x0201;
        return d;
    }
    std::int32_t NextEvent(Orv::TReaderEvent& VEvent) override {
        std::lock_guard<std::mutex> g(m_pScript->oLock);
        if (m_pScript->aEvents.empty())
            return ORV_S_NO_MORE;
        VEvent = m_pScript->aEvents.front();
        m_pScript->aEvents.pop_front();
        return ORV_OK;
    }
    TOrvP_CONNECTION_STATUS ConnectionStatus() override { return ORVP_CS_CONNECTED; }
    std::int32_t SetIndicator(std::uint32_t, std::uint32_t, std::uint32_t) override { return ORV_OK; }
    std::int32_t SetPower(std::uint32_t) override { return ORV_E_NOT_KORVEL; }
    std::int32_t SetFormat(const std::u16string&) override { return ORV_E_NOT_KORVEL; }
    std::int32_t CardsInField(std::vector<TOrvR_CARD_INFO>& VCards) override {
        VCards.clear();
        for (std::uint8_t i = 1; i <= 3; ++i) {
            TOrvR_CARD_INFO c{};
            c.nType = ORVR_CD_MF_1K;
            c.nNum[0] = 1;
            c.nNum[1] = i;
            VCards.push_back(c);
        }
        return ORV_OK;
    }
    std::int32_t ReadULPages(std::uint32_t, std::uint8_t*) override { return ORV_E_NO_CARD; }
    std::int32_t WriteULPage(std::uint32_t, const std::uint8_t*) override { return ORV_E_NO_CARD; }
    std::int32_t FindT57(TOrv_KEYNUM_C VNum, std::uint32_t* VPar, std::uint32_t, std::uint32_t) override {
        VNum[0] = 2;
        VNum[1] = 0x34;
        VNum[2] = 0x12;
        if (VPar)
            *VPar = 7;
        return ORV_OK;
    }
    std::int32_t T57Block(bool, std::uint32_t, std::uint8_t*, std::uint32_t, std::uint32_t,
                          std::uint32_t) override {
        return ORV_E_NO_CARD;
    }
    std::int32_t ResetT57() override { return ORV_OK; }
    std::int32_t FirmwareBlock(const std::uint8_t*, std::uint32_t, bool) override { return ORV_OK; }

private:
    std::shared_ptr<TFakeScript> m_pScript;
};

class TFakeBackend : public Orv::TBackend {
public:
    explicit TFakeBackend(std::shared_ptr<TFakeScript> AScript) : m_pScript(std::move(AScript)) {}
    std::int32_t Start() override { return ORV_OK; }
    void Stop() override {}
    std::int32_t EnumPorts(std::vector<Orv::TPortDesc>&) override { return ORV_OK; }
    std::int32_t Open(const Orv::TOpenRequest& ARequest, Orv::TWakeFunc AWake,
                      std::unique_ptr<Orv::TBackendReader>& VReader) override {
        if (ARequest.sPortName.rfind(u"FAKE", 0) != 0)
            return ORV_E_PORT_NOT_FOUND;
        {
            std::lock_guard<std::mutex> g(m_pScript->oLock);
            m_pScript->rLastOpen = ARequest;
            ++m_pScript->nOpenCount;
        }
        if (m_pScript->fOnOpen)
            m_pScript->fOnOpen();
        if (m_pScript->nOpenResult != ORV_OK)
            return m_pScript->nOpenResult;
        {
            std::lock_guard<std::mutex> g(m_pScript->oLock);
            m_pScript->fWake = std::move(AWake);
        }
        VReader = std::make_unique<TFakeReader>(m_pScript);
        return ORV_OK;
    }
    std::int32_t Watch(Orv::TWakeFunc, std::unique_ptr<Orv::TBackendDetector>&) override {
        return ORV_E_NOT_SUPPORTED;
    }
    std::int32_t Refresh() override { return ORV_OK; }

private:
    std::shared_ptr<TFakeScript> m_pScript;
};

// Adds the fake backend to the library's next start for the lifetime of the object.
class TFakeBackendInstall {
public:
    TFakeBackendInstall() : pScript(std::make_shared<TFakeScript>()) {
        auto lScript = pScript;
        Orv::AddBackendFactory([lScript] { return std::make_unique<TFakeBackend>(lScript); });
    }
    ~TFakeBackendInstall() { Orv::ClearBackendFactories(); }
    std::shared_ptr<TFakeScript> pScript;
};

} // namespace OrvTest
