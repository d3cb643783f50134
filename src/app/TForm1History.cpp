// The attempt history: every judged answer of a test is appended to the player's
// history file by the record save that carries its counts, before that save lets go of
// the player's lock, so the lines stand in the order of the tries.

#include "app/TForm1.h"

void TForm1::NoteJudgedAnswer(const TWordHandler& word, const std::string& typed, bool right,
                              const std::string& judgedAt)
{
    for (std::size_t i = 0; i < Words.size(); ++i)
        if (Words[i].get() == &word)
            RecordSave.Answered(i, typed, right, judgedAt);
    if (!right && &word == CurrentWord)
        NoteRecallMiss(typed);
}
