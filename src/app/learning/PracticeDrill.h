#pragma once

// The rules of the practice page, free of its widgets: the copy drill (the word shown,
// typed three times) and the drill from memory (look, cover, write, check). The window
// shows what the drill's step asks for; the learner simulator runs the same steps.

#include <string_view>

namespace app::learning {

// Three right copies of a word that stays in view; a wrong copy empties its box only.
class CopyDrill {
public:
    static constexpr int kCopies = 3;

    // Judges the copy in box `box` (0 to 2). A right one opens the next box, or ends
    // the drill from the last box; judging an accepted box again just accepts it again.
    bool Judge(int box, std::string_view typed, std::string_view word);
    // Boxes open for typing: 1 to 3.
    int OpenBoxes() const { return open_; }
    bool Done() const { return done_; }

private:
    int open_ = 1;
    bool done_ = false;
};

// The box the child types in next, from which boxes hold text (the first, second and
// third box, top to bottom): the first empty one after the last filled one, the
// third box once the second or third holds text.
int BoxToFocus(bool firstFilled, bool secondFilled, bool thirdFilled);

// Practice from memory: Look (the word and its clip), Cover (one empty answer box),
// Check. A right covered answer ends the drill; a wrong one shows the difference and
// goes back to Look; after the third wrong covered answer one copy with the word in
// view ends it, so the child always finishes on a right spelling.
class RecallDrill {
public:
    enum class Step { Look, Cover, Copy, Done };
    static constexpr int kMissesBeforeCopy = 3;

    Step CurrentStep() const { return step_; }
    // "Ready": from Look to Cover.
    void Ready();
    // "Show Me Again": from Cover back to Look.
    void ShowMeAgain();
    // Judges a covered answer; true when right. Only in Cover.
    bool Check(std::string_view typed, std::string_view word);
    // Judges the copy that ends a drill of three misses; true when right. Only in Copy.
    bool CheckCopy(std::string_view typed, std::string_view word);
    int Misses() const { return misses_; }
    // Three covered misses: the progress window marks the word as tricky.
    bool Tricky() const { return misses_ >= kMissesBeforeCopy; }

private:
    Step step_ = Step::Look;
    int misses_ = 0;
};

} // namespace app::learning
