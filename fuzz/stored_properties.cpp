#include "rtl/Component.h"
#include "rtl/Filer.h"
#include "rtl/Stream.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

// A component with one property of every kind, as the audio components store them.
class TTarget : public rtl::TComponent {
public:
    TTarget() : rtl::TComponent(nullptr) {}
    int32_t number = 0;
    bool flag = false;
    std::string text;
    std::array<uint8_t, 512> buffer{};

    void DefineProperties(rtl::TFiler& filer) override
    {
        filer.DefineInteger("BufferSize", [this] { return number; }, [this](int32_t v) { number = v; });
        filer.DefineBoolean("AutoOpen", [this] { return flag; }, [this](bool v) { flag = v; });
        filer.DefineString("Caption", [this] { return text; }, [this](const std::string& v) { text = v; });
        filer.DefineBinaryProperty(
            "Format.FormatBuffer", [this](rtl::TStream& s) { s.ReadBuffer(buffer.data(), 512); },
            [this](rtl::TStream& s) { s.WriteBuffer(buffer.data(), 512); }, true);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    rtl::TMemoryStream stream(data, size);
    TTarget target;
    try {
        target.ReadState(stream);
    } catch (const rtl::Exception&) {
    }
    return 0;
}
