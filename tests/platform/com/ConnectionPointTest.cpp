#include "platform/com/ConnectionPoint.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

constexpr IID kEvents = {0x5D7E0C11, 0x2A33, 0x4B44, {0x95, 0x66, 0x17, 0x28, 0x39, 0x4A, 0x5B, 0x6C}};

// A dispatch sink that answers `kEvents` only when asked to, and logs what it is fired.
class CSink final : public IDispatch {
public:
    explicit CSink(bool answersEvents = true) : m_answersEvents(answersEvents) {}
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || (m_answersEvents && iid == kEvents)) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() noexcept override { return ++refs; }
    ULONG Release() noexcept override { return --refs; }  // lives on the test's stack
    HRESULT GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID member, REFIID iid, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                   UINT*) noexcept override {
        EXPECT_TRUE(iid == IID_NULL);
        fired.push_back(member);
        if (onInvoke) onInvoke(params);
        return answer;
    }

    ULONG refs = 0;
    std::vector<DISPID> fired;
    std::function<void(DISPPARAMS*)> onInvoke;
    HRESULT answer = S_OK;

private:
    bool m_answersEvents;
};

}  // namespace

TEST(ConnectionPointTest, ConnectionPointsConnectOnlySinksOfTheirEventInterface) {
    auto point = platform::CDispatchConnectionPoint::Create(nullptr, kEvents);
    ASSERT_TRUE(point);
    CSink plain(false);
    DWORD cookie = 123;
    EXPECT_EQ(point->Advise(&plain, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(plain.refs, 0u);

    CSink first;
    CSink second;
    DWORD firstCookie = 0;
    DWORD secondCookie = 0;
    ASSERT_EQ(point->Advise(&first, &firstCookie), S_OK);
    ASSERT_EQ(point->Advise(&second, &secondCookie), S_OK);
    EXPECT_NE(firstCookie, 0u);
    EXPECT_NE(firstCookie, secondCookie);

    // A sink that unadvises both itself and the next one while being fired.
    first.onInvoke = [&](DISPPARAMS*) {
        point->Unadvise(firstCookie);
        point->Unadvise(secondCookie);
    };
    second.answer = E_FAIL;
    EXPECT_EQ(point->Fire(7, nullptr), E_FAIL);
    EXPECT_EQ(first.fired, std::vector<DISPID>{7});
    EXPECT_EQ(second.fired, std::vector<DISPID>{7});
    EXPECT_EQ(point->SinkCount(), 0u);
    EXPECT_EQ(first.refs, 0u);
    EXPECT_EQ(second.refs, 0u);
    EXPECT_EQ(point->Unadvise(firstCookie), CONNECT_E_NOCONNECTION);

    ASSERT_EQ(point->Advise(&first, &firstCookie), S_OK);
    point->DisconnectAll();
    EXPECT_EQ(first.refs, 0u);
    IConnectionPointContainer* container = nullptr;
    EXPECT_EQ(point->GetConnectionPointContainer(&container), E_UNEXPECTED);
}
