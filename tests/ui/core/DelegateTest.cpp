#include "ui/core/Delegate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using SkinUI::CUIEventSource;
using SkinUI::MakeDelegate;

namespace {

std::vector<std::string> g_log;

bool FreeHandler(void* parameter) {
    g_log.push_back("free:" + std::to_string(*static_cast<int*>(parameter)));
    return true;
}

struct Recorder {
    std::string name;
    bool result;
    bool OnEvent(void* parameter) {
        g_log.push_back(name + ":" + std::to_string(*static_cast<int*>(parameter)));
        return result;
    }
};

// A handler that changes the source it is called from.
class SelfEditing {
public:
    explicit SelfEditing(CUIEventSource* source) : m_source(source) {}
    bool RemoveSelf(void*) {
        g_log.push_back("remove-self");
        m_source->RemoveHandler(MakeDelegate(this, &SelfEditing::RemoveSelf));
        m_source->RemoveHandler(MakeDelegate(this, &SelfEditing::Later));
        m_source->AddHandler(MakeDelegate(this, &SelfEditing::Added));
        return true;
    }
    bool Later(void*) {
        g_log.push_back("later");
        return true;
    }
    bool Added(void*) {
        g_log.push_back("added");
        return true;
    }
    bool Nested(void* parameter) {
        if (m_depth++ == 0) m_source->Fire(parameter);
        return true;
    }

private:
    CUIEventSource* m_source;
    int m_depth = 0;
};

}  // namespace

TEST(DelegateTest, FireCallsInOrderAndStopsAtTheFirstFalse) {
    g_log.clear();
    Recorder first{"first", true}, stopper{"stopper", false}, never{"never", true};
    CUIEventSource source;
    source.AddHandler(MakeDelegate(&first, &Recorder::OnEvent));
    source.AddHandler(MakeDelegate(&FreeHandler));
    source += MakeDelegate(&stopper, &Recorder::OnEvent);
    source += MakeDelegate(&never, &Recorder::OnEvent);
    int value = 7;
    EXPECT_FALSE(source.Fire(&value));
    EXPECT_EQ(g_log, (std::vector<std::string>{"first:7", "free:7", "stopper:7"}));
}

TEST(DelegateTest, HandlersMayEditTheirSourceWhileItFires) {
    g_log.clear();
    CUIEventSource source;
    SelfEditing editor(&source);
    source += MakeDelegate(&editor, &SelfEditing::Nested);
    source += MakeDelegate(&editor, &SelfEditing::RemoveSelf);
    source += MakeDelegate(&editor, &SelfEditing::Later);
    int value = 0;
    // The nested Fire removes RemoveSelf and Later under the outer Fire's feet; both Fires
    // skip them afterwards, and Added waits for the next Fire.
    EXPECT_TRUE(source.Fire(&value));
    EXPECT_EQ(g_log, (std::vector<std::string>{"remove-self"}));
    EXPECT_EQ(source.HandlerCount(), 2);
    g_log.clear();
    EXPECT_TRUE(source.Fire(&value));
    EXPECT_EQ(g_log, (std::vector<std::string>{"added"}));
}
