#pragma once

// Audio subjects (producers) and observers (consumers), and the events audio
// components raise.
//
// Query: a component is an audio subject when QueryAudioSubject(component) answers,
// and an audio observer when QueryAudioObserver(component) does. A component answers
// by deriving from IkaAudioQuery (TkaAudioComponent does) and overriding the two
// queries to return the interface of its embedded Subject / Observer (the subject only
// while it exists). A plain rtl::TComponent answers neither. The embedded
// TkaAudioSubject and TkaAudioObserver answer for their own interface and ask their
// Controller for the other one, so from a convertor's subject one reaches its observer.
//
// References to the interfaces own nothing: lifetimes follow component ownership, and
// an observer detaches itself when its source is destroyed (removal notification).

#include "audio/kaWaveFormat.h"
#include "rtl/Component.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

class IkaAudioSubject;
class IkaAudioObserver;

class IkaAudioQuery {
public:
    virtual ~IkaAudioQuery() = default;
    virtual IkaAudioSubject* QueryAudioSubject() { return nullptr; }
    virtual IkaAudioObserver* QueryAudioObserver() { return nullptr; }
};

// {BE271F37-AA0D-4718-AE4E-F5C46E34BF76}
class IkaAudioSubject : public IkaAudioQuery {
public:
    virtual void AddObserver(IkaAudioObserver* observer) = 0;
    virtual void RemoveObserver(IkaAudioObserver* observer) = 0;
    virtual TkaWaveFormat* GetFormat() = 0;
};

// {FF60D1E0-9D22-47BF-95AB-807DECADFF1D}
class IkaAudioObserver : public IkaAudioQuery {
public:
    // audioData points into the producer's own buffer and is valid only during the call.
    virtual void ReceiveAudio(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize) = 0;
};

// What a component answers; none for null or for a component that is no audio component.
IkaAudioSubject* QueryAudioSubject(rtl::TComponent* component);
IkaAudioObserver* QueryAudioObserver(rtl::TComponent* component);

// A component that can answer the two queries. Audio components derive from it (or from
// rtl::TComponent and IkaAudioQuery both, where another base is needed).
class TkaAudioComponent : public rtl::TComponent, public IkaAudioQuery {
public:
    using rtl::TComponent::TComponent;
};

// ---- Events (an empty one is skipped) ----
using TBufferEvent =
    std::function<void(rtl::TComponent* sender, const void* audioData, int32_t audioDataSize)>;
using TAbortableBufferEvent =
    std::function<void(rtl::TComponent* sender, const void* audioData, int32_t audioDataSize, bool& abort)>;
// E is the exception the observer raised; clearing raiseException discards it and
// lets delivery go on.
using TObserverErrorEvent = std::function<void(IkaAudioSubject* sender, IkaAudioObserver* observer,
                                               const std::exception& e, bool& raiseException)>;
using TReceiveEvent =
    std::function<void(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize)>;

// The producer side a component embeds (field Subject). Owned by its Controller.
class TkaAudioSubject : public rtl::TComponent, public IkaAudioSubject {
public:
    // Both are required. `format` is not owned; it is what GetFormat returns.
    TkaAudioSubject(rtl::TComponent* owner, TkaWaveFormat* format);
    ~TkaAudioSubject() override; // drops the list; attached observers are not told

    std::string ClassName() const override { return "TkaAudioSubject"; }

    void AddObserver(IkaAudioObserver* observer) override;    // duplicates allowed
    void RemoveObserver(IkaAudioObserver* observer) override; // first equal entry
    TkaWaveFormat* GetFormat() override { return format_; }

    // Hands one block to every observer in attachment order. An observer that raises:
    // the error is offered to OnObserverError; it propagates (later observers miss the
    // block) unless the handler clears raiseException. Observers may attach or detach
    // during the pass; none is skipped or called twice. A producer whose block can go away
    // during the pass (an observer closes it) passes `blockAlive`: once it answers false,
    // the observers still waiting do not get the block.
    void NotifyObservers(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize,
                         const std::function<bool()>& blockAlive = nullptr);

    int ObserverCount() const;
    IkaAudioObserver* ObserverAt(int index) const; // none when out of range

    IkaAudioSubject* QueryAudioSubject() override { return this; }
    IkaAudioObserver* QueryAudioObserver() override { return ::QueryAudioObserver(controller_); }

    rtl::TComponent* Controller() const { return controller_; }

    bool RaiseObserverErrors = true; // the value raiseException enters the handler with
    TObserverErrorEvent OnObserverError;

private:
    rtl::TComponent* controller_;
    TkaWaveFormat* format_;
    mutable std::mutex lock_; // taken for each single access to observers_
    std::vector<IkaAudioObserver*> observers_;
};

// The consumer side a component embeds (field Observer). Owned by its Controller.
class TkaAudioObserver : public rtl::TComponent, public IkaAudioObserver {
public:
    explicit TkaAudioObserver(rtl::TComponent* owner); // owner required
    ~TkaAudioObserver() override;                      // detaches first

    std::string ClassName() const override { return "TkaAudioObserver"; }

    rtl::TComponent* AudioSource() const { return audioSource_; }
    // Attaches to `value` (none detaches). Raises EACMError "Component cannot observe
    // itself." for the Controller and "The selected component is not an audio subject."
    // for a component that is none; the attachment is unchanged then. Setting the same
    // source again moves this observer to the end of its delivery order.
    void SetAudioSource(rtl::TComponent* value);

    void ReceiveAudio(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize) override;

    IkaAudioObserver* QueryAudioObserver() override { return this; }
    IkaAudioSubject* QueryAudioSubject() override { return ::QueryAudioSubject(controller_); }

    rtl::TComponent* Controller() const { return controller_; }

    TReceiveEvent OnReceive;

protected:
    void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

private:
    rtl::TComponent* controller_;
    rtl::TComponent* audioSource_ = nullptr;
};
