#include "rtl/Component.h"
#include "rtl/Exception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace rtl;

namespace {

std::vector<std::string> g_log;

class TProbe : public TComponent {
public:
    TProbe(TComponent* owner, std::string tag) : TComponent(owner), tag_(std::move(tag)) {}
    ~TProbe() override { g_log.push_back("destroy " + tag_); }
    TComponent* watched = nullptr;

protected:
    void Notification(TComponent* component, TOperation operation) override
    {
        TComponent::Notification(component, operation);
        if (operation == TOperation::opRemove && component == watched) {
            g_log.push_back(tag_ + " saw removal");
            watched = nullptr;
        }
    }

private:
    std::string tag_;
};

} // namespace

TEST(Component, OwnerDestroysWhatItOwnsLastFirst)
{
    g_log.clear();
    {
        TComponent owner(nullptr);
        new TProbe(&owner, "a");
        new TProbe(&owner, "b");
        EXPECT_EQ(owner.ComponentCount(), 2);
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"destroy b", "destroy a"}));
}

TEST(Component, DeletingAnOwnedComponentTakesItOutOfItsOwner)
{
    TComponent owner(nullptr);
    auto* child = new TProbe(&owner, "c");
    delete child;
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Component, FreeNotificationTellsTheWatcherOnce)
{
    g_log.clear();
    TProbe watcher(nullptr, "w");
    auto* source = new TProbe(nullptr, "s");
    watcher.watched = source;
    watcher.FreeNotification(source);
    watcher.FreeNotification(source); // registering twice tells once
    delete source;
    EXPECT_EQ(watcher.watched, nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"destroy s", "w saw removal"}));
}

TEST(Component, DestroyedWatcherIsNotToldLater)
{
    g_log.clear();
    TProbe source(nullptr, "s");
    {
        TProbe watcher(nullptr, "w");
        watcher.watched = &source;
        watcher.FreeNotification(&source);
    }
    // The watcher is gone; destroying the source must not call into it.
    SUCCEED();
}

TEST(Component, SiblingsHearOfARemovedSibling)
{
    g_log.clear();
    TComponent owner(nullptr);
    auto* a = new TProbe(&owner, "a");
    auto* b = new TProbe(&owner, "b");
    a->watched = b; // without asking for notification: ownership alone tells siblings
    delete b;
    EXPECT_EQ(a->watched, nullptr);
}

TEST(Assertion, MessageStartsWithAssertionFailure)
{
    try {
        RTL_ASSERT(1 + 1 == 3);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Assertion failure", 0), 0u);
    }
    EXPECT_NO_THROW(RTL_ASSERT(true));
}
