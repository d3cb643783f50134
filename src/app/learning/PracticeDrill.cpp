#include "app/learning/PracticeDrill.h"

#include "app/learning/AnswerJudge.h"

#include <algorithm>

namespace app::learning {

bool CopyDrill::Judge(int box, std::string_view typed, std::string_view word)
{
    if (box < 0 || box >= open_ || !SameSpelling(typed, word))
        return false;
    if (box == kCopies - 1)
        done_ = true;
    else
        open_ = std::max(open_, box + 2);
    return true;
}

int BoxToFocus(bool firstFilled, bool secondFilled, bool thirdFilled)
{
    if (thirdFilled || secondFilled)
        return 2;
    return firstFilled ? 1 : 0;
}

void RecallDrill::Ready()
{
    if (step_ == Step::Look)
        step_ = Step::Cover;
}

void RecallDrill::ShowMeAgain()
{
    if (step_ == Step::Cover)
        step_ = Step::Look;
}

bool RecallDrill::Check(std::string_view typed, std::string_view word)
{
    if (step_ != Step::Cover)
        return false;
    if (SameSpelling(typed, word)) {
        step_ = Step::Done;
        return true;
    }
    ++misses_;
    step_ = misses_ >= kMissesBeforeCopy ? Step::Copy : Step::Look;
    return false;
}

bool RecallDrill::CheckCopy(std::string_view typed, std::string_view word)
{
    if (step_ != Step::Copy || !SameSpelling(typed, word))
        return false;
    step_ = Step::Done;
    return true;
}

} // namespace app::learning
