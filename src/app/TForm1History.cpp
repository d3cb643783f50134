// The attempt history: every judged answer of a test is appended to the player's
// history file once the record save of the same judgement has succeeded.

#include "app/TForm1.h"

#include "app/progress/AttemptHistory.h"

void TForm1::AppendHistory(const TWordHandler& word, const std::string& typed, bool right,
                           const std::string& judgedAt) noexcept
{
    try {
        app::progress::AppendAttempt(
            RunRecord.history, {RunStarted, judgedAt, RunRecord.lesson, word.Word, typed, right, word.Trys});
    } catch (...) {
        // The child's test goes on; the progress window shows the history as incomplete.
    }
}
