#include "rtl/Component.h"

#include "rtl/Filer.h"

#include <algorithm>

namespace rtl {

namespace {

void Erase(std::vector<TComponent*>& list, TComponent* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

} // namespace

TComponent::TComponent(TComponent* owner)
{
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    destroying_ = true;
    // Everyone watching this component is told first, while it is still in its owner.
    while (!freeNotifies_.empty()) {
        TComponent* watcher = freeNotifies_.back();
        freeNotifies_.pop_back();
        Erase(watcher->freeNotifies_, this);
        watcher->Notification(this, TOperation::opRemove);
    }
    // Then what it owns goes, last created first.
    while (!components_.empty())
        delete components_.back();
    if (owner_)
        owner_->RemoveComponent(this);
}

void TComponent::FreeNotification(TComponent* other)
{
    if (!other || other == this)
        return;
    AddFreeLink(other);
    other->AddFreeLink(this);
}

void TComponent::RemoveFreeNotification(TComponent* other)
{
    if (!other)
        return;
    DropFreeLink(other);
    other->DropFreeLink(this);
}

void TComponent::AddFreeLink(TComponent* other)
{
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end())
        freeNotifies_.push_back(other);
}

void TComponent::DropFreeLink(TComponent* other)
{
    Erase(freeNotifies_, other);
}

void TComponent::InsertComponent(TComponent* component)
{
    if (component->owner_)
        component->owner_->RemoveComponent(component);
    components_.push_back(component);
    component->owner_ = this;
    NotifyOwned(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component)
{
    NotifyOwned(component, TOperation::opRemove);
    Erase(components_, component);
    component->owner_ = nullptr;
}

void TComponent::NotifyOwned(TComponent* component, TOperation operation)
{
    Notification(component, operation);
    // A copy: a handler may create or free components.
    const std::vector<TComponent*> owned = components_;
    for (TComponent* each : owned)
        if (each != component)
            each->Notification(component, operation);
}

void TComponent::Notification(TComponent* component, TOperation operation)
{
    if (operation == TOperation::opRemove && component)
        RemoveFreeNotification(component);
}

void TComponent::ReadState(TStream& stream)
{
    loading_ = true;
    try {
        ReadProperties(stream, *this);
    } catch (...) {
        loading_ = false;
        throw;
    }
    Loaded();
}

} // namespace rtl
