#include "app/learning/PlanSession.h"

#include "app/learning/TestPlan.h"

#include <algorithm>

namespace app::learning {

PlanSession::PlanSession(std::vector<std::string> planned, std::size_t lessonWords,
                         const std::string& lastWordAsked)
    : planned_(planned.begin(), planned.end()), retests_(lessonWords)
{
    if (!lastWordAsked.empty())
        recent_.push_back(lastWordAsked);
}

bool PlanSession::AskedLately(const std::string& word) const
{
    return std::find(recent_.begin(), recent_.end(), word) != recent_.end();
}

std::optional<PlanSession::Question> PlanSession::Ask(std::string word, bool retest)
{
    asking_ = Question{std::move(word), retest};
    return asking_;
}

std::optional<PlanSession::Question> PlanSession::Next()
{
    if (answers_ >= kSessionAnswers)
        return std::nullopt;
    if (auto word = retests_.TakeDue())
        return Ask(std::move(*word), true);
    // The first planned word not asked lately. A session never waits for the word the
    // last one ended on: with nothing else planned it starts with it all the same.
    auto fresh = std::find_if(planned_.begin(), planned_.end(),
                              [&](const std::string& word) { return !AskedLately(word); });
    if (fresh == planned_.end() && answers_ == 0)
        fresh = planned_.begin();
    if (fresh != planned_.end()) {
        std::string word = std::move(*fresh);
        planned_.erase(fresh);
        return Ask(std::move(word), false);
    }
    // Retests of a short lesson close the session, where they do not repeat a word lately asked.
    while (auto word = retests_.TakeAny())
        if (!AskedLately(*word))
            return Ask(std::move(*word), true);
    return std::nullopt;
}

void PlanSession::Judged(bool right)
{
    if (!asking_)
        return;
    ++answers_;
    rightAnswers_ += right ? 1 : 0;
    retests_.Answered();
    if (!right && !asking_->retest)
        retests_.Missed(asking_->word);
    recent_.push_back(asking_->word);
    while (recent_.size() > RetestQueue::kRetestGap)
        recent_.pop_front();
    asking_.reset();
}

} // namespace app::learning
