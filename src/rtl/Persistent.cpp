#include "rtl/Persistent.h"

namespace rtl {

void TPersistent::Assign(const TPersistent* source)
{
    if (source) {
        source->AssignTo(this);
        return;
    }
    throw EConvertError("Cannot assign a nil to a " + ClassName() + ".");
}

void TPersistent::AssignTo(TPersistent* dest) const
{
    throw EConvertError("Cannot assign a " + ClassName() + " to a " +
                        (dest ? dest->ClassName() : std::string("nil")) + ".");
}

void TFiler::DefineNested(const std::string& name, TPersistent& part)
{
    const std::string saved = prefix_;
    prefix_ += name + ".";
    try {
        part.DefineProperties(*this);
    } catch (...) {
        prefix_ = saved;
        throw;
    }
    prefix_ = saved;
}

} // namespace rtl
