#pragma once

// Missed words asked once more later in the same run: after at least kRetestGap other
// answers where the lesson has that many other words, otherwise as the run's last
// words. A retest is judged as a test answer is but counts in the history only.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace app::learning {

class RetestQueue {
public:
    static constexpr std::size_t kRetestGap = 4;

    explicit RetestQueue(std::size_t lessonWords) : waitsForEnd_(lessonWords <= kRetestGap) {}
    // A test answer was missed (a missed retest is not asked again).
    void Missed(const std::string& word);
    // One more judged answer, of any kind; for a missed one, call it before Missed.
    void Answered();
    // A retest whose wait is over, taken off the queue.
    std::optional<std::string> TakeDue();
    // Any retest left, taken off the queue, for when the run has nothing else to ask.
    std::optional<std::string> TakeAny();
    bool Empty() const { return waiting_.empty(); }

private:
    struct Waiting {
        std::string word;
        std::size_t answersSince = 0;
    };
    bool waitsForEnd_;
    std::vector<Waiting> waiting_;
};

} // namespace app::learning
