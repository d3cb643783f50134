#pragma once

// The simulated child's memory of each word of a lesson, after one of two published
// models (docs/LEARNER_SIM.md gives the equations, parameters and sources). Times are
// seconds since midnight before day 0.

#include <memory>
#include <string>
#include <vector>

namespace learner_sim {

struct ModelSpec {
    enum class Kind { ActR, Fsrs6 };
    Kind kind = Kind::ActR;
    double h = 0.025;             // ACT-R: the weight of time between sessions
    bool copyIsRetrieval = false; // the sensitivity run
    std::string Name() const;
};

class Memory {
public:
    virtual ~Memory() = default;
    virtual void StartSession(double now) = 0;
    virtual void EndSession(double now) = 0;
    // The probability that the word is spelled right from memory now.
    virtual double Recall(int word, double now) = 0;
    // The word seen or heard in full: Look, the copy drill's page, the spoken correction.
    virtual void Study(int word, double now) = 0;
    // An answer from memory: a test answer or a covered answer.
    virtual void Retrieval(int word, double now, bool right) = 0;
    // One copy with the word in view.
    virtual void Copy(int word, double now) = 0;
};

// `offsets`: b_child + b_word per word; `known`: words known at the start.
std::unique_ptr<Memory> MakeMemory(const ModelSpec& spec, const std::vector<double>& offsets,
                                   const std::vector<bool>& known);

} // namespace learner_sim
