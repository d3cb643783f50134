// The attempt history: every judged answer of a test is appended to the player's
// history file once the record save of the same judgement has succeeded.

#include "app/TForm1.h"

#include "app/progress/AttemptHistory.h"

std::string TForm1::PlayerHistoryPath() const
{
    return ExeDir + "Children" + PathDelim + ComboBox3->currentText().toStdString() + ".history";
}

void TForm1::AppendHistory(const TWordHandler& word, const std::string& typed, bool right,
                           const std::string& judgedAt) noexcept
{
    try {
        app::progress::AppendAttempt(ContentFile(PlayerHistoryPath()),
                                     {RunStarted, judgedAt, ComboBox2->currentText().toStdString(), word.Word,
                                      typed, right, word.Trys});
    } catch (...) {
        // The child's test goes on; the progress window shows the history as incomplete.
    }
}
