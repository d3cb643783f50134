#include "platform/speech/VoiceClipFile.h"

#include "platform/speech/TutorVoice.h"
#include "platform/xml/AtomicFile.h"

#include <fstream>

namespace platform::speech {

namespace {

void PutU16(std::string& out, uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void PutU32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

uint32_t GetU32(std::string_view bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

// The ISFT text: the mark, NUL-terminated and padded to an even size.
std::string MarkText()
{
    std::string text(kTutorVoiceMark);
    text.push_back('\0');
    if (text.size() % 2)
        text.push_back('\0');
    return text;
}

// One chunk: id, size, body (the body's size is even here).
void PutChunk(std::string& out, std::string_view id, std::string_view body)
{
    out.append(id);
    PutU32(out, static_cast<uint32_t>(body.size()));
    out.append(body);
}

// True when `body`, the inside of a LIST chunk, is of type INFO and holds the mark as ISFT.
bool InfoListHoldsMark(std::string_view body)
{
    if (body.size() < 4 || body.substr(0, 4) != "INFO")
        return false;
    for (size_t at = 4; at + 8 <= body.size();) {
        const uint64_t size = GetU32(body, at + 4);
        if (size > body.size() - at - 8)
            return false;
        if (body.substr(at, 4) == "ISFT") {
            const std::string_view text = body.substr(at + 8, static_cast<size_t>(size));
            if (text.substr(0, text.find('\0')) == kTutorVoiceMark)
                return true;
        }
        at += 8 + static_cast<size_t>(size) + static_cast<size_t>(size & 1);
    }
    return false;
}

} // namespace

std::string MarkedClipBytes(const std::vector<int16_t>& frames)
{
    constexpr uint16_t kBits = 16;
    constexpr uint16_t kBlockAlign = kClipChannels * kBits / 8;
    std::string fmt;
    PutU16(fmt, 1); // PCM
    PutU16(fmt, kClipChannels);
    PutU32(fmt, kClipRate);
    PutU32(fmt, kClipRate * kBlockAlign);
    PutU16(fmt, kBlockAlign);
    PutU16(fmt, kBits);

    std::string info = "INFO";
    PutChunk(info, "ISFT", MarkText());

    std::string data;
    data.reserve(frames.size() * 2);
    for (const int16_t sample : frames)
        PutU16(data, static_cast<uint16_t>(sample));

    std::string chunks = "WAVE";
    PutChunk(chunks, "fmt ", fmt);
    PutChunk(chunks, "LIST", info);
    PutChunk(chunks, "data", data);
    std::string file = "RIFF";
    PutU32(file, static_cast<uint32_t>(chunks.size()));
    return file + chunks;
}

void WriteMarkedClip(const std::filesystem::path& path, const std::vector<int16_t>& frames)
{
    WriteNewFileAtomically(path, MarkedClipBytes(frames));
}

bool HasTutorVoiceMark(std::string_view head)
{
    head = head.substr(0, kMarkSearchBytes);
    if (head.size() < 12 || head.substr(0, 4) != "RIFF" || head.substr(8, 4) != "WAVE")
        return false;
    for (size_t at = 12; at + 8 <= head.size();) {
        const std::string_view id = head.substr(at, 4);
        if (id == "data")
            return false; // the mark comes before the audio
        const uint64_t size = GetU32(head, at + 4);
        if (size > head.size() - at - 8)
            return false;
        if (id == "LIST" && InfoListHoldsMark(head.substr(at + 8, static_cast<size_t>(size))))
            return true;
        at += 8 + static_cast<size_t>(size) + static_cast<size_t>(size & 1);
    }
    return false;
}

bool IsTutorVoiceClip(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string head(kMarkSearchBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    return HasTutorVoiceMark(head);
}

} // namespace platform::speech
