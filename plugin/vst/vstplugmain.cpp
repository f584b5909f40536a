// The one symbol the host looks up.
#include "audioeffect.h"

#include <new>

// Nothing may unwind into the host: a failed construction answers null, which
// hosts report as a plug-in that could not be loaded.
extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(audioMasterCallback audioMaster)
{
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try {
        AudioEffect* effect = createEffectInstance(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
