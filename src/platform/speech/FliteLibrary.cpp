#include "platform/speech/FliteLibrary.h"

#include <dlfcn.h>

namespace platform::speech {

namespace {

// The voice's library; it needs flite's language, lexicon and engine libraries, which
// the loader brings in with it and searches for the engine's functions too.
constexpr char kVoiceLibrary[] = "libflite_cmu_us_slt.so.1";

template <typename Function>
bool Resolve(void* handle, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

const char* Load(FliteLibrary& flite)
{
    void* handle = ::dlopen(kVoiceLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return "libflite1 is not installed";
    const bool complete = Resolve(handle, "flite_init", flite.init) &&
                          Resolve(handle, "register_cmu_us_slt", flite.registerVoice) &&
                          Resolve(handle, "flite_feat_set_float", flite.setFloatFeature) &&
                          Resolve(handle, "flite_text_to_wave", flite.textToWave) &&
                          Resolve(handle, "delete_wave", flite.deleteWave);
    return complete ? nullptr : "the installed libflite1 lacks a function the tutor needs";
}

} // namespace

const FliteLibrary* OpenFlite(const char** why)
{
    static FliteLibrary flite{};
    static const char* const failure = Load(flite);
    if (why)
        *why = failure;
    return failure ? nullptr : &flite;
}

} // namespace platform::speech
