#include "app/learning/AnswerJudge.h"

#include "app/WordText.h"
#include "platform/AsciiCase.h"

namespace app::learning {

bool SameSpelling(std::string_view typed, std::string_view word)
{
    return platform::EqualsIgnoreAsciiCase(TrimBlanks(typed), TrimBlanks(word));
}

} // namespace app::learning
