#include "audio/kaACM.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A producer as audio components build one: an embedded subject over its own format.
class TProducer : public TkaAudioComponent {
public:
    explicit TProducer(rtl::TComponent* owner) : TkaAudioComponent(owner)
    {
        Subject = new TkaAudioSubject(this, &Format);
    }
    ~TProducer() override
    {
        delete Subject;
        Subject = nullptr;
    }
    IkaAudioSubject* QueryAudioSubject() override { return Subject; }
    void Deliver(const void* data, int32_t size) { Subject->NotifyObservers(Subject, data, size); }

    TkaWaveFormat Format;
    TkaAudioSubject* Subject = nullptr;
};

// A consumer that logs what it receives and can be told to act inside the call.
class TConsumer : public TkaAudioComponent {
public:
    TConsumer(rtl::TComponent* owner, std::string name, std::vector<std::string>& log)
        : TkaAudioComponent(owner), name_(std::move(name)), log_(log)
    {
        Observer = new TkaAudioObserver(this);
        Observer->OnReceive = [this](IkaAudioSubject* sender, const void* data, int32_t size) {
            log_.push_back(name_);
            LastSender = sender;
            LastData = data;
            LastSize = size;
            if (OnBlock)
                OnBlock();
        };
    }
    ~TConsumer() override { delete Observer; }
    IkaAudioObserver* QueryAudioObserver() override { return Observer; }

    TkaAudioObserver* Observer = nullptr;
    std::function<void()> OnBlock;
    IkaAudioSubject* LastSender = nullptr;
    const void* LastData = nullptr;
    int32_t LastSize = -1;

private:
    std::string name_;
    std::vector<std::string>& log_;
};

class SubjectTest : public ::testing::Test {
protected:
    SubjectTest() : root(nullptr)
    {
        source = new TProducer(&root);
        for (const char* name : {"a", "b", "c"}) {
            consumers.push_back(new TConsumer(&root, name, log));
            consumers.back()->Observer->SetAudioSource(source);
        }
    }
    TConsumer& C(size_t i) { return *consumers[i]; }
    void Deliver() { source->Deliver(block, sizeof block); }

    rtl::TComponent root;
    TProducer* source;
    std::vector<TConsumer*> consumers;
    std::vector<std::string> log;
    const uint8_t block[4] = {1, 2, 3, 4};
};

using Log = std::vector<std::string>;

} // namespace

TEST_F(SubjectTest, EveryObserverGetsTheProducersOwnBufferInAttachmentOrder)
{
    Deliver();
    EXPECT_EQ(log, (Log{"a", "b", "c"}));
    for (auto* c : consumers) {
        EXPECT_EQ(c->LastData, block);
        EXPECT_EQ(c->LastSize, 4);
        EXPECT_EQ(c->LastSender, source->Subject);
    }
}

TEST(Subject, NoObserversReturnsAtOnce)
{
    rtl::TComponent root(nullptr);
    auto* p = new TProducer(&root);
    EXPECT_NO_THROW(p->Deliver(nullptr, 0));
    EXPECT_EQ(p->Subject->ObserverCount(), 0);
}

TEST_F(SubjectTest, ObserverDetachingItselfDoesNotSkipItsSuccessor)
{
    C(1).OnBlock = [&] { C(1).Observer->SetAudioSource(nullptr); };
    Deliver();
    EXPECT_EQ(log, (Log{"a", "b", "c"}));
    log.clear();
    Deliver();
    EXPECT_EQ(log, (Log{"a", "c"}));
}

TEST_F(SubjectTest, ObserverDetachingAnEarlierOneSkipsNobody)
{
    C(1).OnBlock = [&] { C(0).Observer->SetAudioSource(nullptr); };
    Deliver();
    EXPECT_EQ(log, (Log{"a", "b", "c"}));
}

TEST_F(SubjectTest, ObserverDetachingALaterOneMeansItIsNotCalled)
{
    C(0).OnBlock = [&] { C(2).Observer->SetAudioSource(nullptr); };
    Deliver();
    EXPECT_EQ(log, (Log{"a", "b"}));
}

TEST_F(SubjectTest, ObserversAttachedDuringThePassAreReachedInIt)
{
    auto* late = new TConsumer(&root, "late", log);
    C(0).OnBlock = [&] {
        C(0).OnBlock = nullptr;
        late->Observer->SetAudioSource(source);
    };
    Deliver();
    EXPECT_EQ(log, (Log{"a", "b", "c", "late"}));
}

TEST_F(SubjectTest, ReattachingMovesToTheEnd)
{
    C(0).Observer->SetAudioSource(source);
    Deliver();
    EXPECT_EQ(log, (Log{"b", "c", "a"}));
    EXPECT_EQ(source->Subject->ObserverCount(), 3);
}

TEST_F(SubjectTest, RaisingObserverWithoutHandlerStopsTheBlock)
{
    C(1).OnBlock = [] { throw EACMError("observer failed"); };
    try {
        Deliver();
        FAIL() << "the observer's error was swallowed";
    } catch (const EACMError& e) {
        EXPECT_STREQ(e.what(), "observer failed");
    }
    EXPECT_EQ(log, (Log{"a", "b"}));
}

TEST_F(SubjectTest, HandlerClearingRaiseExceptionLetsTheOthersHaveTheBlock)
{
    C(0).OnBlock = [] { throw std::runtime_error("first"); };
    C(1).OnBlock = [] { throw std::runtime_error("second"); };
    std::vector<std::string> seen;
    source->Subject->OnObserverError = [&](IkaAudioSubject* sender, IkaAudioObserver* observer,
                                           const std::exception& e, bool& raise) {
        EXPECT_EQ(sender, source->Subject);
        EXPECT_TRUE(raise);
        EXPECT_TRUE(observer == C(0).Observer || observer == C(1).Observer);
        seen.push_back(e.what());
        raise = false;
    };
    Deliver();
    EXPECT_EQ(log, (Log{"a", "b", "c"}));
    EXPECT_EQ(seen, (Log{"first", "second"}));
}

TEST_F(SubjectTest, HandlerLeavingRaiseExceptionPropagates)
{
    C(0).OnBlock = [] { throw std::runtime_error("kept"); };
    int calls = 0;
    source->Subject->OnObserverError = [&](IkaAudioSubject*, IkaAudioObserver*, const std::exception&,
                                           bool&) { ++calls; };
    EXPECT_THROW(Deliver(), std::runtime_error);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(log, (Log{"a"}));
}

TEST_F(SubjectTest, RaiseObserverErrorsFalseIsTheHandlersStartingValue)
{
    source->Subject->RaiseObserverErrors = false;
    C(0).OnBlock = [] { throw std::runtime_error("quiet"); };
    bool entered = true;
    source->Subject->OnObserverError = [&](IkaAudioSubject*, IkaAudioObserver*, const std::exception&,
                                           bool& raise) { entered = raise; };
    EXPECT_NO_THROW(Deliver());
    EXPECT_FALSE(entered);
    EXPECT_EQ(log, (Log{"a", "b", "c"}));
}

TEST_F(SubjectTest, ObserverThatDetachesAndRaisesIsNotCalledAgainNorSkipsTheNext)
{
    C(0).OnBlock = [&] {
        C(0).Observer->SetAudioSource(nullptr);
        throw std::runtime_error("gone");
    };
    source->Subject->OnObserverError = [](IkaAudioSubject*, IkaAudioObserver*, const std::exception&,
                                          bool& raise) { raise = false; };
    Deliver();
    EXPECT_EQ(log, (Log{"a", "b", "c"}));
}

TEST(Subject, DuplicatesAreDeliveredTwiceAndRemovedOneAtATime)
{
    rtl::TComponent root(nullptr);
    auto* p = new TProducer(&root);
    Log log;
    auto* c = new TConsumer(&root, "c", log);
    p->Subject->AddObserver(c->Observer);
    p->Subject->AddObserver(c->Observer);
    p->Deliver(nullptr, 0);
    EXPECT_EQ(log, (Log{"c", "c"}));
    p->Subject->RemoveObserver(c->Observer);
    EXPECT_EQ(p->Subject->ObserverCount(), 1);
    p->Subject->RemoveObserver(c->Observer);
    p->Subject->RemoveObserver(c->Observer); // absent: ignored
    EXPECT_EQ(p->Subject->ObserverCount(), 0);
}

TEST_F(SubjectTest, SelfObservationIsRefusedAndTheAttachmentStays)
{
    try {
        C(0).Observer->SetAudioSource(consumers[0]);
        FAIL();
    } catch (const EACMError& e) {
        EXPECT_STREQ(e.what(), "Component cannot observe itself.");
    }
    EXPECT_EQ(C(0).Observer->AudioSource(), source);
    Deliver();
    EXPECT_EQ(log, (Log{"a", "b", "c"}));
}

TEST_F(SubjectTest, PlainComponentIsNotASubject)
{
    auto* button = new rtl::TComponent(&root);
    try {
        C(0).Observer->SetAudioSource(button);
        FAIL();
    } catch (const EACMError& e) {
        EXPECT_STREQ(e.what(), "The selected component is not an audio subject.");
    }
    // A consumer is a component with an audio interface, but not a subject either.
    EXPECT_THROW(C(0).Observer->SetAudioSource(consumers[1]), EACMError);
    EXPECT_EQ(C(0).Observer->AudioSource(), source);
}

TEST_F(SubjectTest, NoneDetaches)
{
    C(0).Observer->SetAudioSource(nullptr);
    EXPECT_EQ(C(0).Observer->AudioSource(), nullptr);
    EXPECT_EQ(source->Subject->ObserverCount(), 2);
}

TEST_F(SubjectTest, DestroyingTheSourceDetachesItsObservers)
{
    delete source;
    for (auto* c : consumers)
        EXPECT_EQ(c->Observer->AudioSource(), nullptr);
    // They can attach elsewhere afterwards.
    auto* other = new TProducer(&root);
    C(0).Observer->SetAudioSource(other);
    other->Deliver(nullptr, 0);
    EXPECT_EQ(log, (Log{"a"}));
}

TEST_F(SubjectTest, DestroyedObserverLeavesTheList)
{
    delete consumers[1];
    EXPECT_EQ(source->Subject->ObserverCount(), 2);
    Deliver();
    EXPECT_EQ(log, (Log{"a", "c"}));
}

TEST_F(SubjectTest, QueriesDeferToTheController)
{
    EXPECT_EQ(QueryAudioSubject(source), source->Subject);
    EXPECT_EQ(QueryAudioObserver(source), nullptr);
    EXPECT_EQ(QueryAudioObserver(consumers[0]), C(0).Observer);
    EXPECT_EQ(QueryAudioSubject(consumers[0]), nullptr);
    EXPECT_EQ(C(0).Observer->QueryAudioObserver(), C(0).Observer);
    EXPECT_EQ(source->Subject->GetFormat(), &source->Format);
    rtl::TComponent plain(nullptr);
    EXPECT_EQ(QueryAudioSubject(&plain), nullptr);
    EXPECT_EQ(QueryAudioSubject(nullptr), nullptr);
}

TEST(Subject, RequiredPartsAreAsserted)
{
    rtl::TComponent owner(nullptr);
    TkaWaveFormat format;
    try {
        TkaAudioSubject s(nullptr, &format);
        FAIL();
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Assertion failure", 0), 0u) << e.what();
    }
    EXPECT_THROW(TkaAudioSubject(&owner, nullptr), rtl::EAssertionFailed);
    EXPECT_THROW(TkaAudioObserver(nullptr), rtl::EAssertionFailed);
}
