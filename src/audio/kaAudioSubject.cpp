#include "audio/kaAudioSubject.h"

#include "audio/kaAudioConsts.h"
#include "audio/kaErrors.h"

#include <algorithm>

namespace {

IkaAudioQuery* AsQuery(rtl::TComponent* component)
{
    // During a component's own teardown this finds nothing, so a dying producer no
    // longer answers as a subject.
    return dynamic_cast<IkaAudioQuery*>(component);
}

} // namespace

IkaAudioSubject* QueryAudioSubject(rtl::TComponent* component)
{
    IkaAudioQuery* query = AsQuery(component);
    return query ? query->QueryAudioSubject() : nullptr;
}

IkaAudioObserver* QueryAudioObserver(rtl::TComponent* component)
{
    IkaAudioQuery* query = AsQuery(component);
    return query ? query->QueryAudioObserver() : nullptr;
}

// ---- TkaAudioSubject ----

TkaAudioSubject::TkaAudioSubject(rtl::TComponent* owner, TkaWaveFormat* format)
    : rtl::TComponent(owner), controller_(owner), format_(format)
{
    RTL_ASSERT(owner != nullptr);
    RTL_ASSERT(format != nullptr);
}

TkaAudioSubject::~TkaAudioSubject() = default;

void TkaAudioSubject::AddObserver(IkaAudioObserver* observer)
{
    std::lock_guard guard(lock_);
    observers_.push_back(observer);
}

void TkaAudioSubject::RemoveObserver(IkaAudioObserver* observer)
{
    std::lock_guard guard(lock_);
    const auto found = std::find(observers_.begin(), observers_.end(), observer);
    if (found != observers_.end())
        observers_.erase(found);
}

int TkaAudioSubject::ObserverCount() const
{
    std::lock_guard guard(lock_);
    return static_cast<int>(observers_.size());
}

IkaAudioObserver* TkaAudioSubject::ObserverAt(int index) const
{
    std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(observers_.size()))
        return nullptr;
    return observers_[static_cast<size_t>(index)];
}

void TkaAudioSubject::NotifyObservers(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize,
                                      const std::function<bool()>& blockAlive)
{
    // No lock across the pass: observers may attach and detach from inside ReceiveAudio.
    // The index moves on only while the entry at it is still the one just called, so a
    // detached observer's successor (now at i) is called next and nobody twice.
    int i = 0;
    while (i < ObserverCount() && (!blockAlive || blockAlive())) {
        IkaAudioObserver* observer = ObserverAt(i);
        auto advance = [&] {
            if (i < ObserverCount() && ObserverAt(i) == observer)
                ++i;
        };
        try {
            observer->ReceiveAudio(sender, audioData, audioDataSize);
        } catch (const std::exception& e) {
            bool raise = RaiseObserverErrors;
            if (OnObserverError)
                OnObserverError(this, observer, e, raise);
            if (raise)
                throw;
        } catch (...) {
            // Not an exception object a handler could be shown: decided by the default.
            if (RaiseObserverErrors)
                throw;
        }
        advance();
    }
}

// ---- TkaAudioObserver ----

TkaAudioObserver::TkaAudioObserver(rtl::TComponent* owner) : rtl::TComponent(owner), controller_(owner)
{
    RTL_ASSERT(owner != nullptr);
}

TkaAudioObserver::~TkaAudioObserver()
{
    try {
        SetAudioSource(nullptr);
    } catch (...) {
        // Detaching raises only for a component as source; none is never refused.
    }
}

void TkaAudioObserver::SetAudioSource(rtl::TComponent* value)
{
    if (value && value == controller_)
        throw EACMError(SCannotObserveSelf);
    if (value && !::QueryAudioSubject(value))
        throw EACMError(SNotAnAudioSubject);
    if (audioSource_)
        if (IkaAudioSubject* old = ::QueryAudioSubject(audioSource_))
            old->RemoveObserver(this);
    audioSource_ = value;
    if (value) {
        FreeNotification(value);
        if (IkaAudioSubject* subject = ::QueryAudioSubject(value))
            subject->AddObserver(this);
    }
}

void TkaAudioObserver::ReceiveAudio(IkaAudioSubject* sender, const void* audioData, int32_t audioDataSize)
{
    if (OnReceive)
        OnReceive(sender, audioData, audioDataSize);
}

void TkaAudioObserver::Notification(rtl::TComponent* component, rtl::TOperation operation)
{
    rtl::TComponent::Notification(component, operation);
    if (operation == rtl::TOperation::opRemove && component == audioSource_)
        SetAudioSource(nullptr);
}
