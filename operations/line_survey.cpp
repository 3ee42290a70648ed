#include "operations/line_survey.h"

#include "link/commands.h"

namespace zenor9 {

namespace {

// Probes an address that got a stray byte again until it answers as a
// register or the policy's tries are spent.
LineHit Reprobe(SerialChannel& channel, const ExchangePolicy& policy, const ProbeReport& report) {
  LineHit hit{report.net, false, report.received};
  while (hit.reprobes < policy.retries && !StopRequested(channel)) {
    DropLateAnswers(channel);
    if (StopRequested(channel)) break;
    ++hit.reprobes;
    if (policy.onRetry) policy.onRetry({Exchange::Probe, report.candidate, hit.reprobes + 1});
    uint8_t received = 0;
    const ProbeResult again = ProbeAddressByte(channel, report.candidate, received);
    if (again == ProbeResult::Answered) {
      hit.answered = true;
      return hit;
    }
    if (again == ProbeResult::Other) hit.received = received;
  }
  return hit;
}

}  // namespace

bool SurveyLine(SerialChannel& channel, const ExchangePolicy& policy, const ProbeObserver& onProbe,
                const LineHitObserver& onHit) {
  WalkNetNumbers(channel, onProbe, [&](const ProbeReport& report) {
    if (report.result == ProbeResult::Answered) onHit({report.net, true});
    if (report.result == ProbeResult::Other) onHit(Reprobe(channel, policy, report));
    return true;
  });
  // A probe whose wait the stop cut short may have missed its echo.
  return !StopRequested(channel);
}

LineJudgement JudgeTheLine(SerialChannel& channel, const ExchangePolicy& policy,
                           const ProbeObserver& onProbe) {
  LineJudgement judgement;
  const bool complete = SurveyLine(channel, policy, onProbe, [&judgement](const LineHit& hit) {
    judgement.hits.push_back(hit);
  });
  const std::vector<LineHit>& hits = judgement.hits;
  if (!complete) {
    judgement.verdict = LineVerdict::Stopped;
  } else if (hits.size() > 1) {
    judgement.verdict = LineVerdict::Several;
  } else if (hits.empty()) {
    judgement.verdict = LineVerdict::NoAnswer;
  } else {
    judgement.verdict = hits.front().answered ? LineVerdict::OneRegister : LineVerdict::OnlyStray;
  }
  return judgement;
}

}  // namespace zenor9
