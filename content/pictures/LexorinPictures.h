#pragma once

#include <QStringList>

// Resource names of the tutor's pictures and glyphs. They are compiled into every
// program that links the target lexorin_pictures; load them with QPixmap(name).
namespace content {

inline constexpr char kBannerPicture[] = ":/pictures/banner.png";          // 312 x 60, transparent
inline constexpr char kLessonPicture[] = ":/pictures/lesson.png";          // 400 x 150
inline constexpr char kSpeakerGlyph[] = ":/pictures/speaker.png";          // 18 x 18, at rest
inline constexpr char kSpeakerDownGlyph[] = ":/pictures/speaker_down.png"; // 18 x 18, pressed
inline constexpr char kForwardGlyph[] = ":/pictures/forward.png";          // 20 x 16
inline constexpr char kExitGlyph[] = ":/pictures/exit.png";                // 24 x 24
inline constexpr char kWindowIcon[] = ":/pictures/lexorin.png";            // 256 x 256

// Every name above, in that order.
QStringList PictureResources();

} // namespace content
