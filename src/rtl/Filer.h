#pragma once

#include "rtl/Persistent.h"

#include <memory>

namespace rtl {

class TStream;

// The stored-property stream: a signature, then one record per property
// (name length u8, name, value kind u8, value), then a zero name length.
// Kinds: 1 integer (int32 LE), 2 false, 3 true, 4 string and 5 binary (uint32 LE length, bytes).
enum class TValueKind : uint8_t { vaInt32 = 1, vaFalse = 2, vaTrue = 3, vaString = 4, vaBinary = 5 };

// Writes every property the object defines, nested parts included.
void WriteProperties(TStream& stream, TPersistent& object);

// Reads stored properties into the object: each stored value goes to the setter of the
// property of the same name. A malformed stream, an unknown name or a value of the wrong
// kind raises EFilerError; values read before the fault stay set.
void ReadProperties(TStream& stream, TPersistent& object);

} // namespace rtl

namespace rtl {

// Builds a stored-property stream by hand, the way a stored window layout holds a
// component's design-time values. The result is read with TComponent::ReadState.
class TLayoutWriter {
public:
    TLayoutWriter();
    TLayoutWriter& Integer(const std::string& name, int32_t value);
    TLayoutWriter& Boolean(const std::string& name, bool value);
    TLayoutWriter& String(const std::string& name, const std::string& value);
    TLayoutWriter& Binary(const std::string& name, const void* data, uint32_t size);
    // The finished stream, positioned at its start.
    TStream& Finish();

private:
    TLayoutWriter& Value(const std::string& name, TValueKind kind, const void* data, uint32_t size);
    std::unique_ptr<TStream> stream_;
};

} // namespace rtl
