// kalvane-cli check: whether a set of frames or a video keeps a
// marketplace's rules, before it is uploaded.
#include <iostream>

#include "cli/CliView.h"
#include "cli/Commands.h"
#include "export/MarketplaceCheck.h"

namespace kalvane::cli {

int Check(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> inputs;
  std::string market;
  bool json = false;
  line.Arguments(inputs);
  line.Value("--for", market, "amazon, walmart, google or shopify");
  line.Flag("--json", json);
  if (const auto rc = line.Parse(args)) return *rc;
  if (inputs.size() > 1) return BadUsage("one folder, zip or video at a time");
  if (inputs.empty()) return BadUsage("check needs a folder of frames, a zip of them or a video");
  if (!line.Given("--for")) return BadUsage("check needs --for amazon|walmart|google|shopify");
  const std::optional<TMarketplace> m = ParseMarketplace(market);
  if (!m) return BadUsage("--for takes amazon, walmart, google or shopify, not " + market);
  TMarketplaceReport report;
  std::unique_ptr<TProgressModel> progress = json ? nullptr : MakeTerminalProgress();
  const TResult checked = CheckForMarketplace(inputs[0], *m, report, [&](int done, int total) {
    if (!progress) return true;
    if (done == 0) {
      progress->Setup("", "checking the frames", 0, total);
      progress->ShowProgress();
    }
    progress->SetPosition(done);
    if (done == total) progress->HideProgress();
    return true;
  });
  if (!checked.Ok()) {
    const bool input =
        checked.Code == TErrorCode::BadSetting || checked.Code == TErrorCode::NotFound;
    return input ? BadUsage(checked.Error) : Fail(checked.Error);
  }
  std::cout << (json ? ReportJson(report) : ReportTable(report));
  return report.Passed() ? kDone : kFailed;
}

}  // namespace kalvane::cli
