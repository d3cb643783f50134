#include "rtl/Filer.h"

#include "rtl/Stream.h"

#include <cstring>
#include <map>
#include <variant>

namespace rtl {

namespace {

constexpr char kSignature[4] = {'L', 'X', 'P', '1'};

void WriteU8(TStream& s, uint8_t v) { s.WriteBuffer(&v, 1); }

void WriteU32(TStream& s, uint32_t v)
{
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    s.WriteBuffer(b, 4);
}

void WriteName(TStream& s, const std::string& name)
{
    if (name.empty() || name.size() > 255)
        throw EFilerError("Invalid property name \"" + name + "\".");
    WriteU8(s, static_cast<uint8_t>(name.size()));
    s.WriteBuffer(name.data(), static_cast<int32_t>(name.size()));
}

class TWriterFiler : public TFiler {
public:
    explicit TWriterFiler(TStream& stream) : stream_(stream) {}

    void DefineBinaryProperty(const std::string& name, BinaryReader, BinaryWriter write, bool hasData) override
    {
        if (!hasData || !write)
            return;
        TMemoryStream value;
        write(value);
        WriteName(stream_, Qualified(name));
        WriteU8(stream_, uint8_t(TValueKind::vaBinary));
        WriteBytes(value.Bytes().data(), value.Bytes().size());
    }
    void DefineInteger(const std::string& name, std::function<int32_t()> get, std::function<void(int32_t)>) override
    {
        WriteName(stream_, Qualified(name));
        WriteU8(stream_, uint8_t(TValueKind::vaInt32));
        WriteU32(stream_, static_cast<uint32_t>(get()));
    }
    void DefineBoolean(const std::string& name, std::function<bool()> get, std::function<void(bool)>) override
    {
        WriteName(stream_, Qualified(name));
        WriteU8(stream_, uint8_t(get() ? TValueKind::vaTrue : TValueKind::vaFalse));
    }
    void DefineString(const std::string& name, std::function<std::string()> get,
                      std::function<void(const std::string&)>) override
    {
        const std::string value = get();
        WriteName(stream_, Qualified(name));
        WriteU8(stream_, uint8_t(TValueKind::vaString));
        WriteBytes(value.data(), value.size());
    }

private:
    void WriteBytes(const void* data, size_t size)
    {
        WriteU32(stream_, static_cast<uint32_t>(size));
        stream_.WriteBuffer(data, static_cast<int32_t>(size));
    }
    TStream& stream_;
};

// Collects the setters an object defines, by qualified name.
class TSetterCollector : public TFiler {
public:
    using Setter = std::variant<BinaryReader, std::function<void(int32_t)>, std::function<void(bool)>,
                                std::function<void(const std::string&)>>;
    std::map<std::string, Setter> setters;

    void DefineBinaryProperty(const std::string& name, BinaryReader read, BinaryWriter, bool) override
    {
        setters[Qualified(name)] = std::move(read);
    }
    void DefineInteger(const std::string& name, std::function<int32_t()>, std::function<void(int32_t)> set) override
    {
        setters[Qualified(name)] = std::move(set);
    }
    void DefineBoolean(const std::string& name, std::function<bool()>, std::function<void(bool)> set) override
    {
        setters[Qualified(name)] = std::move(set);
    }
    void DefineString(const std::string& name, std::function<std::string()>,
                      std::function<void(const std::string&)> set) override
    {
        setters[Qualified(name)] = std::move(set);
    }
};

class TPropertyReader {
public:
    explicit TPropertyReader(TStream& stream) : stream_(stream) {}

    uint8_t U8()
    {
        uint8_t v = 0;
        Need(1);
        stream_.ReadBuffer(&v, 1);
        return v;
    }
    uint32_t U32()
    {
        uint8_t b[4];
        Need(4);
        stream_.ReadBuffer(b, 4);
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    std::string Bytes(uint32_t size)
    {
        Need(size);
        std::string value(size, '\0');
        stream_.ReadBuffer(value.data(), static_cast<int32_t>(size));
        return value;
    }

private:
    // Refuses lengths the stream cannot hold, so a hostile length allocates nothing.
    void Need(uint64_t count)
    {
        if (static_cast<uint64_t>(stream_.Size() - stream_.Position()) < count)
            throw EFilerError("Invalid stream format");
    }
    TStream& stream_;
};

void Apply(const TSetterCollector::Setter& setter, TValueKind kind, TPropertyReader& in, const std::string& name)
{
    auto wrongKind = [&] { return EFilerError("Invalid property value for \"" + name + "\"."); };
    switch (kind) {
    case TValueKind::vaInt32: {
        const auto value = static_cast<int32_t>(in.U32());
        if (auto* set = std::get_if<std::function<void(int32_t)>>(&setter))
            return (*set)(value);
        throw wrongKind();
    }
    case TValueKind::vaFalse:
    case TValueKind::vaTrue:
        if (auto* set = std::get_if<std::function<void(bool)>>(&setter))
            return (*set)(kind == TValueKind::vaTrue);
        throw wrongKind();
    case TValueKind::vaString: {
        const std::string value = in.Bytes(in.U32());
        if (auto* set = std::get_if<std::function<void(const std::string&)>>(&setter))
            return (*set)(value);
        throw wrongKind();
    }
    case TValueKind::vaBinary: {
        const std::string value = in.Bytes(in.U32());
        auto* read = std::get_if<TFiler::BinaryReader>(&setter);
        if (!read || !*read)
            throw wrongKind();
        TMemoryStream bytes(value.data(), value.size());
        return (*read)(bytes);
    }
    }
    throw EFilerError("Invalid stream format");
}

} // namespace

TLayoutWriter::TLayoutWriter() : stream_(std::make_unique<TMemoryStream>())
{
    stream_->WriteBuffer(kSignature, sizeof kSignature);
}

TLayoutWriter& TLayoutWriter::Integer(const std::string& name, int32_t value)
{
    WriteName(*stream_, name);
    WriteU8(*stream_, uint8_t(TValueKind::vaInt32));
    WriteU32(*stream_, static_cast<uint32_t>(value));
    return *this;
}

TLayoutWriter& TLayoutWriter::Boolean(const std::string& name, bool value)
{
    WriteName(*stream_, name);
    WriteU8(*stream_, uint8_t(value ? TValueKind::vaTrue : TValueKind::vaFalse));
    return *this;
}

TLayoutWriter& TLayoutWriter::String(const std::string& name, const std::string& value)
{
    return Value(name, TValueKind::vaString, value.data(), static_cast<uint32_t>(value.size()));
}

TLayoutWriter& TLayoutWriter::Binary(const std::string& name, const void* data, uint32_t size)
{
    return Value(name, TValueKind::vaBinary, data, size);
}

TLayoutWriter& TLayoutWriter::Value(const std::string& name, TValueKind kind, const void* data, uint32_t size)
{
    WriteName(*stream_, name);
    WriteU8(*stream_, uint8_t(kind));
    WriteU32(*stream_, size);
    stream_->WriteBuffer(data, static_cast<int32_t>(size));
    return *this;
}

TStream& TLayoutWriter::Finish()
{
    WriteU8(*stream_, 0);
    stream_->SetPosition(0);
    return *stream_;
}

void WriteProperties(TStream& stream, TPersistent& object)
{
    stream.WriteBuffer(kSignature, sizeof kSignature);
    TWriterFiler writer(stream);
    object.DefineProperties(writer);
    WriteU8(stream, 0);
}

void ReadProperties(TStream& stream, TPersistent& object)
{
    TSetterCollector collector;
    object.DefineProperties(collector);

    TPropertyReader in(stream);
    const std::string signature = in.Bytes(sizeof kSignature);
    if (std::memcmp(signature.data(), kSignature, sizeof kSignature) != 0)
        throw EFilerError("Invalid stream format");
    for (;;) {
        const uint8_t nameLength = in.U8();
        if (nameLength == 0)
            return;
        const std::string name = in.Bytes(nameLength);
        const auto kind = static_cast<TValueKind>(in.U8());
        const auto found = collector.setters.find(name);
        if (found == collector.setters.end())
            throw EFilerError("Error reading " + object.ClassName() + "." + name + ": Property " + name +
                              " does not exist");
        Apply(found->second, kind, in, name);
    }
}

} // namespace rtl
