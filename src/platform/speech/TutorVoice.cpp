#include "platform/speech/TutorVoice.h"

#include "platform/speech/FliteLibrary.h"
#include "platform/speech/VoiceShaping.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

namespace platform::speech {

namespace {

// The shaping of the bundled clips (content/voice/make_clips.py), kept in step with it.
constexpr double kLoneWordStretch = 1.4; // a lone word is said slowly
constexpr double kPhraseStretch = 1.12;  // words with a blank between them at an easy pace
constexpr double kRumbleHertz = 60;
constexpr double kPieceLevelDb = -3;
constexpr double kSilenceDb = -55;
constexpr double kSilenceWindowSeconds = 0.005;
constexpr double kFadeInSeconds = 0.005;
constexpr double kFadeOutSeconds = 0.015;
constexpr double kGapSeconds = 0.45;
constexpr double kPeakDb = -1;
// Quieter than this once synthesised, the voice said nothing worth hearing.
constexpr double kNothingSaidDb = -40;

const FliteLibrary& Flite()
{
    const char* why = nullptr;
    const FliteLibrary* flite = OpenFlite(&why);
    if (!flite)
        throw ESpeechError(std::string("The tutor's voice cannot be loaded: ") + why + ".");
    return *flite;
}

cst_voice* Voice()
{
    static cst_voice* const voice = [] {
        const FliteLibrary& flite = Flite();
        flite.init();
        return flite.registerVoice(nullptr);
    }();
    if (!voice)
        throw ESpeechError("The tutor's voice (flite cmu_us_slt) cannot be loaded.");
    return voice;
}

std::string Lowered(std::string_view word)
{
    std::string text(word);
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The word once, as the voice says it, at kClipRate.
Samples SayOnce(std::string_view word)
{
    cst_voice* voice = Voice();
    const FliteLibrary& flite = Flite();
    const bool lone = word.find(' ') == std::string_view::npos;
    flite.setFloatFeature(voice->features, "duration_stretch",
                         static_cast<float>(lone ? kLoneWordStretch : kPhraseStretch));
    // Lower case, so the voice never takes the word for letters to spell; the full stop
    // gives it the falling tone of a word said on its own.
    const std::string text = Lowered(word) + ".";
    const std::unique_ptr<cst_wave, void (*)(cst_wave*)> wave(flite.textToWave(text.c_str(), voice),
                                                              flite.deleteWave);
    if (!wave || wave->num_samples <= 0 || wave->num_channels != 1 || wave->sample_rate <= 0)
        throw ESpeechError("The tutor's voice made no sound for this word.");
    Samples samples(static_cast<size_t>(wave->num_samples));
    std::transform(wave->samples, wave->samples + wave->num_samples, samples.begin(),
                   [](short s) { return static_cast<float>(s) / 32768.0f; });
    if (PeakDb(samples) < kNothingSaidDb)
        throw ESpeechError("The tutor's voice has nothing to say for this word.");
    HighPass(samples, static_cast<uint32_t>(wave->sample_rate), kRumbleHertz);
    samples = Resample(samples, static_cast<uint32_t>(wave->sample_rate), kClipRate);
    NormalizePeak(samples, kPieceLevelDb);
    return samples;
}

void TrimAndFade(Samples& samples)
{
    TrimSilence(samples, kClipRate, kSilenceDb, kSilenceWindowSeconds);
    FadeEnds(samples, kClipRate, kFadeInSeconds, kFadeOutSeconds);
}

} // namespace

std::vector<int16_t> SpeakWordClip(std::string_view word)
{
    Samples piece = SayOnce(word);
    TrimAndFade(piece);
    if (piece.empty())
        throw ESpeechError("The tutor's voice has nothing to say for this word.");
    Samples clip = piece;
    clip.resize(clip.size() + static_cast<size_t>(kGapSeconds * kClipRate), 0.0f);
    clip.insert(clip.end(), piece.begin(), piece.end());
    TrimAndFade(clip);
    NormalizePeak(clip, kPeakDb);

    std::vector<int16_t> frames;
    frames.reserve(clip.size() * kClipChannels);
    for (const float s : clip) {
        const auto value = static_cast<int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
        frames.insert(frames.end(), kClipChannels, value);
    }
    return frames;
}

} // namespace platform::speech
