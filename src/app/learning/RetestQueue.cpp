#include "app/learning/RetestQueue.h"

#include <algorithm>

namespace app::learning {

void RetestQueue::Missed(const std::string& word)
{
    const bool queued = std::any_of(waiting_.begin(), waiting_.end(),
                                    [&](const Waiting& waiting) { return waiting.word == word; });
    if (!queued)
        waiting_.push_back({word, 0});
}

void RetestQueue::Answered()
{
    for (Waiting& waiting : waiting_)
        ++waiting.answersSince;
}

std::optional<std::string> RetestQueue::TakeDue()
{
    if (waitsForEnd_ || waiting_.empty() || waiting_.front().answersSince < kRetestGap)
        return std::nullopt;
    return TakeAny();
}

std::optional<std::string> RetestQueue::TakeAny()
{
    if (waiting_.empty())
        return std::nullopt;
    std::string word = std::move(waiting_.front().word);
    waiting_.erase(waiting_.begin());
    return word;
}

} // namespace app::learning
