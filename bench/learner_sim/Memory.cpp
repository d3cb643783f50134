#include "Memory.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace learner_sim {

namespace {

constexpr double kDay = 86400.0;

// ---- ACT-R declarative memory with spacing-dependent decay -------------------------

class ActrMemory : public Memory {
public:
    static constexpr double kA = 0.177, kC = 0.217, kTau = -0.7, kS = 0.25;

    ActrMemory(const ModelSpec& spec, const std::vector<double>& offsets, const std::vector<bool>& known)
        : h_(spec.h), copyIsRetrieval_(spec.copyIsRetrieval), beta_(offsets), traces_(offsets.size())
    {
        // A known word was practised in six earlier sessions.
        const double priorDays[] = {-60, -45, -30, -21, -14, -7};
        real_ = priorDays[0] * kDay + 17 * 3600;
        for (const double day : priorDays) {
            const double at = day * kDay + 17 * 3600;
            StartSession(at);
            for (std::size_t word = 0; word < known.size(); ++word)
                if (known[word])
                    AddTrace(static_cast<int>(word), at);
            EndSession(at + 60);
        }
    }

    void StartSession(double now) override
    {
        Advance(now);
        inSession_ = true;
    }
    void EndSession(double now) override
    {
        Advance(now);
        inSession_ = false;
    }
    double Recall(int word, double now) override
    {
        Advance(now);
        const double m = Activation(word);
        return std::isinf(m) ? 0.0 : 1.0 / (1.0 + std::exp((kTau - m) / kS));
    }
    void Study(int word, double now) override { AddTrace(word, now); }
    void Retrieval(int word, double now, bool right) override
    {
        if (right)
            AddTrace(word, now);
    }
    void Copy(int word, double now) override
    {
        if (copyIsRetrieval_)
            AddTrace(word, now);
    }

private:
    struct Trace {
        double at; // psychological time
        double decay;
    };

    // Time inside a session counts in full, time between sessions h times.
    void Advance(double now)
    {
        if (now > real_)
            psych_ += (inSession_ ? 1.0 : h_) * (now - real_);
        real_ = std::max(real_, now);
    }
    double Activation(int word) const
    {
        const auto& traces = traces_[static_cast<std::size_t>(word)];
        if (traces.empty())
            return -std::numeric_limits<double>::infinity();
        double strength = 0;
        for (const Trace& trace : traces)
            strength += std::pow(std::max(1.0, psych_ - trace.at), -trace.decay);
        return beta_[static_cast<std::size_t>(word)] + std::log(strength);
    }
    void AddTrace(int word, double now)
    {
        Advance(now);
        const double m = Activation(word);
        const double decay = std::isinf(m) ? kA : kC * std::exp(m) + kA;
        traces_[static_cast<std::size_t>(word)].push_back({psych_, decay});
    }

    double h_;
    bool copyIsRetrieval_;
    std::vector<double> beta_;
    std::vector<std::vector<Trace>> traces_;
    double real_ = 0;
    double psych_ = 0;
    bool inSession_ = false;
};

// ---- FSRS-6 --------------------------------------------------------------------------

class FsrsMemory : public Memory {
public:
    static constexpr std::array<double, 21> w = {0.212,  1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194,
                                                 0.001,  1.8722, 0.1666, 0.796,  1.4835, 0.0614, 0.2629,
                                                 1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542};
    static constexpr double kKnownRecall = 0.9;

    FsrsMemory(const ModelSpec& spec, const std::vector<double>& offsets, const std::vector<bool>& known)
        : copyIsRetrieval_(spec.copyIsRetrieval), offsets_(offsets), known_(known), cards_(offsets.size())
    {
    }

    void StartSession(double) override {}
    void EndSession(double) override {}
    double Recall(int word, double now) override
    {
        const Card& card = cards_[static_cast<std::size_t>(word)];
        if (!card.seen)
            return known_[static_cast<std::size_t>(word)] ? kKnownRecall : 0.0;
        return Retrievability((now - card.last) / kDay, card.stability);
    }
    void Study(int, double) override {}
    void Retrieval(int word, double now, bool right) override { Review(word, now, right ? 3 : 1); }
    void Copy(int word, double now) override
    {
        if (copyIsRetrieval_)
            Review(word, now, 3);
    }

private:
    struct Card {
        bool seen = false;
        double stability = 0;
        double difficulty = 0;
        double last = 0;
    };

    static double Factor() { return std::pow(0.9, -1.0 / w[20]) - 1.0; }
    static double Retrievability(double days, double stability)
    {
        return std::pow(1.0 + Factor() * std::max(0.0, days) / stability, -w[20]);
    }
    static double InitialDifficulty(int grade)
    {
        return std::clamp(w[4] - std::exp(w[5] * (grade - 1)) + 1.0, 1.0, 10.0);
    }
    static double NextDifficulty(double d, int grade)
    {
        const double damped = d + (10.0 - d) * (-w[6] * (grade - 3)) / 9.0;
        return std::clamp(w[7] * InitialDifficulty(4) + (1.0 - w[7]) * damped, 1.0, 10.0);
    }
    static double NextStability(const Card& card, double days, int grade)
    {
        const double s = card.stability;
        const double d = card.difficulty;
        if (days < 1.0) {
            const double next = s * std::exp(w[17] * (grade - 3 + w[18])) * std::pow(s, -w[19]);
            return grade >= 3 ? std::max(next, s) : next;
        }
        const double r = Retrievability(days, s);
        if (grade >= 2) {
            const double hard = grade == 2 ? w[15] : 1.0;
            const double easy = grade == 4 ? w[16] : 1.0;
            return s * (1.0 + std::exp(w[8]) * (11.0 - d) * std::pow(s, -w[9]) *
                                  (std::exp((1.0 - r) * w[10]) - 1.0) * hard * easy);
        }
        return std::min(w[11] * std::pow(d, -w[12]) * (std::pow(s + 1.0, w[13]) - 1.0) *
                            std::exp((1.0 - r) * w[14]),
                        s / std::exp(w[17] * w[18]));
    }
    void Review(int word, double now, int grade)
    {
        Card& card = cards_[static_cast<std::size_t>(word)];
        if (!card.seen) {
            card = {true,
                    w[static_cast<std::size_t>(grade - 1)] *
                        std::exp(offsets_[static_cast<std::size_t>(word)]),
                    InitialDifficulty(grade), now};
        } else {
            const double days = (now - card.last) / kDay;
            card.stability = std::max(0.001, NextStability(card, days, grade));
            card.difficulty = NextDifficulty(card.difficulty, grade);
            card.last = now;
        }
    }

    bool copyIsRetrieval_;
    std::vector<double> offsets_;
    std::vector<bool> known_;
    std::vector<Card> cards_;
};

} // namespace

std::string ModelSpec::Name() const
{
    if (kind == Kind::Fsrs6)
        return "fsrs6";
    char name[32];
    std::snprintf(name, sizeof name, "actr_h%g", h);
    return name;
}

std::unique_ptr<Memory> MakeMemory(const ModelSpec& spec, const std::vector<double>& offsets,
                                   const std::vector<bool>& known)
{
    if (spec.kind == ModelSpec::Kind::Fsrs6)
        return std::make_unique<FsrsMemory>(spec, offsets, known);
    return std::make_unique<ActrMemory>(spec, offsets, known);
}

} // namespace learner_sim
