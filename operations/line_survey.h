// The walk over the whole line (all 100 net numbers, going on after answers)
// that scan, a write or read without a net number, and --all share. A probe
// that got a byte other than its own address back is probed again, as often
// as the policy tries exchanges, once the line is quiet: noise then falls
// silent or repeats itself, while a register answers its own address byte.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "link/net_number.h"
#include "operations/exchange.h"

namespace zenor9 {

// An address where something answered its probe.
struct LineHit {
  uint8_t net;
  bool answered;         // its own address byte came back: a register
  uint8_t received = 0;  // otherwise, the byte that came back instead
  int reprobes = 0;      // probes sent again to tell a register from noise
};

// Told of each hit as it comes; may use the line (identify the register).
using LineHitObserver = std::function<void(const LineHit& hit)>;

// Every hit in net-number order. False when a stop request cut the walk short,
// which may have missed an answer.
bool SurveyLine(SerialChannel& channel, const ExchangePolicy& policy, const ProbeObserver& onProbe,
                const LineHitObserver& onHit);

// What the whole line says to a job on the one register there: a read or write
// without a net number, and doctor, so that they all judge a line alike.
enum class LineVerdict {
  OneRegister,  // exactly one address answered, and as a register
  NoAnswer,     // nothing answered
  OnlyStray,    // one address answered, not as a register (hits.front() says how)
  Several,      // more than one address answered: which one is meant is the user's to say
  Stopped,      // a stop request cut the walk short, which may have missed an answer
};

struct LineJudgement {
  LineVerdict verdict = LineVerdict::NoAnswer;
  std::vector<LineHit> hits;  // every hit in net-number order
};

// Surveys the whole line (SurveyLine) and judges what answered.
LineJudgement JudgeTheLine(SerialChannel& channel, const ExchangePolicy& policy,
                           const ProbeObserver& onProbe);

}  // namespace zenor9
