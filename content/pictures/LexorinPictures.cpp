#include "LexorinPictures.h"

namespace content {

QStringList PictureResources()
{
    return {kBannerPicture, kLessonPicture, kSpeakerGlyph, kSpeakerDownGlyph,
            kForwardGlyph,  kExitGlyph,     kWindowIcon};
}

} // namespace content
