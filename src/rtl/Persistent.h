#pragma once

#include "rtl/Classes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace rtl {

class TStream;
class TFiler;

// An object that can copy itself to another (Assign / AssignTo) and name the
// properties it stores (DefineProperties). Stored properties are how components get
// their design-time values: a writer walks DefineProperties and writes each value; a
// reader walks it again and hands each stored value to its setter.
class TPersistent {
public:
    virtual ~TPersistent() = default;

    // Copies Source into this object. The base asks Source to do it (AssignTo);
    // a pair that knows nothing of each other raises EConvertError.
    virtual void Assign(const TPersistent* source);
    // Names this object's class in messages.
    virtual std::string ClassName() const { return "TPersistent"; }
    // Names the properties this object stores.
    virtual void DefineProperties(TFiler& filer) { (void)filer; }

protected:
    virtual void AssignTo(TPersistent* dest) const;
};

// What DefineProperties talks to. A property is a name plus a getter and a setter of
// one of four kinds of value; a nested persistent stores its properties under
// "Name.Property".
class TFiler {
public:
    virtual ~TFiler() = default;

    using BinaryReader = std::function<void(TStream&)>;
    using BinaryWriter = std::function<void(TStream&)>;

    virtual void DefineBinaryProperty(const std::string& name, BinaryReader read, BinaryWriter write,
                                      bool hasData) = 0;
    virtual void DefineInteger(const std::string& name, std::function<int32_t()> get,
                               std::function<void(int32_t)> set) = 0;
    virtual void DefineBoolean(const std::string& name, std::function<bool()> get,
                               std::function<void(bool)> set) = 0;
    virtual void DefineString(const std::string& name, std::function<std::string()> get,
                              std::function<void(const std::string&)> set) = 0;
    // Stores the properties of a persistent part under "name." + its own names.
    void DefineNested(const std::string& name, TPersistent& part);

protected:
    std::string Qualified(const std::string& name) const { return prefix_ + name; }

private:
    std::string prefix_;
};

} // namespace rtl
