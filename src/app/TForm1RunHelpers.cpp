// What the spelling test, the spoken spelling and the practice drill share: the busy
// hold over a sequence, the paths of the clips they speak and the spelling comparison.

#include "app/TForm1.h"

#include "app/learning/AnswerJudge.h"

TForm1::BusyScope::BusyScope(TForm1& form) : form_(form)
{
    ++form_.SequenceDepth;
    form_.SetUiState(2);
}

void TForm1::BusyScope::release() noexcept
{
    if (!held_)
        return;
    held_ = false;
    --form_.SequenceDepth;
    form_.SetUiState(0);
}

bool TForm1::SameSpelling(std::string_view typed, std::string_view word)
{
    return app::learning::SameSpelling(typed, word);
}

std::string TForm1::WordClipPath(const std::string& word) const
{
    return ExeDir + RunRecord.lesson + PathDelim + word + ".wav";
}

std::string TForm1::AlphaClipPath(const std::string& name) const
{
    return ExeDir + "Alpha" + PathDelim + name;
}
