#include "audio/kaACM.h"

#include <gtest/gtest.h>

#include <string>

namespace {

template <class E> std::string MessageOf(MMRESULT code, const std::string& context)
{
    try {
        CheckMMResult<E>(code, context);
    } catch (const E& e) {
        return e.what();
    }
    return "<no exception>";
}

} // namespace

TEST(CheckMMResult, ZeroReturns)
{
    EXPECT_NO_THROW(CheckMMResult<EACMError>(0, "Error opening driver."));
    EXPECT_NO_THROW(CheckMMResult<EACMAudioOutError>(0));
}

TEST(CheckMMResult, EveryKnownCodeHasItsText)
{
    const std::pair<MMRESULT, const char*> table[] = {
        {2, "Bad device ID."},
        {3, "Driver not enabled."},
        {4, "Device already allocated."},
        {5, "The specified handle is invalid."},
        {6, "A suitable driver is not available to provide valid format selections."},
        {7, "The system is unable to allocate resources."},
        {8, "Function not supported."},
        {10, "At least one flag is invalid."},
        {11, "At least one parameter is invalid."},
        {12, "Device handle in use."},
        {32, "The selected audio format is not supported on this machine."},
        {33, "Audio device is still playing."},
        {34, "Cannot perform this action on a header that has not been prepared."},
        {35, "Device is synchronous."},
        {512, "The requested operation cannot be performed."},
        {513, "The conversion stream is already in use."},
        {514, "Cannot perform this action on a header that has not been prepared."},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(MessageOf<EACMError>(code, ""), text) << "code " << code;
}

TEST(CheckMMResult, UnlistedCodesNameTheCode)
{
    EXPECT_EQ(MessageOf<EACMError>(9, ""), "An unexpected error has occurred (code #9).");
    EXPECT_EQ(MessageOf<EACMError>(1, ""), "An unexpected error has occurred (code #1).");
    EXPECT_EQ(MessageOf<EACMError>(13, ""), "An unexpected error has occurred (code #13).");
    EXPECT_EQ(MessageOf<EACMError>(36, ""), "An unexpected error has occurred (code #36).");
    EXPECT_EQ(MessageOf<EACMError>(511, ""), "An unexpected error has occurred (code #511).");
    EXPECT_EQ(MessageOf<EACMError>(515, ""), "An unexpected error has occurred (code #515).");
    // The code is shown signed, as a 32-bit value.
    EXPECT_EQ(MessageOf<EACMError>(0xFFFFFFFFu, ""), "An unexpected error has occurred (code #-1).");
}

TEST(CheckMMResult, ContextComesFirstOnItsOwnLine)
{
    EXPECT_EQ(MessageOf<EACMAudioOutError>(4, SOpenOutputError),
              "Error opening audio device for output.\r\nDevice already allocated.");
    EXPECT_EQ(MessageOf<EACMCodecError>(9, SDriverOpenError),
              "Error opening driver.\r\nAn unexpected error has occurred (code #9).");
    // A context is copied as it is, markers included.
    EXPECT_EQ(MessageOf<EACMError>(2, "50%d %s"), "50%d %s\r\nBad device ID.");
}

TEST(CheckMMResult, RaisesTheGivenClass)
{
    EXPECT_THROW(CheckMMResult<EACMConversionError>(512), EACMConversionError);
    EXPECT_THROW(CheckMMResult<EACMAudioInError>(32, SOpenInputError), EACMAudioIOError);
    EXPECT_THROW(CheckMMResult<EACMCodecError>(6), EACMError);
    EXPECT_THROW(CheckMMResult<EACMAudioReadError>(6), rtl::Exception);
}

TEST(ExceptionTree, ClassesSitWhereCallersCatchThem)
{
    EXPECT_THROW(throw EOscilloscopeError(SInvalidNumberOfPoints), EACMControlError);
    EXPECT_THROW(throw EACMAudioReadError(SInvalidFileFormat), EACMAudioStreamError);
    // A sub-stream error is not an engine error.
    try {
        throw ESubStreamError(SWritePastEndOfSubStream);
    } catch (const EACMError&) {
        FAIL() << "ESubStreamError must not derive from EACMError";
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.what(), "Write past end of sub stream.");
    }
}
