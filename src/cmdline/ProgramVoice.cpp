#include "cmdline/ProgramVoice.h"

namespace kalvane::cmdline {

TProgramVoice::TProgramVoice(std::string program, std::ostream& out, std::ostream& err,
                             std::function<void(std::ostream&)> usage, std::string topic)
    : Program(std::move(program)),
      OutStream(&out),
      ErrStream(&err),
      Usage(std::move(usage)),
      Topic(std::move(topic)) {}

int TProgramVoice::Fail(const std::string& message) const {
  Err() << Program << ": " << message << "\n";
  return kFailed;
}

int TProgramVoice::BadUsage(const std::string& message) const {
  Err() << Program << ": " << message << "\n(see " << Program << " "
        << (Topic.empty() ? "" : Topic + " ") << "--help)\n";
  return kUsage;
}

int TProgramVoice::Help() const {
  if (Usage) Usage(Out());
  return kDone;
}

}  // namespace kalvane::cmdline
