#pragma once

#include "rtl/Persistent.h"

#include <string>
#include <vector>

namespace rtl {

class TStream;

enum class TOperation { opInsert, opRemove };

// A component has an owner that destroys it, may own others, and can ask to be told
// (Notification with opRemove) when another component is destroyed. Components are
// created with `new T(owner)`; the owner deletes what it owns. A component without an
// owner belongs to whoever created it.
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string ClassName() const override { return "TComponent"; }

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }

    // Asks to be told when `other` is destroyed; both sides forget each other then.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    bool IsLoading() const { return loading_; }
    bool IsDestroying() const { return destroying_; }

    // Reads stored properties, then runs Loaded, as a component created from a stored
    // layout does.
    void ReadState(TStream& stream);

protected:
    // Told when a component this one owns or watches is inserted or removed.
    virtual void Notification(TComponent* component, TOperation operation);
    // Runs once the stored properties have been read.
    virtual void Loaded() { loading_ = false; }

private:
    void NotifyOwned(TComponent* component, TOperation operation);
    void AddFreeLink(TComponent* other);
    void DropFreeLink(TComponent* other);

    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    std::string name_;
    bool loading_ = false;
    bool destroying_ = false;
};

} // namespace rtl
