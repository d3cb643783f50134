// The pending-bytes rule under many random slicings: a PCM stream converted to the same
// PCM comes out byte for byte, whole blocks only, however it was cut, as long as no
// block overflows the input buffer sized by the first convertible block.
#include "kaacm_test_helpers.h"

#include <gtest/gtest.h>

#include <random>

using namespace kaacm_test;

TEST(ConvertorPending, SamePcmSurvivesAnySlicing)
{
    std::mt19937 random(20261208);
    const std::pair<uint16_t, uint16_t> layouts[] = {{1, 8},  {2, 8},  {1, 16}, {2, 16},
                                                     {2, 24}, {1, 32}, {2, 32}};
    for (const auto& [channels, bits] : layouts) {
        SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(bits) + " bits");
        const TkaWaveFormat f = Pcm(channels, 22050, bits);
        const size_t block = f.BlockAlign();
        std::vector<uint8_t> input(20000 + random() % 5000);
        for (auto& b : input)
            b = static_cast<uint8_t>(random());

        rtl::TComponent root(nullptr);
        auto* conv = new TkaAudioConvertor(&root);
        conv->SetFormatIn(f);
        conv->SetFormatOut(f);
        std::vector<uint8_t> output;
        conv->OnAudioConverted = [&](rtl::TComponent*, const void* p, int32_t n, bool&) {
            EXPECT_EQ(n % static_cast<int32_t>(block), 0);
            output.insert(output.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
        };
        conv->Open();

        size_t at = 0;
        while (at < input.size()) {
            const TMiniConvertor& stage = conv->Stage(0);
            size_t room = 600;
            if (stage.IsPrepared())
                room = static_cast<size_t>(stage.SrcCapacity() - stage.SrcPending());
            const size_t n = std::min<size_t>(input.size() - at, 1 + random() % room);
            conv->Convert(input.data() + at, static_cast<int32_t>(n));
            at += n;
            ASSERT_EQ(output.size() + static_cast<size_t>(conv->Stage(0).SrcPending()), at);
            ASSERT_LT(static_cast<size_t>(conv->Stage(0).SrcPending()), block);
        }
        const size_t whole = input.size() / block * block;
        ASSERT_EQ(output.size(), whole);
        EXPECT_TRUE(std::equal(output.begin(), output.end(), input.begin()));
    }
}
