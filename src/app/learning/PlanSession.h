#pragma once

// One session of the test-date plan as it is asked: the plan's words in order, each
// missed one asked again later, at most kSessionAnswers judged answers, and never the
// same word twice within kRetestGap answers (counting the answer before the session).

#include "app/learning/RetestQueue.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace app::learning {

class PlanSession {
public:
    struct Question {
        std::string word;
        bool retest = false;
    };

    // `lastWordAsked`: the lesson's latest answer before this session, if any.
    PlanSession(std::vector<std::string> planned, std::size_t lessonWords, const std::string& lastWordAsked);
    // The next question; nullopt when the session is over.
    std::optional<Question> Next();
    // The answer to the question Next gave last.
    void Judged(bool right);
    int Answers() const { return answers_; }
    int RightAnswers() const { return rightAnswers_; }

private:
    bool AskedLately(const std::string& word) const;
    std::optional<Question> Ask(std::string word, bool retest);

    std::deque<std::string> planned_;
    RetestQueue retests_;
    std::deque<std::string> recent_;
    std::optional<Question> asking_;
    int answers_ = 0;
    int rightAnswers_ = 0;
};

} // namespace app::learning
